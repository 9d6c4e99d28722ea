#pragma once
// Fitting a picture into its slot, the size caption, and the next-slot rule:
// plain arithmetic, tested without widgets.

#include <QLocale>
#include <QSize>
#include <QString>

namespace tamarind {

// The picture box for a picture of `natural` pixels in a cell of
// cellWidth x cellHeight (aspect cellAspect), in single precision as the
// slots always did: a picture is shrunk to the cell keeping its proportions,
// never enlarged; sizes are truncated toward zero. A picture without area, or
// a cell without room, gives an empty box.
QSize FitPictureBox(QSize natural, float cellWidth, float cellHeight, float cellAspect);

// "W= %d, H= %d [Pixel]", "W= %.1n, H= %.1n [mm]" or "W= %.2n, H= %.2n [inch]"
// for unit 0, 1 or 2 at `dpi`, numbers in `locale`'s separators.
QString SizeCaptionText(int unit, double dpi, int width, int height,
                        const QLocale& locale = QLocale());

// What follows a size caption for a file that states an Exif orientation
// other than 1: a space and its mark (" ↻90"); nothing otherwise.
QString SizeCaptionMark(int orientation);

// The slot after `slot` in a layout of `slotCount` slots, wrapping after the
// last and skipping `protectedSlot` (0 = none).
int NextSlotAfter(int slot, int slotCount, int protectedSlot);

}  // namespace tamarind
