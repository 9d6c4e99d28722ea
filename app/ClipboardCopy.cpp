#include "app/ClipboardCopy.h"

#include <new>

#include "exif/Exif.h"
#include "picture/Jpeg.h"
#include "picture/OtherFormats.h"
#include "picture/Picture.h"
#include "picture/PictureLoad.h"

namespace tamarind {

QString ExtensionWithDot(const QString& fileName) { return FileExtensionWithDot(fileName); }

std::optional<QString> ClipboardRefusal(const QString& fileName, bool otherFormats) {
    const QString extension = ExtensionWithDot(fileName);
    if (extension.compare(u".bmp", Qt::CaseInsensitive) == 0 ||
        extension.compare(u".jpg", Qt::CaseInsensitive) == 0)
        return std::nullopt;
    if (otherFormats && OtherFormatOf(fileName) != OtherFormat::None) return std::nullopt;
    return extension + QStringLiteral("タイプ画像はクリップボードにコピーできません。");
}

QImage ClipboardImage(const Picture& picture) {
    if (picture.isNull() || picture.isMetafile()) return QImage();
    // A clipboard bitmap has no transparency: what a viewer shows of the
    // pixels is what is offered.
    const Bitmap& bitmap = picture.bitmap();
    if (bitmap.bitsPerPixel() == 32) return bitmap.ToQImage();
    QImage image(bitmap.size(), QImage::Format_RGB32);
    if (image.isNull()) throw std::bad_alloc();
    for (int y = 0; y < bitmap.height(); ++y)
        bitmap.RowToRgb32(y, 0, bitmap.width(), reinterpret_cast<QRgb*>(image.scanLine(y)));
    return image;
}

QImage ClipboardImageOfFile(const QString& path, const PictureOptions& options) {
    const QString kind = FileExtension(path).toLower();
    if ((kind == u"jpg" || kind == u"jpeg") &&
        (!options.upright || ReadExifFacts(path).orientation == 1)) {
        JpegReadOptions options;
        options.rgb32 = true;
        return ReadJpegFile(path, options).ToQImage();
    }
    return ClipboardImage(LoadPicture(path, options));
}

}  // namespace tamarind
