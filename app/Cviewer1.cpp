#include "app/Cviewer1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QElapsedTimer>
#include <QShowEvent>
#include <algorithm>

#include "app/Geometry.h"
#include "app/HelpFile.h"
#include "app/MainWindowControls.h"
#include "app/SlotDragDrop.h"
#include "app/SlotFitting.h"
#include "app/SlotKeys.h"
#include "batch/Renname.h"
#include "detail/Cgrp.h"
#include "exif/Exif.h"
#include "picture/Picture.h"
#include "platform/BusyCursor.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FolderControls.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/Hints.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "platform/WindowFrame.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

namespace tamarind {

TForm1* Form1 = nullptr;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kTeal(0, 128, 128);
const QColor kRed(255, 0, 0);

}  // namespace

TForm1::TForm1(const QStringList& args, QWidget* parent) : QMainWindow(parent), args_(args) {
    Form1 = this;
    BuildControls();
    Form1_Create();
}

TForm1::~TForm1() {
    // The grid's event filters go first: closing the window while it is
    // destroyed still sends events through them.
    delete keys_;
    delete drops_;
    delete hints_;
    if (Form1 == this) Form1 = nullptr;
}

// --- Start-up -------------------------------------------------------------------

void TForm1::Form1_Create() {
    // 1. The screen size, once.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        Viewer.ScreenWidth = screen->size().width();
        Viewer.ScreenHeight = screen->size().height();
    }
    // 2. The folder tree at the current folder of the drive shown, and the
    // file list with the mask of the first filter entry.
    RunGuarded([this] {
        QString startFolder = QDir::currentPath();
        if (!IsReadableFolder(startFolder)) startFolder = QDir::homePath();
        if (!IsReadableFolder(startFolder)) startFolder = QStringLiteral("/");
        ShowFolder(startFolder);
        FileListBox1->SetMask(FilterMask(FilterComboBox1->currentIndex()));
    });
    // 3. The help file beside the program (or in its installation's share folder).
    helpFile_ = LocateHelpFile(QCoreApplication::applicationDirPath());
    // 4. Slot counts of the layouts as text.
    Viewer.SlotCountText = {QStringLiteral("0"), QStringLiteral("1"),  QStringLiteral("2"),
                            QStringLiteral("2"), QStringLiteral("4"),  QStringLiteral("6"),
                            QStringLiteral("6"), QStringLiteral("9"),  QStringLiteral("12"),
                            QStringLiteral("12"), QStringLiteral("16")};
    // 5. Individual mode, Pixel captions at 72 dpi.
    Viewer.ContinuousMode = false;
    PixelP1Click();
    N721Click();
    // 6. The command line.
    Viewer.LayoutIndex = 4;
    Viewer.DisplayUnit = 0;
    startup_ = ParseCommandLine(args_);
    Viewer.LayoutIndex = startup_.layout;
    Viewer.ContinuousMode = startup_.continuous;
    Viewer.DisplayUnit = startup_.displayUnit;
    ReadPictureOptionsAtStart();
    // 7. The fill mode it asks for (SetFillMode switches away from its argument).
    SetFillMode(!Viewer.ContinuousMode);
    // 8. Full size mode and the grid.
    Viewer.SizeMode = 0;
    ApplySizeMode(0);
    ApplyLayout(Viewer.LayoutIndex);
    if (!startup_.startFile.isEmpty()) {
        // 9. The start file. When it loads it stays in slot 1, even when the
        // file list does not show it; when it fails, start-up ends there.
        RunGuarded([this] { OpenStartFile(startup_.startFile); });
        return;
    }
    // 10. The unit command of the command line, then the panel and grid once more.
    switch (Viewer.DisplayUnit) {
        case 1: mmM1Click(); break;
        case 2: inchI1Click(); break;
        default: PixelP1Click(); break;
    }
    Splitter1_Move();
}

