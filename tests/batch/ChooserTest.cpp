// The destination chooser: it opens on the table's folder with the mode's
// caption, follows a drive change, answers with serials (-1, -2, then 3), and
// moves its buttons as it widens.
#include <QLabel>
#include <QRadioButton>

#include "BatchSupport.h"
#include "platform/Folders.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

class Chooser : public BatchFixture {};

TEST_F(Chooser, OpensOnTheSourceFolderWithTheModesCaption) {
    Put("a.jpg", "x");
    Start(1);
    Open();
    batch->RadioButton5->click();  // コピー
    Click(batch->BitBtn3);
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_EQ(chooser->windowTitle(), "コピー先指定");
    EXPECT_EQ(chooser->DirectoryListBox1->Directory(), folder);
    EXPECT_EQ(chooser->DriveComboBox1->Drive(), VolumeRootOf(folder));
    EXPECT_EQ(DestinationFolder, folder);
    EXPECT_EQ(batch->RunScope, 2);
    // The path line fits the window less 50 pixels.
    const QFontMetrics metrics(chooser->font());
    EXPECT_LE(metrics.horizontalAdvance(chooser->Label1->text()), chooser->width() - 50);
    EXPECT_TRUE(chooser->Label1->text().endsWith(FileNameOf(folder)));

    chooser->hide();
    batch->RadioButton3->click();  // 名変と移動
    Click(batch->BitBtn3);
    EXPECT_EQ(chooser->windowTitle(), "移動先指定");

    // The user picks another drive: its root, and the path line follows.
    chooser->DriveComboBox1->ShowDrive(QStringLiteral("/dev/shm"));  // listed, not chosen
    EXPECT_EQ(chooser->DirectoryListBox1->Directory(), folder);
    emit chooser->DriveComboBox1->activated(chooser->DriveComboBox1->currentIndex());
    EXPECT_EQ(chooser->DirectoryListBox1->Directory(), "/dev/shm");
    EXPECT_EQ(DestinationFolder, "/dev/shm");
    EXPECT_EQ(chooser->Label1->text(), "/dev/shm");
    // Back in the source folder through the list, the drive follows.
    RunGuarded([&] { chooser->DirectoryListBox1->SetDirectory(folder); });
    EXPECT_EQ(chooser->DriveComboBox1->Drive(), VolumeRootOf(folder));
}

TEST_F(Chooser, CancelAnswersWithNegativeSerialsAndTouchesNothing) {
    Put("a.jpg", "1");
    Put("b.jpg", "2");
    Start(1);
    Open();
    const auto before = Contents(folder);
    batch->RadioButton5->click();
    Click(batch->BitBtn3);
    SelectRows({0});
    Click(chooser->Button2);
    EXPECT_EQ(batch->Edit4->text(), "-1");
    EXPECT_FALSE(chooser->isVisible());
    Click(batch->BitBtn3);
    Click(chooser->Button2);
    EXPECT_EQ(batch->Edit4->text(), "-2");
    // Nothing ran: the files, the table and its selection are as they were.
    EXPECT_EQ(Contents(folder), before);
    EXPECT_TRUE(batch->isVisible());
    EXPECT_EQ(batch->RowCount, 2);
    EXPECT_EQ(batch->ListBox1->selectedItems().size(), 1);
    EXPECT_EQ(batch->Edit4->text(), "-2");
    EXPECT_TRUE(dialogs.shown().empty());

    // "実行" after the cancels answers 3, and the run starts.
    QTemporaryDir dest;
    Click(batch->BitBtn3);
    RunGuarded([&] { chooser->DirectoryListBox1->SetDirectory(dest.path()); });
    Click(chooser->Button1);
    EXPECT_EQ(batch->Edit4->text(), "3");
    EXPECT_EQ(Contents(dest.path()), before);
    EXPECT_FALSE(batch->isVisible());
}

TEST_F(Chooser, WideningMovesButtonsAndIconAndWidensTheList) {
    Start(1);
    chooser->show();
    const int b1 = chooser->Button1->x();
    const int b2 = chooser->Button2->x();
    const int icon = chooser->Image1->x();
    const int list = chooser->DirectoryListBox1->width();
    EXPECT_EQ(b1, 341 - 116);
    EXPECT_EQ(chooser->Button2->y(), chooser->Button1->y() + chooser->Button1->height() + 10);
    chooser->resize(chooser->width() + 100, chooser->height());
    EXPECT_EQ(chooser->Button1->x() - b1, 100);
    EXPECT_EQ(chooser->Button2->x() - b2, 100);
    EXPECT_EQ(chooser->Image1->x() - icon, 100);
    EXPECT_EQ(chooser->DirectoryListBox1->width() - list, 100);
}

}  // namespace
