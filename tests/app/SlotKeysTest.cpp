// The grid without the mouse and with drag and drop: no two keys clash (the
// menus' own included), the focus ring moved by keys, Tab and a click, the
// keys acting on the ring's slot as the mouse gestures do, Delete emptying a
// slot but not the file, dropped files filling slots, a dragged slot
// carrying its file's URI.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <map>

#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "app/KeyActions.h"
#include "shared/PictureBox.h"
#include "app/SlotKeys.h"
#include "shared/ViewerState.h"
#include "detail/Cgrp.h"
#include "picture/Jpeg.h"
#include "platform/Controls.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "print/Set_Prt.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

class SlotKeys : public ::testing::Test {
  protected:
    void TearDown() override { DestroyForms(); }
    void Start(const QStringList& args) {
        Viewer = ViewerState{};
        CreateForms(args);
        form = Form1;
        RunGuarded([&] { form->ShowFolder(dir.path()); });
        form->show();
        form->activateWindow();
        QApplication::processEvents();
    }
    QString Put(const QString& name, int w, int h) {
        const QString path = dir.filePath(name);
        WriteFileBytes(path, EncodeJpeg(Bitmap(w, h, 24), 80));
        return path;
    }
    void Load(const QString& name) {
        form->FileListBox1->SelectRow(form->FileListBox1->Names().indexOf(name));
        RunGuarded([&] { form->FLB1_Click(); });
    }
    // A key as the user types it: to the widget that has the keyboard.
    static void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget()
                                                  : QApplication::activeWindow();
        ASSERT_TRUE(to);
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(to, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers);
        QApplication::sendEvent(to, &release);
    }
    // The main window active again, the grid with the keyboard.
    void BackToGrid() {
        form->activateWindow();
        QApplication::processEvents();
        form->Panel2->setFocus();
    }
    int Ring() const { return form->Keyboard()->FocusSlot(); }
    bool RingAround(int slot) const {
        const QRect frame(form->Panel2->mapTo(form->ClientArea, form->Frame(slot)->pos()),
                          form->Frame(slot)->size());
        const QRect ring = form->Keyboard()->Ring()->geometry();
        return form->Keyboard()->RingShown() && ring.contains(frame) &&
               frame.marginsAdded(QMargins(4, 4, 4, 4)).contains(ring);
    }
    // Drags `urls` over the grid and drops them at `at` (grid coordinates).
    bool Drop(const QList<QUrl>& urls, QPoint at) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form->Panel2, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form->Panel2, &drop);
        QApplication::processEvents();  // the files load once the drop is over
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }

    QTemporaryDir dir;
    TForm1* form = nullptr;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(SlotKeys, NoTwoActionsShareAKeyWhereTheyWorkMenusIncluded) {
    Start({});
    // The menu bar's access keys (Alt + letter) and every shortcut of the window.
    std::map<int, QString> taken;
    auto take = [&](QKeyCombination key, const QString& what) {
        if (key.key() == Qt::Key_unknown || key.toCombined() == 0) return;
        const auto [at, fresh] = taken.emplace(key.toCombined(), what);
        EXPECT_TRUE(fresh) << what.toStdString() << " and " << at->second.toStdString() << " share "
                           << QKeySequence(key).toString().toStdString();
    };
    for (QAction* item : form->menuBar()->actions()) {
        take(QKeySequence::mnemonic(item->text())[0], item->text());
        // Within an open menu its items' letters must differ too.
        if (!item->menu()) continue;
        std::map<int, QString> letters;
        for (QAction* sub : item->menu()->actions()) {
            const QKeyCombination letter = QKeySequence::mnemonic(sub->text())[0];
            if (sub->isSeparator() || letter.toCombined() == 0) continue;
            EXPECT_TRUE(letters.emplace(letter.toCombined(), sub->text()).second)
                << sub->text().toStdString() << " in " << item->text().toStdString();
        }
    }
    for (QAction* action : form->findChildren<QAction*>())
        for (const QKeySequence& shortcut : action->shortcuts()) take(shortcut[0], action->text());
    // Each part of the window: its keys and the window-wide ones, against the menus.
    for (KeyScope scope : {KeyScope::FolderTree, KeyScope::FileList, KeyScope::Grid}) {
        std::map<int, QString> here = taken;
        for (const KeyBinding& binding : KeyTable()) {
            if (binding.scope != scope && binding.scope != KeyScope::MainWindow) continue;
            for (QKeyCombination key : binding.keys) {
                const auto [at, fresh] = here.emplace(key.toCombined(), binding.description);
                EXPECT_TRUE(fresh) << binding.keyText.toStdString() << " is taken by "
                                   << at->second.toStdString();
                EXPECT_EQ(FindKeyAction(scope, key), binding.action) << binding.keyText.toStdString();
            }
        }
    }
}

