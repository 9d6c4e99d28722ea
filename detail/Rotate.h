#pragma once
// Lossless quarter turns, half turns, flips and mirrors of a working picture,
// done directly on its packed rows for every pixel format from 1 to 32 bits.

#include "picture/Bitmap.h"
#include "platform/Errors.h"

namespace tamarind {

// The five operations, by the values the detail window's buttons use.
enum TransformModeValue : int {
    kTurnLeft = -1,   // quarter turn counter-clockwise
    kTurnRight = 1,   // quarter turn clockwise
    kHalfTurn = 0,
    kMirror = 2,      // left-right
    kFlip = 3,        // top-bottom
};

// Raised for a picture that cannot be turned; carries only its message.
class ERotateError : public TamarindError {
  public:
    using TamarindError::TamarindError;
};

// A new bitmap holding `source` turned or mirrored by `mode`, in the source's
// pixel format with a copy of its palette. Pixel (x, y) of a W x H source
// goes to:
//   kTurnRight  (H-1-y, x)      result H x W
//   kTurnLeft   (y, W-1-x)      result H x W
//   kHalfTurn   (W-1-x, H-1-y)
//   kMirror     (W-1-x, y)
//   kFlip       (x, H-1-y)
// An empty source raises ERotateError("Bitmap Size Error"), a pixel format
// other than 1, 4, 8, 15, 16, 24 and 32 bits ERotateError("Illegal Bitmap");
// a mode outside the five raises std::invalid_argument; a lack of memory
// std::bad_alloc. The source is never changed.
Bitmap RotateBitmap(const Bitmap& source, int mode);

}  // namespace tamarind