void TForm1::OpenStartFile(const QString& text) {
    Viewer.NextSlot = 1;
    const QString path = AbsolutePath(text);
    const QString folder = FolderOf(path);
    const QString name = FileNameOf(path);
    Viewer.PickedFileName = name;
    // The lists show the file's folder; the drive selector its volume.
    ShowFolder(folder);
    Viewer.SelectedSlot = Viewer.NextSlot;
    PaintSlotMarker(Viewer.SelectedSlot, kMarkerSelected);
    LoadNamedIntoNextSlot(text, path, WithTrailingSeparator(folder), name);
    // Select the file in the list when it shows it.
    for (int i = FileListBox1->count() - 1; i >= 0; --i) {
        if (FileListBox1->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) {
            FileListBox1->SelectRow(i);
            break;
        }
    }
}

// --- Window size modes ------------------------------------------------------------

void TForm1::ApplySizeMode(int mode) {
    Viewer.SizeMode = mode;
    const std::array<QAction*, 4> items = {A1, M1, M2, S1};
    for (QAction* item : items) item->setChecked(false);
    if (mode >= 0 && mode <= 3) items[mode]->setChecked(true);

    const int currentScreenHeight =
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size().height()
                                         : Viewer.ScreenHeight;
    const SizeModeGeometry g =
        ComputeSizeMode(mode, QSize(Viewer.ScreenWidth, Viewer.ScreenHeight), currentScreenHeight,
                        QSize(Viewer.WindowWidth, Viewer.WindowHeight));
    Viewer.WindowWidth = g.windowWidth;
    Viewer.WindowHeight = g.windowHeight;

    // The window's outer size includes the frame the window manager draws.
    const QMargins frame = WindowFrameMargins(this);
    const int clientWidth = std::max(0, g.windowWidth - frame.left() - frame.right());
    const int clientHeight = std::max(0, g.windowHeight - frame.top() - frame.bottom());
    // Placed by its inside, so the frame lands where the mode puts the window
    // also before the window has been shown.
    placedOuter_ = QRect(g.left, g.top, g.windowWidth, g.windowHeight);
    placed_ = QRect(g.left + frame.left(), g.top + frame.top(), clientWidth, clientHeight);
    placedFrame_ = frame;
    SetPlacedGeometry(this, placed_);

    Viewer.GridWidth = g.gridWidth;
    const int wrappedMenuHeight = menuBar()->heightForWidth(clientWidth);
    const int menuHeight =
        wrappedMenuHeight > 0 ? wrappedMenuHeight : menuBar()->sizeHint().height();
    Viewer.GridHeight = GridHeightFor(clientHeight, menuHeight, 25);
    Panel1->resize(g.panelWidth, Viewer.GridHeight);
    Panel2->resize(Viewer.GridWidth, Viewer.GridHeight);
    ClientArea->resize(clientWidth, std::max(0, Viewer.GridHeight));
    ClientArea->Relayout();
    Splitter2->KeepRoom();  // the file list keeps its least height in a smaller window

    PlaceLeftPanelControls(g.panelWidth);
    ApplyLayout(Viewer.LayoutIndex);
}

void TForm1::A1Click() {
    Viewer.SizeMode = 0;
    ApplySizeMode(0);
}
void TForm1::M1Click() {
    Viewer.SizeMode = 1;
    ApplySizeMode(1);
}
void TForm1::M2Click() {
    Viewer.SizeMode = 2;
    ApplySizeMode(2);
}
void TForm1::S1Click() {
    Viewer.SizeMode = 3;
    ApplySizeMode(3);
}

void TForm1::Splitter1_Move() {
    if (Panel1->width() < 10) {
        Panel1->resize(10, Panel1->height());
        ClientArea->Relayout();
    }
    const int panelWidth = Panel1->width();
    Viewer.GridWidth = GridWidthFor(Viewer.WindowWidth, panelWidth);
    PlaceLeftPanelControls(panelWidth);
    ApplyLayout(Viewer.LayoutIndex);
}

