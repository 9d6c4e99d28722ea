// The full-size view, the clipboard copy, the About box, the help window and
// "終了(&Q)", driven from the main window on a 1024 x 768 offscreen screen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QPushButton>
#include <QLabel>
#include <QTemporaryDir>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <cstring>
#include <functional>

#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "app/HelpWindow.h"
#include "app/Version.h"
#include "detail/Cgrp.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/Guard.h"
#include "platform/Requests.h"
#include "print/PrintJob.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

const QString kHelpSource = QStringLiteral(TAMARIND_SOURCE_DIR "/data/tamarind.hlp");

Bitmap Grey(int w, int h) {
    Bitmap b(w, h, 8);
    b.setPalette(GreyPalette());
    return b;
}

// A 24-bit picture whose every pixel differs from its neighbours.
Bitmap Colourful(int w, int h) {
    Bitmap b(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uchar* row = b.scanLine(y);
        for (int x = 0; x < w; ++x) {
            row[3 * x] = static_cast<uchar>(x * 7 + y);
            row[3 * x + 1] = static_cast<uchar>(y * 3 + x / 5);
            row[3 * x + 2] = static_cast<uchar>(x ^ y);
        }
    }
    return b;
}

void Press(QWidget* w, Qt::MouseButton button, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    const QPoint at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, keys);
    QApplication::sendEvent(w, &press);
}

void Click(QWidget* w, Qt::MouseButton button = Qt::LeftButton) {
    const QPoint at(2, 2);
    Press(w, button);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

class SmallWindows : public ::testing::Test {
protected:
    void SetUp() override {
        Viewer = ViewerState{};
        CreateForms({});
        form = Form1;
        folder = dir.path();
        form->J1Click();  // sixteen slots
    }
    void TearDown() override { DestroyForms(); }

    // Writes the picture file and loads it into the next slot, as a click in
    // the file list does; returns the slot.
    int Load(const QString& name, const QByteArray& bytes) {
        WriteFileBytes(folder + u'/' + name, bytes);
        const int slot = Viewer.NextSlot;
        RunGuarded([&] {
            form->ShowFolder(folder);
            form->FillSlotFromList(folder + u'/', name);
        });
        EXPECT_EQ(Viewer.SlotFileName[slot], name);
        return slot;
    }
    int LoadJpeg(const QString& name, int w, int h) {
        return Load(name, EncodeJpeg(Grey(w, h), 50));
    }
    void ShowFullSize(int slot) {
        RunGuarded([&] { form->ShowFullSize(slot); });
    }
    QRect FullSizeWindow() const { return QRect(Form5->pos(), Form5->size()); }

    QTemporaryDir dir;
    QString folder;
    TForm1* form = nullptr;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(SmallWindows, FullSizeViewSizesAndPlacesItsWindow) {
    const int small = LoadJpeg(QStringLiteral("small.jpg"), 640, 480);
    const int camera = LoadJpeg(QStringLiteral("camera.jpg"), 2592, 1944);
    const int wide = LoadJpeg(QStringLiteral("wide.jpg"), 1000, 500);
    const int wide2 = LoadJpeg(QStringLiteral("wide2.jpg"), 1000, 500);
    const int broader = LoadJpeg(QStringLiteral("broader.jpg"), 800, 500);
    const int big = LoadJpeg(QStringLiteral("big.jpg"), 6000, 4000);
    dialogs.clear();

    // Natural size, centred.
    Press(form->SlotImage(small), Qt::RightButton);
    EXPECT_TRUE(Form5->isVisible());
    EXPECT_EQ(Viewer.WorkSlot, small);
    EXPECT_EQ(Form5->windowTitle(), folder + QStringLiteral("/small.jpg"));
    EXPECT_EQ(Form5->Image1->size(), QSize(640, 480));
    EXPECT_EQ(Form5->Image1->pos(), QPoint(0, 0));
    EXPECT_EQ(FullSizeWindow(), QRect(192, 144, 640, 480));
    EXPECT_EQ(Form5->Image1->picture().size(), QSize(640, 480));

    // As wide, relative to its height, as the screen: fitted by height, top left.
    ShowFullSize(camera);
    EXPECT_EQ(FullSizeWindow(), QRect(20, 0, 972, 729));

    // Fitted by width; the height value 500 centres it.
    ShowFullSize(wide);
    EXPECT_EQ(FullSizeWindow(), QRect(26, 141, 972, 486));

    // The same size again: neither rule runs and the window stays where the
    // user put it.
    Form5->move(300, 200);
    ShowFullSize(wide2);
    EXPECT_EQ(FullSizeWindow(), QRect(300, 200, 972, 486));
    EXPECT_EQ(Form5->windowTitle(), folder + QStringLiteral("/wide2.jpg"));

    // Only the width differs (800 > 700): the width rule places it.
    ShowFullSize(broader);
    EXPECT_EQ(FullSizeWindow(), QRect(20, 50, 800, 500));

    ShowFullSize(big);
    EXPECT_EQ(FullSizeWindow(), QRect(20, 0, 972, 648));
    EXPECT_EQ(Form5->Image1->ScaledImage().size(), QSize(972, 648));
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(SmallWindows, FullSizeViewOfAnEmptySlotBeepsAndClicksHideTheWindow) {
    ShowFullSize(5);
    EXPECT_EQ(Viewer.WorkSlot, 5);
    EXPECT_FALSE(Form5->isVisible());
    EXPECT_EQ(dialogs.beeps(), std::vector<BeepKind>{BeepKind::Warning});
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("画像がありません。")});

    const int slot = LoadJpeg(QStringLiteral("a.jpg"), 100, 80);
    ShowFullSize(slot);
    ASSERT_TRUE(Form5->isVisible());
    Click(Form5->Image1, Qt::RightButton);  // only the left button clicks
    EXPECT_TRUE(Form5->isVisible());
    Click(Form5->Image1);
    EXPECT_FALSE(Form5->isVisible());
    ShowFullSize(slot);
    Click(Form5);
    EXPECT_FALSE(Form5->isVisible());
    ShowFullSize(slot);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(3, 3), Form5->Image1->mapToGlobal(QPointF(3, 3)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Form5->Image1, &dbl);
    EXPECT_FALSE(Form5->isVisible());
}

TEST_F(SmallWindows, ClipboardTakesABmpPixelForPixelAndRefusesOtherTypes) {
    const int slot = Load(QStringLiteral("PHOTO.BMP"), EncodeBmp(Colourful(800, 600)));
    const QImage reference =
        QImage(folder + QStringLiteral("/PHOTO.BMP"), "BMP").convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(reference.size(), QSize(800, 600));
    QGuiApplication::clipboard()->clear();
    dialogs.clear();

    Press(form->SlotImage(slot), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("クリップボードにコピーしました。")});
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(copied.size(), QSize(800, 600));
    EXPECT_TRUE(copied == reference);

    // Other types are refused and the clipboard keeps what it had.
    dialogs.clear();
    Viewer.SlotFolder[9] = folder + u'/';
    Viewer.SlotFileName[9] = QStringLiteral("shot.png");
    RunGuarded([&] { form->CopySlotToClipboard(9); });
    RunGuarded([&] { form->CopySlotToClipboard(10); });  // empty
    EXPECT_EQ(dialogs.messages(),
              (std::vector<QString>{QStringLiteral(".pngタイプ画像はクリップボードにコピーできません。"),
                                    QStringLiteral("タイプ画像はクリップボードにコピーできません。")}));
    EXPECT_TRUE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32) == reference);
}

