// The batch window's controls, made and placed when the window is made.
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
#include "shared/MainWindowLink.h"

namespace tamarind {

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

}  // namespace tamarind
