#include "detail/DetailPicture.h"

#include "detail/FileFacts.h"
#include "exif/Exif.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "picture/Orientation.h"
#include "picture/OtherFormats.h"

namespace tamarind {

std::optional<DetailPicture> ReadDetailPicture(const QString& path, const PictureOptions& options) {
    DetailPicture picture;
    switch (DetailFormatOf(path)) {
        case DetailFormat::Jpeg:
            picture.bitmap = ReadJpegFile(path);
            picture.orientation = ReadExifFacts(path).orientation;
            if (options.upright) picture.bitmap = OrientBitmap(picture.bitmap, picture.orientation);
            return picture;
        case DetailFormat::Bmp:
            picture.bitmap = ReadBmpFile(path);
            return picture;
        default:
            break;
    }
    const OtherFormat format = options.otherFormats ? OtherFormatOf(path) : OtherFormat::None;
    if (format == OtherFormat::None) return std::nullopt;
    const OtherPicture other =
        ReadOtherPicture(path, format, nullptr, Bitmap::kMaxPixels * 4, options.background);
    picture.bitmap = Bitmap::FromQImage(other.image);
    picture.orientation = other.orientation;
    if (options.upright) picture.bitmap = OrientBitmap(picture.bitmap, picture.orientation);
    return picture;
}

bool DetailConverts(const QString& fileName, const PictureOptions& options) {
    const QString e = LowerExtension(fileName);
    return e == u".bmp" || e == u".jpg" ||
           (options.otherFormats && OtherFormatOf(fileName) != OtherFormat::None);
}

QString OrientationNote(int orientation) {
    const QString mark = OrientationMark(orientation);
    return mark.isEmpty() ? QString() : QStringLiteral("  向き") + mark;
}

}  // namespace tamarind
