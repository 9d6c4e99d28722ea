#pragma once
// The small JPEG picture cameras embed in their Exif block (IFD1), shown
// while the picture itself is still being decoded.

#include <QByteArray>
#include <QByteArrayView>

namespace tamarind {

// The embedded JPEG of the TIFF data of an Exif block (what follows
// "Exif\0\0"): IFD0's link to IFD1, whose JPEGInterchangeFormat and
// JPEGInterchangeFormatLength entries locate it. Empty when there is none,
// when it does not lie wholly inside the block, or when it does not start
// as a JPEG file does.
QByteArray ExifThumbnailJpeg(QByteArrayView tiff);

}  // namespace tamarind
