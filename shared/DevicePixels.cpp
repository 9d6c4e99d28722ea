#include "shared/DevicePixels.h"

#include <cmath>

namespace tamarind {
namespace {

// Rounds up, forgiving the error of a product such as 100 x 1.1.
int Up(double value) { return int(std::ceil(value - 1e-6)); }

}  // namespace

QSize DevicePixelSize(QSize logical, double ratio) {
    if (ratio <= 0) ratio = 1;
    return {Up(logical.width() * ratio), Up(logical.height() * ratio)};
}

QSize LogicalSizeFor(QSize pixels, double ratio) {
    if (ratio <= 0) ratio = 1;
    return {Up(pixels.width() / ratio), Up(pixels.height() / ratio)};
}

}  // namespace tamarind
