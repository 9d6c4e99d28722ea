#include "detail/Cgrp.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "detail/DHist.h"
#include "detail/DetailPicture.h"
#include "detail/FileFacts.h"
#include "detail/Histogram.h"
#include "detail/Resize.h"
#include "detail/Rotate.h"
#include "detail/Save.h"
#include "picture/Picture.h"
#include "platform/BusyCursor.h"
#include "platform/Controls.h"
#include "platform/Errors.h"
#include "platform/FileOps.h"
#include "platform/Folders.h"
#include "platform/Fonts.h"
#include "platform/Requests.h"
#include "platform/TrashFirst.h"
#include "platform/TopLevel.h"
#include "shared/MainWindowLink.h"
#include "shared/ViewerState.h"

namespace tamarind {

TForm3* Form3 = nullptr;
int MainRequestSerial = 0;

namespace {

// The caption colour of a flat button while it is enabled.
void SetButtonTextColor(QPushButton* button, const QColor& color) {
    QPalette palette = button->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::ButtonText, color);
    button->setPalette(palette);
}

QString SizeCaption(int w, int h) { return QStringLiteral("W=%1, H=%2").arg(w).arg(h); }

// The caption of information questions.
const QString kInformation = QStringLiteral("情報");

// A failure message: the headline, then the reason on its own line.
QString Failure(const QString& headline, const FileOpResult& result) {
    return headline + QStringLiteral("\n\r") + result.text;
}

}  // namespace

