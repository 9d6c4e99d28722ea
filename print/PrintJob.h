#pragma once
// The picture that the print commands prepare and the print job prints, the
// values the layout window and the main window exchange for it, and the
// drawing of the job itself.

#include <QString>
#include <optional>

#include "picture/Bitmap.h"
#include "picture/Density.h"
#include "platform/Printer.h"
#include "print/Placement.h"

class QPainter;

namespace tamarind {

struct PrintState {
    // The picture to print, replaced at every preparation; empty when the
    // last preparation stopped early.
    Bitmap PrintBitmap;
    int PicturePixelWidth = 0;
    int PicturePixelHeight = 0;
    // The density the picture's file records, for printing at that size.
    std::optional<PictureDensity> FileDensity;
    // The printer as last measured by the layout window.
    PrinterMetrics Printer;
    // Where "印刷実行" placed the picture: hundredths of a millimetre from
    // the printable area's top-left corner.
    EdgeRect PlacementRect;
    int PrintJobSerial = 0;
};

// The one print state of the running program.
extern PrintState Printing;

// The title of every print job: the name the program's open-picture dialog
// holds, and that dialog is never shown, so the title is empty.
QString PrintJobTitle();

// Draws `bitmap` as 24-bit colour stretched into `rect` (device dots)
// without smoothing: rows and columns are repeated or dropped.
void StretchPrintBitmap(QPainter& painter, const EdgeRect& rect, const Bitmap& bitmap);

// The page of a print job: `rect` filled with black, then the picture over
// it. Nothing is drawn for an empty picture.
void DrawPrintPage(QPainter& painter, const EdgeRect& rect, const Bitmap& bitmap);

}  // namespace tamarind