TEST_F(SmallWindows, ATurnedSlotIsCopiedAndShownTurned) {
    // A picture whose rows are grey levels 0, 1, 2, ... from the top.
    Bitmap upright(300, 200, 24);
    for (int y = 0; y < 200; ++y) std::memset(upright.scanLine(y), y, 300 * 3);
    const int slot = Load(QStringLiteral("upright.bmp"), EncodeBmp(upright));
    // The detail window turns it a quarter to the right: the top row becomes
    // the right-hand column.
    Press(form->SlotImage(slot), Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_TRUE(Form3->isVisible());
    Form3->Button6->click();
    ASSERT_EQ(Viewer.SlotPixelWidth[slot], 200);
    dialogs.clear();

    Press(form->SlotImage(slot), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("クリップボードにコピーしました。")});
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(200, 300));
    EXPECT_EQ(qGray(copied.pixel(199, 10)), 0);
    EXPECT_EQ(qGray(copied.pixel(0, 10)), 199);

    ShowFullSize(slot);
    EXPECT_EQ(Form5->Image1->size(), QSize(200, 300));
    EXPECT_EQ(Form5->Image1->picture().size(), QSize(200, 300));
    // The file itself is as it was.
    EXPECT_EQ(QImage(folder + QStringLiteral("/upright.bmp")).size(), QSize(300, 200));
}

TEST_F(SmallWindows, AboutBoxIsSizedCentredAndShownOnce) {
    TForm2* about = Form2;
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Version 情報"));
    EXPECT_EQ(about->width(), about->Label1->width() + 144);
    EXPECT_EQ(about->height(), about->BitBtn1->y() + 80);
    EXPECT_EQ(about->BitBtn1->y(), 192);
    for (QWidget* w : std::initializer_list<QWidget*>{about->Label1, about->Label2, about->Label3,
                                                      about->Label4, about->Label5, about->BitBtn1})
        EXPECT_EQ(w->x(), (about->Panel1->width() - w->width()) / 2) << w->objectName().toStdString();
    EXPECT_EQ(about->pos(), QPoint((1024 - about->width()) / 2, (768 - about->height()) / 2));
    EXPECT_EQ(about->Label5->text(), QStringLiteral("Ver 2.20"));
    EXPECT_EQ(about->Label2->text(), QStringLiteral("2004/5"));

    form->About1->trigger();
    form->About1->trigger();
    EXPECT_TRUE(about->isVisible());
    int abouts = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) abouts += dynamic_cast<TForm2*>(w) != nullptr;
    EXPECT_EQ(abouts, 1);
    about->BitBtn1->click();
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(Form2, about);  // hidden, not destroyed

    form->About1->trigger();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(about, &enter);
    EXPECT_FALSE(about->isVisible());
}

