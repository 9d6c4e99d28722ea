#pragma once
// Pictures turned upright by an Exif orientation (1 to 8, see
// exif/Orientation.h), and the short mark that tells a user how a file's
// picture is stored.

#include <QImage>
#include <QSize>
#include <QString>

#include "picture/Bitmap.h"

namespace tamarind {

// True for the orientations that exchange width and height (5 to 8).
bool OrientationSwapsSides(int orientation);
// The size of a stored picture of `stored` pixels once turned upright.
QSize UprightSize(QSize stored, int orientation);

// The turn that makes the stored picture upright, clockwise, after a
// left-right mirror marked "⇋": "" for 1, "⇋", "↻180", "⇋↻180", "⇋↻270",
// "↻90", "⇋↻90", "↻270" for 2 to 8. Values outside 2 to 8 give "".
QString OrientationMark(int orientation);

// The picture turned upright, in its own pixel format. Orientation 1 (or a
// value outside 1 to 8) returns the picture itself.
Bitmap OrientBitmap(const Bitmap& stored, int orientation);
QImage OrientImage(const QImage& stored, int orientation);

}  // namespace tamarind
