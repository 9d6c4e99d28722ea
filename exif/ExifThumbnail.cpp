#include "exif/ExifThumbnail.h"

#include <cstdint>

namespace tamarind {
namespace {

constexpr std::uint16_t kTagJpegOffset = 0x0201;
constexpr std::uint16_t kTagJpegLength = 0x0202;

// Numbers of the TIFF data in its byte order; reads outside it give 0 and
// mark the reader as failed.
class TiffReader {
  public:
    explicit TiffReader(QByteArrayView tiff)
        : tiff_(tiff), motorola_(tiff.size() >= 2 && tiff[0] == 'M' && tiff[1] == 'M') {}

    std::uint32_t Word(std::int64_t at) { return Number(at, 2); }
    std::uint32_t Long(std::int64_t at) { return Number(at, 4); }
    bool ok() const { return ok_; }

  private:
    std::uint32_t Number(std::int64_t at, int size) {
        if (at < 0 || at + size > tiff_.size()) {
            ok_ = false;
            return 0;
        }
        std::uint32_t v = 0;
        for (int i = 0; i < size; ++i) {
            const std::uint32_t b = std::uint8_t(tiff_[at + (motorola_ ? i : size - 1 - i)]);
            v = v << 8 | b;
        }
        return v;
    }

    QByteArrayView tiff_;
    bool motorola_;
    bool ok_ = true;
};

}  // namespace

QByteArray ExifThumbnailJpeg(QByteArrayView tiff) {
    TiffReader r(tiff);
    if (tiff.size() < 8 || !(tiff.startsWith("II") || tiff.startsWith("MM")) || r.Word(2) != 42)
        return {};
    const std::int64_t ifd0 = r.Long(4);
    const std::int64_t ifd1 = r.Long(ifd0 + 2 + 12 * std::int64_t(r.Word(ifd0)));
    if (!r.ok() || ifd1 == 0) return {};
    const int entries = int(r.Word(ifd1));
    std::int64_t offset = -1, length = -1;
    for (int i = 0; i < entries && r.ok(); ++i) {
        const std::int64_t entry = ifd1 + 2 + 12 * std::int64_t(i);
        const std::uint32_t tag = r.Word(entry);
        // A LONG (or SHORT) count of one: the value sits in the entry itself.
        const std::uint32_t value = r.Word(entry + 2) == 3 ? r.Word(entry + 8) : r.Long(entry + 8);
        if (tag == kTagJpegOffset) offset = value;
        if (tag == kTagJpegLength) length = value;
    }
    if (!r.ok() || offset <= 0 || length < 4 || offset + length > tiff.size()) return {};
    const QByteArrayView jpeg = tiff.sliced(offset, length);
    if (std::uint8_t(jpeg[0]) != 0xFF || std::uint8_t(jpeg[1]) != 0xD8) return {};
    return jpeg.toByteArray();
}

}  // namespace tamarind
