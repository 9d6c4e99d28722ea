#pragma once
// Device-independent bitmaps embedded in other files (metafile records, icons):
// the header with its colour table in one place, the pixel rows in another.

#include <QImage>
#include <span>

namespace tamarind {

// Decodes a DIB whose BITMAPINFO (BITMAPCOREHEADER or BITMAPINFOHEADER and
// later forms, then the colour masks or colour table) is `info` and whose
// pixel rows are `bits`, with the same checks as a BMP file (see
// DecodeDibBitmap in picture/Bmp.h). The colour table holds as many entries
// as the header declares and `info` has room for. The image is Format_Mono
// (1 bit), Indexed8 (2, 4 and 8 bits), RGB555, RGB16, BGR888 or RGB32
// (32-bit pixels opaque, alpha not kept). Raises
// TamarindError("ビットマップイメージが不正です") for damaged data and
// std::bad_alloc when memory is short.
QImage DecodeDib(std::span<const uchar> info, std::span<const uchar> bits);

}  // namespace tamarind
