// The main window as it comes up and as the layout, size and splitter
// commands change it, on a 1024 x 768 offscreen screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QMouseEvent>
#include <QRubberBand>
#include <QEnterEvent>

#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "app/Geometry.h"
#include "app/Version.h"
#include "batch/Renname.h"
#include "batch/Setdir.h"
#include "detail/Cgrp.h"
#include "detail/DHist.h"
#include "platform/Controls.h"
#include "platform/FolderControls.h"
#include "print/Set_Prt.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kTeal(0, 128, 128);

class MainWindow : public ::testing::Test {
protected:
    void Start(const QStringList& args = {}) {
        Viewer = ViewerState{};
        CreateForms(args);
        form = Form1;
    }
    void TearDown() override { DestroyForms(); }

    std::vector<int> VisibleFrames() const {
        std::vector<int> visible;
        for (int n = 1; n <= kSlotCount; ++n)
            if (form->Frame(n)->isVisibleTo(form)) visible.push_back(n);
        return visible;
    }
    static std::vector<int> Range(int last) {
        std::vector<int> r;
        for (int n = 1; n <= last; ++n) r.push_back(n);
        return r;
    }
    bool MarkerIs(int slot, const QColor& color) const {
        return form->Marker(slot)->autoFillBackground() &&
               BackgroundColor(form->Marker(slot)) == color;
    }
    // Puts a file into a slot as a load would, for the emptying checks.
    void PretendFilled(int slot) {
        Viewer.SlotFileName[slot] = QStringLiteral("photo%1.jpg").arg(slot);
        form->Frame(slot)->setTitle(Viewer.SlotFileName[slot]);
        form->SizeCaption(slot)->setText(QStringLiteral("W= 10, H= 10 [Pixel]"));
    }
    void ExpectAllSlotsEmpty() const {
        const QString letters = QStringLiteral("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ");
        for (int n = 1; n <= kSlotCount; ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(form->Frame(n)->title(), letters.mid(n - 1, 1));
            EXPECT_TRUE(form->SizeCaption(n)->text().isEmpty());
            EXPECT_FALSE(form->SlotImage(n)->HasPicture());
            EXPECT_TRUE(Viewer.SlotFileName[n].isEmpty());
        }
        EXPECT_EQ(Viewer.NextSlot, 1);
        EXPECT_EQ(Viewer.ProtectedSlot, 0);
        EXPECT_TRUE(MarkerIs(1, kTeal));
    }
    void ExpectFramesMatchLayout() const {
        const GridGeometry g = ComputeGrid(Viewer.LayoutIndex, Viewer.GridWidth, Viewer.GridHeight);
        for (int n = 1; n <= g.shape.slotCount; ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(form->Frame(n)->geometry(), g.FrameRect(n));
            EXPECT_EQ(form->SlotImage(n)->size(), QSize(g.imageWidth, g.imageHeight));
        }
        EXPECT_EQ(Viewer.CellImageWidth, float(g.imageWidth));
        EXPECT_EQ(Viewer.CellImageHeight, float(g.imageHeight));
    }

    TForm1* form = nullptr;
};

