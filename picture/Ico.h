#pragma once
// ICO files: the first picture, decoded by Qt's own ICO reader after our
// checks.

#include <QImage>
#include <QString>
#include <span>

#include "picture/Bitmap.h"

namespace tamarind {

// The first picture of an ICO file at its own size (the size its bitmap or
// PNG header states, whatever the directory says), with its transparency:
// a BMP icon with its AND mask, or a PNG icon. The image is
// Format_ARGB32_Premultiplied. A damaged file, or a bomb (a header claiming
// more pixels than the data can hold, or more than maxPixels),
// raises TamarindError("アイコンイメージが不正です") before anything is
// decoded.
QImage DecodeIco(std::span<const uchar> bytes, qint64 maxPixels = Bitmap::kMaxPixels);
// The same for a file; a file that cannot be read raises FileIo's error,
// which names the file.
QImage ReadIcoFile(const QString& path, qint64 maxPixels = Bitmap::kMaxPixels);

}  // namespace tamarind
