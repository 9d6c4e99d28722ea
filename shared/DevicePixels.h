#pragma once
// Window pixels and screen pixels. Every size and position of the windows is
// in logical pixels; on a scaled screen (150 %, 200 %) each of them covers
// `ratio` device pixels across and down, and pictures are made at the device
// pixels so that they stay as sharp as at 100 %.

#include <QSize>

namespace tamarind {

// The device pixels a box of `logical` size covers at `ratio`, rounded up so
// that a picture made at this size leaves no part of the box bare.
QSize DevicePixelSize(QSize logical, double ratio);

// The logical size that holds `pixels` device pixels at `ratio`, rounded up.
QSize LogicalSizeFor(QSize pixels, double ratio);

}  // namespace tamarind
