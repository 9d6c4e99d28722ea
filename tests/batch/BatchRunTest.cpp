// Batch runs on folders the tests make, files and bytes compared before and
// after: all six modes on all and on selected rows, the overwrite question,
// failures, trash runs into a private trash, and the five faults the window
// guards against (a fixed part with "/", a run after the main window moved
// on, a full disk, a target that is the source itself, keyboard selection).
#include <fcntl.h>
#include <unistd.h>

#include <QRadioButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "BatchSupport.h"
#include "TmpfsMount.h"
#include "batch/UpDown.h"
#include "platform/FileOps.h"
#include "platform/Folders.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

using Files = std::map<QString, QByteArray>;

const QString kOverwriteTail = QStringLiteral("　はすでに存在しています。上書きしますか？。");

class BatchRuns : public BatchFixture {
protected:
    // Picks the mode by its radio button, as a click does.
    void Mode(int mode) {
        QRadioButton* buttons[] = {batch->RadioButton1, batch->RadioButton2, batch->RadioButton3,
                                   batch->RadioButton4, batch->RadioButton5, batch->RadioButton6};
        buttons[mode - 1]->click();
    }
    // An execute click; for copy and move modes the chooser is set to
    // `destination` and answered with "実行".
    void Run(QPushButton* execute, const QString& destination = {}) {
        Click(execute);
        if (destination.isEmpty()) return;
        ASSERT_TRUE(chooser->isVisible());
        RunGuarded([&] { chooser->DirectoryListBox1->SetDirectory(destination); });
        Click(chooser->Button1);
    }
    // The main window back on the test folder and the batch window opened
    // afresh on it in `mode`, with no dialog recorded yet.
    void Reopen(int mode) {
        RunGuarded([&] { main->ShowFolder(folder); });
        Open();
        Mode(mode);
        dialogs.clear();
    }
    void RunAll(const QString& destination = {}) { Run(batch->BitBtn3, destination); }
    // The plan that opens on its own before a run with a question to come:
    // its "実行" goes on with the run.
    void GoOnFromPlan() {
        ASSERT_TRUE(batch->PlanWindow->isVisible());
        Click(batch->PlanWindow->Button1);
    }
    void RunSelected(const QString& destination = {}) { Run(batch->BitBtn2, destination); }
    QStringList Listed() const { return main->FileListBox1->Names(); }
    QString Shown() const { return main->FileListBox1->Directory(); }
    void PutNumbered(const QStringList& names) {
        for (const QString& n : names) Put(n, ("bytes of " + n).toUtf8());
    }
    static Files Renamed(const Files& before, const std::map<QString, QString>& renames) {
        Files after;
        for (const auto& [name, bytes] : before) {
            const auto it = renames.find(name);
            after[it == renames.end() ? name : it->second] = bytes;
        }
        return after;
    }
    QTemporaryDir other;
};

TEST_F(BatchRuns, RenameAllInTableOrderThenTheMainWindowShowsTheFolder) {
    PutNumbered({"a.jpg", "b.jpg", "c.jpg"});
    Start(1);
    Open();
    const Files before = Contents(folder);
    RunGuarded([&] { batch->Panel3Click(); });  // c, b, a
    RunAll();
    EXPECT_EQ(Contents(folder),
              Renamed(before, {{"c.jpg", "A0000.jpg"}, {"b.jpg", "A0001.jpg"}, {"a.jpg", "A0002.jpg"}}));
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_FALSE(batch->isVisible());
    EXPECT_EQ(main->Edit7->text(), "1");
    EXPECT_EQ(Shown(), folder);
    EXPECT_EQ(Listed(), QStringList({"A0000.jpg", "A0001.jpg", "A0002.jpg"}));
    EXPECT_EQ(BatchTargetPath, folder + "/A0002.jpg");
    EXPECT_EQ(batch->RunScope, 0);
}