void TForm1::Splitter2_Move() {
    if (DirectoryListBox1->height() < 10) {
        DirectoryListBox1->resize(DirectoryListBox1->width(), 10);
        Panel1->Relayout();
    }
}

// --- Grid layouts -----------------------------------------------------------------

QAction* TForm1::LayoutItem(int layout) const {
    const std::array<QAction*, 11> items = {nullptr, A2, B1, C1, D2, E1, F1, G1, H1, I1, J1};
    return IsValidLayout(layout) ? items[layout] : nullptr;
}

void TForm1::ApplyLayout(int layout) {
    Viewer.LayoutIndex = layout;
    ShowSlotCount();
    for (int k = 1; k <= 10; ++k) LayoutItem(k)->setChecked(false);

    if (IsValidLayout(layout)) {
        LayoutItem(layout)->setChecked(true);
        const GridGeometry g = ComputeGrid(layout, Viewer.GridWidth, Viewer.GridHeight);
        Viewer.LayoutSlotCount = g.shape.slotCount;
        for (int n = 1; n <= Viewer.LayoutSlotCount; ++n) {
            // Sizes of zero or below show as empty, zero-sized controls.
            const QRect r = g.FrameRect(n);
            frames_[n]->setGeometry(r.left(), r.top(), std::max(0, r.width()),
                                    std::max(0, r.height()));
            images_[n]->resize(std::max(0, g.imageWidth), std::max(0, g.imageHeight));
        }
        Viewer.CellImageWidth = float(g.imageWidth);
        Viewer.CellImageHeight = float(g.imageHeight);
        Viewer.CellAspect = g.imageHeight != 0 ? float(g.imageWidth) / float(g.imageHeight) : 0.0f;
        for (int n = 1; n <= kSlotCount; ++n) frames_[n]->hide();
        for (int n = 1; n <= Viewer.LayoutSlotCount; ++n) frames_[n]->show();
    } else {
        // No frame moves; the slot count stays; two frames show.
        Viewer.CellImageWidth = 1;
        Viewer.CellImageHeight = 1;
        Viewer.CellAspect = 1;
        for (int n = 1; n <= kSlotCount; ++n) frames_[n]->hide();
        frames_[1]->show();
        frames_[2]->show();
    }

    PaintSlotMarker(Viewer.NextSlot, kMarkerPlain);
    Viewer.NextSlot = 0;
    ClearSlots();
}

void TForm1::ClearSlots() {
    for (int n = 1; n <= kSlotCount; ++n) {
        frames_[n]->setTitle(EmptySlotTitle(n));
        sizeCaptions_[n]->clear();
        images_[n]->ClearPicture();
        SetHint(images_[n], QString());
        Viewer.SlotFileName[n].clear();
    }
    PaintSlotMarker(Viewer.SelectedSlot, kMarkerPlain);
    PaintSlotMarker(Viewer.NextSlot, kMarkerPlain);
    if (Viewer.ProtectedSlot > 0) {
        SetTextColor(frames_[Viewer.ProtectedSlot], Qt::black);
        Viewer.ProtectedSlot = 0;
    }
    Viewer.NextSlot = 1;
    PaintSlotMarker(1, kMarkerNext);
    Viewer.ProtectedSlot = 0;
}

void TForm1::PaintSlotMarker(int slot, int state) {
    if (slot < 1 || slot > kSlotCount) return;
    switch (state) {
        case kMarkerPlain: markers_[slot]->SetFillColor(kSilver); break;
        case kMarkerNext: markers_[slot]->SetFillColor(kTeal); break;
        case kMarkerSelected: markers_[slot]->SetFillColor(kRed); break;
        default: break;
    }
}

