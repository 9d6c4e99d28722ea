#pragma once
// Calibrating a printer: a sheet with rulers and crosses at known distances
// from the paper's edges, the correction worked out from what the user
// measured on it, its use on every later placement, and its place in the
// settings file (PrinterCorrection/<printer>/...).

#include <QString>
#include <optional>

#include "platform/Printer.h"
#include "print/Placement.h"

class QPainter;

namespace tamarind {

// What a printer does to a distance from the paper's edge, undone: the
// printer puts q millimetres at a·q + b, so the program asks for
// (q − b) × scale with scale = 1/a and offset = b.
struct PrinterCorrection {
    double scaleX = 1.0;
    double scaleY = 1.0;
    double offsetXMm = 0.0;
    double offsetYMm = 0.0;
    friend bool operator==(const PrinterCorrection&, const PrinterCorrection&) = default;
};

// The sheet: cross A this far from the left and top edges, cross B the
// ruler's length to the right of it, cross C the same below it.
struct CalibrationSheet {
    double crossMm = 0;
    double rulerMm = 0;
};

// The sheet for this printer, inside its printable area; nothing when the
// paper has no room for rulers of 50 mm at least.
std::optional<CalibrationSheet> CalibrationSheetFor(const PrinterMetrics& printer);

// Draws the sheet; the painter's origin is the printable area's top-left
// corner and its unit the printer's dot.
void DrawCalibrationSheet(QPainter& painter, const PrinterMetrics& printer,
                          const CalibrationSheet& sheet);

// What the user measured on the printed sheet, in millimetres: from the
// paper's left edge and from its top edge to the centre of cross A, and from
// A to B and from A to C.
struct CalibrationMeasurements {
    double leftMm = 0;
    double topMm = 0;
    double acrossMm = 0;
    double downMm = 0;
};
// The measurements of a perfect printer.
CalibrationMeasurements NominalMeasurements(const CalibrationSheet& sheet);

// The correction these measurements call for; nothing when they cannot be
// right (a scale off by more than 20 % or a shift of more than 20 mm).
std::optional<PrinterCorrection> CorrectionFrom(const CalibrationSheet& sheet,
                                                const CalibrationMeasurements& measured);

// `device` (dots from the printable area's corner) as the corrected printer
// must be asked for it.
EdgeRect CorrectedDeviceRect(const EdgeRect& device, const PrinterMetrics& printer,
                             const PrinterCorrection& correction);

// How the layout window states a correction in force.
QString FormatCorrection(const PrinterCorrection& correction);

// The correction stored for a printer; nothing for none, and always nothing
// for the PDF printer, whose pages need none.
std::optional<PrinterCorrection> LoadPrinterCorrection(const PrinterMetrics& printer);
// Stores or forgets a printer's correction; TamarindError when the settings
// file cannot be written.
void SavePrinterCorrection(const QString& printer, const PrinterCorrection& correction);
void ClearPrinterCorrection(const QString& printer);

}  // namespace tamarind
