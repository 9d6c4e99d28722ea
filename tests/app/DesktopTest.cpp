// The main window under a real X server with a window manager (openbox) on a
// 1024 x 768 screen: the title the window manager receives, the outer frame
// of the size modes from the first moment, and the command line of the real
// program; the smaller windows' title-bar buttons, closing, placing and
// raising as the window manager sees them. Runs under xvfb-run; starts
// openbox itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>
#include <functional>
#include <optional>

#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "app/SlotKeys.h"
#include "app/Version.h"
#include "batch/Renname.h"
#include "batch/Setdir.h"
#include "detail/Cgrp.h"
#include "detail/DHist.h"
#include "picture/Bitmap.h"
#include "picture/Jpeg.h"
#include "platform/Controls.h"
#include "platform/FolderControls.h"
#include "platform/FileIo.h"
#include "platform/Guard.h"
#include "platform/WindowFrame.h"
#include "print/Set_Prt.h"
#include "ScriptedDialogs.h"
#include "Program.h"
#include "shared/ViewerState.h"

#include <xcb/xcb.h>

using namespace tamarind;

namespace {

const QString kTitle = QStringLiteral("Tamarind 2004/5 Ver 2.20");

// Waits (handling events) until `done` holds or `ms` milliseconds passed.
bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A top-level client window of another program, as the X server sees it.
struct ClientWindow {
    QString id;
    QString netWmName;  // _NET_WM_NAME, what the window manager shows
    QRect outer;        // the frame the window manager draws, in screen coordinates
};

// The window titled `title` (WM_NAME), once the window manager has framed it.
std::optional<ClientWindow> FindFramedWindow(const QString& title) {
    const QString tree = Run(QStringLiteral("xwininfo"), {"-root", "-tree"});
    const QRegularExpression line(QStringLiteral("^\\s*(0x[0-9a-f]+) \"") +
                                      QRegularExpression::escape(title) + QStringLiteral("\":"),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(tree);
    if (!m.hasMatch()) return std::nullopt;
    ClientWindow w;
    w.id = m.captured(1);
    const QString props =
        Run(QStringLiteral("xprop"), {"-id", w.id, "_NET_WM_NAME", "_NET_FRAME_EXTENTS"});
    const QRegularExpressionMatch name =
        QRegularExpression(QStringLiteral("_NET_WM_NAME\\(UTF8_STRING\\) = \"(.*)\"")).match(props);
    const QRegularExpressionMatch ext = QRegularExpression(
        QStringLiteral("_NET_FRAME_EXTENTS\\(CARDINAL\\) = (\\d+), (\\d+), (\\d+), (\\d+)")).match(props);
    if (!name.hasMatch() || !ext.hasMatch()) return std::nullopt;
    w.netWmName = name.captured(1);
    const QString info = Run(QStringLiteral("xwininfo"), {"-id", w.id});
    auto number = [&info](const char* label) {
        const QRegularExpressionMatch n =
            QRegularExpression(QString::fromLatin1(label) + QStringLiteral(":\\s+(-?\\d+)")).match(info);
        return n.captured(1).toInt();
    };
    const int left = ext.captured(1).toInt(), right = ext.captured(2).toInt();
    const int top = ext.captured(3).toInt(), bottom = ext.captured(4).toInt();
    w.outer = QRect(number("Absolute upper-left X") - left, number("Absolute upper-left Y") - top,
                    number("Width") + left + right, number("Height") + top + bottom);
    return w;
}

// The actions the window manager allows on a window (_NET_WM_ALLOWED_ACTIONS),
// by their short names: MINIMIZE, MAXIMIZE_HORZ, CLOSE …
QStringList AllowedActions(const QWidget* w) {
    const QString props = Run(QStringLiteral("xprop"),
                              {"-id", QString::number(w->winId()), "_NET_WM_ALLOWED_ACTIONS"});
    QStringList actions;
    static const QRegularExpression action(QStringLiteral("_NET_WM_ACTION_([A-Z_]+)"));
    for (const QRegularExpressionMatch& m : action.globalMatch(props)) actions << m.captured(1);
    return actions;
}

// The windows a property of the root window names: the window manager's
// clients (_NET_CLIENT_LIST), in stacking order with the topmost last
// (_NET_CLIENT_LIST_STACKING), or the active one (_NET_ACTIVE_WINDOW).
QStringList RootWindows(const char* property) {
    const QString props = Run(QStringLiteral("xprop"), {"-root", QString::fromLatin1(property)});
    QStringList ids;
    static const QRegularExpression id(QStringLiteral("0x[0-9a-f]+"));
    for (const QRegularExpressionMatch& m : id.globalMatch(props)) ids << m.captured(0);
    return ids;
}
QString IdOf(const QWidget* w) { return QStringLiteral("0x%1").arg(w->winId(), 0, 16); }
// The window manager has taken `w` on completely: it lists it among its
// clients (it frames a window and sets its allowed actions a moment before,
// and until then it does not act on requests about the window).
bool Managed(const QWidget* w) { return RootWindows("_NET_CLIENT_LIST").contains(IdOf(w)); }
// `w` is the topmost window and the active one, for the window manager and
// for the program. (A window shown for the first time asks to be activated
// once it is mapped: the program's own view tells that this has happened, so
// that the request cannot come after a test's next one.)
bool InFront(const QWidget* w) {
    if (QApplication::activeWindow() != w) return false;
    const QStringList order = RootWindows("_NET_CLIENT_LIST_STACKING");
    return !order.isEmpty() && order.last() == IdOf(w) &&
           RootWindows("_NET_ACTIVE_WINDOW") == QStringList{IdOf(w)};
}

// Asks the window manager to close `w`, as its title bar's close button and
// Alt+F4 do (_NET_CLOSE_WINDOW).
void CloseByWindowManager(const QWidget* w) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11);
    xcb_connection_t* c = x11->connection();
    const char name[] = "_NET_CLOSE_WINDOW";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    ASSERT_TRUE(atom);
    xcb_client_message_event_t close{};
    close.response_type = XCB_CLIENT_MESSAGE;
    close.format = 32;
    close.window = xcb_window_t(w->winId());
    close.type = atom->atom;
    close.data.data32[1] = 2;  // from a pager or the user
    std::free(atom);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&close));
    xcb_flush(c);
}

class Desktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wm = new QProcess;
        wm->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(wm->waitForStarted(5000)) << "openbox is needed (tools/deps.sh installs it)";
        // Ready once it answers a frame request for a new window.
        const bool ready = WaitFor([] {
            QWidget probe;
            return !WindowFrameMargins(&probe).isNull();
        });
        ASSERT_TRUE(ready) << "openbox did not come up";
        // The pointer rests on the bare screen below every window the tests
        // show, so that no window the tests raise or move comes under it and
        // takes the focus from the one a test activates.
        QCursor::setPos(1023, 767);
    }
    static void TearDownTestSuite() {
        wm->terminate();
        wm->waitForFinished(3000);
        delete wm;
        wm = nullptr;
    }
    void TearDown() override { DestroyForms(); }

    TForm1* Start(const QStringList& args = {}) {
        Viewer = ViewerState{};
        CreateForms(args);
        return Form1;
    }
    // Shows a window and waits until the window manager has framed it and
    // taken it on.
    static bool ShowFramed(QWidget* w) {
        w->show();
        return WaitFor([w] {
            return w->frameGeometry() != w->geometry() && w->isVisible() && Managed(w);
        });
    }

    static QProcess* wm;
};

QProcess* Desktop::wm = nullptr;

// The real program as a new user starts it: the frame and the title the
// window manager shows.
class DesktopProgram : public Desktop {
protected:
    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(3000);
        }
        Desktop::TearDown();
    }
    void Launch(const QStringList& args, const QString& folder = QDir::tempPath()) {
        program.setWorkingDirectory(folder);
        program.start(tamarind::test::TamarindProgram(), args);
        ASSERT_TRUE(program.waitForStarted(5000));
    }
    // The program's window once it is framed, and as soon as its frame is at
    // `expected` (it may be placed again once the frame is known).
    std::optional<ClientWindow> FramedWindow(const QRect& expected) {
        std::optional<ClientWindow> w;
        WaitFor([&] {
            w = FindFramedWindow(kTitle);
            return w && w->outer == expected;
        });
        return w;
    }
    QProcess program;
};