void TForm1::A2Click() { ApplyLayout(1); }
void TForm1::B1Click() { ApplyLayout(2); }
void TForm1::C1Click() { ApplyLayout(3); }
void TForm1::D2Click() { ApplyLayout(4); }
void TForm1::E1Click() { ApplyLayout(5); }
void TForm1::F1Click() { ApplyLayout(6); }
void TForm1::G1Click() { ApplyLayout(7); }
void TForm1::H1Click() { ApplyLayout(8); }
void TForm1::I1Click() { ApplyLayout(9); }
void TForm1::J1Click() { ApplyLayout(10); }

// --- Commands of the windows that follow ----------------------------------------------

void TForm1::R1Click() {
    if (Form7) Form7->OpenFromMainWindow(Viewer.FilterIndex, ++Viewer.PrintRequestSerial);
}

// --- Folder and file selection --------------------------------------------------------

QString TForm1::FilterMask(int index) const {
    return FilterComboBox1->itemData(index).toString();
}

void TForm1::TellBatchWindowFolder() {
    // The batch window does not exist yet while the program starts.
    if (Form7) Form7->Edit3->setText(DirectoryListBox1->Directory());
}

void TForm1::DriveComboBox1Change() { folders_->DriveChanged(); }

void TForm1::DirectoryListBox1Change() {
    folders_->FolderChanged();
    TellBatchWindowFolder();
}

void TForm1::FilterComboBox1Change() {
    FileListBox1->SetMask(FilterMask(FilterComboBox1->currentIndex()));
    Viewer.FilterIndex = FilterComboBox1->currentIndex();
    TellBatchWindowFolder();
}

void TForm1::FileListBox1Change() {
    ShowFittedText(Memo1, QStringLiteral("%1 ﾌｧｲﾙ").arg(FileListBox1->count()), 15);
    TellBatchWindowFolder();
}

void TForm1::FLB1_Click() {
    const BusyCursor busy;  // decoding big pictures takes a moment
    const QString folder = WithTrailingSeparator(FileListBox1->Directory());
    const int n = FileListBox1->count();
    const int i = FileListBox1->currentRow();
    if (i < 0 || i >= n || FileListBox1->SelectedName().isEmpty()) return;
    if (!Viewer.ContinuousMode) {
        FillSlotFromList(folder, FileListBox1->item(i)->text());
        return;
    }
    FillRunFromList(folder, i);
}

void TForm1::FillSlotFromList(const QString& folder, const QString& name) {
    FillSlotWith(folder, name, [&] { return LoadShowingPreview(SlotPath(name, {})); });
}

void TForm1::FillSlotWith(const QString& folder, const QString& name,
                          const std::function<SlotLoad()>& load) {
    Viewer.PickedFileName = name;
    PaintSlotMarker(Viewer.SelectedSlot, kMarkerPlain);
    Viewer.SelectedSlot = Viewer.NextSlot;
    PaintSlotMarker(Viewer.SelectedSlot, kMarkerSelected);
    const int slot = Viewer.NextSlot;
    CommitToNextSlot(name, SlotPath(name, {}), load());  // a failure ends here, the slot as it was
    if (slot >= 1 && slot <= kSlotCount) {
        Viewer.SlotFolder[slot] = folder;
        Viewer.SlotFileName[slot] = name;
    }
}

void TForm1::ShowFolder(const QString& folder) { folders_->ShowFolder(folder); }

void TForm1::NavigateToBatchFolder() {
    if (BatchTargetPath.isEmpty()) {
        RefreshFileLists();  // the run handled no file: show the folder again, re-read
        return;
    }
    // A path ending in "/" (after a delete run: the source folder) is the folder itself.
    const QString path = AbsolutePath(BatchTargetPath);
    ShowFolder(BatchTargetPath.endsWith(u'/') ? path : FolderOf(path));
}

void TForm1::RefreshFileLists() {
    // A folder that vanished behind the lists' back leaves its nearest ancestor.
    ShowFolder(NearestReadableFolder(folders_->Folder()));
}

