#include "batch/Renname.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>

#include "batch/BatchControls.h"
#include "batch/BatchPlan.h"
#include "batch/BatchRun.h"
#include "batch/Journal.h"
#include "batch/RunPlan.h"
#include "batch/Undo.h"
#include "batch/Setdir.h"
#include "batch/UpDown.h"
#include "platform/BusyCursor.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Folders.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "platform/WindowFrame.h"
#include "shared/MainWindowLink.h"

namespace tamarind {

TForm7* Form7 = nullptr;
QString BatchTargetPath;
QString DestinationFolder;

namespace {

const QColor kMoneyGreen(192, 220, 192);
const QColor kAqua(0, 255, 255);
const QColor kHeaderGrey(192, 192, 192);

constexpr int kGroupBox1Top = 8;
constexpr int kGroupBox1Height = 174;
constexpr int kScrollBarWidth = 16;

// The plan window's line about the run.
QString PlanHeading(const BatchRun& run, int scope) {
    QString text = ModeCaption(run.mode) + QStringLiteral("　") +
                   (scope == 1 ? QStringLiteral("選択ﾌｧｲﾙ") : QStringLiteral("全ﾌｧｲﾙ")) +
                   QStringLiteral(" %1 個").arg(run.items.size());
    if (run.mode == kModeRenameCopy || run.mode == kModeCopy)
        text += QStringLiteral("　コピー先 ") + run.destinationFolder;
    if (run.mode == kModeRenameMove || run.mode == kModeMove)
        text += QStringLiteral("　移動先 ") + run.destinationFolder;
    return text;
}

}  // namespace

TForm7::TForm7(MainWindowLink* main, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      main_(main) {
    Form7 = this;
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("連番処理"));
    setFont(UiFont(kGothic, 12));
    SetBackgroundColor(this, kMoneyGreen);
    resize(684, 516);
    BuildModeGroup();
    BuildNamingGroup();
    BuildTable();
    BuildCountGroups();
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
    Edit3 = MakeRequestField(this, QStringLiteral("Edit3"), {});
    Edit4 = MakeRequestField(this, QStringLiteral("Edit4"), [this] { Edit4Change(); });
    PlanWindow = new TBatchPlan(this);
    RunGuarded([this] { F7Create(); });
}

// --- Building the window ------------------------------------------------------------

void TForm7::BuildModeGroup() {
    GroupBox1 = MakeGroupBox(this, QStringLiteral("GroupBox1"), QStringLiteral("処理モード"),
                             QRect(6, kGroupBox1Top, 150, kGroupBox1Height));
    QRadioButton** buttons[6] = {&RadioButton1, &RadioButton2, &RadioButton3,
                                 &RadioButton4, &RadioButton5, &RadioButton6};
    for (int k = 0; k < 6; ++k) {
        auto* button = new QRadioButton(ModeCaption(k + 1), GroupBox1);
        button->setObjectName(QStringLiteral("RadioButton%1").arg(k + 1));
        button->setGeometry(12, 20 + k * 24, 130, 20);
        *buttons[k] = button;
        const int mode = k + 1;
        QObject::connect(button, &QRadioButton::clicked, this,
                         [this, mode] { RunGuarded([this, mode] { SetMode(mode); }); });
    }
    RadioButton1->setChecked(true);
}

void TForm7::BuildNamingGroup() {
    GroupBox5 = MakeGroupBox(this, QStringLiteral("GroupBox5"), QStringLiteral("連番指定"),
                             QRect(162, kGroupBox1Top, 352, kGroupBox1Height));
    // The first row: fixed part + number + extension.
    GroupBox8 = MakeGroupBox(GroupBox5, QStringLiteral("GroupBox8"), QStringLiteral("固定部名称"),
                             QRect(8, 16, 110, 46));
    // One line: the name's fixed part never wraps or scrolls to a second line.
    Memo1 = new QLineEdit(QStringLiteral("A"), GroupBox8);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(6, 16, 98, 24);
    {
        QPalette p = Memo1->palette();
        p.setColor(QPalette::Base, kCream);
        Memo1->setPalette(p);
    }
    QObject::connect(Memo1, &QLineEdit::textChanged, this,
                     [this] { RunGuarded([this] { Memo1Change(); }); });
    Label1 = MakeLabel(GroupBox5, QStringLiteral("Label1"), QStringLiteral("＋"),
                       QRect(120, 34, 14, 16));
    GroupBox9 = MakeGroupBox(GroupBox5, QStringLiteral("GroupBox9"), QStringLiteral("連番部桁数"),
                             QRect(136, 16, 96, 46));
    Memo2 = CreamField(GroupBox9, QStringLiteral("Memo2"));
    Memo2->setGeometry(6, 16, 54, 24);
    UpDown1 = Spin(GroupBox9, QStringLiteral("UpDown1"), kDigitsMin, kDigitsMax, kDigitsDefault,
                   QRect(62, 18, 30, 20));
    Label2 = MakeLabel(GroupBox5, QStringLiteral("Label2"), QStringLiteral("＋"),
                       QRect(234, 34, 14, 16));
    GroupBox10 = MakeGroupBox(GroupBox5, QStringLiteral("GroupBox10"), QStringLiteral("拡張子部"),
                              QRect(250, 16, 94, 46));
    Memo5 = CreamField(GroupBox10, QStringLiteral("Memo5"));
    Memo5->setGeometry(6, 16, 82, 24);
    // The digits field shows the longest padded number whole (the largest
    // setting pads to eight digits; one pixel more for the caret). It widens
    // by what the font needs and the extension part, which holds at most five
    // characters, gives up the room.
    const int widen = std::max(
        0, WidestNumberAdvance(Memo2->font(), kDigitsMax - 1) + 1 - TextRoomOf(Memo2));
    Memo2->resize(Memo2->width() + widen, Memo2->height());
    UpDown1->move(UpDown1->x() + widen, UpDown1->y());
    GroupBox9->resize(GroupBox9->width() + widen, GroupBox9->height());
    Label2->move(Label2->x() + widen, Label2->y());
    GroupBox10->setGeometry(GroupBox10->x() + widen, GroupBox10->y(), GroupBox10->width() - widen,
                            GroupBox10->height());
    Memo5->resize(Memo5->width() - widen, Memo5->height());

    // The second row: initial value and increment, tens above ones.
    GroupBox6 = MakeGroupBox(GroupBox5, QStringLiteral("GroupBox6"), QStringLiteral("初期値"),
                             QRect(8, 66, 160, 66));
    Memo3 = CreamField(GroupBox6, QStringLiteral("Memo3"));
    Memo3->setGeometry(8, 26, 80, 24);
    UpDown4 =
        Spin(GroupBox6, QStringLiteral("UpDown4"), 0, kStartTensMax, 0, QRect(100, 16, 40, 20));
    UpDown2 =
        Spin(GroupBox6, QStringLiteral("UpDown2"), 0, kStartOnesMax, 0, QRect(100, 40, 40, 20));
    GroupBox7 = MakeGroupBox(GroupBox5, QStringLiteral("GroupBox7"), QStringLiteral("増分値"),
                             QRect(184, 66, 160, 66));
    Memo4 = CreamField(GroupBox7, QStringLiteral("Memo4"));
    Memo4->setGeometry(8, 26, 80, 24);
    UpDown5 =
        Spin(GroupBox7, QStringLiteral("UpDown5"), 0, kIncrementTensMax, 0, QRect(100, 16, 40, 20));
    UpDown3 = Spin(GroupBox7, QStringLiteral("UpDown3"), kIncrementOnesMin, kIncrementOnesMax, 1,
                   QRect(100, 40, 40, 20));
    for (UpDown* u : {UpDown1, UpDown2, UpDown3, UpDown4, UpDown5})
        u->onClick = [this] { UpdateNamePreview(); };

    // The preview of the first new name.
    Label3 = MakeLabel(GroupBox5, QStringLiteral("Label3"), QStringLiteral("初期ファイル名"),
                       QRect(12, 144, 90, 16));
    Memo6 = CreamField(GroupBox5, QStringLiteral("Memo6"), kAqua);
    Memo6->setGeometry(104, 140, 240, 24);
}

void TForm7::BuildTable() {
    Panel1 = new DockPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    SetBackgroundColor(Panel1, Qt::white);
    Panel1->setGeometry(6, 192, 512, 167);

    Panel2 = new DockPanel(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    SetBackgroundColor(Panel2, kHeaderGrey);
    Panel2->resize(512, 16);
    Panel1->DockChild(Panel2, Dock::Top);

    Panel3 = HeaderCell(Panel2, QStringLiteral("Panel3"), QStringLiteral("名前"), Base.nameWidth);
    Splitter4 = new SplitterBar(Qt::Horizontal, Panel3, 2, Panel2);
    Panel4 = HeaderCell(Panel2, QStringLiteral("Panel4"), QStringLiteral("サイズ"), Base.sizeWidth);
    Splitter5 = new SplitterBar(Qt::Horizontal, Panel4, 2, Panel2);
    Panel5 = HeaderCell(Panel2, QStringLiteral("Panel5"), QStringLiteral("属性"), 37);
    Splitter6 = new SplitterBar(Qt::Horizontal, Panel5, 2, Panel2);
    Panel6 = HeaderCell(Panel2, QStringLiteral("Panel6"), QStringLiteral("作成日時"),
                        Base.createdWidth);
    Splitter1 = new SplitterBar(Qt::Horizontal, Panel6, 2, Panel2);
    Panel8 = HeaderCell(Panel2, QStringLiteral("Panel8"), QStringLiteral("更新日時"), 80);
    Splitter4->setObjectName(QStringLiteral("Splitter4"));
    Splitter5->setObjectName(QStringLiteral("Splitter5"));
    Splitter6->setObjectName(QStringLiteral("Splitter6"));
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter4->resize(1, 16);
    Splitter5->resize(1, 16);
    Splitter6->resize(2, 16);
    Splitter1->resize(1, 16);
    for (QWidget* w : std::initializer_list<QWidget*>{Panel3, Splitter4, Panel4, Splitter5, Panel5,
                                                     Splitter6, Panel6, Splitter1})
        Panel2->DockChild(w, Dock::Left);
    Panel2->DockChild(Panel8, Dock::Client);
    Panel3->SetClicked([this] { Panel3Click(); });
    Panel4->SetClicked([this] { Panel4Click(); });
    Panel6->SetClicked([this] { Panel6Click(); });
    Panel8->SetClicked([this] { Panel8Click(); });
    for (SplitterBar* s : {Splitter4, Splitter5, Splitter6, Splitter1})
        s->SetMoved([this] { SplitterMoved(); });

    Panel7 = new QWidget(Panel1);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    SetBackgroundColor(Panel7, Qt::white);
    Panel7->resize(510, 150);
    Panel1->DockChild(Panel7, Dock::Client);

    ListBox1 = new QListWidget(Panel7);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setFrameShape(QFrame::NoFrame);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setTextElideMode(Qt::ElideNone);
    ListBox1->viewport()->installEventFilter(this);
    QObject::connect(ListBox1, &QListWidget::itemSelectionChanged, this,
                     [this] { RunGuarded([this] { ListBox1SelectionChange(); }); });
    Memo8 = Column(Panel7, QStringLiteral("Memo8"), Qt::AlignRight);
    Memo9 = Column(Panel7, QStringLiteral("Memo9"), Qt::AlignHCenter);
    Memo10 = Column(Panel7, QStringLiteral("Memo10"), Qt::AlignLeft);
    Memo11 = Column(Panel7, QStringLiteral("Memo11"), Qt::AlignLeft);
    // The rows are as high as the table's font needs, so no descender or
    // underscore is cut off.
    rowHeight_ = TableRowHeight(QFontMetrics(ListBox1->font()).height());

    ScrollBar1 = new QScrollBar(Qt::Vertical, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setPageStep(1);
    ScrollBar1->setRange(0, 0);
    QObject::connect(ScrollBar1, &QScrollBar::valueChanged, this,
                     [this](int) { RunGuarded([this] { ScrollBar1Change(); }); });
}

void TForm7::BuildCountGroups() {
    GroupBox2 = MakeGroupBox(this, QStringLiteral("GroupBox2"), QStringLiteral("全ﾌｧｲﾙ処理"),
                             QRect(6, 0, 160, 56));
    Label4 = MakeLabel(GroupBox2, QStringLiteral("Label4"), QStringLiteral("ﾌｧｲﾙ数"),
                       QRect(8, 26, 44, 16));
    Memo7 = CreamField(GroupBox2, QStringLiteral("Memo7"));
    Memo7->setGeometry(52, 22, 50, 22);
    BitBtn3 = MakeButton(GroupBox2, QStringLiteral("BitBtn3"), QStringLiteral("実行"),
                         QRect(106, 18, 48, 30), [this] { BitBtn3Click(); });

    GroupBox3 = MakeGroupBox(this, QStringLiteral("GroupBox3"), QStringLiteral("選択ﾌｧｲﾙ処理"),
                             QRect(172, 0, 172, 56));
    Label6 = MakeLabel(GroupBox3, QStringLiteral("Label6"), QStringLiteral("選択ﾌｧｲﾙ数"),
                       QRect(8, 26, 62, 16));
    Memo12 = CreamField(GroupBox3, QStringLiteral("Memo12"));
    Memo12->setGeometry(70, 22, 46, 22);
    BitBtn2 = MakeButton(GroupBox3, QStringLiteral("BitBtn2"), QStringLiteral("実行"),
                         QRect(120, 18, 48, 30), [this] { BitBtn2Click(); });
    BitBtn2->setEnabled(false);

    // Placed by PlaceLowerControls.
    BitBtn1 = MakeButton(this, QStringLiteral("BitBtn1"), QStringLiteral("キャンセル"),
                         QRect(0, 0, 90, 30), [this] { BitBtn1Click(); });
    CloseLikeBackButton(this, [this] { BitBtn1Click(); });

    // Placed by PlaceLowerControls, in the row below the groups.
    BitBtn4 = MakeButton(this, QStringLiteral("BitBtn4"), QStringLiteral("実行計画(&P)"),
                         QRect(0, 0, 110, 26), [this] { BitBtn4Click(); });
    BitBtn5 = MakeButton(this, QStringLiteral("BitBtn5"), QStringLiteral("元に戻す(&U)"),
                         QRect(0, 0, 110, 26), [this] { BitBtn5Click(); });
}

void TForm7::PlaceLowerControls() {
    const int top = Panel1->y() + Panel1->height() + 8;
    GroupBox2->move(6, top);
    GroupBox3->move(GroupBox2->x() + GroupBox2->width() + 6, top);
    // The cancel button ends at the table's right edge, never over the groups.
    const int right = Panel1->x() + Panel1->width();
    BitBtn1->move(std::max(GroupBox3->x() + GroupBox3->width() + 10, right - BitBtn1->width()),
                  top + 18);
    // The plan and undo buttons in the free row below the groups.
    const int below = top + GroupBox2->height() + 6;
    BitBtn4->move(GroupBox2->x(), below);
    BitBtn5->move(BitBtn4->x() + BitBtn4->width() + 6, below);
}

// --- Opening and the table ------------------------------------------------------------

void TForm7::OpenFromMainWindow(int filterIndex, int serial) {
    Memo5->setText(FilterExtensionText(filterIndex));
    SendRequest(Edit1, QString::number(serial));
    ShowInFront(this);
}

void TForm7::Edit1Change() {
    HighlightMode(BatchMode);
    UpdateUndoButton();
    GatherFileList();
    UpdateNamePreview();
}

void TForm7::GatherFileList() {
    FileTable.clear();
    ComputePageSize();
    QStringList names;
    QString folder;
    if (main_) {
        names = main_->ListedNames();
        folder = main_->ListedFolder();
    }
    RowCount = int(names.size());
    Memo7->setText(QString::number(RowCount));
    Memo12->setText(QString::number(RowCount));
    {
        const QSignalBlocker block(ScrollBar1);
        ScrollBar1->setRange(0, std::max(0, RowCount - 1));
        ScrollBar1->setValue(0);
    }
    SourceFolder = WithTrailingSeparator(folder);
    const ExtensionCheck extensions = CheckExtensions(names);
    {
        const BusyCursor busy;  // one directory entry per file
        FileTable = GatherRows(SourceFolder, names);
    }
    TopRow = 0;
    ComputePageSize();
    ShowPage(0, PageRows);
    if (extensions.differing > 0) {
        BitBtn3->setEnabled(false);
        Dialogs().Message(QStringLiteral(
            "ファイル種類（拡張子）が同一でありません。\n\rファイル・フィルターで揃えてください。"));
        return;
    }
    BitBtn3->setEnabled(true);
    // An empty list has no extension to take: the field keeps the filter's text.
    if (RowCount > 0) Memo5->setText(ExtensionFieldText(extensions.reference));
    UpdateNamePreview();
}

void TForm7::ShowPage(int first, int count) {
    {
        const QSignalBlocker block(ListBox1);
        ListBox1->clear();
    }
    for (QListWidget* column : {Memo8, Memo9, Memo10, Memo11}) column->clear();
    const int last = std::min(first + count - 1, RowCount - 1);
    {
        const QSignalBlocker block(ListBox1);
        for (int k = std::max(first, 0); k <= last; ++k) {
            const FileRow& row = FileTable[std::size_t(k)];
            auto* item = new QListWidgetItem(u' ' + row.Name);
            item->setSizeHint(QSize(0, rowHeight_));
            ListBox1->addItem(item);
            AddLine(Memo8, row.SizeText, rowHeight_);
            AddLine(Memo9, row.Attributes, rowHeight_);
            AddLine(Memo10, row.Created, rowHeight_);
            AddLine(Memo11, row.Updated, rowHeight_);
        }
    }
    SelectedCount = 0;
    Memo12->setText(QStringLiteral("0"));
    BitBtn2->setEnabled(false);
}

void TForm7::ComputePageSize() { PageRows = PageRowsFor(ListBox1->height(), rowHeight_); }

void TForm7::LayOutFileTable() {
    const TableLayout t = ComputeTableLayout(size(), GroupBox1->y(), GroupBox1->height(), Base,
                                             kScrollBarWidth);
    // A window shrunk below the groups leaves the table no room, never less.
    Panel1->setGeometry(t.panel.x(), t.panel.y(), std::max(0, t.panel.width()),
                        std::max(0, t.panel.height()));
    Panel3->resize(std::max(0, t.nameWidth), Panel3->height());
    Panel4->resize(std::max(0, t.sizeWidth), Panel4->height());
    Panel6->resize(std::max(0, t.createdWidth), Panel6->height());
    Panel2->Relayout();
    Panel1->Relayout();
    const int height = Panel1->height();
    ListBox1->setGeometry(0, 0, t.listWidth, height);
    Memo8->setGeometry(Panel4->x(), 0, Panel4->width(), height);
    Memo9->setGeometry(Panel5->x(), 0, Panel5->width(), height);
    Memo10->setGeometry(Panel6->x(), 0, Panel6->width(), height);
    Memo11->setGeometry(Panel8->x(), 0, Panel8->width(), height);
    ScrollBar1->setGeometry(t.scrollBar.x(), t.scrollBar.y(), t.scrollBar.width(),
                            std::max(0, t.scrollBar.height()));
    PlaceLowerControls();
}

void TForm7::F7Resize() {
    LayOutFileTable();
    ComputePageSize();
    ShowPage(TopRow, PageRows);
}

void TForm7::F7Create() {
    Base.nameWidth = Panel3->width();
    Base.sizeWidth = Panel4->width();
    Base.createdWidth = Panel6->width();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(1024, 768);
    const int height = screenSize.height() * 9 / 10;
    if (ProgramPlacesWindows())
        move((screenSize.width() - width()) / 2, (screenSize.height() - height) / 2);
    // The body's design width plus 10: 520 pixels.
    const int width = 510 + 10;
    resize(width, height);
    Base.windowWidth = width;
    BatchMode = kModeRename;
    RunNotifySerial = 0;
    created_ = true;
    F7Resize();
    UpdateUndoButton();
}

void TForm7::resizeEvent(QResizeEvent*) {
    if (created_) RunGuarded([this] { F7Resize(); });
}

bool TForm7::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBox1->viewport() && event->type() == QEvent::MouseButtonRelease)
        RunGuarded([this] { ListBox1MouseUP(); });
    return QWidget::eventFilter(watched, event);
}

void TForm7::SortBy(SortColumn column, bool& descending) {
    descending = !descending;
    SortRows(FileTable, column, descending);
    ShowPage(TopRow, PageRows);
}

void TForm7::Panel3Click() { SortBy(SortColumn::Name, NameDescending); }
void TForm7::Panel4Click() { SortBy(SortColumn::Size, SizeDescending); }
void TForm7::Panel6Click() { SortBy(SortColumn::Created, CreatedDescending); }
void TForm7::Panel8Click() { SortBy(SortColumn::Updated, UpdatedDescending); }

void TForm7::ScrollBar1Change() {
    TopRow = ScrollBar1->value();
    ShowPage(TopRow, PageRows);
}

void TForm7::ListBox1SelectionChange() {
    // The selection is counted whenever it changes (by mouse or keyboard), so
    // a run on the selected rows always runs on the rows shown selected.
    SelectedCount = int(ListBox1->selectedItems().size());
    Memo12->setText(QString::number(SelectedCount));
    BitBtn2->setEnabled(true);
}

void TForm7::ListBox1MouseUP() { ListBox1SelectionChange(); }

void TForm7::SplitterMoved() {
    Base.nameWidth = Panel3->width();
    Base.sizeWidth = Panel4->width();
    Base.createdWidth = Panel6->width();
    Base.windowWidth = width();
    F7Resize();
}

void TForm7::BitBtn1Click() { hide(); }

// --- Names ----------------------------------------------------------------------------

void TForm7::UpdateNamePreview() {
    Naming.digits = UpDown1->Position();
    Naming.startValue = UpDown2->Position() + 10 * UpDown4->Position();
    Naming.increment = UpDown3->Position() + 10 * UpDown5->Position();
    Memo3->setText(QString::number(Naming.startValue));
    Memo4->setText(QString::number(Naming.increment));
    Naming.fixedPart = FirstLine(Memo1->text());
    Memo2->setText(PadNumber(QString::number(Naming.startValue), Naming.digits));
    Naming.extensionPart = u'.' + FirstLine(Memo5->text());
    Memo6->setText(FirstSequenceName(Naming));
}

void TForm7::Memo1Change() {
    // A pasted line break ends the field's text: what follows it goes.
    const qsizetype lineEnd = Memo1->text().indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (lineEnd >= 0) {
        const QSignalBlocker block(Memo1);
        Memo1->setText(Memo1->text().left(lineEnd));
    }
    Naming.fixedPart = Memo1->text();
    UpdateNamePreview();
}

QString TForm7::SequenceName(int k) const { return tamarind::SequenceName(Naming, k); }

// --- Runs -----------------------------------------------------------------------------

void TForm7::SetMode(int mode) {
    BatchMode = mode;
    HighlightMode(mode);
    GroupBox5->setVisible(mode >= kModeRename && mode <= kModeRenameMove);
}

void TForm7::HighlightMode(int mode) {
    QRadioButton* buttons[6] = {RadioButton1, RadioButton2, RadioButton3,
                                RadioButton4, RadioButton5, RadioButton6};
    for (QRadioButton* b : buttons) SetTextColor(b, Qt::black);
    if (mode >= 1 && mode <= 6) SetTextColor(buttons[mode - 1], Qt::red);
}

void TForm7::BitBtn2Click() { StartRun(1); }

void TForm7::BitBtn3Click() { StartRun(2); }

void TForm7::StartRun(int scope) {
    RunScope = scope;
    if (BatchMode == kModeRename || BatchMode == kModeDelete) {
        // Once per click, also when the field already holds "0".
        {
            const QSignalBlocker block(Edit4);
            Edit4->setText(QStringLiteral("0"));
        }
        Edit4Change();
        return;
    }
    OpenDestinationChooser();
}

void TForm7::OpenDestinationChooser() {
    if (!Form8) return;
    // The chooser opens on the folder the table was gathered from.
    const QString folder = WithoutTrailingSeparator(SourceFolder);
    Form8->Prepare(folder, BatchMode == kModeRenameCopy || BatchMode == kModeCopy
                               ? QStringLiteral("コピー先指定")
                               : QStringLiteral("移動先指定"));
    ShowInFront(Form8);
}

void TForm7::Edit4Change() {
    bool ok = false;
    const int number = Edit4->text().toInt(&ok);
    if (!ok || number < 0) return;
    RunOperations();
}

BatchRun TForm7::CollectRun(int scope) {
    BatchRun run;
    run.mode = BatchMode;
    run.sourceFolder = SourceFolder;
    run.destinationFolder = DestinationFolder;
    UpdateNamePreview();
    if (scope == 1) {
        int i = 0;
        for (int r = 0; r < ListBox1->count() && i < SelectedCount; ++r) {
            const QListWidgetItem* item = ListBox1->item(r);
            if (!item->isSelected()) continue;
            run.items.push_back({item->text().mid(1), SequenceName(i)});
            ++i;
        }
    } else if (scope == 2) {
        for (int k = 0; k < RowCount; ++k)
            run.items.push_back({FileTable[std::size_t(k)].Name, SequenceName(k)});
    }
    return run;
}

void TForm7::RunOperations() {
    const BatchRun run = CollectRun(RunScope);
    // The plan comes first when the run will ask questions or cannot start.
    const RunPlan plan = MakePlan(run);
    if (plan.NeedsLook()) {
        PlanWindow->ShowPlan(plan, PlanHeading(run, RunScope), true, [this, run] { ExecuteRun(run); });
        return;
    }
    ExecuteRun(run);
}

void TForm7::ExecuteRun(const BatchRun& run) {
    JournalWriter journal;
    QString why;
    if (!run.items.empty() && !journal.Begin(run, &why) &&
        Dialogs().Ask(QStringLiteral("確認"),
                      QStringLiteral("元に戻すための記録を書けません（%1）。\n\r記録なしで実行しますか？").arg(why),
                      BoxIcon::Warning, BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    try {
        const BusyCursor busy;
        RunBatch(run, BatchTargetPath, journal.IsOpen() ? &journal : nullptr);
    } catch (...) {  // an input/output failure ends the run here
        journal.End();
        UpdateUndoButton();
        throw;
    }
    journal.End();
    RunScope = 0;
    ++RunNotifySerial;
    if (main_) main_->RequestBatchFolder(QString::number(RunNotifySerial));
    hide();
    UpdateUndoButton();
}

void TForm7::BitBtn4Click() {
    const int scope = SelectedCount > 0 ? 1 : 2;
    const bool chooses = BatchMode != kModeRename && BatchMode != kModeDelete;
    BatchRun run = CollectRun(scope);
    // Before the chooser has answered, copies and moves are planned into the
    // folder it last chose, or else the one it opens on.
    if (chooses && run.destinationFolder.isEmpty())
        run.destinationFolder = WithoutTrailingSeparator(SourceFolder);
    const bool canExecute = (scope == 1 ? BitBtn2 : BitBtn3)->isEnabled();
    PlanWindow->ShowPlan(MakePlan(run), PlanHeading(run, scope), canExecute, [this, scope, run, chooses] {
        if (chooses) return StartRun(scope);  // the chooser, then the run
        RunScope = scope;
        ExecuteRun(run);
    });
}

void TForm7::BitBtn5Click() {
    const QString path = LatestJournal();
    Journal journal;
    if (path.isEmpty() || !ReadJournal(path, journal)) return UpdateUndoButton();
    if (JournalInUse(path)) {
        Dialogs().Message(QStringLiteral("この一括処理はまだ実行中です。"));
        return;
    }
    if (Dialogs().Ask(QStringLiteral("確認"), UndoQuestion(journal), BoxIcon::Question,
                      BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    UndoResult result;
    {
        const BusyCursor busy;
        result = UndoRun(journal);
    }
    if (result.failure.isEmpty()) MarkUndone(path);
    Dialogs().Message(UndoReport(result), result.leftAlone.isEmpty() ? BoxIcon::Information : BoxIcon::Warning);
    // The main window shows the folder again, read afresh.
    BatchTargetPath = WithTrailingSeparator(journal.sourceFolder);
    ++RunNotifySerial;
    if (main_) main_->RequestBatchFolder(QString::number(RunNotifySerial));
    hide();
    UpdateUndoButton();
}

void TForm7::UpdateUndoButton() { BitBtn5->setEnabled(!LatestJournal().isEmpty()); }

}  // namespace tamarind
