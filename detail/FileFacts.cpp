#include "detail/FileFacts.h"
#include "picture/Picture.h"

#include "platform/Folders.h"

namespace tamarind {

QString FormatByteCount(qint64 bytes, const QLocale& locale) {
    return GroupedNumber(bytes, locale) + QStringLiteral(" バイト");
}

QString LowerExtension(const QString& fileName) {
    return FileExtensionWithDot(fileName).toLower();
}

DetailFormat DetailFormatOf(const QString& fileName) {
    const QString e = LowerExtension(fileName);
    if (e == u".jpg") return DetailFormat::Jpeg;
    if (e == u".bmp") return DetailFormat::Bmp;
    if (e == u".wmf" || e == u".ico") return DetailFormat::Measured;
    return DetailFormat::Unknown;
}

QString DepthText(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1: return QStringLiteral("２色");
        case 4: return QStringLiteral("16色");
        case 8: return QStringLiteral("256色");
        case 15:
        case 16: return QStringLiteral("32k/64k色");
        case 24: return QStringLiteral("16.8Ｍ色");
        case 32: return QStringLiteral("4.3G色");
        default: return QStringLiteral("?????");
    }
}

QString ImageLine(int width, int height, const QString& depth) {
    return QStringLiteral(" ( %1×%2 ) ").arg(width).arg(height) + depth;
}

}  // namespace tamarind