TEST_F(MainWindow, ComesUpWithTheDefaultsWithoutArguments) {
    Start();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tamarind 2004/5 Ver 2.20"));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(Viewer.ScreenWidth, 1024);
    EXPECT_EQ(Viewer.ScreenHeight, 768);

    // 2 x 2, individual mode, Pixel at 72 dpi.
    EXPECT_EQ(Viewer.LayoutIndex, 4);
    EXPECT_EQ(Viewer.LayoutSlotCount, 4);
    EXPECT_FALSE(Viewer.ContinuousMode);
    EXPECT_EQ(Viewer.DisplayUnit, 0);
    EXPECT_EQ(Viewer.Dpi, 72.0);
    EXPECT_EQ(Viewer.JpegQuality, 70);
    EXPECT_TRUE(form->D2->isChecked());
    for (QAction* other : {form->A2, form->B1, form->C1, form->E1, form->F1, form->G1, form->H1,
                           form->I1, form->J1})
        EXPECT_FALSE(other->isChecked());
    EXPECT_TRUE(form->A1->isChecked());
    EXPECT_FALSE(form->M1->isChecked() || form->M2->isChecked() || form->S1->isChecked());
    EXPECT_TRUE(form->PixelP1->isChecked());
    EXPECT_FALSE(form->mmM1->isChecked() || form->inchI1->isChecked());
    EXPECT_TRUE(form->N721->isChecked());
    EXPECT_EQ(form->N4800dpi1->text(), QStringLiteral("[72 dpi]"));
    EXPECT_FALSE(form->N4800dpi1->isEnabled());
    EXPECT_FALSE(form->DpiMenu->menuAction()->isEnabled());
    EXPECT_EQ(form->Label34->text(), QStringLiteral("1"));
    EXPECT_EQ(form->N2->text(), QStringLiteral("個別(&N)"));

    EXPECT_EQ(VisibleFrames(), Range(4));
    ExpectAllSlotsEmpty();
    for (int n = 2; n <= kSlotCount; ++n) EXPECT_FALSE(form->Marker(n)->autoFillBackground()) << n;
    ExpectFramesMatchLayout();

    // Full mode on 1024 x 768: 1024 x 743 at the top-left corner.
    EXPECT_EQ(form->frameGeometry(), QRect(0, 0, 1024, 743));
    EXPECT_EQ(Viewer.GridWidth, 852);
    EXPECT_EQ(form->Panel1->width(), 160);
    EXPECT_EQ(form->DriveComboBox1->width(), 144);
    EXPECT_EQ(form->Label17->x(), 21);
    EXPECT_EQ(form->Memo1->x(), 57);
    // The grid's height is what the shown window leaves between menu bar and status bar.
    form->show();
    QApplication::processEvents();
    EXPECT_EQ(form->StatusBar1->height(), 25);
    EXPECT_EQ(form->ClientArea->height(), Viewer.GridHeight);
    EXPECT_EQ(form->Panel2->height(), Viewer.GridHeight);
}

TEST_F(MainWindow, ComposesMenusControlsAndHiddenWindows) {
    Start();
    QStringList bar;
    for (QAction* a : form->menuBar()->actions()) bar << a->text();
    EXPECT_EQ(bar, (QStringList{"印刷(&P)", "画面(&S)", "連番処理(&R)", "表示(&D)", "個別(&N)",
                                "スケール(&M)", "DPI(&I)", "[72 dpi]", "ヘルプ(&H)"}));
    QStringList print;
    for (QAction* a : form->PrintMenu->actions()) print << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(print, (QStringList{"プリンター設定(&S)", "-", "選択画像印刷(&A)",
                                  "サムネイル印刷(&B)", "-", "終了(&Q)"}));
    QStringList layouts;
    for (QAction* a : form->DisplayMenu->actions()) layouts << (a->isSeparator() ? "-" : a->text());
    // The ten layouts, then the two picture options.
    EXPECT_EQ(layouts.size(), 13);
    EXPECT_EQ(layouts.front(), QStringLiteral("横１×縦１(&A)"));
    EXPECT_EQ(layouts[9], QStringLiteral("横４×縦４(&J)"));
    EXPECT_EQ(layouts.mid(10), (QStringList{"-", "Exifの向きで表示(&U)", "その他の形式も表示(&O)"}));
    EXPECT_EQ(form->DpiMenu->actions().size(), 12);
    EXPECT_EQ(form->DpiMenu->actions().back()->text(), QStringLiteral("4800(&L)"));
    QStringList help;
    for (QAction* a : form->HelpMenu->actions()) help << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(help, (QStringList{"目次(&H)", "-", "バージョン情報(&V)"}));

    EXPECT_EQ(form->FilterComboBox1->count(), 9);
    EXPECT_EQ(form->FilterComboBox1->itemText(0), QStringLiteral("全ての画像ファイル"));
    EXPECT_EQ(form->FilterComboBox1->itemText(8), QStringLiteral("全てのファイル(*.*)"));
    EXPECT_EQ(form->Label17->text(), QStringLiteral("【ファイル選択】"));

    for (QLineEdit* field : {form->Edit1, form->Edit2, form->Edit3, form->Edit4, form->Edit5,
                             form->Edit6, form->Edit7})
        EXPECT_FALSE(field->isVisibleTo(form)) << field->objectName().toStdString();
    EXPECT_FALSE(form->Image17->isVisibleTo(form));

    // The other seven windows exist, hidden, with their captions and request fields.
    for (QWidget* w : std::initializer_list<QWidget*>{Form2, Form3, Form4, Form5, Form6, Form7, Form8}) {
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    }
    EXPECT_EQ(Form2->windowTitle(), QStringLiteral("Version 情報"));
    EXPECT_EQ(Form4->windowTitle(), QStringLiteral("ヒストグラム"));
    EXPECT_EQ(Form7->windowTitle(), QStringLiteral("連番処理"));
    for (QLineEdit* field : {Form3->Edit1, Form4->Edit2, Form5->Edit1, Form5->Edit2, Form6->Edit1,
                             Form6->Edit2, Form7->Edit1, Form7->Edit3, Form7->Edit4})
        EXPECT_FALSE(field->isVisibleTo(field->window())) << field->objectName().toStdString();
}

