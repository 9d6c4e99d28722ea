#include "shared/Thumbnail.h"

#include <algorithm>
#include <vector>

#include "picture/Bitmap.h"
#include "picture/PictureLoad.h"
#include "picture/ThumbnailLoad.h"

namespace tamarind {
namespace {

// Averages kx x ky blocks of a bitmap into an RGB32 image of ceil(w/kx) x
// ceil(h/ky). Inside big blocks every second row and column is sampled: the
// average hardly changes and the pass costs a quarter. 24- and 32-bit rows
// are read in place; rows of other formats are turned into colours a few
// thousand pixels at a time, so no converted copy of the picture is made.
QImage ReduceByBlocks(const Bitmap& bitmap, int kx, int ky) {
    const int w = bitmap.width();
    const int h = bitmap.height();
    const int rw = (w + kx - 1) / kx;
    const int rh = (h + ky - 1) / ky;
    const int stepX = kx >= 8 ? 2 : 1;
    const int stepY = ky >= 8 ? 2 : 1;
    const int bpp = bitmap.bitsPerPixel();
    const bool direct = bpp == 24 || bpp == 32;
    const int bytesPerPixel = direct ? bpp / 8 : 4;
    // Blocks taken per piece of a row.
    const int blocks = std::max(1, 4096 / kx);
    QImage reduced(rw, rh, QImage::Format_RGB32);
    if (reduced.isNull()) return reduced;
    std::vector<quint32> sums(static_cast<size_t>(rw) * 3);
    std::vector<quint32> counts(static_cast<size_t>(rw));
    std::vector<QRgb> colours(direct ? 0 : size_t(std::min(w, blocks * kx)));
    for (int by = 0; by < rh; ++by) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        const int yEnd = std::min(h, (by + 1) * ky);
        for (int y = by * ky; y < yEnd; y += stepY) {
            for (int b0 = 0; b0 < rw; b0 += blocks) {
                const int b1 = std::min(rw, b0 + blocks);
                const int x0 = b0 * kx;
                // The piece's first pixel, in place or turned into colours.
                const uchar* piece;
                if (direct) {
                    piece = bitmap.constScanLine(y) + size_t(x0) * bytesPerPixel;
                } else {
                    bitmap.RowToRgb32(y, x0, std::min(w, b1 * kx) - x0, colours.data());
                    piece = reinterpret_cast<const uchar*>(colours.data());
                }
                for (int bx = b0; bx < b1; ++bx) {
                    const int xEnd = std::min(w, (bx + 1) * kx);
                    quint32 b = 0, g = 0, r = 0, n = 0;
                    for (int x = bx * kx; x < xEnd; x += stepX) {
                        const uchar* p = piece + size_t(x - x0) * bytesPerPixel;
                        b += p[0];
                        g += p[1];
                        r += p[2];
                        ++n;
                    }
                    sums[size_t(bx) * 3] += b;
                    sums[size_t(bx) * 3 + 1] += g;
                    sums[size_t(bx) * 3 + 2] += r;
                    counts[size_t(bx)] += n;
                }
            }
        }
        auto* out = reinterpret_cast<QRgb*>(reduced.scanLine(by));
        for (int bx = 0; bx < rw; ++bx) {
            const quint32 n = std::max<quint32>(1, counts[size_t(bx)]);
            out[bx] = qRgb(int(sums[size_t(bx) * 3 + 2] / n), int(sums[size_t(bx) * 3 + 1] / n),
                           int(sums[size_t(bx) * 3] / n));
        }
    }
    return reduced;
}

}  // namespace

QImage ScaledCopy(const Bitmap& bitmap, QSize target) {
    if (bitmap.isEmpty() || target.width() <= 0 || target.height() <= 0) return {};
    // Whole blocks first where the picture is at least twice the target
    // (both ways alike for true colour, as before; either way for the
    // others, which Qt would otherwise widen to 32 bits whole).
    const int kx = std::max(1, bitmap.width() / target.width());
    const int ky = std::max(1, bitmap.height() / target.height());
    const int k = std::min(kx, ky);
    const int bpp = bitmap.bitsPerPixel();
    QImage reduced;
    if (bpp == 24 || bpp == 32) {
        if (k >= 2) reduced = ReduceByBlocks(bitmap, k, k);
    } else if (kx * ky >= 4) {
        reduced = ReduceByBlocks(bitmap, kx, ky);
    }
    if (reduced.isNull()) reduced = bitmap.ToQImage();
    if (reduced.size() == target) return reduced;
    return reduced.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

namespace {

// A picture of a reduced image: an icon's keeps its transparency.
Picture PictureOfImage(const QImage& image) {
    if (image.isNull()) return {};
    if (image.hasAlphaChannel()) return Picture::FromImage(image);
    return Picture::FromBitmap(Bitmap::FromQImage(image));
}

}  // namespace

Picture PictureAtSize(const Picture& picture, QSize shown) {
    if (picture.isNull() || picture.isMetafile() || picture.size() == shown || shown.isEmpty())
        return picture;
    if (!picture.image().isNull() && picture.image().hasAlphaChannel())
        return PictureOfImage(
            picture.image().scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return PictureOfImage(ScaledCopy(picture.bitmap(), shown));
}

Picture PictureFileAtSize(const QString& path, QSize shown, const PictureOptions& options,
                          int orientation) {
    const PictureThumbnail thumbnail =
        LoadThumbnail(path, [shown](QSize) { return shown; }, options, orientation);
    if (thumbnail.metafile) return Picture::FromMetafile(thumbnail.metafile);
    return PictureOfImage(thumbnail.image);
}

}  // namespace tamarind
