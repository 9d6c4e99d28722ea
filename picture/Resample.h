#pragma once
// Reducing pictures to thumbnails: a windowed-sinc (Lanczos, three lobes)
// resampler for pictures held whole, and an area-averaging reducer that takes
// a picture row by row, in any order, without ever holding it whole.

#include <QImage>
#include <QList>
#include <QRgb>
#include <QSize>
#include <cstdint>
#include <vector>

#include "picture/Bitmap.h"

namespace tamarind {

// `bitmap` (24 bits, 32 bits, or 8 bits with a palette) resampled to
// `target` with a three-lobe Lanczos filter widened by the reduction
// factor, in the picture's own (gamma-encoded) values; taps falling outside
// the picture are left out and the rest renormalised. Returns an RGB32 image,
// null for an empty bitmap or target.
QImage ResampleLanczos(const Bitmap& bitmap, QSize target);

// The same filter fed a band of rows at a time, so a picture can be filtered
// while it is still being decoded. It works in fixed point with SSE2 (where
// the processor has no SSE2, the same arithmetic one value at a time). Each source row is filtered
// across as it comes, and every target row whose rows have all come is filtered down at once, so
// only the last few rows across are held, never the whole picture.
class LanczosResampler {
  public:
    // For a picture of `source` pixels in 8 (with `palette`), 24 or 32 bits.
    LanczosResampler(QSize source, int bitsPerPixel, const QList<QRgb>& palette, QSize target);
    // Takes the source rows from the first not yet taken up to (not
    // including) row `to` of the pixels at `bits` (row y at bits + y * stride),
    // from one thread at a time.
    void Across(const uchar* bits, qsizetype stride, int to);
    // The picture at the target size (RGB32); rows never given count as black.
    QImage Down();

  private:
    // Fixed point: weights in 1/16384 (each pixel's weights add up to
    // exactly 16384), rows filtered across kept as four 16-bit channels
    // (blue, green, red, unused) in 1/64 of a level, so that SSE2's
    // multiply-and-add takes two taps of all channels in one operation.
    struct Taps {
        std::vector<int> first;
        std::vector<int> count;  // even: odd counts end in a tap of weight 0
        std::vector<size_t> offset;
        std::vector<std::int16_t> weights;
        // Each pair of weights (k, k + 1) as one 32-bit number, four times
        // over: the multiplier of one multiply-and-add.
        std::vector<std::int32_t> pairs;
    };
    static Taps MakeTaps(int sourceSize, int targetSize);
    void FilterRowAcross(const uchar* row);
    void FilterRowsDown(int lastRow);

    QSize source_;
    QSize target_;
    int bitsPerPixel_;
    std::vector<std::uint32_t> palette_;  // the colours of 8-bit pictures, as 0xXXRRGGBB
    Taps across_;
    Taps down_;
    int ringWidth_ = 0;                     // target pixels per ring row, even
    std::vector<std::uint32_t> sourceRow_;  // one source row, four bytes a pixel, padded
    // For each source pixel j, the channels of j and j + 1 interleaved
    // (blue j, blue j + 1, green j, ...), eight 16-bit numbers.
    std::vector<std::int16_t> pairRow_;
    std::vector<std::int16_t> ring_;  // the last ringRows_ rows filtered across
    int ringRows_ = 1;
    std::vector<int> lastRowOf_;                   // the last source row each target row needs
    std::vector<const std::int16_t*> rowsNeeded_;  // one target row's source rows
    int rowsIn_ = 0;                               // source rows taken so far
    int rowsOut_ = 0;                              // target rows made so far
    QImage image_;
};

// Averages a picture of `source` pixels into `target` pixels: every source
// pixel adds to the one target pixel its position falls in. Pixels may come
// in any order, a piece of a row at a time, and some not at all; only the
// target's sums are held, never a source row.
class AreaReducer {
  public:
    AreaReducer(QSize source, QSize target);

    QSize source() const { return source_; }
    QSize target() const { return target_; }
    // Adds `n` colours of source row y (0 = top) from column x0 on.
    void AddPixels(int y, int x0, const QRgb* colours, int n);
    // The reduced picture (RGB32); pixels never added count as `missing`.
    QImage Finish(QRgb missing) const;

  private:
    // Source columns (or rows) that fall into target column (row) t.
    static std::int64_t SpanOf(int t, int sourceSize, int targetSize);

    QSize source_;
    QSize target_;
    std::vector<std::uint64_t> sums_;  // r, g, b, count per target pixel
};

}  // namespace tamarind