TEST_F(MainWindow, CommandLineLayoutModeAndUnit) {
    Start({"12", "1", "1"});
    EXPECT_EQ(Viewer.LayoutIndex, 10);
    EXPECT_TRUE(form->J1->isChecked());
    EXPECT_TRUE(Viewer.ContinuousMode);
    EXPECT_EQ(form->N2->text(), QStringLiteral("連続(&N)"));
    EXPECT_EQ(form->Label34->text(), QStringLiteral("16"));
    EXPECT_EQ(Viewer.DisplayUnit, 1);
    EXPECT_TRUE(form->mmM1->isChecked());
    EXPECT_FALSE(form->PixelP1->isChecked());
    EXPECT_TRUE(form->DpiMenu->menuAction()->isEnabled());
    EXPECT_TRUE(form->N4800dpi1->isEnabled());
    EXPECT_EQ(VisibleFrames(), Range(16));
    ExpectFramesMatchLayout();
    DestroyForms();

    Start({"9", "0", "2"});
    EXPECT_EQ(Viewer.LayoutIndex, 9);
    EXPECT_FALSE(Viewer.ContinuousMode);
    EXPECT_EQ(form->Label34->text(), QStringLiteral("1"));
    EXPECT_TRUE(form->inchI1->isChecked());
    EXPECT_EQ(VisibleFrames(), Range(12));
    DestroyForms();

    Start({"3"});
    EXPECT_EQ(Viewer.LayoutIndex, 3);
    EXPECT_TRUE(form->PixelP1->isChecked());
    EXPECT_EQ(VisibleFrames(), Range(2));
}

TEST_F(MainWindow, LayoutChangesEmptyEverySlotAndFollowTheCountLabel) {
    Start({"10", "1"});
    for (int n = 1; n <= 16; ++n) PretendFilled(n);
    Viewer.SelectedSlot = 16;
    form->PaintSlotMarker(16, kMarkerSelected);
    Viewer.ProtectedSlot = 5;
    SetTextColor(form->Frame(5), Qt::red);

    form->D2Click();
    EXPECT_EQ(VisibleFrames(), Range(4));
    ExpectAllSlotsEmpty();
    EXPECT_EQ(Viewer.SelectedSlot, 16);  // keeps its number, loses its red marker
    EXPECT_TRUE(MarkerIs(16, kSilver));
    EXPECT_EQ(TextColor(form->Frame(5)), QColor(Qt::black));
    EXPECT_EQ(form->Label34->text(), QStringLiteral("4"));

    form->G1Click();
    EXPECT_EQ(form->Label34->text(), QStringLiteral("9"));
    form->H1Click();
    EXPECT_EQ(form->Label34->text(), QStringLiteral("12"));
    form->N2Click();  // back to individual mode
    EXPECT_EQ(form->N2->text(), QStringLiteral("個別(&N)"));
    EXPECT_EQ(form->Label34->text(), QStringLiteral("1"));
    form->I1Click();
    EXPECT_EQ(form->Label34->text(), QStringLiteral("1"));
    form->N2Click();
    EXPECT_EQ(form->Label34->text(), QStringLiteral("12"));

    form->J1Click();
    EXPECT_EQ(VisibleFrames(), Range(16));
    ExpectAllSlotsEmpty();
    ExpectFramesMatchLayout();
    for (auto* item : {form->A2, form->B1, form->C1, form->D2, form->E1, form->F1, form->G1,
                       form->H1, form->I1})
        EXPECT_FALSE(item->isChecked());
}

