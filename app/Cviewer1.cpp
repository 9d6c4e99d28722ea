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
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>

#include "app/Geometry.h"
#include "app/HelpFile.h"
#include "app/SlotFitting.h"
#include "exif/Exif.h"
#include "picture/Picture.h"
#include "app/PictureBox.h"
#include "app/ViewerState.h"
#include "batch/Renname.h"
#include "detail/Cgrp.h"
#include "platform/BusyCursor.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FolderControls.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/Requests.h"

namespace tamarind {

TForm1* Form1 = nullptr;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kTeal(0, 128, 128);
const QColor kRed(255, 0, 0);

// The full-width letters that name empty slots.
const QString kSlotLetters = QStringLiteral("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ");

// The file filter: shown text and mask, alternating.
const char* const kFilterDefinition =
    "全ての画像ファイル|*.jpg;*.bmp;*.tif;*.png,*.wmf,*.ico,*.gif|JPGファイル(*.jpg)|*.jpg|"
    "BMPファイル(*.bmp)|*.bmp|TIFファイル(*.tif)|*.tif|PNGファイル(*.png)|*.png|"
    "WMFファイル(*.wmf)|*.wmf|ICOファイル(*.ico)|*.ico|GIFファイル(*.gif)|*.gif|"
    "全てのファイル(*.*)|*.*";

QAction* AddItem(QMenu* menu, const QString& text, const QString& name, bool checkable,
                 std::function<void()> handler) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setCheckable(checkable);
    QObject::connect(action, &QAction::triggered, action,
                     [handler = std::move(handler)] { RunGuarded(handler); });
    return action;
}

QAction* AddBarCommand(QMenuBar* bar, const QString& text, const QString& name,
                       std::function<void()> handler) {
    QAction* action = bar->addAction(text);
    action->setObjectName(name);
    QObject::connect(action, &QAction::triggered, action,
                     [handler = std::move(handler)] { RunGuarded(handler); });
    return action;
}

QStyle* ClassicFrameStyle() {
    static QStyle* style = QStyleFactory::create(QStringLiteral("Windows"));
    return style;
}

}  // namespace