TForm3::TForm3(MainWindowLink* main, QWidget* parent) : QWidget(parent, Qt::Window), main_(main) {
    Form3 = this;
    setObjectName(QStringLiteral("Form3"));
    setFont(UiFont(kGothic, 15));

    // File facts, top to bottom.
    Label1 = MakeLabel(this, "Label1", QStringLiteral("パス："), {12, 14});
    Edit2 = MakeBox(this, "Edit2", {100, 10, 336, 22});
    Edit2->setFocusPolicy(Qt::ClickFocus);  // no tab stop
    Label2 = MakeLabel(this, "Label2", QStringLiteral("ファイル名："), {12, 42});
    Memo1 = MakeBox(this, "Memo1", {100, 38, 336, 22});
    Memo9 = MakeBox(this, "Memo9", {100, 66, 80, 22});
    Memo9->setReadOnly(true);
    Label3 = MakeLabel(this, "Label3", QStringLiteral("ファイル長："), {12, 98});
    Memo3 = MakeBox(this, "Memo3", {100, 94, 336, 22});
    Label8 = MakeLabel(this, "Label8", QStringLiteral("作成日時："), {12, 126});
    Memo8 = MakeBox(this, "Memo8", {100, 122, 336, 22});
    Label4 = MakeLabel(this, "Label4", QStringLiteral("更新日時："), {12, 154});
    Memo4 = MakeBox(this, "Memo4", {100, 150, 336, 22});
    Label5 = MakeLabel(this, "Label5", QStringLiteral("画像情報："), {12, 182});
    Memo5 = MakeBox(this, "Memo5", {100, 178, 336, 22});
    for (QLineEdit* box : {Memo3, Memo8, Memo4, Memo5}) box->setReadOnly(true);
    BitBtn2 = MakeButton(this, "BitBtn2", QStringLiteral("ﾋｽﾄｸﾞﾗﾑ"), {100, 208, 100, 28},
                         [this] { BitBtn2Click(); });
    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("　戻る"), {336, 208, 100, 28},
                         [this] { BitBtn1Click(); });
    BitBtn1->setDefault(true);
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
    CloseLikeBackButton(this, [this] { F3_Close(); });

    // File and picture processing.
    GroupBox1 =
        MakeGroupBox(this, "GroupBox1", QStringLiteral("ファイル・画像処理"), {12, 244, 424, 400});
    Button1 = MakeButton(GroupBox1, "Button1", QStringLiteral("ファイル名変更"), {8, 24, 100, 28},
                         [this] { Button1Click(); });
    Button2 = MakeButton(GroupBox1, "Button2", QStringLiteral("ファイル削除"), {110, 24, 100, 28},
                         [this] { Button2Click(); });
    Button3 = MakeButton(GroupBox1, "Button3", QStringLiteral("ファイル複写"), {212, 24, 100, 28},
                         [this] { Button3Click(); });
    Button4 = MakeButton(GroupBox1, "Button4", QStringLiteral("ファイル移動"), {314, 24, 100, 28},
                         [this] { Button4Click(); });
    Button5 = MakeButton(GroupBox1, "Button5", QStringLiteral("左９０°回転"), {8, 64, 80, 28},
                         [this] { Button5Click(); });
    Button6 = MakeButton(GroupBox1, "Button6", QStringLiteral("右９０°回転"), {90, 64, 80, 28},
                         [this] { Button6Click(); });
    Button7 = MakeButton(GroupBox1, "Button7", QStringLiteral("１８０°回転"), {172, 64, 80, 28},
                         [this] { Button7Click(); });
    Button8 = MakeButton(GroupBox1, "Button8", QStringLiteral("上下反転"), {254, 64, 78, 28},
                         [this] { Button8Click(); });
    Button9 = MakeButton(GroupBox1, "Button9", QStringLiteral("左右反転"), {334, 64, 80, 28},
                         [this] { Button9Click(); });
    Button11 = MakeButton(GroupBox1, "Button11", QStringLiteral("大きさ変更"), {8, 104, 120, 28},
                          [this] { Button11Click(); });
    SpeedButton2 = MakeButton(GroupBox1, "SpeedButton2", QStringLiteral("画像形式変更"),
                              {294, 104, 120, 28}, [this] { SpeedButton2Click(); });
    SpeedButton2->setFlat(true);
    SetButtonTextColor(SpeedButton2, QColor(0, 0, 255));
    SetHint(SpeedButton2, QStringLiteral("BMP/JPG変換保存"));
    SpeedButton2->setToolTip(QStringLiteral("BMP/JPG変換保存"));
    Label11 = MakeLabel(GroupBox1, "Label11", QStringLiteral("JPG圧縮度"), {198, 150});
    Memo2 = MakeBox(GroupBox1, "Memo2", {294, 146, 60, 22});
    Memo2->setReadOnly(true);
    // The save row: cut off when the group is 224 high.
    SpeedButton1 = MakeButton(GroupBox1, "SpeedButton1", QStringLiteral("保存処理実行"),
                              {8, 212, 120, 28}, [this] { SpeedButton1Click(); });
    SpeedButton1->setFlat(true);
    SetButtonTextColor(SpeedButton1, QColor(255, 0, 0));
    SetHint(SpeedButton1, QStringLiteral("ファイル保存"));
    SpeedButton1->setToolTip(QStringLiteral("ファイル保存"));
    Label9 = MakeLabel(GroupBox1, "Label9", QStringLiteral("S"), {180, 218});
    ScrollBar1 = new QScrollBar(Qt::Horizontal, GroupBox1);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(196, 216, 196, 18);
    ScrollBar1->setRange(1, 100);
    ScrollBar1->setValue(70);
    SetHint(ScrollBar1, QStringLiteral("JPGファイルの圧縮度合設定"));
    ScrollBar1->setToolTip(QStringLiteral("JPGファイルの圧縮度合設定"));
    Connect(ScrollBar1, &QScrollBar::valueChanged, ScrollBar1, [this] { ScrollBar1Change(); });
    Label10 = MakeLabel(GroupBox1, "Label10", QStringLiteral("L"), {398, 218});

    GroupBox2 =
        MakeGroupBox(GroupBox1, "GroupBox2", QStringLiteral("大きさ指定"), {8, 250, 408, 62});
    Label6 = MakeLabel(GroupBox2, "Label6", QStringLiteral("W："), {10, 28});
    Edit3 = MakeBox(GroupBox2, "Edit3", {40, 24, 80, 22});
    Connect(Edit3, &QLineEdit::textChanged, Edit3, [this] { Edit3Change(); });
    Label7 = MakeLabel(GroupBox2, "Label7", QStringLiteral("H："), {132, 28});
    Edit4 = MakeBox(GroupBox2, "Edit4", {162, 24, 80, 22});
    Button12 = MakeButton(GroupBox2, "Button12", QStringLiteral("実行"), {262, 22, 80, 28},
                          [this] { Button12Click(); });

    SavePictureDialog1.filters = PictureSaveFilters();
    F3_Create();
}

void TForm3::F3_Create() {
    resize(GroupBox1->width() + 24, height());
    GroupBox1->resize(GroupBox1->width(), 400);
    GroupBox2->move(GroupBox2->x(), 250);
    GroupBox2->hide();
    resize(width(), GroupBox1->y() + GroupBox1->height() + 70);
    DetailBitmap = Bitmap();
    DetailResultBitmap = Bitmap();
    Memo2->setText(QStringLiteral("70"));
}

