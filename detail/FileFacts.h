#pragma once
// What the detail window shows of a file and its picture: attribute letters,
// times, length, the picture format chosen by the file name's extension, and
// the image line.

#include <QLocale>
#include <QString>

#include "platform/FileFacts.h"

namespace tamarind {

// "1,234,567 バイト" with the thousands separator of `locale`.
QString FormatByteCount(qint64 bytes, const QLocale& locale = QLocale());

// How the detail window reads a file, by the extension of its name (letter
// case ignored): ".jpg" JPEG, ".bmp" BMP, ".wmf" and ".ico" measured only;
// anything else (also ".jpeg" and ".emf") is not taken.
enum class DetailFormat { Jpeg, Bmp, Measured, Unknown };
DetailFormat DetailFormatOf(const QString& fileName);

// The extension of a file name from its last dot, dot included, lower-cased
// ("" when the name has no dot).
QString LowerExtension(const QString& fileName);

// The colour-depth word for a picture of `bitsPerPixel` ("16.8Ｍ色" for 24).
QString DepthText(int bitsPerPixel);
// " ( 1600×1200 ) 16.8Ｍ色".
QString ImageLine(int width, int height, const QString& depth);

}  // namespace tamarind