TEST_F(BatchRuns, SelectedRowsAreNumberedFromZeroInPageOrder) {
    PutNumbered({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    Start(1);
    Open();
    const Files before = Contents(folder);
    SelectRows({1, 3});
    ReleaseMouseOverList();
    RunSelected();
    EXPECT_EQ(Contents(folder), Renamed(before, {{"b.jpg", "A0000.jpg"}, {"d.jpg", "A0001.jpg"}}));

    // Selected with the keyboard only: counted all the same.
    Open();
    batch->show();
    batch->ListBox1->setFocus();
    ASSERT_EQ(Page(), QStringList({"a.jpg", "A0000.jpg", "A0001.jpg", "c.jpg"}));
    batch->ListBox1->setCurrentRow(1);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
    QApplication::sendEvent(batch->ListBox1, &down);
    batch->Memo1->setText("K");
    RunSelected();
    EXPECT_EQ(Contents(folder).count("K0000.jpg"), 1u);
    EXPECT_EQ(Contents(folder).count("K0001.jpg"), 1u);
    EXPECT_EQ(Contents(folder).size(), 4u);
}

TEST_F(BatchRuns, SelectedRunWithNothingSelectedTouchesNothingButTellsTheMainWindow) {
    PutNumbered({"a.jpg", "b.jpg"});
    Start(1);
    Open();
    const Files before = Contents(folder);
    ReleaseMouseOverList();
    ASSERT_TRUE(batch->BitBtn2->isEnabled());
    RunSelected();
    EXPECT_EQ(Contents(folder), before);
    EXPECT_EQ(main->Edit7->text(), "1");
    EXPECT_FALSE(batch->isVisible());
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(BatchRuns, CopyAndMoveModesWithTheChooser) {
    PutNumbered({"a.jpg", "b.jpg"});
    const QString dest = other.path();
    Start(1);
    Open();
    const Files before = Contents(folder);
    // コピー: the names stay; the main window shows the destination.
    Mode(kModeCopy);
    RunAll(dest);
    EXPECT_EQ(Contents(folder), before);
    EXPECT_EQ(Contents(dest), before);
    EXPECT_EQ(Shown(), dest);
    EXPECT_EQ(main->Edit7->text(), "1");
    EXPECT_EQ(chooser->ChooserSerial, 1);

    // 名変とコピー into the source folder itself: new names beside the old.
    RunGuarded([&] { main->ShowFolder(folder); });
    Open();
    Mode(kModeRenameCopy);
    RunAll(folder);
    Files expected = before;
    expected["A0000.jpg"] = before.at("a.jpg");
    expected["A0001.jpg"] = before.at("b.jpg");
    EXPECT_EQ(Contents(folder), expected);

    // 名変と移動 of the two new files into a fresh folder.
    RunGuarded([&] { main->ShowFolder(folder); });
    main->FilterComboBox1->setCurrentIndex(1);
    Open();
    const QString moved = dest + "/moved";
    QDir().mkpath(moved);
    ASSERT_EQ(Page(), QStringList({"a.jpg", "A0000.jpg", "A0001.jpg", "b.jpg"}));
    SelectRows({1, 2});
    Mode(kModeRenameMove);
    batch->Memo1->setText("M");
    RunSelected(moved);
    EXPECT_EQ(Contents(moved), Files({{"M0000.jpg", before.at("a.jpg")}, {"M0001.jpg", before.at("b.jpg")}}));
    EXPECT_EQ(Contents(folder), before);
    EXPECT_EQ(Shown(), moved);

    // 移動 back under the same names.
    Open();
    Mode(kModeMove);
    RunAll(folder);
    EXPECT_TRUE(Contents(moved).empty());
    EXPECT_EQ(Contents(folder).size(), 4u);
    EXPECT_EQ(Contents(folder).at("M0001.jpg"), before.at("b.jpg"));
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(BatchRuns, OverwriteQuestionSkipsOnNoAndReplacesOnYes) {
    PutNumbered({"a.jpg", "b.jpg", "c.jpg"});
    const QString dest = other.path();
    Put("a.jpg", "old a", dest);
    Put("b.jpg", "old b", dest);
    Start(1);
    Open();
    const Files before = Contents(folder);
    Mode(kModeCopy);
    dialogs.AnswerAsk(BoxAnswer::No);
    dialogs.AnswerAsk(BoxAnswer::Yes);
    RunAll(dest);
    GoOnFromPlan();
    ASSERT_EQ(dialogs.shown().size(), 2u);
    EXPECT_EQ(dialogs.shown()[0].text,
              folder + "/a.jpg\n\r (コピー)=> " + dest + "/a.jpg" + kOverwriteTail);
    EXPECT_EQ(dialogs.shown()[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(dialogs.shown()[0].icon, BoxIcon::Information);
    EXPECT_EQ(Contents(dest), Files({{"a.jpg", "old a"}, {"b.jpg", before.at("b.jpg")},
                                     {"c.jpg", before.at("c.jpg")}}));
    EXPECT_EQ(Contents(folder), before);

    // The markers of rename and move.
    Reopen(kModeMove);
    dialogs.AnswerAsk(BoxAnswer::No);
    dialogs.AnswerAsk(BoxAnswer::No);
    dialogs.AnswerAsk(BoxAnswer::No);
    RunAll(dest);
    GoOnFromPlan();
    ASSERT_EQ(dialogs.shown().size(), 3u);
    EXPECT_EQ(dialogs.shown()[2].text,
              folder + "/c.jpg\n\r (移動)=> " + dest + "/c.jpg" + kOverwriteTail);
    EXPECT_EQ(Contents(folder), before);
}

TEST_F(BatchRuns, RenameCollidesWithAFileOutsideTheRun) {
    PutNumbered({"a.jpg", "b.jpg", "c.jpg"});
    Start(1);
    Open();
    Put("A0001.jpg", "not in the run");
    const Files before = Contents(folder);
    dialogs.AnswerAsk(BoxAnswer::No);
    RunAll();
    GoOnFromPlan();
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].text,
              folder + "/b.jpg\n\r (名変)=> " + folder + "/A0001.jpg" + kOverwriteTail);
    EXPECT_EQ(Contents(folder), Renamed(before, {{"a.jpg", "A0000.jpg"}, {"c.jpg", "A0002.jpg"}}));
}

TEST_F(BatchRuns, FailedRenameIsReportedAndTheRunGoesOn) {
    PutNumbered({"a.jpg", "b.jpg"});
    Start(1);
    Open();
    ::unlink(EncodePath(folder + "/a.jpg").constData());  // vanished after listing
    const Files before = Contents(folder);
    dialogs.AnswerAsk(BoxAnswer::Cancel);
    RunAll();
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].text, "ファイル名変更に失敗しました。\n\r" + folder + "/a.jpg\n\r => " +
                                           folder + "/A0000.jpg");
    EXPECT_EQ(dialogs.shown()[0].buttons, BoxButtons::Cancel);
    EXPECT_EQ(dialogs.shown()[0].icon, BoxIcon::Error);
    EXPECT_EQ(Contents(folder), Renamed(before, {{"b.jpg", "A0001.jpg"}}));
    EXPECT_FALSE(batch->isVisible());
}

TEST_F(BatchRuns, CopyStopsAtAVanishedSourceWithEarlierFilesCopied) {
    PutNumbered({"a.jpg", "b.jpg", "c.jpg"});
    const QString dest = other.path();
    Start(1);
    Open();
    ::unlink(EncodePath(folder + "/b.jpg").constData());
    Mode(kModeCopy);
    RunAll(dest);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>({"ファイルが見つかりません."}));
    EXPECT_EQ(Contents(dest), Files({{"a.jpg", "bytes of a.jpg"}}));
    // The main window is not told and the batch window stays open.
    EXPECT_TRUE(main->Edit7->text().isEmpty());
    EXPECT_TRUE(batch->isVisible());
    EXPECT_FALSE(chooser->isVisible());
}

// --- Trash ----------------------------------------------------------------------

class TrashRuns : public BatchRuns {
protected:
    void SetUp() override {
        BatchRuns::SetUp();
        oldData_ = qgetenv("XDG_DATA_HOME");
        oldHome_ = qgetenv("HOME");
        qputenv("XDG_DATA_HOME", EncodePath(data.path()));
        qputenv("HOME", EncodePath(data.path()));
    }
    void TearDown() override {
        qputenv("XDG_DATA_HOME", oldData_);
        qputenv("HOME", oldHome_);
        BatchRuns::TearDown();
    }
    QString Trash() const { return data.path() + "/Trash"; }
    QTemporaryDir data;

private:
    QByteArray oldData_, oldHome_;
};

TEST_F(TrashRuns, DeletedFilesGoToTheTrashAfterOneQuestionEach) {
    PutNumbered({"a.jpg", "b.jpg", "c.jpg", "d.jpg"});
    Start(1);
    Open();
    const Files before = Contents(folder);
    SelectRows({0, 1, 2});
    Mode(kModeDelete);
    for (int k = 0; k < 3; ++k) dialogs.AnswerAsk(BoxAnswer::Yes);
    RunSelected();
    ASSERT_EQ(dialogs.shown().size(), 3u);
    EXPECT_EQ(dialogs.shown()[0].text, "a.jpg をごみ箱に移動しますか？");
    EXPECT_EQ(Contents(folder), Files({{"d.jpg", before.at("d.jpg")}}));
    EXPECT_EQ(Contents(Trash() + "/files"),
              Files({{"a.jpg", before.at("a.jpg")}, {"b.jpg", before.at("b.jpg")},
                     {"c.jpg", before.at("c.jpg")}}));
    const Files info = Contents(Trash() + "/info");
    ASSERT_EQ(info.size(), 3u);
    EXPECT_TRUE(info.at("b.jpg.trashinfo").contains("Path=" + EncodePath(folder) + "/b.jpg"));
    EXPECT_EQ(BatchTargetPath, folder + u'/');
    EXPECT_EQ(Shown(), folder);
    EXPECT_EQ(Listed(), QStringList({"d.jpg"}));
}

TEST_F(TrashRuns, DecliningIsAFailedDeletion) {
    PutNumbered({"a.jpg", "b.jpg"});
    Start(1);
    Open();
    const Files before = Contents(folder);
    Mode(kModeDelete);
    dialogs.AnswerAsk(BoxAnswer::No);
    dialogs.AnswerAsk(BoxAnswer::Yes);
    RunAll();
    EXPECT_EQ(dialogs.messages(), std::vector<QString>({"a.jpg の削除に失敗しました。"}));
    EXPECT_EQ(Contents(folder), Files({{"a.jpg", before.at("a.jpg")}}));
    EXPECT_EQ(Contents(Trash() + "/files"), Files({{"b.jpg", before.at("b.jpg")}}));
}

// "元に戻す(&U)" takes the last run back, a rename and then a delete run (from
// the trash), and is offered only while there is a run to take back.
TEST_F(TrashRuns, UndoTakesTheLastRunBack) {
    PutNumbered({"a.jpg", "b.jpg", "c.jpg"});
    Start(1);
    Open();
    const Files before = Contents(folder);
    EXPECT_FALSE(batch->BitBtn5->isEnabled());
    RunAll();
    EXPECT_EQ(Contents(folder), Renamed(before, {{"a.jpg", "A0000.jpg"}, {"b.jpg", "A0001.jpg"}, {"c.jpg", "A0002.jpg"}}));
    for (const int mode : {kModeRename, kModeDelete}) {
        SCOPED_TRACE(mode);
        Reopen(mode);
        ASSERT_TRUE(batch->BitBtn5->isEnabled());
        dialogs.AnswerAsk(BoxAnswer::Yes);
        Click(batch->BitBtn5);
        EXPECT_EQ(Contents(folder), before);
        EXPECT_EQ(dialogs.messages(), std::vector<QString>({"元に戻しました（3 個のファイル）。"}));
        EXPECT_EQ(Listed(), QStringList({"a.jpg", "b.jpg", "c.jpg"}));
        Reopen(kModeDelete);
        EXPECT_FALSE(batch->BitBtn5->isEnabled());
        if (mode == kModeRename) {
            for (int k = 0; k < 3; ++k) dialogs.AnswerAsk(BoxAnswer::Yes);
            RunAll();
            EXPECT_TRUE(Contents(folder).empty());
        }
    }
    EXPECT_TRUE(Contents(Trash() + "/files").empty());
}

// --- Faults the window guards against ----------------------------------------------

TEST_F(BatchRuns, FixedPartWithASlashIsRefusedBeforeAnyFileIsTouched) {
    PutNumbered({"a.jpg", "b.jpg"});
    QDir().mkpath(folder + "/sub");
    Start(1);
    Open();
    const Files before = Contents(folder);
    // A leading "." would hide every renamed picture from the file list.
    for (const QString& fixed : {QStringLiteral("../"), QStringLiteral("sub/x"), QStringLiteral(".x")}) {
        batch->Memo1->setText(fixed);
        dialogs.clear();
        RunAll();
        // The plan opens with every row "不可", says why, and cannot run.
        ASSERT_TRUE(batch->PlanWindow->isVisible());
        EXPECT_FALSE(batch->PlanWindow->Button1->isEnabled());
        EXPECT_TRUE(batch->PlanWindow->Label3->text().contains("（行 1, 2）"));
        EXPECT_TRUE(batch->PlanWindow->StringGrid1->item(0, 4)->text().contains(fixed == ".x" ? "「.」" : "「/」"));
        Click(batch->PlanWindow->Button2);
        EXPECT_TRUE(dialogs.shown().empty());
        EXPECT_EQ(Contents(folder), before);
        EXPECT_TRUE(Contents(folder + "/sub").empty());
        // Only the name is looked for above the test folder: other programs'
        // temporary files come and go there.
        EXPECT_FALSE(QFileInfo::exists(dir.path() + "/../A0000.jpg"));
        EXPECT_TRUE(batch->isVisible());
        EXPECT_TRUE(main->Edit7->text().isEmpty());
    }
}

TEST_F(BatchRuns, RunsUseTheFolderTheTableWasGatheredFrom) {
    PutNumbered({"a.jpg", "b.jpg"});
    const QString elsewhere = other.path() + "/elsewhere";
    const QString dest = other.path() + "/dest";
    QDir().mkpath(elsewhere);
    QDir().mkpath(dest);
    Put("a.jpg", "another a", elsewhere);
    Put("b.jpg", "another b", elsewhere);
    Start(1);
    Open();
    const Files before = Contents(folder);
    // The user browses to another folder with the same names while the
    // batch window is open.
    RunGuarded([&] { main->ShowFolder(elsewhere); });
    ASSERT_EQ(batch->Edit3->text(), elsewhere);
    Mode(kModeCopy);
    RunAll(dest);
    EXPECT_EQ(Contents(dest), before);
    EXPECT_EQ(Contents(elsewhere), Files({{"a.jpg", "another a"}, {"b.jpg", "another b"}}));
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(BatchRuns, TargetThatIsTheSourceStaysIntactAndTheRunGoesOn) {
    PutNumbered({"a.jpg", "b.jpg"});
    Start(1);
    Open();
    const Files before = Contents(folder);
    // Copy and move into the source folder under the same names.
    for (int mode : {kModeCopy, kModeMove}) {
        SCOPED_TRACE(mode);
        Reopen(mode);
        RunAll(folder);
        EXPECT_EQ(Contents(folder), before);
        // One message at the end for all of them, and the run went on.
        EXPECT_EQ(dialogs.messages(),
                  std::vector<QString>({"2 個のファイルは元のファイルと同じファイルのため、そのままにしました。"}));
        EXPECT_FALSE(batch->isVisible());
    }
    // New names equal to the old ones: nothing to do, nothing to say.
    Open();
    Mode(kModeRename);
    batch->Memo1->setText("");
    for (int k = 0; k < 3; ++k) batch->UpDown1->Click(-1);  // 2: no padding
    dialogs.clear();
    PutNumbered({"0.jpg", "1.jpg"});
    RunGuarded([&] { main->RefreshFileLists(); });
    Open();  // 0.jpg, 1.jpg, a.jpg, b.jpg
    const Files all = Contents(folder);
    SelectRows({0, 1});
    RunSelected();
    EXPECT_EQ(Contents(folder), all);
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(BatchRuns, FullDiskStopsTheRunWithNoPartialCopyAndTheSourceKept) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    TmpfsMount disk(QStringLiteral("64k"));
    ASSERT_TRUE(disk.ok()) << disk.why();
    Put("a.jpg", QByteArray(20 * 1024, 'a'));
    Put("b.jpg", QByteArray(200 * 1024, 'b'));
    Put("c.jpg", QByteArray(10 * 1024, 'c'));
    Start(1);
    Open();
    const Files before = Contents(folder);
    for (int mode : {kModeRenameCopy, kModeRenameMove}) {
        SCOPED_TRACE(mode);
        Reopen(mode);
        RunAll(disk.path());
        EXPECT_EQ(dialogs.messages(), std::vector<QString>({"ディスクがいっぱいです."}));
        // a.jpg went (renamed A0000.jpg); b.jpg did not fit and left nothing;
        // the run stopped before c.jpg.
        const Files copied = Contents(disk.path());
        ASSERT_EQ(copied.size(), 1u);
        EXPECT_EQ(copied.begin()->first, "A0000.jpg");
        EXPECT_EQ(copied.begin()->second, before.at("a.jpg"));
        const Files left = Contents(folder);
        EXPECT_EQ(left.at("b.jpg"), before.at("b.jpg"));  // the move's source survives
        EXPECT_EQ(left.at("c.jpg"), before.at("c.jpg"));
        EXPECT_EQ(left.count("a.jpg"), mode == kModeRenameCopy ? 1u : 0u);
        EXPECT_TRUE(batch->isVisible());
        ::unlink(EncodePath(disk.path() + "/A0000.jpg").constData());
    }
}

TEST_F(BatchRuns, MoveAcrossDisksAndBack) {
    PutNumbered({"a.jpg", "b.jpg", "c.jpg"});
    QTemporaryDir shm(QStringLiteral("/dev/shm/tamarind-batch-XXXXXX"));
    ASSERT_TRUE(shm.isValid());
    Start(1);
    Open();
    const Files before = Contents(folder);
    Mode(kModeMove);
    RunAll(shm.path());
    EXPECT_TRUE(Contents(folder).empty());
    EXPECT_EQ(Contents(shm.path()), before);
    EXPECT_EQ(Shown(), shm.path());
    // The main window now lists /dev/shm's folder: back again.
    Open();
    EXPECT_EQ(batch->SourceFolder, shm.path() + u'/');
    RunAll(folder);
    EXPECT_EQ(Contents(folder), before);
    EXPECT_TRUE(Contents(shm.path()).empty());
    EXPECT_TRUE(dialogs.shown().empty());
}

// --- Runs whose new names are names of the run's own files ----------------------

class ChainedRuns : public BatchRuns {
protected:
    // Names without a fixed part or padding: 1.jpg, 2.jpg ... from `start`.
    void PlainNumbers(int start) {
        batch->Memo1->setText("");
        batch->UpDown1->SetPosition(2);
        batch->UpDown2->SetPosition(start);
    }
    void SortDescending() {
        batch->NameDescending = false;
        RunGuarded([&] { batch->Panel3Click(); });
    }
};

// A cycle (A0002 -> A0000 while A0000 waits to become A0002) and a chain
// (1 -> 2, 2 -> 3, 3 -> 4): no question, no file lost; only a name held by a
// file outside the run is asked about.
TEST_F(ChainedRuns, SwapsAndChainsLoseNothingAndAskNothing) {
    PutNumbered({"A0000.jpg", "A0001.jpg", "A0002.jpg"});
    Start(1);
    Open();
    Files before = Contents(folder);
    SortDescending();  // A0002, A0001, A0000
    RunAll();
    EXPECT_EQ(Contents(folder), Renamed(before, {{"A0002.jpg", "A0000.jpg"}, {"A0000.jpg", "A0002.jpg"}}));
    EXPECT_TRUE(dialogs.shown().empty());
    EXPECT_EQ(BatchTargetPath, folder + "/A0002.jpg");
    EXPECT_EQ(Listed(), QStringList({"A0000.jpg", "A0001.jpg", "A0002.jpg"}));

    // The same swap back as a move into the folder itself.
    before = Contents(folder);
    Reopen(kModeRenameMove);
    SortDescending();
    RunAll(folder);
    EXPECT_EQ(Contents(folder), Renamed(before, {{"A0002.jpg", "A0000.jpg"}, {"A0000.jpg", "A0002.jpg"}}));
    // A0001.jpg "moved" onto itself.
    EXPECT_EQ(dialogs.messages(),
              std::vector<QString>({"1 個のファイルは元のファイルと同じファイルのため、そのままにしました。"}));

    // A chain, in both orders; then one whose end is a file outside the run.
    for (const QString& name : Listed()) ::unlink(EncodePath(folder + u'/' + name).constData());
    PutNumbered({"1.jpg", "2.jpg", "3.jpg"});
    for (bool descending : {false, true}) {
        before = Contents(folder);
        Reopen(kModeRename);
        PlainNumbers(descending ? 1 : 2);  // 1,2,3 -> 2,3,4 or 3,2,1 -> 1,2,3
        if (descending) SortDescending();
        RunAll();
        EXPECT_EQ(Contents(folder), descending ? Renamed(before, {{"4.jpg", "1.jpg"}, {"2.jpg", "3.jpg"}, {"3.jpg", "2.jpg"}})
                                               : Renamed(before, {{"1.jpg", "2.jpg"}, {"2.jpg", "3.jpg"}, {"3.jpg", "4.jpg"}}));
        EXPECT_TRUE(dialogs.shown().empty());
    }
    Put("4.jpg", "outside the run");
    before = Contents(folder);
    Reopen(kModeRename);
    RunGuarded([&] { batch->FileTable.pop_back(); batch->RowCount = 3; });  // 1, 2, 3 only
    PlainNumbers(2);
    dialogs.AnswerAsk(BoxAnswer::Yes);
    RunAll();
    GoOnFromPlan();
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].text, folder + "/3.jpg\n\r (名変)=> " + folder + "/4.jpg" + kOverwriteTail);
    EXPECT_EQ(Contents(folder), Files({{"2.jpg", before.at("1.jpg")}, {"3.jpg", before.at("2.jpg")},
                                       {"4.jpg", before.at("3.jpg")}}));
}

