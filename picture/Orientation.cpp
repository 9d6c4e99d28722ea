#include "picture/Orientation.h"

#include <QTransform>

#include "detail/Rotate.h"

namespace tamarind {
namespace {

// An orientation as a mirror (done first) and a clockwise turn.
struct Steps {
    bool mirror = false;
    int degrees = 0;
};

Steps StepsOf(int orientation) {
    switch (orientation) {
        case 2: return {true, 0};
        case 3: return {false, 180};
        case 4: return {true, 180};
        case 5: return {true, 270};
        case 6: return {false, 90};
        case 7: return {true, 90};
        case 8: return {false, 270};
        default: return {};
    }
}

}  // namespace

bool OrientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

QSize UprightSize(QSize stored, int orientation) {
    return OrientationSwapsSides(orientation) ? stored.transposed() : stored;
}

QString OrientationMark(int orientation) {
    const Steps steps = StepsOf(orientation);
    QString mark;
    if (steps.mirror) mark += u'⇋';
    if (steps.degrees != 0) mark += u'↻' + QString::number(steps.degrees);
    return mark;
}

Bitmap OrientBitmap(const Bitmap& stored, int orientation) {
    const Steps steps = StepsOf(orientation);
    Bitmap result = stored;
    if (steps.mirror) result = RotateBitmap(result, kMirror);
    switch (steps.degrees) {
        case 90: return RotateBitmap(result, kTurnRight);
        case 180: return RotateBitmap(result, kHalfTurn);
        case 270: return RotateBitmap(result, kTurnLeft);
        default: return result;
    }
}

QImage OrientImage(const QImage& stored, int orientation) {
    const Steps steps = StepsOf(orientation);
    QImage result = steps.mirror ? stored.mirrored(true, false) : stored;
    // Quarter and half turns are exact pixel moves in QImage.
    if (steps.degrees != 0) result = result.transformed(QTransform().rotate(steps.degrees));
    return result;
}

}  // namespace tamarind