TEST_F(DesktopProgram, ComesUpFramedAtTheFullModeSizeTitledExactlyItsCaption) {
    for (const QStringList& args : {QStringList{}, QStringList{"12", "1", "1"}}) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        Launch(args);
        const std::optional<ClientWindow> w = FramedWindow(QRect(0, 0, 1024, 743));
        ASSERT_TRUE(w) << "no framed window titled " << kTitle.toStdString();
        EXPECT_EQ(w->netWmName, kTitle);
        EXPECT_EQ(w->outer, QRect(0, 0, 1024, 743));
        program.kill();
        program.waitForFinished(3000);
        WaitFor([] { return !FindFramedWindow(kTitle); }, 3000);
    }
}

TEST_F(DesktopProgram, QtTakesNoArgumentOfTheCommandLine) {
    // A start file whose name looks like one of Qt's own options.
    QTemporaryDir dir;
    Bitmap red(200, 150, 24);
    for (int y = 0; y < 150; ++y) {
        uchar* row = red.scanLine(y);
        for (int x = 0; x < 200; ++x) row[x * 3 + 2] = 255;
    }
    WriteFileBytes(dir.filePath(QStringLiteral("-style=x.jpg")), EncodeJpeg(red, 90));
    Launch({QStringLiteral("-style=x.jpg")}, dir.path());
    ASSERT_TRUE(FramedWindow(QRect(0, 0, 1024, 743)));
    // The picture shows in slot 1: the screen holds a red area of its size.
    int redPixels = 0;
    WaitFor([&] {
        QApplication::processEvents();
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        redPixels = 0;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) {
                const QRgb p = screen.pixel(x, y);
                if (qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60) ++redPixels;
            }
        return redPixels >= 200 * 150 * 9 / 10;
    });
    EXPECT_GE(redPixels, 200 * 150 * 9 / 10);
    EXPECT_FALSE(QString::fromLocal8Bit(program.readAllStandardError()).contains(QStringLiteral("style")));
}

TEST_F(Desktop, SizeModesSizeTheOuterFrameFromTheFirstMoment) {
    TForm1* form = Start();
    // Before the first show the grid already has the height the framed window leaves.
    const int startGridHeight = Viewer.GridHeight;
    ASSERT_TRUE(ShowFramed(form));
    EXPECT_EQ(form->frameGeometry(), QRect(0, 0, 1024, 743));
    EXPECT_EQ(form->ClientArea->height(), startGridHeight);

    // Choosing the mode shown changes nothing.
    form->A1Click();
    QApplication::processEvents();
    EXPECT_EQ(Viewer.GridHeight, startGridHeight);
    EXPECT_EQ(form->frameGeometry(), QRect(0, 0, 1024, 743));

    form->M2Click();
    EXPECT_TRUE(WaitFor([&] { return form->frameGeometry() == QRect(150, 113, 723, 542); }))
        << form->frameGeometry().x() << "," << form->frameGeometry().y() << " "
        << form->frameGeometry().width() << "x" << form->frameGeometry().height();
    EXPECT_EQ(form->ClientArea->height(), Viewer.GridHeight);
}

TEST_F(Desktop, AFrameKnownOnlyOnceShownStillGivesTheModeSize) {
    TForm1* form = Start();
    // As under a window manager that does not tell its frame in advance.
    form->setProperty(kExpectedFrameProperty, QVariant::fromValue(QMargins()));
    form->A1Click();
    ASSERT_EQ(form->geometry().size(), QSize(1024, 743));
    ASSERT_TRUE(ShowFramed(form));
    EXPECT_TRUE(WaitFor([&] { return form->frameGeometry() == QRect(0, 0, 1024, 743); }))
        << form->frameGeometry().width() << "x" << form->frameGeometry().height();
    EXPECT_TRUE(WaitFor([&] { return form->ClientArea->height() == Viewer.GridHeight; }));
    EXPECT_LT(Viewer.GridHeight, 700);
}

