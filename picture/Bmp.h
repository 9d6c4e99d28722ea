#pragma once
// BMP files: read in every header form and written in the bitmap's own format.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <span>

#include "picture/Bitmap.h"

namespace tamarind {

// Decodes a BMP file's bytes: OS/2 1.x (12-byte) and 2.x (16- and 64-byte)
// headers and Windows headers of 40, 52, 56, 108 and 124 bytes; rows bottom-up
// or top-down; 1-, 2-, 4- and 8-bit palette pictures (2-bit ones become 4-bit),
// RLE4 and RLE8; 16 and 32 bits plain or with colour masks. The file's format
// and palette are kept: 5-5-5 masks give 15 bits, 5-6-5 give 16 bits, 8-8-8
// in 32 bits stays 32 bits, other masks become 24 bits (16-bit files) or 32
// bits (32-bit files). Alpha is not kept (32-bit pixels get a fourth byte of
// 0xFF). RLE pictures that end early keep the rows decoded so far.
//
// A damaged file, one in an unsupported form (embedded JPEG or PNG, OS/2
// Huffman or RLE24) or one of more than maxPixels pixels raises
// TamarindError("ビットマップイメージが不正です") before any pixel memory is
// taken; a lack of memory raises std::bad_alloc.
Bitmap DecodeBmp(std::span<const uchar> bytes, qint64 maxPixels = Bitmap::kMaxPixels);
// The same for a file; a file that cannot be read raises FileIo's error,
// which names the file.
Bitmap ReadBmpFile(const QString& path);

// A BMP file's thumbnail: the natural size from its header, and the picture
// area-averaged to the size boxFor(natural size) gives, made straight from
// the file's rows read a piece at a time: no full-size copy of the picture
// is ever held, in any format. Run-length pictures cost work in proportion
// to the file's bytes, whatever size their header claims. The same checks
// and messages as DecodeBmp; an empty box gives a null image.
struct BmpThumbnail {
    QImage image;
    QSize natural;
};
BmpThumbnail ReadBmpThumbnail(const QString& path, const std::function<QSize(QSize)>& boxFor);

// A device-independent bitmap given as its BITMAPINFO (header, colour masks,
// colour table) and its pixel rows, as metafiles and icons embed it. The
// colour table holds as many entries as the header declares and `info` has
// room for. Same checks and messages as DecodeBmp.
Bitmap DecodeDibBitmap(std::span<const uchar> info, std::span<const uchar> bits,
                       qint64 maxPixels = Bitmap::kMaxPixels);

// A BMP file of the bitmap in its own format: a 40-byte header, rows
// bottom-up, the full palette for 8 bits or fewer, 15 bits as plain 16-bit
// pixels and 16 bits with 5-6-5 colour masks. An empty bitmap raises
// TamarindError("ビットマップイメージが不正です").
QByteArray EncodeBmp(const Bitmap& bitmap);
// Writes EncodeBmp's bytes to the file; FileIo's error on failure.
void WriteBmpFile(const QString& path, const Bitmap& bitmap);

}  // namespace tamarind
