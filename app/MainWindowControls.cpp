// The main window's controls: menu bar, left panel, thumbnail grid and the
// hidden request fields, built once when the window is made.
#include "app/MainWindowControls.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QStatusBar>
#include <QStyleFactory>

#include "app/Cviewer1.h"
#include "app/FileFilter.h"
#include "app/Geometry.h"
#include "app/SlotDragDrop.h"
#include "app/SlotKeys.h"
#include "platform/Controls.h"
#include "platform/FolderControls.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/Hints.h"
#include "platform/Requests.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

namespace tamarind {

QString EmptySlotTitle(int slot) {
    // The full-width letters Ａ to Ｐ name the empty slots.
    static const QString letters = QStringLiteral("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ");
    return slot >= 1 && slot <= letters.size() ? letters.mid(slot - 1, 1) : QString();
}

namespace {

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

void TForm1::BuildControls() {
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

    // Drive selector, tree and list show one folder; hints follow the pointer.
    folders_ = std::make_unique<FolderBrowser>(DriveComboBox1, DirectoryListBox1, FileListBox1);
    DriveComboBox1->onVolumesChanged = [this] { folders_->VolumesChanged(); };
    hints_ = new HintRouter(this, [this](const QWidget* widget) { ShowHintFor(widget); });
    // The grid by keyboard, and pictures dragged in and out.
    keys_ = new SlotKeyboard(this);
    drops_ = new SlotDragDrop(this);
}

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
    DisplayMenu->addSeparator();
    Upright1 = AddItem(DisplayMenu, QStringLiteral("Exifの向きで表示(&U)"), "Upright1", true,
                       [this] { Upright1Click(); });
    OtherFormats1 = AddItem(DisplayMenu, QStringLiteral("その他の形式も表示(&O)"), "OtherFormats1",
                            true, [this] { OtherFormats1Click(); });

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
    for (const FilterEntry& entry : FilterEntries(false))
        FilterComboBox1->addItem(entry.text, entry.mask);

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
        auto* frame = new ClickGroupBox(EmptySlotTitle(n), Panel2);
        // The classic frame: its caption sits on the top border line.
        frame->setStyle(ClassicFrameStyle());
        frame->setObjectName(QStringLiteral("GroupBox%1").arg(n));
        // A click on the frame itself (not on its picture, caption or marker).
        frame->SetClicked([this, n] { GroupBoxClick(n); });

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

}  // namespace tamarind
