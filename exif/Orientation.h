#pragma once
// The Exif Orientation tag of a JPEG file: how the stored rows must be
// turned or mirrored to show the picture as the camera meant it.
//
//   1 as stored            5 mirrored, then a quarter turn left
//   2 mirrored left-right  6 a quarter turn right
//   3 a half turn          7 mirrored, then a quarter turn right
//   4 upside down          8 a quarter turn left

namespace tamarind {

class ExifWindow;

// The Orientation (tag 0x0112, a SHORT) of IFD0 of the first Exif block
// among the JPEG segments held by the window, in either byte order and
// wherever IFD0 starts. 1 when the window holds no such block or tag, or the
// value is outside 1 to 8.
int ExifOrientation(const ExifWindow& window);

}  // namespace tamarind
