// EMF block transfers: BitBlt and its relatives with one source bitmap,
// MaskBlt through a mask, and PlgBlt onto a parallelogram.

#include <QPainter>
#include <algorithm>
#include <optional>

#include "picture/metafile/EmfRecords.h"
#include "picture/metafile/RecordBitmaps.h"

namespace tamarind::metafile::emf {
namespace {

// The source and mask bitmaps of a MaskBlt or PlgBlt record: usage, then
// offset and size of header and of bits, for each.
struct BltBitmaps {
    uint32_t usage = 0, offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0;
    QImage Decode(std::span<const uchar> record, Canvas& canvas) const {
        if (cbBmi == 0) return {};
        const auto info = Part(record, offBmi, cbBmi);
        const auto bits = Part(record, offBits, cbBits);
        if (info.empty() || bits.empty()) return {};
        return DecodeRecordDib(info, bits, usage, canvas);
    }
};

BltBitmaps ReadBltBitmaps(ByteReader& r) {
    BltBitmaps b;
    b.usage = r.U32();
    b.offBmi = r.U32();
    b.cbBmi = r.U32();
    b.offBits = r.U32();
    b.cbBits = r.U32();
    return b;
}

// The part of a transfer of cx × cy pixels from (xSrc, ySrc) that the source
// and the mask (read from (xMask, yMask) on) both hold, each when present:
// where it starts, counted from the transfer's first pixel, and its size.
// Positions and sizes are the file's 32-bit values, so the edges are
// reckoned in 64 bits; what is left lies inside the bitmaps and the
// transfer, and fits an int again.
struct BltPart {
    QPoint offset;
    QSize size;
};

std::optional<BltPart> HeldPart(int32_t xSrc, int32_t ySrc, int32_t cx, int32_t cy,
                                const QImage& source, int32_t xMask, int32_t yMask,
                                const QImage& mask) {
    struct Range {
        int64_t from, to;  // offsets [from, to) into the transfer
        // Only the offsets that land inside [0, extent) when counted from
        // `start`.
        void Within(int64_t start, int64_t extent) {
            from = std::max(from, -start);
            to = std::min(to, extent - start);
        }
    };
    Range x{0, cx}, y{0, cy};
    if (!source.isNull()) {
        x.Within(xSrc, source.width());
        y.Within(ySrc, source.height());
    }
    if (!mask.isNull()) {
        x.Within(xMask, mask.width());
        y.Within(yMask, mask.height());
    }
    if (x.to <= x.from || y.to <= y.from) return std::nullopt;
    return BltPart{QPoint(int(x.from), int(y.from)), QSize(int(x.to - x.from), int(y.to - y.from))};
}

// Where the part starts in a bitmap read from (x, y) on; inside the bitmap
// whenever HeldPart was given that bitmap.
QPoint PartIn(const BltPart& part, int32_t x, int32_t y) {
    return QPoint(int(x + int64_t(part.offset.x())), int(y + int64_t(part.offset.y())));
}

}  // namespace

void PlayBlt(Record& rec) {
    Canvas& canvas = rec.canvas;
    ByteReader& r = rec.r;
    const uint32_t type = rec.type;
    const std::span<const uchar> record = rec.bytes;
    r.Skip(16);  // bounds
    QRectF dest, source;
    uint32_t rop = kSrcCopy, usage = 0, offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0;
    double opacity = 1;
    uint32_t blend = 0;  // AlphaBlend's operation, flags, constant alpha and alpha format
    std::optional<uint32_t> transparent;
    bool rowsFromBottom = false;
    if (type == kStretchDiBits || type == kSetDiBitsToDevice) {
        const QPointF at = ReadPointL(r);
        const QPointF src = ReadPointL(r);
        const int32_t cxSrc = r.I32(), cySrc = r.I32();
        offBmi = r.U32();
        cbBmi = r.U32();
        offBits = r.U32();
        cbBits = r.U32();
        usage = r.U32();
        source = QRectF(src, QSizeF(cxSrc, cySrc));
        if (type == kStretchDiBits) {
            rop = r.U32();
            const int32_t cxDest = r.I32(), cyDest = r.I32();
            dest = QRectF(at, QSizeF(cxDest, cyDest));
        } else {
            dest = QRectF(at, QSizeF(cxSrc, cySrc));
        }
        rowsFromBottom = true;
    } else {
        const QPointF at = ReadPointL(r);
        const int32_t cxDest = r.I32(), cyDest = r.I32();
        const uint32_t ropOrBlend = r.U32();
        const QPointF src = ReadPointL(r);
        r.Skip(24);  // source transform
        r.U32();     // background colour of the source
        usage = r.U32();
        offBmi = r.U32();
        cbBmi = r.U32();
        offBits = r.U32();
        cbBits = r.U32();
        int32_t cxSrc = cxDest, cySrc = cyDest;
        if (type != kBitBlt) {
            cxSrc = r.I32();
            cySrc = r.I32();
        }
        dest = QRectF(at, QSizeF(cxDest, cyDest));
        source = QRectF(src, QSizeF(cxSrc, cySrc));
        if (type == kAlphaBlend) {
            blend = ropOrBlend;
            opacity = ((ropOrBlend >> 16) & 0xFF) / 255.0;  // source constant alpha
        } else if (type == kTransparentBlt) {
            transparent = ropOrBlend;
        } else {
            rop = ropOrBlend;
        }
    }
    if (!r.ok()) return;
    const auto info = Part(record, offBmi, cbBmi);
    const auto bits = Part(record, offBits, cbBits);
    if (cbBmi == 0 || info.empty() || bits.empty()) {
        // No source bitmap: the brush alone.
        if (type == kBitBlt || type == kStretchBlt) canvas.PatBlt(dest, rop);
        return;
    }
    QImage image;
    if (type == kAlphaBlend && (blend >> 24) & 1) image = DecodeAlphaDib(info, bits);
    if (image.isNull()) image = DecodeRecordDib(info, bits, usage, canvas);
    if (image.isNull()) return;
    if (rowsFromBottom) {
        const auto header = ReadDibHeader(info);
        if (header && header->height > 0)
            source.moveTop(image.height() - source.top() - source.height());
    }
    if (transparent) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = canvas.Color(*transparent).rgb();
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] | 0xFF000000) == key) row[x] = 0;
        }
    }
    if (opacity < 1) {
        QImage faded(image.size(), QImage::Format_ARGB32_Premultiplied);
        faded.fill(Qt::transparent);
        QPainter p(&faded);
        p.setOpacity(opacity);
        p.drawImage(0, 0, image);
        p.end();
        image = faded;
    }
    canvas.DrawImage(image, dest, source, rop);
}