TEST_F(SmallWindows, ExitClosesTheDetailWindowAndTheProgram) {
    form->show();
    Form3->show();
    Form5->show();
    Form3->DetailBitmap = Bitmap(40, 30, 24);
    Form3->DetailResultBitmap = Bitmap(20, 15, 24);
    Printing.PrintBitmap = Bitmap(10, 10, 8);
    form->Exit2->trigger();
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(Form3->DetailBitmap.isEmpty());
    EXPECT_TRUE(Form3->DetailResultBitmap.isEmpty());
    EXPECT_TRUE(Printing.PrintBitmap.isEmpty());
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(SmallWindows, HelpWindowShowsTheContentsOrSaysTheFileIsMissing) {
    HelpWindow* help = ShowHelpContents(form, kHelpSource);
    ASSERT_TRUE(help->isVisible());
    EXPECT_TRUE(help->HasDocument());
    const QString text = help->Browser->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Tamarind"))) << text.left(40).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("目次")));
    // A click on a link of the contents page moves to its section in the
    // same document.
    EXPECT_EQ(help->Browser->verticalScrollBar()->value(), 0);
    const QTextCursor link = help->Browser->document()->find(QStringLiteral("全画面表示ウィンドウ"));
    ASSERT_FALSE(link.isNull());
    EXPECT_EQ(link.charFormat().anchorHref(), QStringLiteral("#fullsize"));
    QTextCursor middle = link;
    middle.setPosition(link.selectionStart() + 2);
    const QPoint at = help->Browser->cursorRect(middle).center();
    QWidget* viewport = help->Browser->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QApplication::sendEvent(viewport, &release);
    EXPECT_EQ(help->Browser->source().fileName(), QStringLiteral("tamarind.hlp"));
    EXPECT_EQ(help->Browser->source().fragment(), QStringLiteral("fullsize"));
    EXPECT_GT(help->Browser->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(help->Browser->toPlainText() == text);
    // "戻る" goes back to where the link was followed, "目次" to the contents.
    ASSERT_TRUE(help->BackButton->isEnabled());
    help->BackButton->click();
    EXPECT_TRUE(help->Browser->source().fragment().isEmpty());
    EXPECT_EQ(help->Browser->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(help->ForwardButton->isEnabled());
    help->ForwardButton->click();
    EXPECT_EQ(help->Browser->source().fragment(), QStringLiteral("fullsize"));
    help->ContentsButton->click();
    EXPECT_EQ(help->Browser->verticalScrollBar()->value(), 0);

    // Asked again: the same window, back at the top of the contents.
    EXPECT_EQ(ShowHelpContents(form, kHelpSource), help);
    EXPECT_TRUE(help->Browser->source().fragment().isEmpty());

    // The tests run from a folder without the help file: "目次(&H)" opens the
    // help window, which says so; the main window shows nothing.
    EXPECT_FALSE(QFileInfo::exists(form->HelpFile()));
    form->Contents1->trigger();
    EXPECT_EQ(form->findChildren<HelpWindow*>().size(), 1);
    EXPECT_TRUE(help->isVisible());
    EXPECT_FALSE(help->HasDocument());
    EXPECT_TRUE(help->Browser->toPlainText().contains(QStringLiteral("ヘルプファイルが見つかりません。")));
    EXPECT_TRUE(help->Browser->toPlainText().contains(form->HelpFile()));
    EXPECT_TRUE(dialogs.shown().empty());
}

// Every command of the menu bar is explained in the user guide.
TEST_F(SmallWindows, GuideExplainsEveryMenuCommand) {
    QFile file(kHelpSource);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString guide = QString::fromUtf8(file.readAll());
    static const QRegularExpression accessKey(QStringLiteral("\\(&.\\)|&"));
    std::function<void(const QList<QAction*>&)> check = [&](const QList<QAction*>& actions) {
        for (QAction* action : actions) {
            if (action->isSeparator()) continue;
            QString caption = action->text();
            caption.remove(accessKey);
            if (!caption.startsWith(u'[')) {
                EXPECT_TRUE(guide.contains(caption)) << caption.toStdString();
            }
            if (action->menu()) check(action->menu()->actions());
        }
    };
    check(form->menuBar()->actions());
    for (const char* word : {"１／Ｎ", "連続", "個別", "Shift", "Ctrl", "右ボタン", "ダブルクリック",
                             "クリップボード", "PDF", "CUPS", "ごみ箱"})
        EXPECT_TRUE(guide.contains(QString::fromUtf8(word))) << word;
}