TEST_F(MainWindow, LayoutOutsideOneToTenTakesTheFallback) {
    Start();
    const QRect before = form->Frame(1)->geometry();
    form->ApplyLayout(11);
    EXPECT_EQ(Viewer.LayoutSlotCount, 4);
    EXPECT_EQ(Viewer.CellImageWidth, 1.0f);
    EXPECT_EQ(Viewer.CellImageHeight, 1.0f);
    EXPECT_EQ(VisibleFrames(), Range(2));
    EXPECT_EQ(form->Frame(1)->geometry(), before);
    for (QAction* a : form->DisplayMenu->actions()) EXPECT_FALSE(a->isChecked());
    ExpectAllSlotsEmpty();
}

TEST_F(MainWindow, SizeModesSplittersAndTheirRelayout) {
    Start();
    PretendFilled(2);
    form->M2Click();
    EXPECT_EQ(Viewer.SizeMode, 2);
    EXPECT_TRUE(form->M2->isChecked());
    EXPECT_FALSE(form->A1->isChecked());
    EXPECT_EQ(form->frameGeometry(), QRect(150, 113, 723, 542));
    EXPECT_EQ(form->Panel1->width(), 130);
    EXPECT_EQ(Viewer.GridWidth, 581);
    EXPECT_EQ(form->DriveComboBox1->width(), 114);
    EXPECT_EQ(form->Label17->x(), 6);
    ExpectAllSlotsEmpty();
    ExpectFramesMatchLayout();

    form->S1Click();
    EXPECT_EQ(form->frameGeometry(), QRect(256, 192, 512, 384));
    EXPECT_EQ(form->Label17->x(), -1);
    ExpectFramesMatchLayout();

    form->A1Click();
    PretendFilled(1);
    form->Splitter1->DragBy(300 - 160);  // the left panel becomes 300 wide
    EXPECT_EQ(form->Panel1->width(), 300);
    EXPECT_EQ(Viewer.GridWidth, 712);
    EXPECT_EQ(form->Panel2->x(), 305);
    ExpectAllSlotsEmpty();
    ExpectFramesMatchLayout();

    form->Splitter1->DragBy(-1000);  // never narrower than 10
    EXPECT_EQ(form->Panel1->width(), 10);
    EXPECT_EQ(Viewer.GridWidth, 1024 - 10 - 12);

    form->A1Click();  // the size command restores the mode's panel
    EXPECT_EQ(form->Panel1->width(), 160);
    EXPECT_EQ(Viewer.GridWidth, 852);

    const int tree = form->DirectoryListBox1->height();
    form->Splitter2->DragBy(40);
    EXPECT_EQ(form->DirectoryListBox1->height(), tree + 40);
    EXPECT_EQ(form->FileListBox1->y(), form->DirectoryListBox1->geometry().bottom() + 1 + 4);
    form->Splitter2->DragBy(-1000);
    EXPECT_EQ(form->DirectoryListBox1->height(), 10);
}

TEST_F(MainWindow, TheFileListKeepsItsLeastHeightInEverySizeMode) {
    Start();
    form->show();
    form->Splitter2->DragBy(1000);  // the tree as low as it goes
    EXPECT_EQ(form->FileListBox1->height(), 10);
    for (const int mode : {1, 2, 3}) {
        if (mode == 1) form->M1Click();
        if (mode == 2) form->M2Click();
        if (mode == 3) form->S1Click();
        QApplication::processEvents();
        SCOPED_TRACE(Viewer.SizeMode);
        EXPECT_GE(form->FileListBox1->height(), 10);
        // The splitter stays inside the panel, where it can be dragged.
        EXPECT_LE(form->Splitter2->geometry().bottom() + 10, form->Panel1->height() - 1);
        EXPECT_EQ(form->FileListBox1->y(), form->Splitter2->geometry().bottom() + 1);
    }
}