TForm1::TForm1(const QStringList& args, QWidget* parent) : QMainWindow(parent), args_(args) {
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tamarind 2004/5 Ver 2.20"));
    // System menu and minimise button, no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(UiFont(kGothic, 12));

    BuildMenu();
    ClientArea = new DockPanel(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(ClientArea);
    BuildLeftPanel();
    BuildGrid();
    BuildRequestFields();

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(25);
    StatusBar1->setSizeGripEnabled(false);

    qApp->installEventFilter(this);
    Form1_Create();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    if (Form1 == this) Form1 = nullptr;
}

// --- Building the controls ----------------------------------------------------

void TForm1::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    PrintMenu = bar->addMenu(QStringLiteral("印刷(&P)"));
    S2 = AddItem(PrintMenu, QStringLiteral("プリンター設定(&S)"), "S2", false, [this] { S2Click(); });
    PrintMenu->addSeparator();
    B2 = AddItem(PrintMenu, QStringLiteral("選択画像印刷(&A)"), "B2", false, [this] { B2Click(); });
    B3 = AddItem(PrintMenu, QStringLiteral("サムネイル印刷(&B)"), "B3", false, [this] { B3Click(); });
    PrintMenu->addSeparator();
    Exit2 = AddItem(PrintMenu, QStringLiteral("終了(&Q)"), "Exit2", false, [this] { Exit2Click(); });

    ScreenMenu = bar->addMenu(QStringLiteral("画面(&S)"));
    A1 = AddItem(ScreenMenu, QStringLiteral("全(&A)"), "A1", true, [this] { A1Click(); });
    M1 = AddItem(ScreenMenu, QStringLiteral("大(&L)"), "M1", true, [this] { M1Click(); });
    M2 = AddItem(ScreenMenu, QStringLiteral("中(&M)"), "M2", true, [this] { M2Click(); });
    S1 = AddItem(ScreenMenu, QStringLiteral("小(&S)"), "S1", true, [this] { S1Click(); });
    A1->setChecked(true);

    R1 = AddBarCommand(bar, QStringLiteral("連番処理(&R)"), "R1", [this] { R1Click(); });

    DisplayMenu = bar->addMenu(QStringLiteral("表示(&D)"));
    A2 = AddItem(DisplayMenu, QStringLiteral("横１×縦１(&A)"), "A2", true, [this] { A2Click(); });
    B1 = AddItem(DisplayMenu, QStringLiteral("横２×縦１(&B)"), "B1", true, [this] { B1Click(); });
    C1 = AddItem(DisplayMenu, QStringLiteral("横１×縦２(&C)"), "C1", true, [this] { C1Click(); });
    D2 = AddItem(DisplayMenu, QStringLiteral("横２×縦２(&D)"), "D2", true, [this] { D2Click(); });
    E1 = AddItem(DisplayMenu, QStringLiteral("横３×縦２(&E)"), "E1", true, [this] { E1Click(); });
    F1 = AddItem(DisplayMenu, QStringLiteral("横２×縦３(&F)"), "F1", true, [this] { F1Click(); });
    G1 = AddItem(DisplayMenu, QStringLiteral("横３×縦３(&G)"), "G1", true, [this] { G1Click(); });
    H1 = AddItem(DisplayMenu, QStringLiteral("横４×縦３(&H)"), "H1", true, [this] { H1Click(); });
    I1 = AddItem(DisplayMenu, QStringLiteral("横３×縦４(&I)"), "I1", true, [this] { I1Click(); });
    J1 = AddItem(DisplayMenu, QStringLiteral("横４×縦４(&J)"), "J1", true, [this] { J1Click(); });
    D2->setChecked(true);

    N2 = AddBarCommand(bar, QStringLiteral("１／Ｎ(&N)"), "N2", [this] { N2Click(); });

    ScaleMenu = bar->addMenu(QStringLiteral("スケール(&M)"));
    PixelP1 = AddItem(ScaleMenu, QStringLiteral("Pixel(&P)"), "PixelP1", true, [this] { PixelP1Click(); });
    mmM1 = AddItem(ScaleMenu, QStringLiteral("mm(&M)"), "mmM1", true, [this] { mmM1Click(); });
    inchI1 = AddItem(ScaleMenu, QStringLiteral("inch(&I)"), "inchI1", true, [this] { inchI1Click(); });

    DpiMenu = bar->addMenu(QStringLiteral("DPI(&I)"));
    N721 = AddItem(DpiMenu, QStringLiteral("72(&A)"), "N721", true, [this] { N721Click(); });
    N1501 = AddItem(DpiMenu, QStringLiteral("150(&B)"), "N1501", true, [this] { N1501Click(); });
    N1801 = AddItem(DpiMenu, QStringLiteral("180(&C)"), "N1801", true, [this] { N1801Click(); });
    N3001 = AddItem(DpiMenu, QStringLiteral("300(&D)"), "N3001", true, [this] { N3001Click(); });
    N3601 = AddItem(DpiMenu, QStringLiteral("360(&E)"), "N3601", true, [this] { N3601Click(); });
    N6001 = AddItem(DpiMenu, QStringLiteral("600(&F)"), "N6001", true, [this] { N6001Click(); });
    N7201 = AddItem(DpiMenu, QStringLiteral("720(&G)"), "N7201", true, [this] { N7201Click(); });
    N12001 = AddItem(DpiMenu, QStringLiteral("1200(&H)"), "N12001", true, [this] { N12001Click(); });
    N14401 = AddItem(DpiMenu, QStringLiteral("1440(&I)"), "N14401", true, [this] { N14401Click(); });
    N24001 = AddItem(DpiMenu, QStringLiteral("2400(&J)"), "N24001", true, [this] { N24001Click(); });
    N28801 = AddItem(DpiMenu, QStringLiteral("2880(&K)"), "N28801", true, [this] { N28801Click(); });
    N48001 = AddItem(DpiMenu, QStringLiteral("4800(&L)"), "N48001", true, [this] { N48001Click(); });

    // Shows the resolution in force; choosing it does nothing.
    N4800dpi1 = bar->addAction(QStringLiteral("[72 dpi]"));
    N4800dpi1->setObjectName(QStringLiteral("N4800dpi1"));

    HelpMenu = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    Contents1 = AddItem(HelpMenu, QStringLiteral("目次(&H)"), "Contents1", false, [this] { Contents1Click(); });
    HelpMenu->addSeparator();
    About1 = AddItem(HelpMenu, QStringLiteral("バージョン情報(&V)"), "About1", false, [this] { About1Click(); });
}

