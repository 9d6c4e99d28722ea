// The drive selector, folder tree and file list as volumes come and go and
// folders vanish or are refused: all three always show the same folder.
// The volume is a small tmpfs mounted during the test (needs root).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "batch/Renname.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

class Drives : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.path();
        Viewer = ViewerState{};
        CreateForms({});
        form = Form1;
    }
    void TearDown() override {
        DestroyForms();
        if (mounted_) ::umount2(EncodePath(mountPoint_).constData(), MNT_DETACH);
    }
    // Mounts a 1 MB tmpfs at `path`; false (with the reason) where that is not allowed.
    bool MountTmpfs(const QString& path, std::string* why) {
        if (::geteuid() != 0) {
            *why = "mounting a volume needs root";
            return false;
        }
        if (::mount("tamarind-test", EncodePath(path).constData(), "tmpfs", 0, "size=1m") != 0) {
            *why = std::string("mount failed: ") + std::strerror(errno);
            return false;
        }
        mounted_ = true;
        mountPoint_ = path;
        return true;
    }
    void Unmount() {
        ASSERT_EQ(::umount2(EncodePath(mountPoint_).constData(), 0), 0) << std::strerror(errno);
        mounted_ = false;
    }
    bool Listed(const QString& root) const { return form->DriveComboBox1->findData(root) >= 0; }
    void Choose(const QString& root) {
        const int index = form->DriveComboBox1->findData(root);
        ASSERT_GE(index, 0) << root.toStdString();
        emit form->DriveComboBox1->activated(index);
    }
    void Activate(const QString& entryFolder) {
        DirectoryListBox* tree = form->DirectoryListBox1;
        for (int row = 0; row < tree->count(); ++row)
            if (tree->EntryFolder(row) == entryFolder) {
                tree->setCurrentRow(row);
                emit tree->itemActivated(tree->item(row));
                return;
            }
        ADD_FAILURE() << "no tree entry " << entryFolder.toStdString();
    }
    // Tree, list and selector show `expected`, the tree's highlight on it.
    void ExpectAllShow(const QString& expected) const {
        DirectoryListBox* tree = form->DirectoryListBox1;
        const std::string want = expected.toStdString();
        EXPECT_EQ(tree->Directory().toStdString(), want);
        EXPECT_EQ(form->FileListBox1->Directory().toStdString(), want);
        EXPECT_EQ(form->DriveComboBox1->Drive().toStdString(), VolumeRootOf(expected).toStdString());
        EXPECT_EQ(tree->EntryFolder(tree->currentRow()).toStdString(), want);
    }

    QTemporaryDir dir;
    QString folder;
    TForm1* form = nullptr;
    ScriptedDialogs dialogs;

private:
    bool mounted_ = false;
    QString mountPoint_;
};

TEST_F(Drives, AVolumeMountedWhileRunningIsListedEnteredAndLeftAgain) {
    const QString volume = folder + QStringLiteral("/card");
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("card")));
    RunGuarded([&] { form->ShowFolder(folder); });
    ASSERT_FALSE(Listed(volume));
    std::string why;
    if (!MountTmpfs(volume, &why)) GTEST_SKIP() << why;
    // The list follows the mount while the program runs.
    ASSERT_TRUE(WaitFor([&] { return Listed(volume); })) << "the new volume was not listed";
    ASSERT_TRUE(QDir(volume).mkdir(QStringLiteral("DCIM")));
    WriteFileBytes(volume + QStringLiteral("/DCIM/a.jpg"), "x");

    // Into the volume through the tree: the selector shows the volume.
    RunGuarded([&] { form->ShowFolder(folder); });  // the tree lists card as a subfolder
    Activate(volume);
    ExpectAllShow(volume);
    Activate(volume + QStringLiteral("/DCIM"));
    ExpectAllShow(volume + QStringLiteral("/DCIM"));
    EXPECT_EQ(form->FileListBox1->Names(), QStringList{"a.jpg"});

    // Choosing "/" goes there; choosing the volume shown goes to its root.
    Choose(QStringLiteral("/"));
    ExpectAllShow(QStringLiteral("/"));
    RunGuarded([&] { form->ShowFolder(folder); });
    EXPECT_EQ(form->DriveComboBox1->Drive(), QStringLiteral("/"));
    Choose(QStringLiteral("/"));
    ExpectAllShow(QStringLiteral("/"));
    Choose(volume);
    ExpectAllShow(volume);

    // Unmounted while its folder is shown: the list drops it, the lists show
    // the nearest folder left (the empty mount point) on its own volume.
    Activate(volume + QStringLiteral("/DCIM"));
    Unmount();
    ASSERT_TRUE(WaitFor([&] { return !Listed(volume); })) << "the volume stayed listed";
    ExpectAllShow(volume);
    EXPECT_EQ(form->DriveComboBox1->Drive(), QStringLiteral("/"));
    EXPECT_TRUE(form->FileListBox1->Names().isEmpty());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Drives, AVanishedFolderLeavesAllThreeOnItsNearestAncestor) {
    const QString deep = folder + QStringLiteral("/a/b");
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("a/b")));
    WriteFileBytes(folder + QStringLiteral("/a/x.jpg"), "x");
    RunGuarded([&] { form->ShowFolder(deep); });
    ExpectAllShow(deep);
    ASSERT_TRUE(QDir(deep).removeRecursively());
    // The detail window changed a slot's file: the lists are read again.
    RunGuarded([&] { form->RefreshFileLists(); });
    ExpectAllShow(folder + QStringLiteral("/a"));
    EXPECT_EQ(form->FileListBox1->Names(), QStringList{"x.jpg"});
    EXPECT_EQ(Form7->Edit3->text(), folder + QStringLiteral("/a"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Drives, ARefusedFolderLeavesAllThreeWhereTheyWereWithOneMessage) {
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("gone")));
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("kept")));
    RunGuarded([&] { form->ShowFolder(folder); });
    ASSERT_TRUE(QDir(folder + QStringLiteral("/gone")).removeRecursively());
    // The tree still lists it; opening it is refused.
    Activate(folder + QStringLiteral("/gone"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].contains(folder + QStringLiteral("/gone")));
    ExpectAllShow(folder);
    // Shown from elsewhere (a start file's folder, a batch run's target): the same.
    RunGuarded([&] { form->ShowFolder(folder + QStringLiteral("/gone")); });
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1], dialogs.messages()[0]);
    ExpectAllShow(folder);
    Activate(folder + QStringLiteral("/kept"));
    ExpectAllShow(folder + QStringLiteral("/kept"));
}

}  // namespace
