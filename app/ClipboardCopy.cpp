#include "app/ClipboardCopy.h"

#include "picture/OtherFormats.h"
#include "picture/Picture.h"

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
    return picture.image().convertToFormat(QImage::Format_RGB32);
}

}  // namespace tamarind
