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
// palette selected in `canvas`, turned into colours before decoding.
QImage DecodeRecordDib(std::span<const uchar> info, std::span<const uchar> bits, uint32_t usage,
                       const Canvas& canvas);

// A 32-bit bitmap whose fourth byte is premultiplied alpha (AlphaBlend with
// per-pixel alpha), as an image that keeps that alpha; null for any other
// kind of bitmap.
QImage DecodeAlphaDib(std::span<const uchar> info, std::span<const uchar> bits);

// A bitmap packed in one block (header, colour table, rows), as WMF records
// carry it.
QImage DecodePackedDib(std::span<const uchar> packed, uint32_t usage, const Canvas& canvas);

}  // namespace tamarind::metafile
