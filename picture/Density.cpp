#include "picture/Density.h"

#include <cstdint>

#include "platform/FileIo.h"

namespace tamarind {

namespace {

constexpr qsizetype kHeaderBytes = 64 * 1024;

bool Plausible(double ppi) { return ppi >= 1.0 && ppi <= 100000.0; }

std::optional<PictureDensity> Make(double x, double y, PictureDensity::Source source) {
    if (!Plausible(x) || !Plausible(y)) return std::nullopt;
    return PictureDensity{x, y, source};
}

// Bounds-checked reading of the bytes held.
class Bytes {
public:
    explicit Bytes(QByteArrayView data) : data_(data) {}
    qsizetype size() const { return data_.size(); }
    bool Has(qsizetype at, qsizetype count) const {
        return at >= 0 && count >= 0 && at <= data_.size() - count;
    }
    std::uint32_t U8(qsizetype at) const { return Has(at, 1) ? std::uint8_t(data_[at]) : 0; }
    std::uint32_t U16(qsizetype at, bool big) const {
        return big ? (U8(at) << 8 | U8(at + 1)) : (U8(at + 1) << 8 | U8(at));
    }
    std::uint32_t U32(qsizetype at, bool big) const {
        return big ? (U16(at, true) << 16 | U16(at + 2, true))
                   : (U16(at + 2, false) << 16 | U16(at, false));
    }
    bool Matches(qsizetype at, QByteArrayView text) const {
        return Has(at, text.size()) && data_.sliced(at, text.size()) == text;
    }

private:
    QByteArrayView data_;
};

// JFIF: units (0 none, 1 per inch, 2 per centimetre), then the densities.
std::optional<PictureDensity> FromJfif(const Bytes& b, qsizetype body, qsizetype length) {
    if (length < 14 || !b.Matches(body, QByteArrayView("JFIF\0", 5))) return std::nullopt;
    const std::uint32_t units = b.U8(body + 7);
    const double x = b.U16(body + 8, true), y = b.U16(body + 10, true);
    if (units == 1) return Make(x, y, PictureDensity::Source::Jfif);
    if (units == 2) return Make(x * 2.54, y * 2.54, PictureDensity::Source::Jfif);
    return std::nullopt;
}

// Exif: the TIFF block's first directory holds XResolution, YResolution
// (rationals) and ResolutionUnit (2 inch, the default; 3 centimetre).
std::optional<PictureDensity> FromExif(const Bytes& b, qsizetype body, qsizetype length) {
    if (length < 14 || !b.Matches(body, QByteArrayView("Exif\0\0", 6))) return std::nullopt;
    const qsizetype tiff = body + 6;
    const qsizetype end = body + length;
    const bool big = b.Matches(tiff, "MM");
    if (!big && !b.Matches(tiff, "II")) return std::nullopt;
    const qsizetype ifd = tiff + qsizetype(b.U32(tiff + 4, big));
    if (ifd < tiff || ifd + 2 > end) return std::nullopt;
    const int count = int(b.U16(ifd, big));
    double x = 0, y = 0;
    std::uint32_t unit = 2;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = ifd + 2 + qsizetype(i) * 12;
        if (entry + 12 > end) break;
        const std::uint32_t tag = b.U16(entry, big), type = b.U16(entry + 2, big);
        if ((tag == 0x011A || tag == 0x011B) && type == 5) {
            const qsizetype at = tiff + qsizetype(b.U32(entry + 8, big));
            if (at < tiff || at + 8 > end) continue;
            const std::uint32_t num = b.U32(at, big), den = b.U32(at + 4, big);
            const double value = den ? double(num) / double(den) : 0.0;
            (tag == 0x011A ? x : y) = value;
        } else if (tag == 0x0128 && type == 3) {
            unit = b.U16(entry + 8, big);
        }
    }
    if (unit == 2) return Make(x, y, PictureDensity::Source::Exif);
    if (unit == 3) return Make(x * 2.54, y * 2.54, PictureDensity::Source::Exif);
    return std::nullopt;
}

std::optional<PictureDensity> FromJpeg(const Bytes& b) {
    std::optional<PictureDensity> jfif, exif;
    qsizetype at = 2;
    // The header segments up to the picture data.
    while (b.Has(at, 4) && b.U8(at) == 0xFF) {
        const std::uint32_t marker = b.U8(at + 1);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;
        const qsizetype length = b.U16(at + 2, true);
        if (length < 2) break;
        if (marker == 0xE0 && !jfif) jfif = FromJfif(b, at + 4, length - 2);
        if (marker == 0xE1 && !exif) exif = FromExif(b, at + 4, length - 2);
        at += 2 + length;
    }
    return exif ? exif : jfif;
}

std::optional<PictureDensity> FromBmp(const Bytes& b) {
    // The pixels per metre of the Windows header and of OS/2's long one.
    if (b.U32(14, false) < 40) return std::nullopt;
    const auto x = std::int32_t(b.U32(38, false)), y = std::int32_t(b.U32(42, false));
    return Make(x * 0.0254, y * 0.0254, PictureDensity::Source::Bmp);
}

}  // namespace

std::optional<PictureDensity> DensityFromHeader(QByteArrayView fileStart) {
    const Bytes b(fileStart);
    if (b.Matches(0, "\xFF\xD8")) return FromJpeg(b);
    if (b.Matches(0, "BM")) return FromBmp(b);
    return std::nullopt;
}

std::optional<PictureDensity> ReadPictureDensity(const QString& path) {
    QByteArray start;
    if (!TryReadFileBytes(path, kHeaderBytes, start)) return std::nullopt;
    return DensityFromHeader(start);
}

double PixelsToMm(int pixels, double pixelsPerInch) { return pixels * 25.4 / pixelsPerInch; }

}  // namespace tamarind
