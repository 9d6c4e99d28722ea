#pragma once
// The density a picture file records for itself: how many of its pixels
// make an inch on paper. JPEG files give it in their JFIF header (dots per
// inch or per centimetre) or in Exif's XResolution and YResolution with
// their ResolutionUnit; BMP files in pixels per metre.

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tamarind {

struct PictureDensity {
    enum class Source { Jfif, Exif, Bmp };
    double x = 0;  // pixels per inch across
    double y = 0;  // ... and down
    Source source = Source::Bmp;
};

// The density in the first bytes of a file (the headers; 64 KB is plenty).
// Exif is preferred to JFIF where a JPEG file has both, as viewers and
// editors do. Nothing when the file records none, records one without a
// unit (JFIF units 0, Exif unit 1), or one outside 1 to 100000 pixels per
// inch, which no real picture has.
std::optional<PictureDensity> DensityFromHeader(QByteArrayView fileStart);

// The same for a file; nothing when it cannot be read.
std::optional<PictureDensity> ReadPictureDensity(const QString& path);

// The size in millimetres of `pixels` at `pixelsPerInch`.
double PixelsToMm(int pixels, double pixelsPerInch);

}  // namespace tamarind