void TForm1::BuildLeftPanel() {
    Panel1 = new DockPanel(ClientArea);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->resize(160, Panel1->height());

    Panel3 = new QWidget(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->resize(Panel3->width(), 89);

    Label17 = new QLabel(QStringLiteral("【ファイル選択】"), Panel3);
    Label17->setObjectName(QStringLiteral("Label17"));
    Label17->setFont(UiFont(kGothic, 13, true));
    Label17->adjustSize();

    DriveComboBox1 = new DriveComboBox(Panel3);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setFont(UiFont(kGothic, 15));
    SetHint(DriveComboBox1, QStringLiteral("ドライブ選択"));

    FilterComboBox1 = new QComboBox(Panel3);
    FilterComboBox1->setObjectName(QStringLiteral("FilterComboBox1"));
    FilterComboBox1->setFont(UiFont(kGothic, 15));
    SetHint(FilterComboBox1, QStringLiteral("フィルター指定"));
    const QStringList parts = QString::fromUtf8(kFilterDefinition).split(u'|');
    for (int i = 0; i + 1 < parts.size(); i += 2) FilterComboBox1->addItem(parts[i], parts[i + 1]);

    Label34 = new QLabel(QStringLiteral("1"), Panel3);
    Label34->setObjectName(QStringLiteral("Label34"));
    Label34->setFont(UiFont(kGothic, 15, true));
    Label34->setAlignment(Qt::AlignCenter);
    Label34->move(13, 69);
    SetHint(Label34, QStringLiteral("連続表示数"));

    Memo1 = new QLineEdit(Panel3);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(UiFont(kGothic, 15));
    Memo1->setAlignment(Qt::AlignCenter);
    Memo1->setReadOnly(true);
    Memo1->resize(67, 20);
    SetHint(Memo1, QStringLiteral("検索ファイル数"));

    DirectoryListBox1 = new DirectoryListBox(Panel1);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setFont(UiFont(kGothic, 15, true));
    DirectoryListBox1->resize(DirectoryListBox1->width(), 159);
    SetHint(DirectoryListBox1, QStringLiteral("ホルダー選択"));

    Splitter2 = new SplitterBar(Qt::Vertical, DirectoryListBox1, 10, Panel1);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->resize(Splitter2->width(), 4);
    Splitter2->SetMoved([this] { Splitter2_Move(); });

    FileListBox1 = new FileListBox(Panel1);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setFont(UiFont(kGothic, 15, true));
    SetHint(FileListBox1, QStringLiteral("検索ファイルリスト"));

    Panel1->DockChild(Panel3, Dock::Top);
    Panel1->DockChild(DirectoryListBox1, Dock::Top);
    Panel1->DockChild(Splitter2, Dock::Top);
    Panel1->DockChild(FileListBox1, Dock::Client);
    PlaceLeftPanelControls(160);

    DriveComboBox1->onChange = [this] { DriveComboBox1Change(); };
    DirectoryListBox1->onChange = [this] { DirectoryListBox1Change(); };
    FileListBox1->onChange = [this] { FileListBox1Change(); };
    FileListBox1->onClick = [this] { FLB1_Click(); };
    QObject::connect(FilterComboBox1, &QComboBox::currentIndexChanged, this,
                     [this](int) { RunGuarded([this] { FilterComboBox1Change(); }); });

    Splitter1 = new SplitterBar(Qt::Horizontal, Panel1, 10, ClientArea);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->resize(5, Splitter1->height());
    Splitter1->SetMoved([this] { Splitter1_Move(); });
}

void TForm1::BuildGrid() {
    Panel2 = new QWidget(ClientArea);
    Panel2->setObjectName(QStringLiteral("Panel2"));

    QGroupBox** frameFields[] = {&GroupBox1,  &GroupBox2,  &GroupBox3,  &GroupBox4,
                                 &GroupBox5,  &GroupBox6,  &GroupBox7,  &GroupBox8,
                                 &GroupBox9,  &GroupBox10, &GroupBox11, &GroupBox12,
                                 &GroupBox13, &GroupBox14, &GroupBox15, &GroupBox16};
    QLabel** captionFields[] = {&Label1,  &Label2,  &Label3,  &Label4,  &Label5,  &Label6,
                                &Label7,  &Label8,  &Label9,  &Label10, &Label11, &Label12,
                                &Label13, &Label14, &Label15, &Label16};
    PictureBox** imageFields[] = {&Image1,  &Image2,  &Image3,  &Image4,  &Image5,  &Image6,
                                  &Image7,  &Image8,  &Image9,  &Image10, &Image11, &Image12,
                                  &Image13, &Image14, &Image15, &Image16};
    ClickLabel** markerFields[] = {&Label18, &Label19, &Label20, &Label21, &Label22, &Label23,
                                   &Label24, &Label25, &Label26, &Label27, &Label28, &Label29,
                                   &Label30, &Label31, &Label32, &Label33};

    for (int n = 1; n <= kSlotCount; ++n) {
        auto* frame = new QGroupBox(kSlotLetters.mid(n - 1, 1), Panel2);
        // The classic frame: its caption sits on the top border line.
        frame->setStyle(ClassicFrameStyle());
        frame->setObjectName(QStringLiteral("GroupBox%1").arg(n));
        // A click on the frame itself (not on its picture, caption or marker).
        frame->installEventFilter(this);

        auto* caption = new ClickLabel(frame);  // takes its clicks: they are not the frame's
        caption->setObjectName(QStringLiteral("Label%1").arg(n));
        caption->move(kSizeCaptionPos);
        caption->resize(260, 14);

        auto* image = new PictureBox(frame);
        image->setObjectName(QStringLiteral("Image%1").arg(n));
        image->move(kPictureBoxPos);

        auto* marker = new ClickLabel(frame);
        marker->setObjectName(QStringLiteral("Label%1").arg(n + 17));
        marker->setGeometry(kMarkerPos.x(), kMarkerPos.y(), kMarkerSize, kMarkerSize);

        image->onMouseDown = [this, n](Qt::MouseButton button, Qt::KeyboardModifiers keys) {
            ImageMouseDown(n, button, keys);
        };
        image->onDoubleClick = [this, n] { ImageDoubleClick(n); };
        // Only the markers of slots 1 to 4 move the cursor.
        if (n <= 4) marker->SetClicked([this, n] { SetNextSlot(n); });

        frame->hide();
        frames_[n] = *frameFields[n - 1] = frame;
        sizeCaptions_[n] = *captionFields[n - 1] = caption;
        images_[n] = *imageFields[n - 1] = image;
        markers_[n] = *markerFields[n - 1] = marker;
    }

    // The measuring picture: hidden, takes the natural size of its picture.
    Image17 = new PictureBox(this);
    Image17->setObjectName(QStringLiteral("Image17"));
    Image17->SetAutoSize(true);
    Image17->hide();

    ClientArea->DockChild(Panel1, Dock::Left);
    ClientArea->DockChild(Splitter1, Dock::Left);
    ClientArea->DockChild(Panel2, Dock::Client);
}

void TForm1::BuildRequestFields() {
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1_Change(); });
    Edit2 = MakeRequestField(this, QStringLiteral("Edit2"), [this] { Edit2Change(); });
    Edit3 = MakeRequestField(this, QStringLiteral("Edit3"), {});
    Edit4 = MakeRequestField(this, QStringLiteral("Edit4"), {});
    Edit5 = MakeRequestField(this, QStringLiteral("Edit5"), [this] { Edit5Change(); });
    Edit6 = MakeRequestField(this, QStringLiteral("Edit6"), [this] { Edit6Change(); });
    Edit7 = MakeRequestField(this, QStringLiteral("Edit7"), [this] { Edit7Change(); });
}

