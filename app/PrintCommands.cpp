// The main window's printing: preparing a slot's picture or the thumbnail
// grid for the print layout window, the printer-setup command, and the print
// job that the layout window's "印刷実行" asks for.
#include <QImage>
#include <QLineEdit>
#include <QPainter>

#include "app/Cviewer1.h"
#include "picture/Orientation.h"
#include "picture/OtherFormats.h"
#include "picture/Picture.h"
#include "platform/BusyCursor.h"
#include "platform/Dialogs.h"
#include "platform/Printer.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "print/Calibration.h"
#include "print/PrintJob.h"
#include "print/Set_Prt.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

namespace tamarind {

namespace {

// Forgets the prepared picture, so that a print command reaching the job
// before the next preparation succeeds prints nothing.
void ForgetPrintPicture() {
    Printing.PrintBitmap = Bitmap();
    Printing.PicturePixelWidth = 0;
    Printing.PicturePixelHeight = 0;
    Printing.FileDensity.reset();
}

// Hands the prepared picture to the layout window and shows it.
void HandOverToLayoutWindow(const Picture& preview, const QString& caption) {
    Form6->Image1->SetPicture(preview);
    Form6->setWindowTitle(caption);
    ++Viewer.PrintRequestSerial;
    SendRequest(Form6->Edit1, QString::number(Viewer.PrintRequestSerial));
    ShowInFront(Form6);
}

}  // namespace

void TForm1::PreparePrintPicture(int slot) {
    ForgetPrintPicture();
    Viewer.WorkSlot = slot;
    if (slot < 1 || slot > kSlotCount || Viewer.SlotFileName[slot].isEmpty()) return;

    const QString path = Viewer.SlotFolder[slot] + Viewer.SlotFileName[slot];
    const QString extension = FileExtension(path).toLower();
    // Pictures read with the other formats on print like the rest.
    const bool other = images_[slot]->LoadOptions().otherFormats &&
                       OtherFormatOf(path) != OtherFormat::None;
    if (extension != QStringLiteral("bmp") && extension != QStringLiteral("jpg") && !other) {
        Dialogs().Beep(BeepKind::Warning);
        Dialogs().Message(QStringLiteral("その画像タイプは印刷できません。"));
        return;
    }
    // The picture as the slot shows it: turned or mirrored if the detail
    // window changed it, otherwise the file read again.
    const Picture picture = SlotFullPicture(slot);
    if (picture.bitmap().isEmpty()) return;
    Printing.PrintBitmap = picture.bitmap();
    Printing.PicturePixelWidth = Printing.PrintBitmap.width();
    Printing.PicturePixelHeight = Printing.PrintBitmap.height();
    Printing.FileDensity = ReadPictureDensity(path);
    // A picture shown upright by a quarter turn runs across what the file
    // records as down.
    const PictureBox* box = images_[slot];
    if (Printing.FileDensity && box->LoadOptions().upright && OrientationSwapsSides(box->Orientation()))
        std::swap(Printing.FileDensity->x, Printing.FileDensity->y);
    HandOverToLayoutWindow(picture, QStringLiteral("(%1×%2) %3")
                                        .arg(Printing.PicturePixelWidth)
                                        .arg(Printing.PicturePixelHeight)
                                        .arg(path));
}

void TForm1::B2Click() { PreparePrintPicture(Viewer.SelectedSlot); }

// The thumbnail sheet: the grid panel's own widgets drawn into a picture of
// the grid's size, which is what the user sees in the grid whatever lies
// over the window or wherever it stands on the screen.
void TForm1::B3Click() {
    ForgetPrintPicture();
    const int width = Viewer.GridWidth;
    const int height = Viewer.GridHeight;
    if (width <= 0 || height <= 0) return;
    QImage grid(width, height, QImage::Format_RGB32);
    grid.fill(Panel2->palette().color(Panel2->backgroundRole()));
    Panel2->render(&grid, QPoint(), QRegion(0, 0, width, height));
    Printing.PrintBitmap = Bitmap::FromQImage(grid.convertToFormat(QImage::Format_BGR888));
    Printing.PicturePixelWidth = Printing.PrintBitmap.width();
    Printing.PicturePixelHeight = Printing.PrintBitmap.height();
    HandOverToLayoutWindow(Picture::FromBitmap(Printing.PrintBitmap),
                           QStringLiteral("(%1×%2)")
                               .arg(Printing.PicturePixelWidth)
                               .arg(Printing.PicturePixelHeight));
}

void TForm1::S2Click() {
    Printer().Setup();
    ++Viewer.PrinterSetupSerial;
    SendRequest(Form6->Edit2, QString::number(Viewer.PrinterSetupSerial));
}

void TForm1::Edit6Change() { RunPrintJob(); }

void TForm1::RunPrintJob() {
    if (Printing.PicturePixelWidth <= 0 || Printing.PrintBitmap.isEmpty()) return;
    const PrinterMetrics& printer = Printing.Printer;
    if (!printer.IsUsable()) {
        Dialogs().Message(QStringLiteral("使用できるプリンターがありません。"));
        return;
    }
    // A question (such as replacing an existing file) comes before the busy
    // pointer; a no prints nothing.
    if (!Printer().ConfirmPrint()) return;
    PrintOutcome outcome;
    {
        const BusyCursor busy;
        EdgeRect device = DeviceRectFor(Printing.PlacementRect, printer.dpiX, printer.dpiY,
                                        printer.scalePercent);
        // The printer's own scale and shift, as the user calibrated them.
        if (const auto correction = LoadPrinterCorrection(printer))
            device = CorrectedDeviceRect(device, printer, *correction);
        const Bitmap bitmap = Printing.PrintBitmap;
        outcome = Printer().PrintPage(PrintJobTitle(), [&](QPainter& painter) {
            DrawPrintPage(painter, device, bitmap);
        });
    }
    if (!outcome.pdfFile.isEmpty())
        Dialogs().Message(QStringLiteral("PDF ファイルに印刷しました。\n") + outcome.pdfFile);
}

}  // namespace tamarind