void TForm1::Edit7Change() { NavigateToBatchFolder(); }

// --- Loading pictures into slots ------------------------------------------------------

void TForm1::LoadIntoNextSlot(const QString& text, const QString& givenPath) {
    const QString path = SlotPath(text, givenPath);
    // 1. Decode and measure; a failure ends the load with nothing changed.
    CommitToNextSlot(text, path, LoadShowingPreview(path));
}

void TForm1::LoadNamedIntoNextSlot(const QString& text, const QString& path,
                                   const QString& folder, const QString& name) {
    const int slot = Viewer.NextSlot;
    LoadIntoNextSlot(text, path);  // a failure ends here, the slot as it was
    if (slot >= 1 && slot <= kSlotCount) {
        Viewer.SlotFolder[slot] = folder;
        Viewer.SlotFileName[slot] = name;
    }
}

void TForm1::FitSlotImage(int slot) {
    if (slot < 1 || slot > kSlotCount) return;
    const QSize natural = Image17->NaturalSize();
    Viewer.PictureWidth = float(natural.width());
    Viewer.PictureHeight = float(natural.height());
    Viewer.PictureAspect =
        natural.height() != 0 ? Viewer.PictureWidth / Viewer.PictureHeight : 0.0f;
    images_[slot]->resize(FitPictureBox(natural, Viewer.CellImageWidth, Viewer.CellImageHeight,
                                        Viewer.CellAspect));
    sizeCaptions_[slot]->setText(FormatSizeCaption(slot, natural.width(), natural.height()) +
                                 SizeCaptionMark(Image17->Orientation()));
}

QString TForm1::FormatSizeCaption(int slot, int width, int height) {
    if (slot >= 1 && slot <= kSlotCount) {
        Viewer.SlotPixelWidth[slot] = width;
        Viewer.SlotPixelHeight[slot] = height;
    }
    return SizeCaptionText(Viewer.DisplayUnit, Viewer.Dpi, width, height);
}

void TForm1::Edit1_Change() { FitSlotImage(Viewer.WorkSlot); }

// --- Slot cursor, protection and gestures ------------------------------------------------

void TForm1::SetNextSlot(int slot) {
    PaintSlotMarker(Viewer.NextSlot, kMarkerPlain);
    Viewer.NextSlot = slot;
    PaintSlotMarker(Viewer.NextSlot, kMarkerNext);
}

void TForm1::Label18Click() { SetNextSlot(1); }
void TForm1::Label19Click() { SetNextSlot(2); }
void TForm1::Label20Click() { SetNextSlot(3); }
void TForm1::Label21Click() { SetNextSlot(4); }

void TForm1::ToggleProtectedSlot(int slot) {
    if (slot < 1 || slot > kSlotCount) return;
    if (Viewer.NextSlot > 0) {
        if (slot == Viewer.NextSlot) {
            Dialogs().Beep(BeepKind::System);
            Dialogs().Message(QStringLiteral("次表示位置は指定できません。"));
            return;
        }
        if (Viewer.SlotFileName[slot].isEmpty()) {
            Dialogs().Beep(BeepKind::System);
            Dialogs().Message(QStringLiteral("未表示位置は指定できません。"));
            return;
        }
    }
    if (Viewer.ProtectedSlot > 0) SetTextColor(frames_[Viewer.ProtectedSlot], Qt::black);
    if (slot == Viewer.ProtectedSlot) {
        Viewer.ProtectedSlot = 0;
        return;
    }
    Viewer.ProtectedSlot = slot;
    SetTextColor(frames_[slot], QColor(255, 0, 0));
}

void TForm1::GroupBoxClick(int slot) { ToggleProtectedSlot(slot); }

