#include "picture/MetafileBitmap.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "picture/Dib.h"
#include "picture/MetafileCanvas.h"
#include "picture/MetafileReader.h"

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
                       const Canvas& canvas) {
    const auto header = ReadDibHeader(info);
    if (!header || usage > 1) return {};
    const int64_t w = header->width < 0 ? -header->width : header->width;
    const int64_t h = header->height < 0 ? -header->height : header->height;
    if (w == 0 || h == 0 || w > kMaxDibPixels || h > kMaxDibPixels || w * h > kMaxDibPixels)
        return {};

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

QImage DecodePackedDib(std::span<const uchar> packed, uint32_t usage, const Canvas& canvas) {
    const auto header = ReadDibHeader(packed);
    if (!header) return {};
    const uint64_t entrySize = usage == 1 ? 2 : (header->size == kCoreHeaderSize ? 3 : 4);
    const uint64_t infoSize = header->size + MaskBytes(*header) + TableEntries(*header) * entrySize;
    if (infoSize > packed.size()) return {};
    return DecodeRecordDib(packed.first(size_t(infoSize)), packed.subspan(size_t(infoSize)), usage,
                           canvas);
}

}  // namespace tamarind::metafile
