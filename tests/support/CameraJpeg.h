#pragma once
// JPEG files as cameras write them: an Exif block as the first segment whose
// second directory (IFD1) holds a small JPEG thumbnail.

#include <QByteArray>

namespace tamarind::test {

// The TIFF data of an Exif block (Intel byte order): an empty IFD0 linking
// to an IFD1 that locates `thumbnail`, stored right after it.
inline QByteArray ExifTiffWithThumbnail(const QByteArray& thumbnail) {
    QByteArray t;
    auto word = [&](int v) { t.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF)); };
    auto dword = [&](qint64 v) {
        word(int(v & 0xFFFF));
        word(int(v >> 16 & 0xFFFF));
    };
    t.append("II");
    word(42);
    dword(8);   // IFD0
    word(0);    // no entries
    dword(14);  // IFD1
    word(2);
    word(0x0201), word(4), dword(1), dword(44);  // JPEGInterchangeFormat
    word(0x0202), word(4), dword(1), dword(thumbnail.size());
    dword(0);
    return t + thumbnail;
}

// `jpeg` with an Exif block carrying `thumbnail` inserted after its start marker.
inline QByteArray WithExifThumbnail(const QByteArray& jpeg, const QByteArray& thumbnail) {
    const QByteArray tiff = ExifTiffWithThumbnail(thumbnail);
    const int length = int(tiff.size()) + 8;
    QByteArray segment("\xff\xe1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append(QByteArray("Exif\0\0", 6)).append(tiff);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

}  // namespace tamarind::test
