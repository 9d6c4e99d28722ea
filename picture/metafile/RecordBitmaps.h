#pragma once
// Device-independent bitmaps inside metafile records, decoded through the
// picture layer's DIB reader. A bitmap that cannot be decoded comes back as
// a null image, and the record that carries it draws nothing.

#include <QImage>
#include <cstdint>
#include <optional>
#include <span>

namespace tamarind::metafile {

class Canvas;

// What the players need of a BITMAPINFO header.
struct DibHeader {
    uint32_t size = 0;  // of the header itself
    int64_t width = 0;
    int64_t height = 0;  // negative for rows stored top-down
    int bitCount = 0;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
};

std::optional<DibHeader> ReadDibHeader(std::span<const uchar> info);

// Decodes a bitmap whose header and colour table are `info` and whose rows
// are `bits`. With `usage` 1 the colour table holds 16-bit indices into the
// palette selected in `canvas`, turned into colours before decoding. A
// run-length bitmap's pixels are spent from the canvas's budget first (the
// work on any other is bounded by the bytes the file holds).
QImage DecodeRecordDib(std::span<const uchar> info, std::span<const uchar> bits, uint32_t usage,
                       Canvas& canvas);

// A 32-bit bitmap whose fourth byte is premultiplied alpha (AlphaBlend with
// per-pixel alpha), as an image that keeps that alpha; null for any other
// kind of bitmap.
QImage DecodeAlphaDib(std::span<const uchar> info, std::span<const uchar> bits);

// A bitmap packed in one block (header, colour table, rows), as WMF records
// carry it.
QImage DecodePackedDib(std::span<const uchar> packed, uint32_t usage, Canvas& canvas);

// Whether a mask bitmap (MaskBlt, PlgBlt) selects the pixel at (x, y): its
// light pixels are set, as a two-colour bitmap's white (bit 1) is. Pixels
// outside the mask are not set.
bool MaskBit(const QImage& mask, int x, int y);

// One raster operation of a MaskBlt, limited to the pixels where the mask
// (read from `maskAt` on) is `set` (the foreground operation) or not set
// (the background one): an image of `size` and the operation to draw it
// with, made so that the other pixels leave the destination as it was
// (transparent for copies, white for AND, black for OR and XOR). `source`
// is the source bitmap cut to `size`, null when the record has none;
// `brush` the colour of a solid brush, if selected. A null image when the
// operation leaves the destination unchanged, needs a missing source or
// brush, or cannot be limited to the mask that way.
struct MaskedRop {
    QImage image;
    uint32_t rop = 0;
};
MaskedRop MaskedRopPart(uint8_t rop3, const QImage& source, QSize size, const QImage& mask,
                        QPoint maskAt, bool set, std::optional<QRgb> brush);

// The full ternary raster operation code of a ROP3 index (0xCC → SRCCOPY's
// 0x00CC0020); the index in the high word alone for an uncommon one.
uint32_t Rop3Code(uint8_t index);

}  // namespace tamarind::metafile
