#pragma once
// Picture files the tests make for themselves: JPEGs with an Exif
// orientation, pictures of the other formats through Qt's writers and
// libheif's encoders, and the expected place of a pixel once a picture is
// turned upright.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

#include "picture/Bitmap.h"

namespace tamarind::test {

// A JPEG's bytes with an Exif block (APP1) holding IFD0 with the
// Orientation tag: right after the start marker, or after the JFIF block
// that our encoder writes first. Intel or Motorola byte order.
QByteArray WithExifOrientation(const QByteArray& jpeg, int orientation, bool motorola = false,
                               bool afterJfif = false);

// A 24-bit picture of four flat quarters: red top left, green top right,
// blue bottom left, yellow bottom right.
Bitmap QuarterPicture(int width, int height);
// The colour of the quarter that holds (x, y) in QuarterPicture(width, height).
QRgb QuarterColour(QPoint at, QSize size);

// Where stored pixel `at` of a picture of `stored` size lies once the
// picture is shown by Exif orientation 1 to 8, worked out from the
// standard's words: which visual side the stored first row and first
// column show.
QPoint UprightPosition(QPoint at, QSize stored, int orientation);

// Whether `image` (at any scale) shows QuarterPicture(stored) as Exif
// orientation `orientation` shows it: the centre of each stored quarter is
// probed where the orientation puts it.
::testing::AssertionResult ShowsQuarters(const QImage& image, QSize stored, int orientation);

// True when the colours differ by at most `tolerance` in each channel.
bool Near(QRgb a, QRgb b, int tolerance = 40);

// The picture written by Qt's writer for `format` ("png", "tiff", "webp"),
// or for "gif" (which Qt only reads) by GifBytes.
QByteArray QtPictureBytes(const QImage& image, const char* format);
// A GIF of the picture's colours (at most 256; more are reduced by Qt's
// palette conversion), each pixel stored as a plain LZW code; a colour with
// alpha 0 becomes the transparent index.
QByteArray GifBytes(const QImage& image);
// The picture encoded by libheif as HEIC (HEVC) or AVIF (AV1) and written
// to `path`, stored as Exif orientation `orientation` says (libheif writes
// the turn and mirror as the format's own transforms); false when this
// installation has no encoder for it.
bool WriteHeifPicture(const QImage& image, const QString& path, bool avif, int orientation = 1);

}  // namespace tamarind::test