void TForm1::ImageMouseDown(int slot, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (button == Qt::LeftButton) {
        if (modifiers & Qt::ShiftModifier) {
            OpenDetailWindow(slot);
            SetBackgroundColor(frames_[slot], QColor(0, 255, 255));
        }
        if (modifiers & Qt::ControlModifier) CopySlotToClipboard(slot);
    } else if (button == Qt::RightButton) {
        ShowFullSize(slot);
    }
}

void TForm1::ImageDoubleClick(int slot) { PreparePrintPicture(slot); }

void TForm1::OpenDetailWindow(int slot) {
    Viewer.WorkSlot = slot;
    if (!Viewer.SlotFileName[slot].isEmpty()) {
        Form3->Edit2->setText(Viewer.SlotFolder[slot]);
        Form3->Memo1->setText(Viewer.SlotFileName[slot]);
        ++Viewer.DetailRequestSerial;
        try {
            SendRequest(Form3->Edit1, QString::number(Viewer.DetailRequestSerial));
        } catch (...) {
            ResetSlotFrames();
            throw;
        }
        ShowInFront(Form3);
    } else {
        Dialogs().Beep(BeepKind::Message);
        Dialogs().Message(QStringLiteral("画像がありません。"));
    }
    ResetSlotFrames();
}

void TForm1::ResetSlotFrames() {
    for (int n = 1; n <= kSlotCount; ++n) SetBackgroundColor(frames_[n], ButtonFaceColor());
}

void TForm1::Edit2Change() {
    const int slot = Viewer.WorkSlot;
    if (slot >= 1 && slot <= kSlotCount) {
        Viewer.SlotFolder[slot] = Edit3->text();
        Viewer.SlotFileName[slot] = Edit4->text();
        if (Edit4->text().isEmpty()) {
            sizeCaptions_[slot]->clear();
            images_[slot]->ClearPicture();
        }
    }
    RefreshFileLists();
}

void TForm1::Edit5Change() { ResetSlotFrames(); }

// --- Hints in the status bar ---------------------------------------------------------

QString TForm1::StatusText() const { return StatusBar1->currentMessage(); }

void TForm1::ShowHintFor(const QWidget* widget) {
    StatusBar1->showMessage(widget ? OneLineHint(EffectiveHint(widget)) : QString());
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous() || frameChecked_) return;
    frameChecked_ = true;
    // The window manager said in advance which frame it draws: the placement
    // counted with it already. Its frame of a later moment may be that of a
    // passing state (maximised and being put back), never to be taken for it.
    if (!placedFrame_.isNull()) return;
    // One that did not say: once the frame is known, the size mode is applied
    // again with it, unless the window left its normal state meanwhile.
    auto* watch = new QTimer(this);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(watch, &QTimer::timeout, this, [this, watch, clock] {
        const QMargins frame = WindowFrameMargins(this);
        const bool known = !frame.isNull();
        if (known || clock.elapsed() > 2000 || windowState() != Qt::WindowNoState) {
            watch->deleteLater();
            if (known && placedFrame_.isNull() && windowState() == Qt::WindowNoState)
                RunGuarded([this] { ReplaceWithFrame(); });
        }
    });
    watch->start(50);
}

void TForm1::ReplaceWithFrame() {
    const bool empty = std::all_of(Viewer.SlotFileName.begin(), Viewer.SlotFileName.end(),
                                   [](const QString& name) { return name.isEmpty(); });
    if (empty) {
        ApplySizeMode(Viewer.SizeMode);  // empties nothing: nothing is shown yet
        return;
    }
    // Pictures are shown already: only the window's outer size is mended.
    const QMargins frame = WindowFrameMargins(this);
    placed_ = placedOuter_.marginsRemoved(frame);
    placedFrame_ = frame;
    SetPlacedGeometry(this, placed_);
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The window has no maximised state: a window manager that maximises it
    // anyway sees it return to the size of its mode.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~Qt::WindowMaximized);
            SetPlacedGeometry(this, placed_);
        });
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, whatever else is open.
    event->accept();
    qApp->quit();
}

}  // namespace tamarind
