#include "exif/Orientation.h"

#include <cstdint>

#include "exif/Exif.h"

namespace tamarind {
namespace {

constexpr std::uint16_t kTagOrientation = 0x0112;

// Numbers of the TIFF block in its own byte order, read through the
// window's bounds-checked bytes.
struct TiffReader {
    const ExifWindow& window;
    std::int64_t start;
    bool motorola;

    std::uint32_t Word(std::int64_t offset) const {
        const unsigned b0 = window.ByteAt(start + offset), b1 = window.ByteAt(start + offset + 1);
        return motorola ? (b0 << 8 | b1) : (b1 << 8 | b0);
    }
    std::uint32_t Long(std::int64_t offset) const {
        const std::uint32_t hi = Word(offset), lo = Word(offset + 2);
        return motorola ? (hi << 16 | lo) : (lo << 16 | hi);
    }
};

int OrientationInTiff(const ExifWindow& window, std::int64_t start) {
    const std::uint8_t b0 = window.ByteAt(start), b1 = window.ByteAt(start + 1);
    if (b0 != b1 || (b0 != 'I' && b0 != 'M')) return 1;
    const TiffReader tiff{window, start, b0 == 'M'};
    if (tiff.Word(2) != 42) return 1;
    const std::int64_t ifd0 = tiff.Long(4);
    const std::uint32_t count = tiff.Word(ifd0);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int64_t entry = ifd0 + 2 + 12 * std::int64_t(i);
        // Entries that reach past the bytes held are not looked at.
        if (start + entry + 12 > window.size()) break;
        if (tiff.Word(entry) != kTagOrientation) continue;
        if (tiff.Word(entry + 2) != kExifShort || tiff.Long(entry + 4) < 1) return 1;
        const std::uint32_t value = tiff.Word(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

}  // namespace

int ExifOrientation(const ExifWindow& window) {
    if (window.ByteAt(0) != 0xFF || window.ByteAt(1) != 0xD8) return 1;
    // The segments before the picture data: a JFIF block may come first.
    std::int64_t p = 2;
    while (p + 4 <= window.size()) {
        if (window.ByteAt(p) != 0xFF) return 1;
        const std::uint8_t marker = window.ByteAt(p + 1);
        if (marker == 0xFF) {  // fill byte
            ++p;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return 1;  // picture data or the end
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
            p += 2;
            continue;
        }
        const int length = window.ByteAt(p + 2) << 8 | window.ByteAt(p + 3);
        if (length < 2) return 1;
        if (marker == 0xE1 && length >= 8) {
            static constexpr char kExif[] = "Exif\0";  // then a second zero
            bool exif = window.ByteAt(p + 9) == 0;
            for (int i = 0; i < 5 && exif; ++i) exif = window.ByteAt(p + 4 + i) == std::uint8_t(kExif[i]);
            if (exif) return OrientationInTiff(window, p + 10);
        }
        p += 2 + length;
    }
    return 1;
}

}  // namespace tamarind