TEST_F(Desktop, AMaximisedWindowReturnsToItsModeSize) {
    TForm1* form = Start();
    ASSERT_TRUE(ShowFramed(form));
    form->S1Click();
    ASSERT_TRUE(WaitFor([&] { return form->frameGeometry() == QRect(256, 192, 512, 384); }));
    form->showMaximized();
    WaitFor([&] { return form->frameGeometry().width() > 512; }, 1000);
    EXPECT_TRUE(WaitFor([&] {
        return !form->isMaximized() && form->frameGeometry() == QRect(256, 192, 512, 384);
    })) << form->frameGeometry().width() << "x" << form->frameGeometry().height();
}

// Maximised the moment it is shown, before the window manager has answered
// anything about it: back at its mode size all the same.
TEST_F(Desktop, AWindowMaximisedAsItComesUpReturnsToItsModeSize) {
    TForm1* form = Start();
    form->S1Click();
    form->show();
    form->showMaximized();
    EXPECT_TRUE(WaitFor([&] {
        return Managed(form) && !form->isMaximized() &&
               form->frameGeometry() == QRect(256, 192, 512, 384);
    })) << form->frameGeometry().x() << "," << form->frameGeometry().y() << " "
        << form->frameGeometry().width() << "x" << form->frameGeometry().height();
    // And it stays there.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(form->frameGeometry(), QRect(256, 192, 512, 384));
}

// The full-size view's rules place the window with the frame the window
// manager draws, from its first showing on.
TEST_F(Desktop, FullSizeWindowFramePlacedByTheRules) {
    QTemporaryDir dir;
    TForm1* form = Start();
    ASSERT_TRUE(ShowFramed(form));
    auto load = [&](const QString& name, int w, int h) {
        WriteFileBytes(dir.filePath(name), EncodeJpeg(Bitmap(w, h, 24), 50));
        const int slot = Viewer.NextSlot;
        RunGuarded([&] {
            form->ShowFolder(dir.path());
            form->FillSlotFromList(dir.path() + u'/', name);
        });
        return slot;
    };
    const int camera = load(QStringLiteral("camera.jpg"), 2592, 1944);
    const int small = load(QStringLiteral("small.jpg"), 640, 480);

    RunGuarded([&] { form->ShowFullSize(camera); });
    ASSERT_TRUE(ShowFramed(Form5));
    const QMargins frame = WindowFrameMargins(Form5);
    ASSERT_FALSE(frame.isNull());
    EXPECT_TRUE(WaitFor([&] { return Form5->frameGeometry().topLeft() == QPoint(20, 0); }))
        << Form5->frameGeometry().x() << "," << Form5->frameGeometry().y();
    EXPECT_EQ(Form5->size(), QSize(972, 729));
    // Only a close box in its title bar.
    const QStringList actions = AllowedActions(Form5);
    EXPECT_TRUE(actions.contains(QStringLiteral("CLOSE"))) << actions.join(u' ').toStdString();
    EXPECT_FALSE(actions.contains(QStringLiteral("MINIMIZE")));
    EXPECT_FALSE(actions.contains(QStringLiteral("MAXIMIZE_HORZ")));

    RunGuarded([&] { form->ShowFullSize(small); });
    const QSize outer = QSize(640, 480).grownBy(frame);
    const QPoint centred((1024 - outer.width()) / 2, (768 - outer.height()) / 2);
    EXPECT_TRUE(WaitFor([&] { return Form5->frameGeometry() == QRect(centred, outer); }))
        << Form5->frameGeometry().x() << "," << Form5->frameGeometry().y() << " "
        << Form5->frameGeometry().width() << "x" << Form5->frameGeometry().height();
}

}  // namespace

