#include "picture/PictureLoad.h"

#include "exif/Exif.h"
#include "picture/Orientation.h"
#include "picture/OtherFormats.h"

namespace tamarind {
namespace {

bool IsJpeg(const QString& path) {
    const QString kind = FileExtension(path).toLower();
    return kind == u"jpg" || kind == u"jpeg";
}

// The box in stored orientation for a picture whose upright box boxFor
// gives.
QSize StoredBox(const std::function<QSize(QSize)>& boxFor, QSize stored, int orientation) {
    return UprightSize(boxFor(UprightSize(stored, orientation)), orientation);
}

}  // namespace

Picture LoadPicture(const QString& path, const PictureOptions& options) {
    if (options.otherFormats) {
        const OtherFormat format = OtherFormatOf(path);
        if (format != OtherFormat::None) {
            const OtherPicture other =
                ReadOtherPicture(path, format, nullptr, Bitmap::kMaxPixels * 4, options.background);
            const Bitmap stored = Bitmap::FromQImage(other.image);
            return Picture::FromBitmap(options.upright ? OrientBitmap(stored, other.orientation)
                                                       : stored);
        }
    }
    Picture picture = LoadPicture(path);
    if (options.upright && IsJpeg(path)) {
        const int orientation = ReadExifFacts(path).orientation;
        if (orientation != 1) picture = Picture::FromBitmap(OrientBitmap(picture.bitmap(), orientation));
    }
    return picture;
}

PictureThumbnail LoadThumbnail(const QString& path, const std::function<QSize(QSize)>& boxFor,
                               const PictureOptions& options, int orientation,
                               DecodedForThumbnail* keep) {
    PictureThumbnail thumbnail;
    const OtherFormat format = options.otherFormats ? OtherFormatOf(path) : OtherFormat::None;
    if (format != OtherFormat::None) {
        const OtherPicture other = ReadOtherPicture(
            path, format,
            [&](QSize stored, int stated) {
                const QSize box = StoredBox(boxFor, stored, options.upright ? stated : 1);
                return box.isEmpty() ? QSize(1, 1) : box;
            },
            kOtherThumbnailMaxBytes, options.background);
        const int turn = options.upright ? other.orientation : 1;
        thumbnail.natural = UprightSize(other.natural, turn);
        if (!boxFor(thumbnail.natural).isEmpty())
            thumbnail.image = OrientImage(other.image, turn).convertToFormat(QImage::Format_RGB32);
        thumbnail.orientation = other.orientation;
    } else if (options.upright && OrientationSwapsSides(orientation) && IsJpeg(path)) {
        thumbnail = LoadThumbnail(path, [&](QSize stored) {
            return StoredBox(boxFor, stored, orientation);
        }, keep);
        thumbnail.natural = UprightSize(thumbnail.natural, orientation);
        thumbnail.image = OrientImage(thumbnail.image, orientation);
    } else {
        thumbnail = LoadThumbnail(path, boxFor, keep);
        if (options.upright && IsJpeg(path)) thumbnail.image = OrientImage(thumbnail.image, orientation);
    }
    if (IsJpeg(path)) thumbnail.orientation = orientation;
    thumbnail.options = options;
    return thumbnail;
}

}  // namespace tamarind
