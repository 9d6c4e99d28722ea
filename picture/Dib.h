#pragma once
// Device-independent bitmaps embedded in other files (metafile records, icons):
// the header with its colour table in one place, the pixel rows in another.

#include <QImage>
#include <span>

namespace tamarind {

// Decodes a DIB whose BITMAPINFO (BITMAPCOREHEADER or BITMAPINFOHEADER and
// later forms, then the colour masks or colour table) is `info` and whose
// pixel rows are `bits`, with the same checks as a BMP file. Raises
// TamarindError("ビットマップイメージが不正です") for damaged data.
QImage DecodeDib(std::span<const uchar> info, std::span<const uchar> bits);

}  // namespace tamarind
