#pragma once
// Pictures of the formats Tamarind reads only when the user asks for them:
// PNG, GIF (first frame), TIFF (first page) and WebP (first frame) through
// Qt's image readers, HEIC/HEIF and AVIF through libheif. Files are read a
// piece at a time through InputFile; a picture is decoded at a smaller size
// where the reader can do so, and never beyond the pixel and memory caps.

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <functional>

#include "picture/Bitmap.h"

namespace tamarind {

enum class OtherFormat { None, Png, Gif, Tiff, Webp, Heif, Avif };

// The format a file name's extension names, letters in any case: png, gif,
// tif, tiff, webp, heic, heif, avif.
OtherFormat OtherFormatOf(const QString& path);
// "PNG", "GIF", "TIFF", "WebP", "HEIF", "AVIF".
QString OtherFormatName(OtherFormat format);

// What a decoder may allocate for one picture decoded for a thumbnail (a
// reader that cannot scale decodes the whole picture first): Qt's own
// allocation limit for one picture, enough for a 48-megapixel phone photo.
constexpr qint64 kOtherThumbnailMaxBytes = qint64(256) << 20;

struct OtherPicture {
    // The picture as stored (not turned), at the size asked for, with
    // transparent pixels laid on the background colour: Indexed8 for
    // palette pictures (their colours blended), Grayscale8 for grey ones,
    // RGB888 for colour and RGB32 for colour that had transparency.
    QImage image;
    // The stored size in pixels.
    QSize natural;
    // The Exif orientation (1 to 8) the file states, 1 when none.
    int orientation = 1;
};

// Decodes the file as `format`. `sizeFor(stored size, orientation)` is
// called once the header is read and returns the size wanted in stored
// orientation (an invalid size: the natural size); the reader scales while
// decoding where it can, otherwise the decoded picture is reduced smoothly.
// `maxBytes` caps what a decode may allocate. Errors:
//   no reader for the format in this installation:
//       "拡張子 .%s の画像形式は処理できません" (the extension as written)
//   damaged, truncated or empty file: "%s イメージが不正です" (the format name)
//   more pixels than Bitmap::kMaxPixels or more bytes than maxBytes:
//       "%s イメージが大きすぎます"
//   a file that cannot be opened or read: FileIo's error naming the file.
OtherPicture ReadOtherPicture(const QString& path, OtherFormat format,
                              const std::function<QSize(QSize, int)>& sizeFor = nullptr,
                              qint64 maxBytes = Bitmap::kMaxPixels * 4,
                              QRgb background = qRgb(240, 240, 240));

// Whether this installation reads the format, and which Debian package
// adds it when it does not.
struct FormatSupport {
    QString name;        // "PNG", "GIF", "TIFF", "WebP", "HEIC/HEIF", "AVIF"
    QString extensions;  // "*.png", ... as the file filter lists them
    bool readable = false;
    QString package;  // the Debian package that brings the reader
};
QList<FormatSupport> OtherFormatSupport();

// A short Japanese text listing the formats with their state, one per line
// ("PNG: 表示できます", "AVIF: 表示できません (libdav1d6 をインストールしてください)").
QString OtherFormatSupportText();

}  // namespace tamarind
