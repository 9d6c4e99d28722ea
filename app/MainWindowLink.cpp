// The main window's side of what the detail, histogram, print layout and
// batch windows ask of it: slot captions and drawings, the listed folder,
// and the requests they write into its hidden fields.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "app/Cviewer1.h"
#include "platform/FolderControls.h"
#include "platform/Requests.h"
#include "shared/PictureBox.h"

namespace tamarind {

void TForm1::SetSlotTitle(int slot, const QString& title) { Frame(slot)->setTitle(title); }

void TForm1::SetSlotSizeCaption(int slot, const QString& caption) {
    SizeCaption(slot)->setText(caption);
}

void TForm1::PrepareSlotDrawing(int slot) { SlotImage(slot)->ScaledImage(); }

QString TForm1::ListedFolder() const { return FileListBox1->Directory(); }

QStringList TForm1::ListedNames() const { return FileListBox1->Names(); }

void TForm1::RequestRefit(const QString& serial) { SendRequest(Edit1, serial); }

void TForm1::RequestSlotFile(const QString& folder, const QString& name, const QString& serial) {
    // Edit2's handler reads Edit3 and Edit4.
    Edit3->setText(folder);
    Edit4->setText(name);
    SendRequest(Edit2, serial);
}

void TForm1::RequestFrameReset(const QString& serial) { SendRequest(Edit5, serial); }

void TForm1::RequestPrintJob(const QString& serial) { SendRequest(Edit6, serial); }

void TForm1::RequestBatchFolder(const QString& serial) { SendRequest(Edit7, serial); }

}  // namespace tamarind
