#include "app/Thumbnail.h"

#include <algorithm>
#include <vector>

#include "picture/Bitmap.h"

namespace tamarind {
namespace {

// Averages k x k blocks of a 24- or 32-bit bitmap into an RGB32 image of
// ceil(w/k) x ceil(h/k). Inside big blocks every second row and column is
// sampled: the average hardly changes and the pass costs a quarter.
QImage ReduceByBlocks(const Bitmap& bitmap, int k) {
    const int w = bitmap.width();
    const int h = bitmap.height();
    const int rw = (w + k - 1) / k;
    const int rh = (h + k - 1) / k;
    const int step = k >= 8 ? 2 : 1;
    const int bytesPerPixel = bitmap.bitsPerPixel() / 8;
    QImage reduced(rw, rh, QImage::Format_RGB32);
    if (reduced.isNull()) return reduced;
    std::vector<quint32> sums(static_cast<size_t>(rw) * 3);
    std::vector<quint32> counts(static_cast<size_t>(rw));
    for (int by = 0; by < rh; ++by) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        const int yEnd = std::min(h, (by + 1) * k);
        for (int y = by * k; y < yEnd; y += step) {
            const uchar* row = bitmap.constScanLine(y);
            for (int bx = 0; bx < rw; ++bx) {
                const int xEnd = std::min(w, (bx + 1) * k);
                quint32 b = 0, g = 0, r = 0, n = 0;
                for (int x = bx * k; x < xEnd; x += step) {
                    const uchar* p = row + size_t(x) * bytesPerPixel;
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
    const int k = std::min(bitmap.width() / target.width(), bitmap.height() / target.height());
    const int bpp = bitmap.bitsPerPixel();
    if (k >= 2 && (bpp == 24 || bpp == 32)) {
        const QImage reduced = ReduceByBlocks(bitmap, k);
        if (reduced.size() == target) return reduced;
        return reduced.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return bitmap.ToQImage().scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace tamarind
