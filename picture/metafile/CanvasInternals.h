#pragma once
// What the canvas's source files share: the binary raster operations they
// treat by name and two measures of a transform.

#include <QTransform>
#include <cmath>

namespace tamarind::metafile {

// The binary raster operations (SetROP2) that are drawn otherwise than by a
// composition mode.
constexpr int kR2Black = 1;
constexpr int kR2Nop = 11;
constexpr int kR2CopyPen = 13;
constexpr int kR2White = 16;

// The transform's scale along a line: the square root of the factor by
// which it scales areas.
inline double LinearScale(const QTransform& t) {
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

inline bool Finite(const QTransform& t) {
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) &&
           std::isfinite(t.m22()) && std::isfinite(t.dx()) && std::isfinite(t.dy()) &&
           std::isfinite(t.m13()) && std::isfinite(t.m23()) && std::isfinite(t.m33());
}

}  // namespace tamarind::metafile
