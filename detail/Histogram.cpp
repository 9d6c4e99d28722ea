#include "detail/Histogram.h"

#include <QPainter>
#include <QtEndian>
#include <algorithm>
#include <vector>

#include "platform/Fonts.h"

namespace tamarind {

void CountRows24(const uchar* bits, qsizetype stride, int width, int height, HistogramTables& tables) {
    // Two increments per pixel instead of three: blue and green are counted
    // as pairs in one table of 65536 counters (small enough for the level-2
    // cache, and neighbouring pixels mostly hit the same lines), red in four
    // sets of 256 that take the pixels in turn, so that runs of equal values
    // do not wait on each other's increments. A pair's index is green | blue
    // << 8: with green in the low byte, the greens of one blue share cache
    // lines, and the blues, which in photographs mostly change less, pick
    // the line. The pairs are split into their blue and green counts at the
    // end.
    std::vector<std::uint32_t> blueGreen(65536, 0);
    alignas(64) std::uint32_t red[4][256] = {};
    std::uint32_t* pairs = blueGreen.data();
    for (int y = 0; y < height; ++y) {
        const uchar* p = bits + y * stride;
        int x = 0;
        // Four pixels are twelve bytes: three 32-bit words B G R B | G R B G | R B G R.
        for (; x + 4 <= width; x += 4, p += 12) {
            const std::uint32_t w0 = qFromLittleEndian<std::uint32_t>(p);
            const std::uint32_t w1 = qFromLittleEndian<std::uint32_t>(p + 4);
            const std::uint32_t w2 = qFromLittleEndian<std::uint32_t>(p + 8);
            ++pairs[((w0 >> 8) & 255) | ((w0 & 255) << 8)];
            ++red[0][(w0 >> 16) & 255];
            ++pairs[(w1 & 255) | ((w0 >> 24) << 8)];
            ++red[1][(w1 >> 8) & 255];
            ++pairs[(w1 >> 24) | (w1 >> 8 & 0xFF00)];
            ++red[2][w2 & 255];
            ++pairs[((w2 >> 16) & 255) | (w2 & 0xFF00)];
            ++red[3][w2 >> 24];
        }
        for (; x < width; ++x, p += 3) {
            ++pairs[p[1] | (p[0] << 8)];
            ++red[0][p[2]];
        }
    }
    for (int blue = 0; blue < 256; ++blue) {
        std::uint32_t sum = 0;
        for (int green = 0; green < 256; ++green) {
            const std::uint32_t n = pairs[(blue << 8) | green];
            tables.HistogramGreen[green] += std::int32_t(n);
            sum += n;
        }
        tables.HistogramBlue[blue] += std::int32_t(sum);
    }
    for (int v = 0; v < 256; ++v)
        tables.HistogramRed[v] += std::int32_t(red[0][v] + red[1][v] + red[2][v] + red[3][v]);
}

void FinishHistogram(HistogramTables& t) {
    std::int32_t peak = 0;
    for (int v = 0; v < 256; ++v) {
        peak = std::max({peak, t.HistogramRed[v], t.HistogramGreen[v], t.HistogramBlue[v]});
        t.HistogramSum[v] = t.HistogramRed[v] + t.HistogramGreen[v] + t.HistogramBlue[v];
    }
    t.HistogramSumPeak = std::int32_t(std::int64_t(3) * peak / 5);
    t.HistogramPeak = peak / 5;
}

namespace {

// How often each byte value occurs in the first `bytes` bytes of every row.
// Four sets of counters take the bytes in turn, so that runs of one value do
// not wait on each other's increments.
std::array<std::uint64_t, 256> CountBytes(const Bitmap& picture, qsizetype bytes) {
    alignas(64) std::uint32_t counts[4][256] = {};
    std::array<std::uint64_t, 256> total{};
    auto flush = [&] {
        for (int v = 0; v < 256; ++v) {
            total[size_t(v)] +=
                std::uint64_t(counts[0][v]) + counts[1][v] + counts[2][v] + counts[3][v];
            counts[0][v] = counts[1][v] = counts[2][v] = counts[3][v] = 0;
        }
    };
    // Each counter stays far below 2^32 between flushes.
    const int rowsPerFlush =
        int(std::max<qsizetype>(1, (qsizetype(1) << 30) / std::max<qsizetype>(1, bytes)));
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* p = picture.constScanLine(y);
        qsizetype i = 0;
        for (; i + 4 <= bytes; i += 4) {
            ++counts[0][p[i]];
            ++counts[1][p[i + 1]];
            ++counts[2][p[i + 2]];
            ++counts[3][p[i + 3]];
        }
        for (; i < bytes; ++i) ++counts[0][p[i]];
        if ((y + 1) % rowsPerFlush == 0) flush();
    }
    flush();
    return total;
}

// Palette pictures: the indices are counted, then each index's count goes to
// the values of its colour.
void CountPaletteIndices(const Bitmap& picture, HistogramTables& tables) {
    const int w = picture.width();
    const int bits = picture.bitsPerPixel();
    std::array<std::uint64_t, 256> perIndex{};
    // Whole bytes of pixels, then the pixels of the last, partly used byte.
    const int perByte = 8 / bits;
    const std::array<std::uint64_t, 256> bytes = CountBytes(picture, w / perByte);
    const unsigned mask = (1u << bits) - 1;
    for (int v = 0; v < 256; ++v)
        for (int k = 0; k < perByte; ++k)
            perIndex[(unsigned(v) >> (8 - bits * (k + 1))) & mask] += bytes[size_t(v)];
    if (const int rest = w % perByte)
        for (int y = 0; y < picture.height(); ++y) {
            const unsigned last = picture.constScanLine(y)[w / perByte];
            for (int k = 0; k < rest; ++k) ++perIndex[(last >> (8 - bits * (k + 1))) & mask];
        }
    const QList<QRgb>& palette = picture.palette();
    for (int i = 0; i < palette.size() && i < 256; ++i) {
        const auto n = std::int32_t(perIndex[size_t(i)]);
        tables.HistogramRed[qRed(palette[i])] += n;
        tables.HistogramGreen[qGreen(palette[i])] += n;
        tables.HistogramBlue[qBlue(palette[i])] += n;
    }
}

}  // namespace

