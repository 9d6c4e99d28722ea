#pragma once
// What the start of a JPEG file tells without decoding it: the picture's
// size from its frame header and the camera's Exif block, read segment by
// segment as libjpeg reads them, a few kilobytes in all.

#include <QByteArray>
#include <QSize>
#include <QString>

namespace tamarind {

struct JpegHead {
    // Whether the file could be opened (and its start read).
    bool opened = false;
    // The size the frame header states; invalid when the file has none
    // before its first scan, or is no JPEG file at all.
    QSize natural;
    // The TIFF data of the first Exif block (after "Exif\0\0"), empty when
    // there is none.
    QByteArray exif;
    // The file's first bytes (up to 4096), which the Exif summary reads.
    QByteArray start;
};

// Reads the head of the file at `path`. Never raises: a file that cannot be
// read gives an empty head, and its decoding then reports why.
JpegHead ReadJpegHead(const QString& path);

}  // namespace tamarind