void TForm1::PlaceLeftPanelControls(int panelWidth) {
    const int selector = SelectorWidthFor(panelWidth);
    DriveComboBox1->setGeometry(6, 26, std::max(0, selector), 21);
    FilterComboBox1->setGeometry(6, 45, std::max(0, selector), 23);
    Label17->move(Label17LeftFor(panelWidth), 6);
    Memo1->move(Memo1LeftFor(panelWidth), 66);
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
        DirectoryListBox1->SetDirectory(startFolder);
        DriveComboBox1->SetDrive(VolumeRootOf(DirectoryListBox1->Directory()));
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
    DirectoryListBox1->SetDirectory(folder);
    DriveComboBox1->SetDrive(VolumeRootOf(folder));
    Viewer.SelectedSlot = Viewer.NextSlot;
    PaintSlotMarker(Viewer.SelectedSlot, kMarkerSelected);
    LoadIntoNextSlot(text, path);
    Viewer.SlotFolder[1] = WithTrailingSeparator(folder);
    Viewer.SlotFileName[1] = name;
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
    const QSize frame = frameGeometry().size() - geometry().size();
    const int clientWidth = std::max(0, g.windowWidth - frame.width());
    const int clientHeight = std::max(0, g.windowHeight - frame.height());
    resize(clientWidth, clientHeight);
    move(g.left, g.top);

    Viewer.GridWidth = g.gridWidth;
    const int wrappedMenuHeight = menuBar()->heightForWidth(clientWidth);
    const int menuHeight =
        wrappedMenuHeight > 0 ? wrappedMenuHeight : menuBar()->sizeHint().height();
    Viewer.GridHeight = GridHeightFor(clientHeight, menuHeight, 25);
    Panel1->resize(g.panelWidth, Viewer.GridHeight);
    Panel2->resize(Viewer.GridWidth, Viewer.GridHeight);
    ClientArea->resize(clientWidth, std::max(0, Viewer.GridHeight));
    ClientArea->Relayout();

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
    Label34->setText(Viewer.ContinuousMode && IsValidLayout(layout)
                         ? Viewer.SlotCountText[layout]
                         : QStringLiteral("1"));
    Label34->adjustSize();
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
        frames_[n]->setTitle(kSlotLetters.mid(n - 1, 1));
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

// --- Unit and resolution of the size captions -----------------------------------------

void TForm1::PixelP1Click() {
    Viewer.DisplayUnit = 0;
    PixelP1->setChecked(true);
    mmM1->setChecked(false);
    inchI1->setChecked(false);
    DpiMenu->menuAction()->setEnabled(false);
    N4800dpi1->setEnabled(false);
}

void TForm1::mmM1Click() {
    Viewer.DisplayUnit = 1;
    PixelP1->setChecked(false);
    mmM1->setChecked(true);
    inchI1->setChecked(false);
    DpiMenu->menuAction()->setEnabled(true);
    N4800dpi1->setEnabled(true);
}

void TForm1::inchI1Click() {
    Viewer.DisplayUnit = 2;
    PixelP1->setChecked(false);
    mmM1->setChecked(false);
    inchI1->setChecked(true);
    DpiMenu->menuAction()->setEnabled(true);
    N4800dpi1->setEnabled(true);
}

void TForm1::UncheckDpiItems() {
    for (QAction* item : {N721, N1501, N1801, N3001, N3601, N6001, N7201, N12001, N14401, N24001,
                          N28801, N48001})
        item->setChecked(false);
}

void TForm1::SelectDpi(QAction* item, int dpi) {
    UncheckDpiItems();
    item->setChecked(true);
    Viewer.Dpi = dpi;
    N4800dpi1->setText(QStringLiteral("[%1 dpi]").arg(dpi));
}

void TForm1::N721Click() { SelectDpi(N721, 72); }
void TForm1::N1501Click() { SelectDpi(N1501, 150); }
void TForm1::N1801Click() { SelectDpi(N1801, 180); }
void TForm1::N3001Click() { SelectDpi(N3001, 300); }
void TForm1::N3601Click() { SelectDpi(N3601, 360); }
void TForm1::N6001Click() { SelectDpi(N6001, 600); }
void TForm1::N7201Click() { SelectDpi(N7201, 720); }
void TForm1::N12001Click() { SelectDpi(N12001, 1200); }
void TForm1::N14401Click() { SelectDpi(N14401, 1440); }
void TForm1::N24001Click() { SelectDpi(N24001, 2400); }
void TForm1::N28801Click() { SelectDpi(N28801, 2880); }
void TForm1::N48001Click() { SelectDpi(N48001, 4800); }

// --- Fill mode ----------------------------------------------------------------------

void TForm1::SetFillMode(bool continuous) {
    if (continuous) {
        Viewer.ContinuousMode = false;
        Label34->setText(QStringLiteral("1"));
        N2->setText(QStringLiteral("個別(&N)"));
    } else {
        Viewer.ContinuousMode = true;
        Label34->setText(IsValidLayout(Viewer.LayoutIndex)
                             ? Viewer.SlotCountText[Viewer.LayoutIndex]
                             : QStringLiteral("1"));
        N2->setText(QStringLiteral("連続(&N)"));
    }
    Label34->adjustSize();
}

void TForm1::N2Click() { SetFillMode(Viewer.ContinuousMode); }

// --- Commands of the windows that follow ----------------------------------------------

void TForm1::S2Click() {}
void TForm1::B2Click() {}
void TForm1::B3Click() {}
void TForm1::R1Click() {}
void TForm1::Edit6Change() {}
void TForm1::PreparePrintPicture(int) {}

// --- Folder and file selection --------------------------------------------------------

QString TForm1::FilterMask(int index) const {
    return FilterComboBox1->itemData(index).toString();
}

void TForm1::TellBatchWindowFolder() {
    // The batch window does not exist yet while the program starts.
    if (Form7) Form7->Edit3->setText(DirectoryListBox1->Directory());
}

void TForm1::DriveComboBox1Change() {
    DirectoryListBox1->SetDrive(DriveComboBox1->Drive());
    FileListBox1->SetDirectory(DirectoryListBox1->Directory());
}

void TForm1::DirectoryListBox1Change() {
    FileListBox1->SetDirectory(DirectoryListBox1->Directory());
    TellBatchWindowFolder();
}

void TForm1::FilterComboBox1Change() {
    FileListBox1->SetMask(FilterMask(FilterComboBox1->currentIndex()));
    Viewer.FilterIndex = FilterComboBox1->currentIndex();
    TellBatchWindowFolder();
}

void TForm1::FileListBox1Change() {
    Memo1->setText(QStringLiteral("%1 ﾌｧｲﾙ").arg(FileListBox1->count()));
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
    // A layout's worth of files from the clicked one down; an error ends the run.
    int index = i;
    for (int k = 0; k < Viewer.LayoutSlotCount; ++k, ++index) {
        if (index > n - 1) break;
        FillSlotFromList(folder, FileListBox1->item(index)->text());
        FileListBox1->SelectRow(index);
    }
}

void TForm1::FillSlotFromList(const QString& folder, const QString& name) {
    Viewer.PickedFileName = name;
    const int slot = Viewer.NextSlot;
    const bool validSlot = slot >= 1 && slot <= kSlotCount;
    const QString oldFolder = validSlot ? Viewer.SlotFolder[slot] : QString();
    const QString oldName = validSlot ? Viewer.SlotFileName[slot] : QString();
    if (validSlot) {
        Viewer.SlotFolder[slot] = folder;
        Viewer.SlotFileName[slot] = name;
    }
    PaintSlotMarker(Viewer.SelectedSlot, kMarkerPlain);
    Viewer.SelectedSlot = Viewer.NextSlot;
    PaintSlotMarker(Viewer.SelectedSlot, kMarkerSelected);
    try {
        LoadIntoNextSlot(name);
    } catch (...) {
        // The slot still shows its old picture: it keeps naming that file.
        if (validSlot) {
            Viewer.SlotFolder[slot] = oldFolder;
            Viewer.SlotFileName[slot] = oldName;
        }
        throw;
    }
}

void TForm1::ShowFolder(const QString& folder) {
    const QString target = WithoutTrailingSeparator(folder);
    const QString root = VolumeRootOf(target);
    DriveComboBox1->SetDrive(root);
    // Through the root, so the lists are read afresh even for the folder shown.
    DirectoryListBox1->SetDirectory(root);
    FileListBox1->SetDirectory(QString());
    DirectoryListBox1->SetDirectory(target);
    FileListBox1->SetDirectory(target);
}

void TForm1::NavigateToBatchFolder() {
    if (BatchTargetPath.isEmpty()) {
        RefreshFileLists();  // the run handled no file: show the folder again, re-read
        return;
    }
    ShowFolder(FolderOf(AbsolutePath(BatchTargetPath)));
}

void TForm1::RefreshFileLists() { ShowFolder(DirectoryListBox1->Directory()); }

void TForm1::Edit7Change() { NavigateToBatchFolder(); }

// --- Loading pictures into slots ------------------------------------------------------

void TForm1::LoadIntoNextSlot(const QString& text, const QString& givenPath) {
    // A bare name is taken in the file list's folder.
    const QString path = !givenPath.isEmpty() ? givenPath
                         : text.startsWith(u'/') ? text
                                                 : JoinPath(FileListBox1->Directory(), text);
    // 1. Decode once and measure; a failure ends the load with nothing changed.
    const Picture picture = LoadPicture(path);
    Image17->SetPicture(picture);
    // 2. Fit the slot to it.
    const int slot = Viewer.NextSlot;
    if (slot < 1 || slot > kSlotCount) return;
    FitSlotImage(slot);
    // 3. The Exif summary, 4. the picture itself (the same decode), hint and caption.
    const QString summary = ReadExifSummary(path);
    images_[slot]->SetPicture(picture);
    SetHint(images_[slot], summary);
    frames_[slot]->setTitle(text);
    // 5. The cursor moves on, skipping the protected slot; 6. its marker turns teal.
    Viewer.NextSlot = NextSlotAfter(slot, Viewer.LayoutSlotCount, Viewer.ProtectedSlot);
    PaintSlotMarker(Viewer.NextSlot, kMarkerNext);
}

void TForm1::FitSlotImage(int slot) {
    if (slot < 1 || slot > kSlotCount) return;
    const QSize natural = Image17->picture().size();
    Viewer.PictureWidth = float(natural.width());
    Viewer.PictureHeight = float(natural.height());
    Viewer.PictureAspect =
        natural.height() != 0 ? Viewer.PictureWidth / Viewer.PictureHeight : 0.0f;
    images_[slot]->resize(FitPictureBox(natural, Viewer.CellImageWidth, Viewer.CellImageHeight,
                                        Viewer.CellAspect));
    sizeCaptions_[slot]->setText(FormatSizeCaption(slot, natural.width(), natural.height()));
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
        Form3->show();
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
    // The status bar has one line: the summary's line breaks become a gap.
    QString hint = EffectiveHint(widget);
    hint.replace(QRegularExpression(QStringLiteral("[\\r\\n]+")), QStringLiteral("    "));
    StatusBar1->showMessage(hint.trimmed());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == this) ShowHintFor(widget);
    } else if (event->type() == QEvent::Leave && watched == this) {
        StatusBar1->clearMessage();
    } else if (event->type() == QEvent::MouseButtonPress ||
               event->type() == QEvent::MouseButtonRelease) {
        // A click on a frame itself, outside its picture, caption and marker:
        // the frame takes the press so that the release comes back to it.
        for (int n = 1; n <= kSlotCount; ++n) {
            if (watched != frames_[n]) continue;
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            if (event->type() == QEvent::MouseButtonPress) {
                pressedFrame_ = frames_[n];
            } else {
                const bool click = pressedFrame_ == frames_[n] &&
                                   frames_[n]->rect().contains(mouse->position().toPoint());
                pressedFrame_ = nullptr;
                if (click) RunGuarded([this, n] { GroupBoxClick(n); });
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, whatever else is open.
    event->accept();
    qApp->quit();
}

}  // namespace tamarind
