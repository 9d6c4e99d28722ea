#pragma once
// What the WMF and EMF players share beyond the canvas: the refusal of a
// damaged file and the natural size in whole pixels.

#include <QSize>

namespace tamarind::metafile {

// Raises TamarindError("メタファイルが不正です").
[[noreturn]] void ThrowInvalidMetafile();

// A picture size in pixels, rounded; a non-zero extent is at least one pixel.
// Sizes beyond any real picture (a side over 100,000 pixels, about 26 metres
// at 96 dpi) or not finite are refused as damage, so that no caller is asked
// to allocate a bitmap for them.
QSize NaturalPixels(double width, double height);

}  // namespace tamarind::metafile
