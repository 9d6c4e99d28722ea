#pragma once
// What the detail window shows of a file and its picture: attribute letters,
// times, length, the picture format chosen by the file name's extension, and
// the image line.

#include <QLocale>
#include <QString>
#include <optional>

namespace tamarind {

struct FileFacts {
    // "R" when the user may not write the file, then "H" when its name
    // starts with a dot; empty when neither holds.
    QString attributes;
    // Seconds since 1970 (UTC); no birth time where the file system keeps none.
    std::optional<qint64> birthTime;
    qint64 modifyTime = 0;
    qint64 size = 0;
};

// The facts of the file at `path`, or nothing when it does not exist or
// cannot be looked at.
std::optional<FileFacts> ReadFileFacts(const QString& path);

// A file time in the local time zone, "2004/05/03 14:07:09(月)"; "不明" when
// there is none or its local year is below 1900.
QString FormatFileTime(std::optional<qint64> secondsUtc);

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