TEST_F(SlotKeys, TabReachesTheGridWhereArrowsHomeEndAndAClickMoveTheRing) {
    Start({"8"});  // 4 x 3
    form->FileListBox1->setFocus();
    Press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->Panel2);
    EXPECT_TRUE(RingAround(1));
    const std::vector<std::pair<int, int>> moves = {
        {Qt::Key_End, 12}, {Qt::Key_Right, 12}, {Qt::Key_Down, 12}, {Qt::Key_Up, 8},
        {Qt::Key_Left, 7}, {Qt::Key_Home, 1},   {Qt::Key_Up, 1},    {Qt::Key_Left, 1},
        {Qt::Key_Down, 5}, {Qt::Key_Left, 4},   {Qt::Key_Right, 5},
    };
    for (const auto& [key, slot] : moves) {
        Press(key);
        EXPECT_EQ(Ring(), slot) << QKeySequence(key).toString().toStdString();
    }
    EXPECT_TRUE(RingAround(5));
    // Back along the chain: the grid gives the keyboard up and the ring goes.
    Press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), form->FileListBox1);
    EXPECT_FALSE(form->Keyboard()->RingShown());
    // A press on a slot's picture gives that slot the ring and the grid the keyboard.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->SlotImage(10), &press);
    EXPECT_EQ(Ring(), 10);
    EXPECT_TRUE(RingAround(10));
    // A smaller layout: the ring comes back inside it.
    form->D2Click();
    QApplication::processEvents();
    EXPECT_EQ(Ring(), 1);
    EXPECT_TRUE(RingAround(1));
}

TEST_F(SlotKeys, KeysActOnTheRingSlotAsTheMouseDoesAndDeleteEmptiesItButNotTheFile) {
    Put(QStringLiteral("a.jpg"), 64, 48);
    const QString b = Put(QStringLiteral("b.jpg"), 120, 90);
    const QByteArray bBytes = ReadFileBytes(b);
    Start({});
    Load(QStringLiteral("a.jpg"));
    Load(QStringLiteral("b.jpg"));
    form->Keyboard()->SetFocusSlot(2);
    BackToGrid();

    Press(Qt::Key_Return);  // as Shift + left press
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_EQ(Form3->Memo1->text(), QStringLiteral("b.jpg"));
    EXPECT_EQ(BackgroundColor(form->Frame(2)), QColor(0, 255, 255));
    Form3->hide();
    BackToGrid();
    Press(Qt::Key_Space);  // as a right press
    EXPECT_TRUE(Form5->isVisible());
    EXPECT_EQ(Form5->windowTitle(), b);
    Press(Qt::Key_Escape);
    EXPECT_FALSE(Form5->isVisible());
    BackToGrid();
    Press(Qt::Key_C, Qt::ControlModifier);  // as Ctrl + left press
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(120, 90));
    Press(Qt::Key_P, Qt::ControlModifier);  // as a double click
    EXPECT_TRUE(Form6->isVisible());
    EXPECT_TRUE(Form6->windowTitle().endsWith(b));
    BackToGrid();

    // Delete: the slot as a layout change leaves it, its protection gone;
    // the cursor stays, the file is untouched.
    form->ToggleProtectedSlot(2);
    ASSERT_EQ(Viewer.ProtectedSlot, 2);
    const int next = Viewer.NextSlot;
    dialogs.clear();
    Press(Qt::Key_Delete);
    EXPECT_EQ(form->Frame(2)->title(), QStringLiteral("Ｂ"));
    EXPECT_TRUE(form->SizeCaption(2)->text().isEmpty());
    EXPECT_FALSE(form->SlotImage(2)->HasPicture());
    EXPECT_TRUE(Viewer.SlotFileName[2].isEmpty());
    EXPECT_EQ(Viewer.ProtectedSlot, 0);
    EXPECT_EQ(TextColor(form->Frame(2)), QColor(Qt::black));
    EXPECT_EQ(BackgroundColor(form->Marker(2)), QColor(192, 192, 192));
    EXPECT_EQ(Viewer.NextSlot, next);
    EXPECT_EQ(ReadFileBytes(b), bBytes);
    EXPECT_EQ(form->Frame(1)->title(), QStringLiteral("a.jpg"));
    // The empty slot answers as the mouse's gestures do.
    Press(Qt::Key_Delete);
    Press(Qt::Key_Space);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("画像がありません。")});
}