// Windows meant to have no minimise or maximise button do without them
// under openbox too, and the window manager's close does what "戻る" does.
TEST_F(Desktop, ToolWindowsHaveNoMinimiseOrMaximiseAndCloseLikeTheirBackButton) {
    TForm1* form = Start();
    ASSERT_TRUE(ShowFramed(form));
    for (QWidget* tool : std::initializer_list<QWidget*>{Form2, Form4}) {
        SCOPED_TRACE(tool->objectName().toStdString());
        ASSERT_TRUE(ShowFramed(tool));
        QStringList actions;
        WaitFor([&] { return (actions = AllowedActions(tool)).contains(QStringLiteral("MOVE")); });
        EXPECT_FALSE(actions.contains(QStringLiteral("MINIMIZE")))
            << actions.join(u' ').toStdString();
        EXPECT_FALSE(actions.contains(QStringLiteral("MAXIMIZE_HORZ")));
        EXPECT_FALSE(actions.contains(QStringLiteral("RESIZE")));
    }
    // The histogram's slot frame is lit while it is open; the window
    // manager's close puts it out and hides the window, as "戻る" does.
    SetBackgroundColor(form->Frame(1), QColor(0, 255, 255));
    CloseByWindowManager(Form4);
    EXPECT_TRUE(WaitFor([] { return !Form4->isVisible(); }));
    EXPECT_EQ(BackgroundColor(form->Frame(1)), ButtonFaceColor());
}

// The About box's outer frame is centred on the screen.
TEST_F(Desktop, AboutBoxFrameIsCentred) {
    TForm1* form = Start();
    ASSERT_TRUE(ShowFramed(form));
    form->About1Click();
    ASSERT_TRUE(ShowFramed(Form2));
    const QSize outer = Form2->frameGeometry().size();
    const QPoint centred((1024 - outer.width()) / 2, (768 - outer.height()) / 2);
    EXPECT_TRUE(WaitFor([&] { return Form2->frameGeometry().topLeft() == centred; }))
        << Form2->frameGeometry().x() << "," << Form2->frameGeometry().y() << " for "
        << centred.x() << "," << centred.y();
}

// A command that shows a window that is open already brings it to the front
// with the focus: the batch window under the main window on "連番処理(&R)",
// the chooser under the batch window on a second "実行".
TEST_F(Desktop, CommandsBringTheirOpenWindowsToTheFront) {
    QTemporaryDir dir;
    WriteFileBytes(dir.filePath(QStringLiteral("a.jpg")), "x");
    TForm1* form = Start();
    RunGuarded([&] { form->ShowFolder(dir.path()); });
    form->FilterComboBox1->setCurrentIndex(1);
    ASSERT_TRUE(ShowFramed(form));
    RunGuarded([&] { form->R1Click(); });
    ASSERT_TRUE(ShowFramed(Form7));
    EXPECT_TRUE(WaitFor([] { return InFront(Form7); }));
    form->activateWindow();
    form->raise();
    ASSERT_TRUE(WaitFor([&] { return InFront(form); }));
    RunGuarded([&] { form->R1Click(); });
    EXPECT_TRUE(WaitFor([] { return InFront(Form7); }));
    // Also when it was minimised.
    Form7->showMinimized();
    ASSERT_TRUE(WaitFor([] { return Form7->isMinimized() && !InFront(Form7); }));
    RunGuarded([&] { form->R1Click(); });
    EXPECT_TRUE(WaitFor([] { return !Form7->isMinimized() && InFront(Form7); }));

    Form7->RadioButton5->click();  // コピー
    Form7->BitBtn3->click();
    ASSERT_TRUE(ShowFramed(Form8));
    // The window manager gives a new window the focus once it has framed it:
    // only then does the batch window go back on top.
    ASSERT_TRUE(WaitFor([] { return InFront(Form8); }));
    Form7->activateWindow();
    Form7->raise();
    ASSERT_TRUE(WaitFor([] { return InFront(Form7); }));
    Form7->BitBtn3->click();
    EXPECT_TRUE(WaitFor([] { return InFront(Form8); }));
}

// A key typed on the X server's keyboard (XTest, through xdotool): it goes to
// the window the window manager gave the focus, as a user's key does.
void Type(const QString& keys) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
    ASSERT_TRUE(xdotool.waitForStarted(5000)) << "xdotool is needed (tools/deps.sh installs it)";
    WaitFor([&] { return xdotool.state() == QProcess::NotRunning; });
    // The events reach the program a moment later.
    for (int i = 0; i < 5; ++i) {
        QThread::msleep(10);
        QApplication::processEvents();
    }
}