void TForm3::FitHeight(int margin) {
    resize(width(), GroupBox1->y() + GroupBox1->height() + margin);
}

QString TForm3::NextMainSerial() {
    ++MainRequestSerial;
    return QString::number(MainRequestSerial);
}

// --- Filling ------------------------------------------------------------------

void TForm3::SetShownFile(const QString& folder, const QString& name) {
    DetailFolder = folder;
    DetailFileName = name;
    DetailPath = name.isEmpty() ? QString() : folder + name;
}

void TForm3::Edit1Change() {
    SetShownFile(Edit2->text(), Memo1->text());
    SpeedButton2->setEnabled(DetailConverts(DetailFileName, CurrentPictureOptions()));
    setWindowTitle(DetailFileName);
    SetFileButtonsEnabled(!DetailFileName.isEmpty());
    if (DetailFileName.isEmpty()) return;
    ShowFileFacts(DetailPath);
    ShowImageFacts(DetailPath);
}

void TForm3::ShowFileFacts(const QString& path) {
    const std::optional<FileFacts> facts = ReadFileFacts(path);
    if (!facts) return;
    Memo9->setText(facts->attributes);
    Memo8->setText(FormatFileTime(facts->birthTime));
    Memo4->setText(FormatFileTime(facts->modifyTime));
    Memo3->setText(FormatByteCount(facts->size));
}

void TForm3::SetProcessingEnabled(bool on) {
    for (QPushButton* b : {Button5, Button6, Button7, Button8, Button9, Button11}) b->setEnabled(on);
}

void TForm3::SetFileButtonsEnabled(bool on) {
    for (QPushButton* b : {Button1, Button2, Button3, Button4, BitBtn2}) b->setEnabled(on);
}

void TForm3::ShowImageFacts(const QString& path) {
    const BusyCursor busy;  // decoding a large picture takes a moment
    QString depth = QStringLiteral("－");
    bool pixels = false;
    int orientation = 1;
    if (std::optional<DetailPicture> read = ReadDetailPicture(path, CurrentPictureOptions())) {
        DetailBitmap = read->bitmap;
        orientation = read->orientation;
        pixels = true;
    } else switch (DetailFormatOf(path)) {
        case DetailFormat::Jpeg:
        case DetailFormat::Bmp:
            break;
        case DetailFormat::Measured: {
            const Picture picture = LoadPicture(path);
            DetailWidth = picture.width();
            DetailHeight = picture.height();
            break;
        }
        case DetailFormat::Unknown:
            Dialogs().Beep(BeepKind::Warning);
            Dialogs().Message(QStringLiteral("Not Convert to Bitmap File"));
            DetailWidth = 0;
            DetailHeight = 0;
            break;
    }
    if (pixels) {
        DetailWidth = DetailBitmap.width();
        DetailHeight = DetailBitmap.height();
        depth = DepthText(DetailBitmap.bitsPerPixel());
        SetProcessingEnabled(true);
        SpeedButton1->setEnabled(false);
        GroupBox2->hide();
        GroupBox1->resize(GroupBox1->width(), 250);
    } else {
        SetProcessingEnabled(false);
        SpeedButton1->setEnabled(false);
        GroupBox1->resize(GroupBox1->width(), 224);
        GroupBox2->hide();
    }
    FitHeight(50);
    Memo5->setText(ImageLine(DetailWidth, DetailHeight, depth) + OrientationNote(orientation));
}

// --- Closing and reports to the main window --------------------------------------

void TForm3::BitBtn1Click() {
    const QString serial = NextMainSerial();
    if (main_) main_->RequestFrameReset(serial);
    hide();
}

void TForm3::F3_Close() { BitBtn1Click(); }