TEST_F(MainWindow, ALineFollowsThePointerWhileASplitterIsDragged) {
    Start();
    form->show();
    QApplication::processEvents();
    SplitterBar* bar = form->Splitter2;
    const int tree = form->DirectoryListBox1->height();
    auto mouse = [bar](QEvent::Type type, int dy) {
        const QPoint at(20, 2 + dy);
        QMouseEvent event(type, at, bar->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    };
    auto line = [bar]() { return bar->parentWidget()->findChild<QRubberBand*>(); };
    mouse(QEvent::MouseButtonPress, 0);
    mouse(QEvent::MouseMove, 30);
    ASSERT_NE(line(), nullptr);
    EXPECT_TRUE(line()->isVisible());
    EXPECT_EQ(line()->geometry(), bar->geometry().translated(0, 30));
    EXPECT_EQ(form->DirectoryListBox1->height(), tree);  // nothing moves before the drop
    mouse(QEvent::MouseMove, 5000);                      // the line stops where the bar must
    EXPECT_EQ(line()->geometry().bottom(), form->Panel1->height() - 1 - 10);
    mouse(QEvent::MouseMove, 40);
    mouse(QEvent::MouseButtonRelease, 40);
    EXPECT_FALSE(line()->isVisible());
    EXPECT_EQ(form->DirectoryListBox1->height(), tree + 40);
    EXPECT_EQ(form->FileListBox1->y(), form->DirectoryListBox1->geometry().bottom() + 1 + 4);
}

TEST_F(MainWindow, StatusBarShowsTheHintOfTheControlUnderThePointer) {
    Start();
    form->ShowHintFor(form->DriveComboBox1);
    EXPECT_EQ(form->StatusText(), QStringLiteral("ドライブ選択"));
    SetHint(form->SlotImage(3), QStringLiteral("Canon\n\rEOS"));
    form->ShowHintFor(form->SlotImage(3));
    EXPECT_TRUE(form->StatusText().startsWith(QStringLiteral("Canon")));
    // A control without a hint shows its parent's.
    form->ShowHintFor(form->Memo1);
    EXPECT_EQ(form->StatusText(), QStringLiteral("検索ファイル数"));
    form->ShowHintFor(form->Panel2);
    EXPECT_EQ(form->StatusText(), QString());
}

TEST_F(MainWindow, StatusBarFollowsThePointerOffAThumbnail) {
    Start();
    form->show();
    auto enter = [](QWidget* w) {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(w, &event);
    };
    auto leave = [](QWidget* w) {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(w, &event);
    };
    SetHint(form->SlotImage(2), QStringLiteral("Canon\n\rEOS"));
    enter(form->Frame(2));
    enter(form->SlotImage(2));
    EXPECT_EQ(form->StatusText(), QStringLiteral("Canon    EOS"));
    // Off the picture onto its frame, which has no hint: nothing shows.
    leave(form->SlotImage(2));
    EXPECT_EQ(form->StatusText(), QString());
    // Onto the marker beside it and on into the gap between the frames.
    enter(form->SlotImage(2));
    leave(form->SlotImage(2));
    enter(form->Marker(2));
    EXPECT_EQ(form->StatusText(), QString());
    leave(form->Marker(2));
    leave(form->Frame(2));
    EXPECT_EQ(form->StatusText(), QString());
    // From the file list (a hint of its own) onto the panel around it.
    enter(form->FileListBox1);
    EXPECT_EQ(form->StatusText(), QStringLiteral("検索ファイルリスト"));
    leave(form->FileListBox1);
    EXPECT_EQ(form->StatusText(), QString());
    // Onto the count box inside the top panel, then off the window.
    enter(form->Memo1);
    EXPECT_EQ(form->StatusText(), QStringLiteral("検索ファイル数"));
    leave(form);
    EXPECT_EQ(form->StatusText(), QString());
}

}  // namespace