// Tab along the window's chain until `w` has the keyboard.
::testing::AssertionResult TabTo(const QWidget* w) {
    QStringList passed;
    for (int i = 0; i < 30 && QApplication::focusWidget() != w; ++i) {
        Type(QStringLiteral("Tab"));
        passed << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                               : QStringLiteral("(none)"));
    }
    if (QApplication::focusWidget() == w) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Tab went " << passed.join(u' ').toStdString();
}

TEST_F(Desktop, AKeyboardOnlySessionFromFolderToPrintLayout) {
    tamarind::test::ScriptedDialogs dialogs;
    QTemporaryDir dir;
    const QString pics = dir.filePath(QStringLiteral("pics"));
    ASSERT_TRUE(QDir().mkpath(pics));
    for (int k = 0; k < 4; ++k)
        WriteFileBytes(pics + QStringLiteral("/%1.jpg").arg(QChar(u'a' + k)),
                       EncodeJpeg(Bitmap(40 + 20 * k, 30, 24), 80));
    TForm1* form = Start();
    RunGuarded([&] { form->ShowFolder(dir.path()); });
    ASSERT_TRUE(ShowFramed(form));
    ASSERT_TRUE(WaitFor([&] { return InFront(form); }));

    // The folder: in the tree, down to the subfolder and open it.
    ASSERT_TRUE(TabTo(form->DirectoryListBox1));
    Type(QStringLiteral("Down"));
    Type(QStringLiteral("Return"));
    ASSERT_TRUE(WaitFor([&] { return form->FileListBox1->count() == 4; }));
    // Four slots: each file chosen in the list and loaded with Enter, the
    // first straight away, the list's cursor on it but nothing selected yet.
    ASSERT_TRUE(TabTo(form->FileListBox1));
    for (int k = 0; k < 4; ++k) {
        if (k > 0) Type(QStringLiteral("Down"));
        Type(QStringLiteral("Return"));
    }
    ASSERT_TRUE(WaitFor([] { return !Viewer.SlotFileName[4].isEmpty(); }));
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(Viewer.SlotFileName[k + 1], QStringLiteral("%1.jpg").arg(QChar(u'a' + k)));

    // The grid: the ring to slot 2, its detail window, turned and saved.
    ASSERT_TRUE(TabTo(form->Panel2));
    Type(QStringLiteral("Right"));
    EXPECT_EQ(form->Keyboard()->FocusSlot(), 2);
    Type(QStringLiteral("Return"));
    ASSERT_TRUE(WaitFor([] { return Form3->isVisible() && InFront(Form3); }));
    EXPECT_EQ(Form3->Memo1->text(), QStringLiteral("b.jpg"));
    ASSERT_TRUE(TabTo(Form3->Button6));  // 右９０°回転
    Type(QStringLiteral("space"));
    ASSERT_TRUE(WaitFor([] { return Form3->DetailBitmap.size() == QSize(30, 60); }));
    const QString saved = dir.filePath(QStringLiteral("turned.jpg"));
    dialogs.AnswerSave(saved);
    ASSERT_TRUE(TabTo(Form3->SpeedButton1));  // 保存処理実行
    Type(QStringLiteral("space"));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(saved); }));
    EXPECT_EQ(QImage(saved).size(), QSize(30, 60));

    // Back in the grid, the print layout of the ring's slot.
    Type(QStringLiteral("Escape"));
    ASSERT_TRUE(WaitFor([&] { return !Form3->isVisible() && InFront(form); }));
    EXPECT_EQ(QApplication::focusWidget(), form->Panel2);
    Type(QStringLiteral("ctrl+p"));
    ASSERT_TRUE(WaitFor([] { return Form6->isVisible(); }));
    EXPECT_TRUE(Form6->windowTitle().endsWith(QStringLiteral("b.jpg")));
    // Nothing went wrong on the way (the test machine may have no printer).
    for (const QString& message : dialogs.messages())
        if (message != QStringLiteral("使用できるプリンターがありません。"))
            ADD_FAILURE() << message.toStdString();
}
