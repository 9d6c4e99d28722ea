#pragma once
// Hostile picture files made on the spot (never kept as binaries): tiny files
// that claim huge pictures, and huge files that hold nothing but zeros. Used
// by the tests and the hostile-file benchmark alike, so header only.

#include <QByteArray>
#include <QFile>
#include <QString>

#include "picture/Bitmap.h"
#include "picture/Jpeg.h"

namespace tamarind::test {

// An RLE4 BMP of `width` x `height` pixels in 16 greys (colour i is i * 0x11
// in each channel) whose run-length data is `rle`; by default one run of
// 255 pixels alternating colours 1 and 2 at the start of the bottom row, then
// the end of the picture: 122 bytes, index 0 everywhere else.
inline QByteArray RleBombBmp(int width, int height,
                             const QByteArray& rle = QByteArray("\xFF\x12\x00\x01", 4)) {
    QByteArray bmp(14 + 40 + 64, '\0');
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = char(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(10, 14 + 40 + 64);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    bmp[26] = 1;
    bmp[28] = 4;
    put32(30, 2);  // RLE4
    for (int i = 0; i < 16; ++i) put32(54 + 4 * i, quint32(i * 0x111111));
    return bmp + rle;
}

// A JPEG whose frame header claims `size` x `size` pixels while it holds the
// data of a 16 x 16 one: a few hundred bytes.
inline QByteArray JpegBomb(int size) {
    Bitmap pixels(16, 16, 24);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 48; ++x) pixels.scanLine(y)[x] = uchar(x * 5 + y * 11);
    QByteArray jpeg = EncodeJpeg(pixels, 70);
    const char dims[4] = {char(size >> 8), char(size), char(size >> 8), char(size)};
    jpeg.replace(jpeg.indexOf("\xFF\xC0") + 5, 4, QByteArray(dims, 4));
    return jpeg;
}

// Makes `path` a file of `size` bytes that starts with `head` and is zeros
// after it, taking no room on disk (a sparse file). False on failure.
inline bool WriteSparseFile(const QString& path, const QByteArray& head, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(head) == head.size() && file.resize(size);
}

}  // namespace tamarind::test
