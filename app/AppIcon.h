#pragma once
// The program's icon: a picture frame with sky, sun and hills on a tamarind
// brown tile. One list of shapes draws it both as pixels (window icon, PNG
// files) and as SVG text, so every size shows the same drawing.

#include <QImage>
#include <QString>

namespace tamarind {

// The icon drawn at `size` × `size` pixels on a transparent background.
QImage DrawAppIcon(int size);
// The icon as an SVG document (256 × 256 user units).
QString AppIconSvg();

}  // namespace tamarind