void TForm3::keyPressEvent(QKeyEvent* event) {
    // "　戻る" is the default button: Enter anywhere in the window presses it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        RunGuarded([this] { BitBtn1Click(); });
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm3::ReportSlotChange() {
    if (!main_) return;
    const int slot = Viewer.WorkSlot;
    if (slot >= 1 && slot <= kSlotCount) main_->SetSlotTitle(slot, DetailFileName);
    main_->RequestSlotFile(DetailFolder, DetailFileName, NextMainSerial());
}

void TForm3::ShowFolderInMainWindow(const QString& path) {
    if (main_) main_->ShowFolder(FolderOf(path));
}

// --- Turning and mirroring --------------------------------------------------------

void TForm3::ApplyTransform(int mode) {
    const BusyCursor busy;  // turning a large picture takes a moment
    TransformMode = mode;
    DetailBitmap = RotateBitmap(DetailBitmap, TransformMode);
    if (main_) main_->SetSlotFullPicture(Viewer.WorkSlot, Picture::FromBitmap(DetailBitmap));
    SpeedButton1->setEnabled(true);
    const QString serial = NextMainSerial();
    if (!main_) return;
    main_->RequestRefit(serial);
    // The slot's drawing of the turned picture is made now, under the busy
    // cursor, rather than at the next repaint.
    const int slot = Viewer.WorkSlot;
    if (slot >= 1 && slot <= kSlotCount) main_->PrepareSlotDrawing(slot);
}

void TForm3::Button5Click() { ApplyTransform(kTurnLeft); }
void TForm3::Button6Click() { ApplyTransform(kTurnRight); }
void TForm3::Button7Click() { ApplyTransform(kHalfTurn); }
void TForm3::Button8Click() { ApplyTransform(kFlip); }
void TForm3::Button9Click() { ApplyTransform(kMirror); }

// --- Resizing ------------------------------------------------------------------------

void TForm3::Button11Click() {
    GroupBox1->resize(GroupBox1->width(), 320);
    GroupBox2->show();
    FitHeight(50);
    Edit3->setText(QString::number(DetailWidth));  // proposes a height through Edit3Change
    Edit4->setText(QString::number(DetailHeight));
}

void TForm3::Edit3Change() {
    const int w = ReadSizeField(Edit3->text());
    Edit4->setText(QString::number(ProportionalHeight(DetailWidth, DetailHeight, w)));
}

void TForm3::Button12Click() {
    const BusyCursor busy;
    SpeedButton1->setEnabled(true);
    const int w = ReadSizeField(Edit3->text());
    const int h = ReadSizeField(Edit4->text());
    Memo5->setText(QStringLiteral(" ( %1×%2 ) ").arg(w).arg(h));
    DetailResultBitmap = ResizeBitmap(DetailBitmap, w, h);
    DetailBitmap = DetailResultBitmap;
    const int slot = Viewer.WorkSlot;
    if (main_ && slot >= 1 && slot <= kSlotCount) main_->SetSlotSizeCaption(slot, SizeCaption(w, h));
}

// --- File operations -------------------------------------------------------------------

void TForm3::Button1Click() {
    const QString answer = Dialogs().InputBox(QStringLiteral("ファイル名変更"),
                                              QStringLiteral("変更後のファイル名を入力してください。"),
                                              DetailFileName);
    if (answer.isEmpty()) return;
    // The answer is a bare name: the file stays in its folder.
    if (!IsPlainFileName(answer)) {
        Dialogs().Message(QStringLiteral("ファイル名変更に失敗しました。\n\r") +
                          QStringLiteral("ファイル名の指定が間違っています"));
        return;
    }
    const FileOpResult result = RenameFile(DetailPath, DetailFolder + answer, Replace::No);
    if (!result.ok()) {
        Dialogs().Message(Failure(QStringLiteral("ファイル名変更に失敗しました。"), result));
        return;
    }
    SetShownFile(DetailFolder, answer);
    Memo1->setText(answer);
    ReportSlotChange();
}

void TForm3::Button2Click() {
    if (Dialogs().Ask(kInformation, DetailFileName + QStringLiteral("を削除します。"),
                      BoxIcon::Information, BoxButtons::OkCancel) != BoxAnswer::Ok)
        return;
    const FileOpResult result = DeleteFile(DetailPath);
    if (!result.ok()) throw TamarindError(result.text);
    SetShownFile(QString(), QString());
    Edit2->clear();
    Memo1->clear();
    // The window stays open, but nothing in it acts on the gone file: no
    // turn puts its picture back into the emptied slot, no save writes it
    // anew. The next fill request enables them again.
    SetFileButtonsEnabled(false);
    SetProcessingEnabled(false);
    for (QPushButton* b : {SpeedButton1, SpeedButton2}) b->setEnabled(false);
    GroupBox2->hide();
    ReportSlotChange();
}

void TForm3::PrepareFileDialog(const QString& title) {
    const QString e = FileExtensionWithDot(DetailFileName);
    SavePictureDialog1.filters = QStringList{u'*' + e};
    SavePictureDialog1.filterIndex = 1;
    SavePictureDialog1.folder = DetailFolder;
    SavePictureDialog1.proposedName = DetailFileName;
    SavePictureDialog1.title = title;
    SavePictureDialog1.defaultExtension = e.mid(1, 5);
}

void TForm3::Button3Click() {
    PrepareFileDialog(QStringLiteral("ファイル複写"));
    const std::optional<QString> chosen = Dialogs().SavePicture(SavePictureDialog1);
    if (!chosen) return;
    const QString d = *chosen;
    const QString failed = QStringLiteral("ファイル複写に失敗しました。");
    const FileOpResult first = CopyFile(DetailPath, d, Replace::No);
    if (first.ok()) {
        ShowFolderInMainWindow(d);
        return;
    }
    // Only an existing target leads to the question; anything else (also
    // the file itself as target) is reported and nothing is written.
    if (!first.targetExists()) {
        Dialogs().Message(Failure(failed, first));
        return;
    }
    if (Dialogs().Ask(kInformation, QStringLiteral("上書きしますか？。"), BoxIcon::Information,
                      BoxButtons::OkCancel) == BoxAnswer::Ok) {
        // The replaced file goes to the trash first, where there is one.
        const FileOpResult again = ReplaceKeepingOld(
            d, Replaces::Content,
            [&](const QString& target, Replace replace) { return CopyFile(DetailPath, target, replace); });
        if (!again.ok()) Dialogs().Message(Failure(failed, again));
    } else {
        ShowFolderInMainWindow(d);
    }
}

void TForm3::Button4Click() {
    PrepareFileDialog(QStringLiteral("ファイル移動"));
    const std::optional<QString> chosen = Dialogs().SavePicture(SavePictureDialog1);
    if (!chosen) return;
    const QString d = *chosen;
    const FileOpResult result = MoveFile(DetailPath, d, Replace::No);
    ShowFolderInMainWindow(d);
    if (!result.ok()) Dialogs().Message(Failure(QStringLiteral("ファイル移動に失敗いました。"), result));
}

// --- Histogram ------------------------------------------------------------------------

void TForm3::BitBtn2Click() {
    const BusyCursor busy;  // reading and counting a large picture takes a moment
    // The fields as they stand now, so a name typed into the name field
    // counts. They only say which file to count: the file operations keep
    // acting on (and naming) the shown file, DetailPath.
    const QString folder = Edit2->text();
    const QString name = Memo1->text();
    const QString p = folder + name;
    if (Form4) {
        Form4->Edit3->setText(folder);
        Form4->Edit1->setText(name);
    }
    const std::optional<DetailPicture> read = ReadDetailPicture(p, CurrentPictureOptions());
    if (!read) {
        Dialogs().Beep(BeepKind::Default);
        Dialogs().Message(QStringLiteral("Can Not Disp"));
        return;
    }
    DetailBitmap = read->bitmap;
    Viewer.Histogram = CountHistogram(DetailBitmap);
    if (!Form4) return;
    ++Viewer.DetailRequestSerial;
    SendRequest(Form4->Edit2, QString::number(Viewer.DetailRequestSerial));
    ShowInFront(Form4);
}

// --- Saving ---------------------------------------------------------------------------

void TForm3::SpeedButton1Click() {
    SavePictureDialog1.title = QStringLiteral("変更画像保存");
    SaveDetailPicture();
}

void TForm3::SpeedButton2Click() {
    SavePictureDialog1.title = QStringLiteral("画像形式変更");
    SaveDetailPicture();
}

void TForm3::ScrollBar1Change() {
    Viewer.JpegQuality = ScrollBar1->value();
    Memo2->setText(QString::number(Viewer.JpegQuality));
}

void TForm3::SaveDetailPicture() {
    PrepareSaveDialog(SavePictureDialog1, DetailFolder, DetailFileName);
    const std::optional<QString> chosen = Dialogs().SavePicture(SavePictureDialog1);
    if (!chosen) return;
    const QString n = *chosen;
    {
        const BusyCursor busy;
        const QString kind = SaveKind(n);
        if (SavePictureFile(n, kind, DetailBitmap, Viewer.JpegQuality)) {
            ShowFolderInMainWindow(n);
        } else {
            Dialogs().Beep(BeepKind::Default);
            Dialogs().Message(kind + QStringLiteral(" 拡張子？"));
        }
    }
    Edit2->setText(DetailFolder);
    Memo1->setText(FileNameOf(n));
    ShowFileFacts(n);
}

}  // namespace tamarind
