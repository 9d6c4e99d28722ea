// WMF block transfers: a pattern alone, a device-dependent bitmap or a DIB
// copied or stretched onto the page.

#include <QImage>

#include "picture/metafile/RecordBitmaps.h"
#include "picture/metafile/WmfRecords.h"

namespace tamarind::metafile::wmf {
namespace {

// A device-dependent bitmap (Bitmap16) of one plane: rows top-down, each
// padded to its stated width. Monochrome and 24- or 32-bit colour are drawn;
// palette-based ones need the device's palette and are not.
QImage ReadBitmap16(ByteReader& r) {
    constexpr int64_t kMaxPixels = int64_t(1) << 26;
    r.I16();  // type
    const int16_t width = r.I16();
    const int16_t height = r.I16();
    const int16_t rowBytes = r.I16();
    const uint8_t planes = r.U8();
    const uint8_t bits = r.U8();
    if (!r.ok() || width <= 0 || height <= 0 || planes != 1 || int64_t(width) * height > kMaxPixels)
        return {};
    if ((bits != 1 && bits != 24 && bits != 32) || rowBytes < (int64_t(width) * bits + 7) / 8)
        return {};
    const auto data = r.Bytes(size_t(rowBytes) * size_t(height));
    if (!r.ok()) return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    for (int y = 0; y < height; ++y) {
        const uchar* row = data.data() + size_t(y) * size_t(rowBytes);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (bits == 1) {
                out[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0xFFFFFFFF : 0xFF000000;
            } else {
                const uchar* p = row + size_t(x) * (bits / 8);
                out[x] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
    return image;
}

}  // namespace

void PlayPatBlt(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t rop = r.U32();
    const int16_t height = r.I16();
    const int16_t width = r.I16();
    const QPointF p = ReadYX(r);
    if (r.ok()) rec.canvas.PatBlt(QRectF(p, QSizeF(width, height)), rop);
}

void PlayBitBlt(Record& rec) {
    ByteReader& r = rec.r;
    Canvas& canvas = rec.canvas;
    const uint16_t function = rec.function;
    // A bitmap record without a bitmap is exactly its fixed fields long.
    const bool noBitmap = rec.words == uint32_t(function >> 8) + 3;
    const bool stretch = function == kStretchBlt || function == kDibStretchBlt;
    const uint32_t rop = r.U32();
    int16_t srcHeight = 0, srcWidth = 0;
    if (stretch) {
        srcHeight = r.I16();
        srcWidth = r.I16();
    }
    const QPointF src = ReadYX(r);
    if (noBitmap) r.Skip(2);
    const int16_t height = r.I16();
    const int16_t width = r.I16();
    const QPointF dest = ReadYX(r);
    if (!r.ok()) return;
    if (!stretch) {
        srcHeight = height;
        srcWidth = width;
    }
    const QRectF destRect(dest, QSizeF(width, height));
    if (noBitmap) {
        canvas.PatBlt(destRect, rop);
        return;
    }
    // The source is the bitmap selected into a memory context: rows
    // count from the top.
    const QImage image = function == kDibBitBlt || function == kDibStretchBlt
                             ? DecodePackedDib(r.Bytes(r.remaining()), 0, canvas)
                             : ReadBitmap16(r);
    canvas.DrawImage(image, destRect, QRectF(src, QSizeF(srcWidth, srcHeight)), rop);
}

void PlayStretchDib(Record& rec) {
    ByteReader& r = rec.r;
    Canvas& canvas = rec.canvas;
    uint32_t rop = kSrcCopy;
    uint16_t usage = 0;
    int16_t srcHeight, srcWidth, height, width;
    QPointF src, dest;
    if (rec.function == kStretchDib) {
        rop = r.U32();
        usage = r.U16();
        srcHeight = r.I16();
        srcWidth = r.I16();
        src = ReadYX(r);
        height = r.I16();
        width = r.I16();
        dest = ReadYX(r);
    } else {
        usage = r.U16();
        r.U16();  // scan count
        r.U16();  // start scan
        src = ReadYX(r);
        height = srcHeight = r.I16();
        width = srcWidth = r.I16();
        dest = ReadYX(r);
    }
    if (!r.ok()) return;
    const auto packed = r.Bytes(r.remaining());
    const QImage image = DecodePackedDib(packed, usage, canvas);
    if (image.isNull()) return;
    // Source rows of a bottom-up bitmap count from its bottom.
    QRectF source(src, QSizeF(srcWidth, srcHeight));
    const auto header = ReadDibHeader(packed);
    if (header && header->height > 0) source.moveTop(image.height() - src.y() - srcHeight);
    canvas.DrawImage(image, QRectF(dest, QSizeF(width, height)), source, rop);
}

}  // namespace tamarind::metafile::wmf