TEST_F(SlotKeys, DroppedFilesFillTheSlotDroppedOnOrTheEmptyOnes) {
    const QString a = Put(QStringLiteral("a.jpg"), 64, 48);
    const QString b = Put(QStringLiteral("b.jpg"), 120, 90);
    const QString c = Put(QStringLiteral("c.jpg"), 30, 20);
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    Start({});
    auto centre = [&](int slot) { return form->Frame(slot)->geometry().center(); };
    // Two files among a web address and a folder, dropped on slot 3.
    ASSERT_TRUE(Drop({QUrl::fromLocalFile(a), QUrl(QStringLiteral("https://example.org/x.jpg")),
                      QUrl::fromLocalFile(dir.filePath(QStringLiteral("sub"))), QUrl::fromLocalFile(b)},
                     centre(3)));
    EXPECT_EQ(Viewer.SlotFileName[3], QStringLiteral("a.jpg"));
    EXPECT_EQ(Viewer.SlotFileName[4], QStringLiteral("b.jpg"));
    EXPECT_EQ(Viewer.SlotFolder[4], dir.path() + u'/');
    EXPECT_EQ(form->SizeCaption(4)->text(), QStringLiteral("W= 120, H= 90 [Pixel]"));
    EXPECT_EQ(Viewer.SelectedSlot, 4);
    EXPECT_TRUE(Viewer.SlotFileName[1].isEmpty());
    // Beside the slots: the first empty one, nothing shown replaced.
    ASSERT_TRUE(Drop({QUrl::fromLocalFile(c), QUrl::fromLocalFile(a)}, QPoint(2, 2)));
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("c.jpg"));
    EXPECT_EQ(Viewer.SlotFileName[2], QStringLiteral("a.jpg"));
    EXPECT_EQ(Viewer.SlotFileName[3], QStringLiteral("a.jpg"));
    EXPECT_EQ(Viewer.SlotFileName[4], QStringLiteral("b.jpg"));
    // Nothing to load: the drag is not taken.
    EXPECT_FALSE(Drop({QUrl::fromLocalFile(dir.filePath(QStringLiteral("sub")))}, centre(1)));
}

TEST_F(SlotKeys, ASlotDraggedOutCarriesItsFilesUriAndOffersNoMove) {
    const QString a = Put(QStringLiteral("a b.jpg"), 64, 48);
    Start({});
    Load(QStringLiteral("a b.jpg"));
    QList<QUrl> urls;
    QByteArray uriList;
    Qt::DropActions offered;
    auto look = [&] {
        if (auto* drag = form->SlotImage(1)->findChild<QDrag*>(); drag && urls.isEmpty()) {
            urls = drag->mimeData()->urls();
            uriList = drag->mimeData()->data(QStringLiteral("text/uri-list"));
            offered = drag->supportedActions();
        }
    };
    // A drag that runs an event loop of its own is looked at from inside and
    // ended; one that returns at once (no window system) is looked at after.
    QTimer::singleShot(0, [&] {
        look();
        QDrag::cancel();
    });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->SlotImage(1), &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), QPointF(40, 30), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->SlotImage(1), &move);
    look();
    EXPECT_EQ(urls, QList<QUrl>{QUrl::fromLocalFile(a)});
    EXPECT_EQ(uriList, QUrl::fromLocalFile(a).toEncoded() + "\r\n");
    EXPECT_FALSE(offered & Qt::MoveAction);
    EXPECT_TRUE(QFile::exists(a));
}
