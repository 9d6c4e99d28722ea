// The main window's commands that open the smaller windows or end the
// program: the full-size view and the clipboard copy of a slot, the About
// box, the help window and "終了(&Q)".
#include <QClipboard>
#include <QGuiApplication>

#include "app/ClipboardCopy.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "app/FullSizePlacement.h"
#include "app/HelpWindow.h"
#include "app/Version.h"
#include "detail/Cgrp.h"
#include "picture/Picture.h"
#include "platform/BusyCursor.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "platform/WindowFrame.h"
#include "print/PrintJob.h"
#include "shared/DevicePixels.h"
#include "shared/PictureBox.h"
#include "shared/Thumbnail.h"
#include "shared/ViewerState.h"

namespace tamarind {

namespace {

bool IsSlot(int slot) { return slot >= 1 && slot <= kSlotCount; }

}  // namespace

void TForm1::ShowFullSize(int slot) {
    if (!IsSlot(slot)) return;
    Viewer.WorkSlot = slot;
    if (Viewer.SlotFileName[slot].isEmpty()) {
        Dialogs().Beep(BeepKind::Warning);
        Dialogs().Message(QStringLiteral("画像がありません。"));
        return;
    }
    const BusyCursor busy;  // a large picture takes a moment to reduce
    const QString path = Viewer.SlotFolder[slot] + Viewer.SlotFileName[slot];
    Form5->setWindowTitle(path);
    const int w = Viewer.SlotPixelWidth[slot];
    const int h = Viewer.SlotPixelHeight[slot];
    // Sized in the screen's device pixels: on a scaled screen a picture shown
    // at its natural size gets one device pixel per picture pixel, and the
    // window is as many logical pixels as hold it.
    // The view shows on the main window's screen. Where the compositor
    // places windows the screen is all it is told; elsewhere its placement
    // rules put it there.
    if (!ProgramPlacesWindows() && Form5->screen() != screen()) Form5->setScreen(screen());
    const double ratio = devicePixelRatioF();
    const QSize shown = FullSizeImageSize(
        QSize(w, h), DevicePixelSize(QSize(Viewer.ScreenWidth, Viewer.ScreenHeight), ratio));
    // The picture as the slot holds it (turned or mirrored) or as the file
    // holds it, made at the size it is shown: never the full picture again.
    // A load error ends here, nothing shown.
    const PictureBox* box = SlotImage(slot);
    const Picture picture = box->HasFullPicture() ? PictureAtSize(box->picture(), shown)
                            : box->HasPicture()   ? PictureFileAtSize(path, shown, box->LoadOptions(),
                                                                      box->Orientation())
                                                  : Picture();
    Form5->Image1->resize(LogicalSizeFor(shown, ratio));
    Form5->Image1->SetPicture(picture);
    Form5->Image1->ScaledImage();
    Form5->FitToPicture();
    SendRequest(Form5->Edit1, QString::number(w));
    SendRequest(Form5->Edit2, QString::number(h));
    ShowInFront(Form5);
}

void TForm1::CopySlotToClipboard(int slot) {
    if (!IsSlot(slot)) return;
    if (const auto refusal = ClipboardRefusal(Viewer.SlotFileName[slot],
                                              images_[slot]->LoadOptions().otherFormats)) {
        Dialogs().Message(*refusal);
        return;
    }
    const BusyCursor busy;  // a large picture takes a moment to convert
    // The slot's own picture when it holds one (turned or mirrored),
    // otherwise the file decoded straight into the clipboard's form.
    const PictureBox* box = SlotImage(slot);
    const QString path = Viewer.SlotFolder[slot] + Viewer.SlotFileName[slot];
    const QImage image = box->HasFullPicture() ? ClipboardImage(box->picture())
                         : box->HasPicture()   ? ClipboardImageOfFile(path, box->LoadOptions())
                                               : QImage();
    if (image.isNull()) throw TamarindError(QStringLiteral("クリップボードにコピーできません"));
    QGuiApplication::clipboard()->setImage(image, QClipboard::Clipboard);
    Dialogs().Message(QStringLiteral("クリップボードにコピーしました。"));
}

void TForm1::About1Click() {
    ShowInFront(Form2);
}

void TForm1::Contents1Click() { ShowHelpContents(this, helpFile_); }

void TForm1::Exit2Click() {
    if (Form3) Form3->close();
    // The pictures shared between the windows, freed before the end.
    Printing.PrintBitmap = Bitmap();
    if (Form3) {
        Form3->DetailBitmap = Bitmap();
        Form3->DetailResultBitmap = Bitmap();
    }
    close();
}

}  // namespace tamarind
