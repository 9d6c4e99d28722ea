#include "detail/Resize.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/Errors.h"

namespace tamarind {

int ReadSizeField(const QString& text) {
    bool ok = false;
    const int value = (u'0' + text).toInt(&ok, 10);
    // toInt also takes surrounding blanks and a sign; the field takes digits only.
    bool digits = true;
    for (QChar c : text) digits = digits && c >= u'0' && c <= u'9';
    if (!ok || !digits)
        throw TamarindError(QStringLiteral("'%1' は有効な整数ではありません").arg(u'0' + text));
    return value;
}

int ProportionalHeight(int width, int height, int typedWidth) {
    if (width == 0) return 0;
    const volatile float ratio = float(height) / float(width);  // stored in single precision
    const volatile float h = ratio * float(typedWidth);
    const float truncated = std::trunc(float(h));
    if (!(std::fabs(truncated) < 2147483648.0f)) return 0;
    return int(truncated);
}

namespace {

// The colour of pixel x of a row, as 0xFFRRGGBB.
quint32 ColourAt(const uchar* row, int x, int bits, const QList<QRgb>& palette) {
    switch (bits) {
        case 1: return palette[(row[x >> 3] >> (7 - (x & 7))) & 1] | 0xFF000000u;
        case 4: return palette[(x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4] | 0xFF000000u;
        case 8: return palette[row[x]] | 0xFF000000u;
        case 15: {
            const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
            const unsigned r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
            return qRgb(int((r << 3) | (r >> 2)), int((g << 3) | (g >> 2)), int((b << 3) | (b >> 2)));
        }
        case 16: {
            const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
            const unsigned r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
            return qRgb(int((r << 3) | (r >> 2)), int((g << 2) | (g >> 4)), int((b << 3) | (b >> 2)));
        }
        case 24: return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        default: return qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
}

// The first source index of each result index, plus one entry for the end:
// result i takes source indices [map[i], map[i+1]) when shrinking.
std::vector<int> IndexMap(int from, int to) {
    std::vector<int> map(size_t(to) + 1);
    for (int i = 0; i <= to; ++i) map[size_t(i)] = int(qint64(i) * from / to);
    return map;
}

}  // namespace

Bitmap ResizeBitmap(const Bitmap& source, int width, int height) {
    if (width < 0 || height < 0) throw std::invalid_argument("negative size");
    Bitmap result = Bitmap::ForOverwrite(width, height, 32);
    if (result.isEmpty()) return result;
    if (source.isEmpty()) {
        for (int y = 0; y < height; ++y) {
            quint32* row = reinterpret_cast<quint32*>(result.scanLine(y));
            for (int x = 0; x < width; ++x) row[x] = 0xFF000000u;
        }
        return result;
    }
    const int bits = source.bitsPerPixel();
    const QList<QRgb>& palette = source.palette();
    const std::vector<int> xs = IndexMap(source.width(), width);
    const std::vector<int> ys = IndexMap(source.height(), height);
    for (int y = 0; y < height; ++y) {
        quint32* out = reinterpret_cast<quint32*>(result.scanLine(y));
        if (bits == 1) {
            // All source pixels of the cell (at least one) ANDed together.
            const int y0 = ys[size_t(y)], y1 = std::max(ys[size_t(y) + 1], y0 + 1);
            for (int x = 0; x < width; ++x) {
                const int x0 = xs[size_t(x)], x1 = std::max(xs[size_t(x) + 1], x0 + 1);
                quint32 c = 0xFFFFFFFFu;
                for (int sy = y0; sy < y1; ++sy) {
                    const uchar* row = source.constScanLine(sy);
                    for (int sx = x0; sx < x1; ++sx) c &= ColourAt(row, sx, 1, palette);
                }
                out[x] = c | 0xFF000000u;
            }
        } else {
            const uchar* row = source.constScanLine(ys[size_t(y)]);
            for (int x = 0; x < width; ++x) out[x] = ColourAt(row, xs[size_t(x)], bits, palette);
        }
    }
    return result;
}

}  // namespace tamarind
