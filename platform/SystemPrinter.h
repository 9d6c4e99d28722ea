#pragma once
// The system's printer through Qt Print Support, which talks to CUPS. The
// current printer is the CUPS default (or the one chosen in the setup
// dialog). When the machine has no printer at all, it is a "PDF" printer at
// 600 dpi on the locale's default paper with no margins that writes each
// page into a new PDF file, named after the date and time, in the user's
// documents folder (or home); a file the user names in the setup dialog
// instead is written there, and replaced only after the user agreed.

#include <QString>
#include <memory>

#include "platform/Printer.h"

class QDateTime;
class QPrinter;

namespace tamarind {

class SystemPrinter final : public PrinterService {
public:
    enum class Choice {
        Auto,  // the CUPS default printer, or the PDF printer when there is none
        Pdf,   // the PDF printer in any case
    };
    // `pdfFolder` overrides where the PDF printer writes its files.
    explicit SystemPrinter(Choice choice = Choice::Auto, const QString& pdfFolder = QString());
    ~SystemPrinter() override;

    std::optional<PrinterMetrics> Measure() override;
    bool Setup() override;
    bool ConfirmPrint() override;
    PrintOutcome PrintPage(const QString& title,
                           const std::function<void(QPainter&)>& draw) override;

    // True while the current printer is the PDF printer.
    bool WritesPdf() const;
    // The file the user named for the PDF printer in the setup dialog; empty
    // while every page goes to a new file named after the date and time.
    const QString& chosenPdfFile() const { return chosenFile_; }
    QPrinter* qprinter() const { return printer_.get(); }

private:
    void MakePdfPrinter();
    QString PdfFolder() const;
    QString NewPdfPath() const;
    PrinterMetrics PdfMetrics() const;
    void PaintPage(const std::function<void(QPainter&)>& draw);
    PrintOutcome PrintToPdf(const std::function<void(QPainter&)>& draw);

    std::unique_ptr<QPrinter> printer_;
    QString pdfFolder_;
    QString chosenFile_;
    bool replaceAgreed_ = false;
};

// The folder the PDF printer writes into: the user's documents folder when
// it exists, otherwise the home folder.
QString DefaultPdfFolder();
// The name of a PDF file printed at `when`, e.g. "2026-12-08_14-03-59.pdf";
// `attempt` 2 and later add "_2", "_3" for a name already taken.
QString PdfFileNameFor(const QDateTime& when, int attempt);

}  // namespace tamarind
