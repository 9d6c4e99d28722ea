#include "app/SlotFitting.h"

#include <algorithm>

#include "picture/Orientation.h"

namespace tamarind {

QSize FitPictureBox(QSize natural, float cellWidth, float cellHeight, float cellAspect) {
    const float pictureWidth = float(natural.width());
    const float pictureHeight = float(natural.height());
    if (natural.width() <= 0 || natural.height() <= 0) return {0, 0};
    const float pictureAspect = pictureWidth / pictureHeight;
    float w;
    float h;
    if (pictureAspect > cellAspect) {  // relatively wider than the cell
        if (pictureWidth > cellWidth) {
            w = cellWidth;
            h = cellWidth / pictureAspect;
        } else {
            w = pictureWidth;
            h = pictureHeight;
        }
    } else if (pictureHeight > cellHeight) {
        h = cellHeight;
        w = cellHeight * pictureAspect;
    } else {
        w = pictureWidth;
        h = pictureHeight;
    }
    return {std::max(0, int(w)), std::max(0, int(h))};
}

QString SizeCaptionText(int unit, double dpi, int width, int height, const QLocale& locale) {
    switch (unit) {
        case 1:
            return QStringLiteral("W= %1, H= %2 [mm]")
                .arg(locale.toString(width * 25.4 / dpi, 'f', 1),
                     locale.toString(height * 25.4 / dpi, 'f', 1));
        case 2:
            return QStringLiteral("W= %1, H= %2 [inch]")
                .arg(locale.toString(width / dpi, 'f', 2), locale.toString(height / dpi, 'f', 2));
        default:
            return QStringLiteral("W= %1, H= %2 [Pixel]").arg(width).arg(height);
    }
}

int NextSlotAfter(int slot, int slotCount, int protectedSlot) {
    int next = slot >= slotCount ? 1 : slot + 1;
    if (next == protectedSlot) next = next >= slotCount ? 1 : next + 1;
    return next;
}

QString SizeCaptionMark(int orientation) {
    const QString mark = OrientationMark(orientation);
    return mark.isEmpty() ? QString() : u' ' + mark;
}

}  // namespace tamarind
