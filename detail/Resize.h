#pragma once
// Scaling the working picture to a typed size, and the size fields' numbers.

#include <QString>

#include "picture/Bitmap.h"

namespace tamarind {

// A size field's number: "0" followed by the text, read as a decimal 32-bit
// integer, so an empty field is 0. Anything else (letters, a sign, a number
// too large) raises TamarindError naming the text.
int ReadSizeField(const QString& text);

// The height that keeps a picture of width x height in proportion at
// `typedWidth`, in single precision as the size fields have always worked:
// ratio = height / width, then ratio * typedWidth truncated toward zero
// (5 x 21 at 15 gives 62, since 4.2 in single precision is a little below
// 4.2). A picture without a width proposes 0.
int ProportionalHeight(int width, int height, int typedWidth);

// The picture scaled to width x height in 32 bits per pixel by taking, for
// each result pixel, the source pixel its position maps to (rows and columns
// dropped or repeated, colours never mixed). A 1-bit picture combines the
// source pixels that fall on one result pixel by a logical AND of their
// colours, so black wins over white. A size of 0 gives an empty picture; an
// empty source gives black. Throws std::bad_alloc when memory is short and
// std::invalid_argument for a negative size.
Bitmap ResizeBitmap(const Bitmap& source, int width, int height);

}  // namespace tamarind
