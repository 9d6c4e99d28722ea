#include "picture/metafile/RecordBitmaps.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "picture/Dib.h"
#include "picture/metafile/Canvas.h"
#include "picture/metafile/ByteReader.h"

namespace tamarind::metafile {
namespace {

// Bitmaps larger than this many pixels are not decoded: a few bytes of
// run-length data can claim gigapixel sizes.
constexpr int64_t kMaxDibPixels = int64_t(1) << 26;

constexpr uint32_t kCoreHeaderSize = 12;

size_t MaskBytes(const DibHeader& h) {
    if (h.size != 40) return 0;
    if (h.compression == 3) return 12;  // BI_BITFIELDS
    if (h.compression == 6) return 16;  // BI_ALPHABITFIELDS
    return 0;
}

uint64_t TableEntries(const DibHeader& h) {
    if (h.size == kCoreHeaderSize) return h.bitCount <= 8 ? (uint64_t(1) << h.bitCount) : 0;
    if (h.colorsUsed != 0) return h.colorsUsed;
    return h.bitCount <= 8 ? (uint64_t(1) << h.bitCount) : 0;
}

}  // namespace

std::optional<DibHeader> ReadDibHeader(std::span<const uchar> info) {
    ByteReader r(info);
    DibHeader h;
    h.size = r.U32();
    if (!r.ok()) return std::nullopt;
    if (h.size == kCoreHeaderSize) {
        h.width = r.U16();
        h.height = r.U16();
        r.U16();  // planes
        h.bitCount = r.U16();
    } else if (h.size >= 16 && h.size <= info.size()) {
        h.width = r.I32();
        h.height = r.I32();
        r.U16();  // planes
        h.bitCount = r.U16();
        if (h.size >= 20) h.compression = r.U32();
        if (h.size >= 36) {
            r.Skip(12);  // image size, resolution
            h.colorsUsed = r.U32();
        }
    } else {
        return std::nullopt;
    }
    if (!r.ok() || h.bitCount <= 0 || h.bitCount > 32) return std::nullopt;
    return h;
}

QImage DecodeRecordDib(std::span<const uchar> info, std::span<const uchar> bits, uint32_t usage,
                       Canvas& canvas) {
    const auto header = ReadDibHeader(info);
    if (!header || usage > 1) return {};
    const int64_t w = header->width < 0 ? -header->width : header->width;
    const int64_t h = header->height < 0 ? -header->height : header->height;
    if (w == 0 || h == 0 || w > kMaxDibPixels || h > kMaxDibPixels || w * h > kMaxDibPixels)
        return {};
    const bool runLength = header->compression == 1 || header->compression == 2;
    if (runLength && !canvas.SpendOnBitmap(double(w * h))) return {};

    std::vector<uchar> converted;
    if (usage == 1) {
        // Palette indices in place of colours: look each one up.
        const size_t fixed = header->size + MaskBytes(*header);
        const uint64_t entries = TableEntries(*header);
        if (header->size == kCoreHeaderSize || fixed + entries * 2 > info.size()) return {};
        converted.assign(info.begin(), info.begin() + ptrdiff_t(fixed));
        ByteReader table(info.subspan(fixed, size_t(entries * 2)));
        for (uint64_t i = 0; i < entries; ++i) {
            const QColor c = canvas.Color(0x01000000u | table.U16());
            converted.insert(converted.end(),
                             {uchar(c.blue()), uchar(c.green()), uchar(c.red()), 0});
        }
        info = converted;
    }
    try {
        return DecodeDib(info, bits);
    } catch (const std::exception&) {
        return {};
    }
}

QImage DecodeAlphaDib(std::span<const uchar> info, std::span<const uchar> bits) {
    const auto header = ReadDibHeader(info);
    if (!header || header->size < 40 || header->bitCount != 32 || header->compression != 0)
        return {};
    const int64_t w = header->width;
    const int64_t h = header->height < 0 ? -header->height : header->height;
    if (w <= 0 || h == 0 || w * h > kMaxDibPixels || uint64_t(w * h * 4) > bits.size()) return {};
    QImage image(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    for (int64_t y = 0; y < h; ++y) {
        // Rows run bottom-up unless the height is negative.
        const int64_t row = header->height > 0 ? h - 1 - y : y;
        const uchar* src = bits.data() + row * w * 4;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (int64_t x = 0; x < w; ++x, src += 4) {
            const int alpha = src[3];
            dst[x] = qRgba(std::min<int>(src[2], alpha), std::min<int>(src[1], alpha),
                           std::min<int>(src[0], alpha), alpha);
        }
    }
    return image;
}

QImage DecodePackedDib(std::span<const uchar> packed, uint32_t usage, Canvas& canvas) {
    const auto header = ReadDibHeader(packed);
    if (!header) return {};
    const uint64_t entrySize = usage == 1 ? 2 : (header->size == kCoreHeaderSize ? 3 : 4);
    const uint64_t infoSize = header->size + MaskBytes(*header) + TableEntries(*header) * entrySize;
    if (infoSize > packed.size()) return {};
    return DecodeRecordDib(packed.first(size_t(infoSize)), packed.subspan(size_t(infoSize)), usage,
                           canvas);
}

bool MaskBit(const QImage& mask, int x, int y) {
    if (!mask.valid(x, y)) return false;
    return qGray(mask.pixel(x, y)) >= 128;
}

uint32_t Rop3Code(uint8_t index) {
    switch (index) {
        case 0x00: return 0x00000042;  // BLACKNESS
        case 0x11: return 0x001100A6;  // NOTSRCERASE
        case 0x33: return 0x00330008;  // NOTSRCCOPY
        case 0x44: return 0x00440328;  // SRCERASE
        case 0x55: return 0x00550009;  // DSTINVERT
        case 0x5A: return 0x005A0049;  // PATINVERT
        case 0x66: return 0x00660046;  // SRCINVERT
        case 0x88: return 0x008800C6;  // SRCAND
        case 0xAA: return 0x00AA0029;  // the destination unchanged
        case 0xBB: return 0x00BB0226;  // MERGEPAINT
        case 0xCC: return 0x00CC0020;  // SRCCOPY
        case 0xEE: return 0x00EE0086;  // SRCPAINT
        case 0xF0: return 0x00F00021;  // PATCOPY
        case 0xFF: return 0x00FF0062;  // WHITENESS
        default: return uint32_t(index) << 16;
    }
}

MaskedRop MaskedRopPart(uint8_t rop3, const QImage& source, QSize size, const QImage& mask,
                        QPoint maskAt, bool set, std::optional<QRgb> brush) {
    constexpr QRgb kClear = 0x00000000, kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;
    // What a selected pixel holds, from the source pixel; what the others
    // hold so that the operation leaves them as they are; and the operation.
    enum class Fill { Source, InvertedSource, Colour };
    Fill fill = Fill::Source;
    QRgb colour = 0, neutral = kClear;
    uint32_t rop = Rop3Code(0xCC);
    switch (rop3) {
        case 0xCC: break;                                  // S, drawn over
        case 0x33: fill = Fill::InvertedSource; break;     // ~S, drawn over
        case 0x00: fill = Fill::Colour; colour = kBlack; break;
        case 0xFF: fill = Fill::Colour; colour = kWhite; break;
        case 0xF0:                                         // P, drawn over
            if (!brush) return {};
            fill = Fill::Colour;
            colour = *brush | 0xFF000000;
            break;
        case 0x88: neutral = kWhite; rop = Rop3Code(0x88); break;  // S & D
        case 0xBB: neutral = kWhite; rop = Rop3Code(0xBB); break;  // ~S | D
        case 0xEE: neutral = kBlack; rop = Rop3Code(0xEE); break;  // S | D
        case 0x66: neutral = kBlack; rop = Rop3Code(0x66); break;  // S ^ D
        case 0x55:                                                 // ~D as D ^ white
            fill = Fill::Colour; colour = kWhite; neutral = kBlack; rop = Rop3Code(0x66);
            break;
        case 0x5A:                                                 // P ^ D
            if (!brush) return {};
            fill = Fill::Colour; colour = *brush | 0xFF000000; neutral = kBlack;
            rop = Rop3Code(0x66);
            break;
        default: return {};  // the destination unchanged, or no such form
    }
    if (fill != Fill::Colour && source.isNull()) return {};
    if (size.isEmpty()) return {};
    const QImage from = fill == Fill::Colour ? QImage() : source.convertToFormat(QImage::Format_ARGB32);
    QImage out(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto* in = from.isNull() || y >= from.height()
                             ? nullptr
                             : reinterpret_cast<const QRgb*>(from.constScanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            if (MaskBit(mask, maskAt.x() + x, maskAt.y() + y) != set) {
                row[x] = neutral;
                continue;
            }
            const QRgb s = in && x < from.width() ? in[x] | 0xFF000000 : kBlack;
            row[x] = fill == Fill::Colour           ? colour
                     : fill == Fill::InvertedSource ? (~s | 0xFF000000)
                                                    : s;
        }
    }
    return {out, rop};
}

}  // namespace tamarind::metafile
