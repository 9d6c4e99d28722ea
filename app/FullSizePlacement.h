#pragma once
// The full-size view's arithmetic: the size a picture is shown at on the
// screen and where its window goes. Integer divisions truncate toward zero.

#include <QPoint>
#include <QSize>

namespace tamarind {

// The largest picture shown at natural size is below 95 % of the screen in
// both directions (integer percent of the screen size).
QSize FullSizeLimits(QSize screen);

// The size at which a `picture`-sized picture is shown on `screen`: natural
// when it is smaller than the limits both ways; otherwise fitted to the limit
// height when it is, relative to its width, at least as tall as the screen
// (the comparison in single-precision floating point), else to the limit
// width. A picture without an area is shown at its natural size.
QSize FullSizeImageSize(QSize picture, QSize screen);

// Where a window of `window` size goes for a picture `value` pixels wide
// (the width rule) or high (the height rule): centred on the screen up to
// 700 pixels, else at (20, 50) for the width and (20, 0) for the height.
QPoint PlaceByWidth(int value, QSize window, QSize screen);
QPoint PlaceByHeight(int value, QSize window, QSize screen);

}  // namespace tamarind
