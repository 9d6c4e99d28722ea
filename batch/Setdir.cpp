#include "batch/Setdir.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "batch/BatchLayout.h"
#include "batch/Renname.h"
#include "platform/Controls.h"
#include "platform/FolderControls.h"
#include "platform/Folders.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "platform/WindowFrame.h"

namespace tamarind {

TForm8* Form8 = nullptr;

namespace {
const QColor kMoneyGreen(192, 220, 192);
}

TForm8::TForm8(QWidget* parent) : QWidget(parent, Qt::Window) {
    Form8 = this;
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("コピー先指定"));
    setFont(UiFont(kGothic, 12));
    SetBackgroundColor(this, kMoneyGreen);
    SetPlacedGeometry(this, QRect(292, 120, 341, 452));

    Label1 = MakeLabel(this, "Label1", QString(), {6, 6, 320, 16});
    DriveComboBox1 = new DriveComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(6, 26, 91, 22);
    DirectoryListBox1 = new DirectoryListBox(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(6, 51, 161, 276);
    Button1 = MakeButton(this, "Button1", QStringLiteral("実行"), {179, 26, 78, 39},
                         [this] { Button1Click(); });
    Button2 = MakeButton(this, "Button2", QStringLiteral("ｷｬﾝｾﾙ"), {179, 77, 78, 39},
                         [this] { Button2Click(); });
    Image1 = MakeLabel(this, "Image1", QString(), {205, 147, 32, 32});
    Image1->setPixmap(style()->standardIcon(QStyle::SP_DirOpenIcon).pixmap(32, 32));

    DriveComboBox1->onChange = [this] { DriveComboBox1Change(); };
    // A volume unmounted under the shown folder: the nearest folder left.
    DriveComboBox1->onVolumesChanged = [this] {
        const QString shown = DirectoryListBox1->Directory();
        if (!shown.isEmpty() && !IsReadableFolder(shown))
            DirectoryListBox1->SetDirectory(NearestReadableFolder(shown));
    };
    DirectoryListBox1->onChange = [this] { DirectoryListBox1Change(); };
    // Closing the chooser from its title bar cancels, as "ｷｬﾝｾﾙ" does.
    CloseLikeBackButton(this, [this] { Button2Click(); });
    RunGuarded([this] { F8Create(); });
}

void TForm8::Prepare(const QString& folder, const QString& caption) {
    const QString root = VolumeRootOf(folder);
    DriveComboBox1->SetDrive(root);
    DirectoryListBox1->SetDrive(root);
    DirectoryListBox1->SetDirectory(folder);
    setWindowTitle(caption);
}

void TForm8::DriveComboBox1Change() { DirectoryListBox1->SetDrive(DriveComboBox1->Drive()); }

void TForm8::DirectoryListBox1Change() {
    DestinationFolder = DirectoryListBox1->Directory();
    // The drive selector shows the volume of the folder, also after the user
    // opened a mount point in the list. It follows silently: its own change
    // handler would move the list, which is where it is already.
    DriveComboBox1->ShowDrive(VolumeRootOf(DestinationFolder));
    const int limit = width() - 50;
    const QFontMetrics metrics(font());
    Label1->setText(ShortenPath(DestinationFolder, [&](const QString& text) {
        return metrics.horizontalAdvance(text) <= limit;
    }));
    Label1->resize(std::max(limit, 0), Label1->height());
}

void TForm8::Button1Click() {
    DestinationFolder = DirectoryListBox1->Directory();
    ++ChooserSerial;
    // Hidden first, so the run's questions do not come up over the chooser.
    hide();
    if (Form7) SendRequest(Form7->Edit4, QString::number(ChooserSerial));
}

void TForm8::Button2Click() {
    ++ChooserSerial;
    hide();
    if (Form7) SendRequest(Form7->Edit4, u'-' + QString::number(ChooserSerial));
}

void TForm8::F8Create() {
    created_ = true;
    F8Resize();
}

void TForm8::F8Resize() {
    const ChooserLayout c = ComputeChooserLayout(size(), Button1->y(), Button1->height());
    Button1->move(c.button1Left, Button1->y());
    Button2->move(c.button2Left, c.button2Top);
    DirectoryListBox1->setGeometry(DirectoryListBox1->x(), c.listTop, std::max(c.listWidth, 0),
                                   std::max(c.listHeight, 0));
    Image1->move(c.imageLeft, Image1->y());
}

void TForm8::resizeEvent(QResizeEvent*) {
    if (created_) RunGuarded([this] { F8Resize(); });
}

}  // namespace tamarind
