#pragma once
// The printer as the program sees it: its measurements in device dots, its
// setup dialog and one-page print jobs. The program reaches the printer only
// through PrinterService, so tests install a printer of fixed measurements
// that paints into an image (tests/support/ScriptedPrinter.h), and the
// running program the system's printer (platform/SystemPrinter.h).

#include <QString>
#include <functional>
#include <optional>

class QPainter;

namespace tamarind {

// What the print layout needs to know about a printer, in device dots.
struct PrinterMetrics {
    QString deviceName;
    int dpiX = 0;
    int dpiY = 0;
    int scalePercent = 100;
    int paperWidthDots = 0;  // the whole sheet
    int paperLengthDots = 0;
    int printableWidthDots = 0;  // the printable area
    int printableLengthDots = 0;
    int offsetX = 0;  // the printable area's distance from the sheet's left
    int offsetY = 0;  // ... and top edges
    // The printer writes PDF files: its pages measure exactly what they are
    // drawn at, so no calibration applies to it.
    bool writesPdf = false;

    bool IsUsable() const {
        return dpiX > 0 && dpiY > 0 && scalePercent > 0 && paperWidthDots > 0 &&
               paperLengthDots > 0 && printableWidthDots > 0 && printableLengthDots > 0;
    }
    friend bool operator==(const PrinterMetrics&, const PrinterMetrics&) = default;
};

// How a print job ended.
struct PrintOutcome {
    // The PDF file the page went to when the printer writes files (empty
    // when it went to a printer queue).
    QString pdfFile;
};

class PrinterService {
public:
    virtual ~PrinterService() = default;

    // The current printer measured afresh; nothing when no usable printer is
    // there.
    virtual std::optional<PrinterMetrics> Measure() = 0;
    // The printer setup dialog for the current printer (through Dialogs());
    // true when the user confirmed.
    virtual bool Setup() = 0;
    // Settles with the user what must be settled before a page is printed,
    // such as replacing a file that is already there; false when the user
    // declined, and nothing is to be printed then.
    virtual bool ConfirmPrint() { return true; }
    // Prints one page titled `title`. `draw` paints in device dots with the
    // origin at the printable area's top-left corner. The job is ended in
    // every case; an error raised by `draw` is passed on after that. Raises
    // TamarindError when the job cannot begin, or when the spooler or the
    // file system did not take the page.
    virtual PrintOutcome PrintPage(const QString& title,
                                   const std::function<void(QPainter&)>& draw) = 0;
};

// The printer in force. Until the program or a test installs one, there is
// no printer: Measure() gives nothing and PrintPage raises an error.
PrinterService& Printer();
// Installs `service` (not owned) and returns the previous one; nullptr
// restores the empty default.
PrinterService* SetPrinter(PrinterService* service);

}  // namespace tamarind