// A failure anywhere in the pass (here: the n-th rename the file layer makes)
// gives every file its old name back, and says so.
TEST_F(ChainedRuns, AFailureHalfWayLeavesEveryFileUnderItsOldName) {
    PutNumbered({"1.jpg", "2.jpg", "3.jpg", "4.jpg"});
    Put("5.jpg", "outside the run");
    Start(1);
    Open();
    RunGuarded([&] { batch->FileTable.pop_back(); batch->RowCount = 4; });
    PlainNumbers(2);
    const Files before = Contents(folder);
    // Renames: 3 files to temporary names, 5.jpg aside, 4 to final names.
    for (int failing : {2, 4, 6}) {
        SCOPED_TRACE(failing);
        auto calls = std::make_shared<int>(0);
        FileSystemCalls faulty = SystemFileCalls();
        faulty.rename2 = [=](int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
            if (++*calls == failing) {
                errno = EIO;
                return -1;
            }
            return ::renameat2(fromDir, from, toDir, to, flags);
        };
        SetFileCalls(faulty);
        dialogs.clear();
        dialogs.AnswerAsk(BoxAnswer::Yes);     // replace 5.jpg
        dialogs.AnswerAsk(BoxAnswer::Cancel);  // the error box
        RunAll();
        GoOnFromPlan();
        SetFileCalls(SystemFileCalls());
        EXPECT_EQ(Contents(folder), before);
        ASSERT_EQ(dialogs.shown().size(), 2u);
        EXPECT_TRUE(dialogs.shown()[1].text.startsWith("ファイル名変更に失敗しました。"));
        EXPECT_TRUE(dialogs.shown()[1].text.endsWith("I/O エラー (5)\n\rどのファイルも元の名前のままです。"));
        Open();
        RunGuarded([&] { batch->FileTable.pop_back(); batch->RowCount = 4; });
    }
}

}  // namespace