void PlayMaskBlt(Record& rec) {
    Canvas& canvas = rec.canvas;
    ByteReader& r = rec.r;
    const std::span<const uchar> record = rec.bytes;
    r.Skip(16);  // bounds
    const QPointF at = ReadPointL(r);
    const int32_t cx = r.I32(), cy = r.I32();
    const uint32_t rop4 = r.U32();
    const int32_t xSrc = r.I32(), ySrc = r.I32();
    r.Skip(24);  // source transform
    r.U32();     // background colour of the source
    const BltBitmaps sourceBits = ReadBltBitmaps(r);
    const int32_t xMask = r.I32(), yMask = r.I32();
    const BltBitmaps maskBits = ReadBltBitmaps(r);
    if (!r.ok() || cx <= 0 || cy <= 0) return;
    const QImage source = sourceBits.Decode(record, canvas);
    const QImage mask = maskBits.Decode(record, canvas);
    // The foreground operation where the mask is set, the background one
    // (the high byte) where it is not.
    const auto fore = uint8_t(rop4 >> 16), back = uint8_t(rop4 >> 24);
    const QRectF dest(at, QSizeF(cx, cy));
    if (mask.isNull()) {
        // No mask: a plain transfer with the foreground operation.
        if (source.isNull()) {
            canvas.PatBlt(dest, Rop3Code(fore));
        } else {
            canvas.DrawImage(source, dest, QRectF(xSrc, ySrc, cx, cy), Rop3Code(fore));
        }
        return;
    }
    // Only the part that the source and the mask both hold is transferred,
    // pixel for pixel.
    const auto part = HeldPart(xSrc, ySrc, cx, cy, source, xMask, yMask, mask);
    if (!part) return;
    const QImage cut =
        source.isNull() ? QImage() : source.copy(QRect(PartIn(*part, xSrc, ySrc), part->size));
    const QPoint maskAt = PartIn(*part, xMask, yMask);
    const LogBrush& brush = canvas.state().brush;
    std::optional<QRgb> brushColour;
    if (brush.style == 0) brushColour = canvas.Color(brush.color).rgb();
    const QRectF partDest(at + QPointF(part->offset), QSizeF(part->size));
    for (const bool set : {false, true}) {
        const MaskedRop piece =
            MaskedRopPart(set ? fore : back, cut, part->size, mask, maskAt, set, brushColour);
        if (!piece.image.isNull())
            canvas.DrawImage(piece.image, partDest, QRectF(piece.image.rect()), piece.rop);
    }
}

void PlayPlgBlt(Record& rec) {
    Canvas& canvas = rec.canvas;
    ByteReader& r = rec.r;
    const std::span<const uchar> record = rec.bytes;
    r.Skip(16);  // bounds
    const QPointF p0 = ReadPointL(r), p1 = ReadPointL(r), p2 = ReadPointL(r);
    const int32_t xSrc = r.I32(), ySrc = r.I32(), cx = r.I32(), cy = r.I32();
    r.Skip(24);  // source transform
    r.U32();     // background colour of the source
    const BltBitmaps sourceBits = ReadBltBitmaps(r);
    const int32_t xMask = r.I32(), yMask = r.I32();
    const BltBitmaps maskBits = ReadBltBitmaps(r);
    if (!r.ok() || cx <= 0 || cy <= 0) return;
    const QImage source = sourceBits.Decode(record, canvas);
    if (source.isNull()) return;
    const QImage mask = maskBits.Decode(record, canvas);
    // The source rectangle's corners go to p0 (top left), p1 (top right) and
    // p2 (bottom left); each source pixel moves by a and b.
    const QPointF a = (p1 - p0) / cx, b = (p2 - p0) / cy;
    const auto part = HeldPart(xSrc, ySrc, cx, cy, source, xMask, yMask, mask);
    if (!part) return;
    const QPointF origin = p0 + part->offset.x() * a + part->offset.y() * b;
    const QPointF across = part->size.width() * a, down = part->size.height() * b;
    const QTransform unitToLogical(across.x(), across.y(), down.x(), down.y(), origin.x(),
                                   origin.y());
    QImage cut = source.copy(QRect(PartIn(*part, xSrc, ySrc), part->size));
    if (!mask.isNull()) {
        // Where the mask is not set the destination stays as it was.
        cut = MaskedRopPart(0xCC, cut, part->size, mask, PartIn(*part, xMask, yMask), true,
                            std::nullopt)
                  .image;
    }
    canvas.DrawImageMapped(cut, unitToLogical, QRectF(cut.rect()), Rop3Code(0xCC));
}

}  // namespace tamarind::metafile::emf
