#pragma once
// The smoothly scaled copy a slot draws: made once per box size from the
// slot's full picture, so repainting sixteen big pictures stays instant.

#include <QImage>
#include <QSize>

namespace tamarind {

class Bitmap;

// `bitmap` scaled to `target` with area averaging. Large pictures are first
// reduced by whole blocks straight from their rows (one pass, no converted
// copy of the full picture, whatever its format), then smoothed to the exact
// size. An empty target or bitmap gives a null image.
QImage ScaledCopy(const Bitmap& bitmap, QSize target);

}  // namespace tamarind