HistogramTables CountHistogram(const Bitmap& picture) {
    HistogramTables tables;
    const int w = picture.width();
    const int h = picture.height();
    const int bits = picture.bitsPerPixel();
    if (picture.isEmpty()) {
        // Nothing to count.
    } else if (bits == 24) {
        CountRows24(picture.constBits(), picture.stride(), w, h, tables);
    } else if (bits <= 8) {
        CountPaletteIndices(picture, tables);
    } else {
        // 15, 16 and 32 bits: the pixels in 24 bits, a piece of a quarter
        // megapixel at a time, counted as one long row.
        constexpr int kPiece = 1 << 18;
        std::vector<uchar> piece(size_t(kPiece) * 3);
        int filled = 0;
        for (int y = 0; y < h; ++y)
            for (int x0 = 0, n = 0; x0 < w; x0 += n) {
                n = std::min(w - x0, kPiece - filled);
                picture.RowTo24(y, x0, n, piece.data() + qsizetype(filled) * 3);
                filled += n;
                if (filled == kPiece) {
                    CountRows24(piece.data(), 0, filled, 1, tables);
                    filled = 0;
                }
            }
        if (filled > 0) CountRows24(piece.data(), 0, filled, 1, tables);
    }
    FinishHistogram(tables);
    return tables;
}

std::int64_t HistogramLineLength(std::int32_t count, int scale, std::int32_t divisor) {
    if (divisor < 1) return 0;
    return std::int64_t(count) * scale / divisor;
}

namespace {

// A line from (x, y0) to (x, y1) with y1 exclusive, in either direction,
// cut to the picture.
void VerticalLine(QImage& image, int x, int y0, std::int64_t y1, QRgb colour) {
    if (x < 0 || x >= image.width() || y1 == y0) return;
    std::int64_t top = y1 < y0 ? y1 + 1 : y0;
    std::int64_t bottom = y1 < y0 ? y0 : y1 - 1;  // inclusive
    top = std::max<std::int64_t>(top, 0);
    bottom = std::min<std::int64_t>(bottom, image.height() - 1);
    for (std::int64_t y = top; y <= bottom; ++y) image.setPixel(x, int(y), colour);
}

void HorizontalLine(QImage& image, int x0, int x1, int y, QRgb colour) {
    if (y < 0 || y >= image.height()) return;
    for (int x = std::max(x0, 0); x < std::min(x1, image.width()); ++x) image.setPixel(x, y, colour);
}

void FillRect(QImage& image, int left, int top, int right, int bottom, QRgb colour) {
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
        HorizontalLine(image, left, right, y, colour);
}

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

}  // namespace

void DrawGraphFrame(QImage& graph) {
    FillRect(graph, 0, 0, kGraphWidth, kGraphHeight, kWhite);
    // The frame rectangle (2, 0) - (265, 102): its outline is the outermost
    // ring of pixels inside those exclusive edges, the inside stays white.
    HorizontalLine(graph, 2, 265, 0, kBlack);
    HorizontalLine(graph, 2, 265, 101, kBlack);
    VerticalLine(graph, 2, 0, 102, kBlack);
    VerticalLine(graph, 264, 0, 102, kBlack);
    for (int v = 0; v < 256; v += 32) VerticalLine(graph, v + 5, kGraphBase, 105, kBlack);
    VerticalLine(graph, 260, kGraphBase, 105, kBlack);
}

void DrawGraphLines(QImage& graph, const std::array<std::int32_t, 256>& table,
                    std::int32_t divisor, int scale, QRgb colour) {
    if (divisor < 1) return;
    for (int v = 1; v < 256; ++v) {
        const std::int64_t h = HistogramLineLength(table[v], scale, divisor);
        VerticalLine(graph, v + 5, kGraphBase, kGraphBase - h, colour);
    }
}

void DrawAxisLabels(QImage& axis) {
    FillRect(axis, 1, 0, 265, 12, kWhite);
    QPainter painter(&axis);
    QFont font = UiFont(kGothic, 11);  // 8 points at 96 dots per inch
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackground(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    const QFontMetrics metrics(font);
    const struct {
        int x;
        const char* text;
    } labels[] = {{2, "0"}, {64, "40"}, {127, "80"}, {191, "C0"}, {255, "FF"}};
    for (const auto& label : labels)
        painter.drawText(label.x, 1 + metrics.ascent(), QString::fromLatin1(label.text));
}

}  // namespace tamarind
