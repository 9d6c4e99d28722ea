// Batch runs on a folder of 1,000 files with swaps, chains, cycles, names
// held outside the run, duplicate and impossible new names: every conflict
// shows in the plan with its flag, the run loses no file (content hashes
// before and after), and taking the run back from its journal gives every
// file its name, folder and content again, also after a run stopped by a full
// disk and after a run whose process was killed in the middle.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <map>
#include <set>

#include "ScriptedDialogs.h"
#include "TmpfsMount.h"
#include "batch/BatchRun.h"
#include "batch/Journal.h"
#include "batch/RunPlan.h"
#include "batch/Undo.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/FileOps.h"

// Readable names and hashes in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray& bytes, std::ostream* out) { *out << bytes.toHex().left(8).constData(); }

using namespace tamarind;
using namespace tamarind::test;

namespace {

using Hashes = std::map<QString, QByteArray>;

constexpr int kFiles = 1000;

// The names whose content differs between two folders' hashes (empty when
// the folders hold the same), for readable failures on 1,000 files.
std::string Differences(const Hashes& actual, const Hashes& expected) {
    std::string names;
    for (const auto& [name, hash] : actual) {
        const auto it = expected.find(name);
        if (it == expected.end()) names += " +" + name.toStdString();
        else if (it->second != hash) names += " ~" + name.toStdString();
    }
    for (const auto& [name, hash] : expected)
        if (!actual.count(name)) names += " -" + name.toStdString();
    return names;
}

QString Numbered(int k) { return QStringLiteral("p%1.jpg").arg(k, 4, 10, QLatin1Char('0')); }

class UndoRuns : public ::testing::Test {
protected:
    void SetUp() override {
        oldState_ = qgetenv("XDG_STATE_HOME");
        oldData_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_STATE_HOME", EncodePath(home.path() + "/state"));
        qputenv("XDG_DATA_HOME", EncodePath(home.path() + "/data"));
        folder = dir.path();
    }
    void TearDown() override {
        qputenv("XDG_STATE_HOME", oldState_);
        qputenv("XDG_DATA_HOME", oldData_);
    }

    // p0000.jpg ... p0999.jpg, each with content of its own.
    void PutFiles(int count = kFiles, int size = 200) {
        for (int k = 0; k < count; ++k) {
            QByteArray bytes = "picture " + QByteArray::number(k) + ' ';
            bytes += QByteArray(size - bytes.size(), char('a' + k % 26));
            WriteFileBytes(folder + u'/' + Numbered(k), bytes);
        }
    }
    // Every entry of `in` (hidden ones too, so that a leftover temporary
    // name shows) with the hash of its content.
    static Hashes HashesOf(const QString& in) {
        Hashes found;
        for (const QString& name : QDir(in).entryList(QDir::Files | QDir::Hidden | QDir::System))
            found[name] = QCryptographicHash::hash(ReadFileBytes(in + u'/' + name), QCryptographicHash::Sha1);
        return found;
    }
    // A rename of every file: 0-99 swap in pairs, 100-199 a chain ending
    // on a free name, 200-499 cycles of three, 500-509 onto files outside
    // the run, 510-519 onto themselves, the rest onto free names.
    BatchRun Renames() const {
        BatchRun run;
        run.mode = 1;
        run.sourceFolder = folder + u'/';
        for (int k = 0; k < kFiles; ++k) {
            QString to;
            if (k < 100) to = Numbered(k ^ 1);
            else if (k < 199) to = Numbered(k + 1);
            else if (k == 199) to = QStringLiteral("chain_end.jpg");
            else if (k < 500) to = Numbered(200 + (k - 200) / 3 * 3 + ((k - 200) % 3 + 1) % 3);
            else if (k < 510) to = QStringLiteral("outside_%1.jpg").arg(k - 500);
            else if (k < 520) to = Numbered(k);
            else to = QStringLiteral("n_%1.jpg").arg(k);
            run.items.push_back({Numbered(k), to});
        }
        return run;
    }
    // What the folder holds after `run` renamed every file (`kept`: the
    // items whose target the user kept).
    static Hashes AfterRenames(const Hashes& before, const BatchRun& run, const std::vector<int>& kept = {}) {
        Hashes after = before;
        for (const BatchItem& item : run.items) after.erase(item.name);
        for (int k = 0; k < int(run.items.size()); ++k) {
            const BatchItem& item = run.items[std::size_t(k)];
            const bool stays = std::find(kept.begin(), kept.end(), k) != kept.end();
            after[stays ? item.name : item.newName] = before.at(item.name);
        }
        return after;
    }
    // "名変とコピー" into the source folder: p0002 copied as p0000, then
    // p0000 as c.jpg.
    BatchRun CopyOntoALaterFile() const {
        BatchRun run;
        run.mode = 2;
        run.sourceFolder = folder + u'/';
        run.destinationFolder = folder;
        run.items = {{Numbered(2), Numbered(0)}, {Numbered(0), QStringLiteral("c.jpg")}};
        return run;
    }
    // The run with its journal, as the batch window makes it.
    void Run(const BatchRun& run, QString* error = nullptr) {
        JournalWriter journal;
        ASSERT_TRUE(journal.Begin(run));
        QString target;
        try {
            RunBatch(run, target, &journal);
        } catch (const TamarindError& e) {
            if (error) *error = e.text();
        }
    }
    // Runs `run` with its journal in a child process that is killed
    // (SIGKILL, from here) when it is about to make its `killedAt`-th rename.
    void RunAndKill(const BatchRun& run, int killedAt) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            auto calls = std::make_shared<int>(0);
            FileSystemCalls counting = SystemFileCalls();
            counting.rename2 = [=](int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
                if (++*calls == killedAt) {
                    (void)::write(pipeFds[1], "k", 1);
                    for (;;) ::pause();  // killed here
                }
                return ::renameat2(fromDir, from, toDir, to, flags);
            };
            SetFileCalls(counting);
            JournalWriter journal;
            QString target;
            if (journal.Begin(run)) RunBatch(run, target, &journal);
            ::_exit(3);
        }
        ::close(pipeFds[1]);
        char byte = 0;
        ASSERT_EQ(::read(pipeFds[0], &byte, 1), 1);
        ::close(pipeFds[0]);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    UndoResult Undo() {
        Journal journal;
        const QString path = LatestJournal();
        EXPECT_FALSE(path.isEmpty());
        EXPECT_FALSE(JournalInUse(path));
        EXPECT_TRUE(ReadJournal(path, journal));
        const UndoResult result = UndoRun(journal);
        if (result.failure.isEmpty()) MarkUndone(path);
        return result;
    }
    Hashes Trash() const { return HashesOf(home.path() + "/data/Trash/files"); }

    QTemporaryDir home;
    QTemporaryDir dir;
    QString folder;
    ScriptedDialogs dialogs;

private:
    QByteArray oldState_, oldData_;
};

TEST_F(UndoRuns, PlanFlagsEveryConflictOfTheRun) {
    PutFiles();
    for (int k = 0; k < 10; ++k) WriteFileBytes(folder + QStringLiteral("/outside_%1.jpg").arg(k), "outside");
    BatchRun run = Renames();
    // 520-529 in pairs onto one name; 530-533 names no file can have; a
    // leading space.
    for (int k = 520; k < 530; ++k) run.items[k].newName = QStringLiteral("dup_%1.jpg").arg(k / 2);
    const QString impossible[] = {QString(), QStringLiteral(".hidden.jpg"), QStringLiteral("a/b.jpg"),
                                  QString(252, u'x') + QStringLiteral(".jpg")};
    for (int k = 0; k < 4; ++k) run.items[530 + k].newName = impossible[k];
    run.items[534].newName = QStringLiteral(" lead.jpg");
    const Hashes before = HashesOf(folder);

    const RunPlan plan = MakePlan(run);
    ASSERT_EQ(plan.rows.size(), std::size_t(kFiles));
    for (int k = 0; k < kFiles; ++k) {
        unsigned expected = 0;
        if (k < 199 || (k >= 200 && k < 500)) expected = kPlanChained;
        else if (k >= 500 && k < 510) expected = kPlanExists;
        else if (k >= 510 && k < 520) expected = kPlanSame;
        else if (k >= 520 && k < 534) expected = kPlanImpossible;
        else if (k == 534) expected = kPlanRisky;
        EXPECT_EQ(plan.rows[k].flags, expected) << k << " " << plan.rows[k].reason.toStdString();
    }
    EXPECT_EQ(plan.Count(kPlanChained), 499);
    EXPECT_EQ(plan.Count(kPlanImpossible), 14);
    EXPECT_TRUE(plan.NeedsLook());
    EXPECT_FALSE(plan.CanStart());
    EXPECT_TRUE(plan.rows[521].reason.contains(QStringLiteral("行 521")));
    EXPECT_EQ(Differences(HashesOf(folder), before), "");  // planning touches nothing
}

// The copy and delete modes: a copy onto the name of a later file of the run
// is "既存" and "連鎖"; a delete run names no target.
TEST_F(UndoRuns, PlanFlagsOfCopiesAndMixedExtensions) {
    PutFiles(3);
    BatchRun run;
    run.mode = 2;
    run.sourceFolder = folder + u'/';
    run.destinationFolder = folder;
    run.items = {{Numbered(2), Numbered(0)}, {Numbered(1), Numbered(1)}, {Numbered(0), QStringLiteral("A0000.*")}};
    const RunPlan plan = MakePlan(run);
    EXPECT_EQ(plan.rows[0].flags, unsigned(kPlanExists | kPlanChained));
    EXPECT_EQ(plan.rows[1].flags, unsigned(kPlanSame));
    EXPECT_EQ(plan.rows[2].flags, unsigned(kPlanRisky));
    EXPECT_EQ(FlagsText(plan.rows[0].flags), QStringLiteral("既存・連鎖"));
    run.mode = 4;
    EXPECT_EQ(MakePlan(run).Count(kPlanExists) + MakePlan(run).Count(kPlanChained), 0);
}

// The whole rename through temporary names, two targets outside the run
// replaced after "はい": nothing lost (the replaced files wait in the trash);
// undo gives every name back, brings the replaced files back, and leaves a
// file changed since the run alone, naming it.
TEST_F(UndoRuns, RenameOfAThousandFilesLosesNothingAndUndoRestoresEveryName) {
    PutFiles();
    for (int k = 0; k < 10; ++k) WriteFileBytes(folder + QStringLiteral("/outside_%1.jpg").arg(k), "outside " + QByteArray::number(k));
    const BatchRun run = Renames();
    const Hashes before = HashesOf(folder);
    std::vector<int> kept;
    for (int k = 0; k < 10; ++k) {
        dialogs.AnswerAsk(k % 2 == 0 ? BoxAnswer::Yes : BoxAnswer::No);
        if (k % 2) kept.push_back(500 + k);
    }
    Run(run);
    EXPECT_EQ(dialogs.shown().size(), 10u);  // only the names held outside
    Hashes expected = AfterRenames(before, run, kept);
    EXPECT_EQ(Differences(HashesOf(folder), expected), "");
    Hashes replaced;
    for (int k = 0; k < 10; k += 2)
        replaced[QStringLiteral("outside_%1.jpg").arg(k)] = before.at(QStringLiteral("outside_%1.jpg").arg(k));
    EXPECT_EQ(Trash(), replaced);

    // A file the user changed after the run stays as it is.
    const QString changed = folder + QStringLiteral("/n_600.jpg");
    WriteFileBytes(changed, "edited since");
    dialogs.clear();
    const UndoResult result = Undo();
    EXPECT_TRUE(result.failure.isEmpty()) << result.failure.toStdString();
    EXPECT_EQ(result.leftAlone.size(), 1) << result.leftAlone.join(u' ').toStdString();
    EXPECT_TRUE(!result.leftAlone.isEmpty() && result.leftAlone[0].startsWith(changed));
    EXPECT_TRUE(UndoReport(result).contains(changed));
    expected = before;
    expected.erase(Numbered(600));
    expected[QStringLiteral("n_600.jpg")] = QCryptographicHash::hash("edited since", QCryptographicHash::Sha1);
    EXPECT_EQ(Differences(HashesOf(folder), expected), "");
    EXPECT_TRUE(Trash().empty());
    EXPECT_TRUE(LatestJournal().isEmpty());  // taken back: nothing more to undo
}

// A move into a small disk stops when it is full; undo brings every file
// back to its folder and name.
TEST_F(UndoRuns, UndoAfterARunStoppedByAFullDisk) {
    TmpfsMount disk(QStringLiteral("256k"));
    REQUIRE_MOUNT(disk);
    PutFiles();
    const Hashes before = HashesOf(folder);
    BatchRun run;
    run.mode = 3;
    run.sourceFolder = folder + u'/';
    run.destinationFolder = disk.path();
    for (int k = 0; k < kFiles; ++k) run.items.push_back({Numbered(k), QStringLiteral("A%1.jpg").arg(k)});
    QString error;
    Run(run, &error);
    EXPECT_EQ(error, QStringLiteral("ディスクがいっぱいです"));
    const std::size_t moved = HashesOf(disk.path()).size();
    EXPECT_GT(moved, 10u);
    EXPECT_EQ(HashesOf(folder).size() + moved, std::size_t(kFiles));

    const UndoResult result = Undo();
    EXPECT_TRUE(result.leftAlone.isEmpty()) << result.leftAlone.join(u' ').toStdString();
    EXPECT_EQ(result.restored, int(moved));
    EXPECT_EQ(Differences(HashesOf(folder), before), "");
    EXPECT_TRUE(disk.Names().isEmpty());
}

// A rename run through temporary names whose process is killed (SIGKILL) in
// the middle, once while files wait under temporary names and once while
// they take their final names: the journal it left takes the folder back to
// where it was.
TEST_F(UndoRuns, UndoAfterTheRunningProcessWasKilled) {
    BatchRun run = Renames();
    run.items.erase(run.items.begin() + 500, run.items.begin() + 510);  // no question to ask
    for (const int killedAt : {300, 800}) {
        SCOPED_TRACE(killedAt);
        PutFiles();
        const Hashes before = HashesOf(folder);
        RunAndKill(run, killedAt);
        EXPECT_NE(HashesOf(folder), before);  // killed half-way

        const UndoResult result = Undo();
        EXPECT_TRUE(result.failure.isEmpty()) << result.failure.toStdString();
        EXPECT_TRUE(result.leftAlone.isEmpty()) << result.leftAlone.join(u' ').toStdString();
        EXPECT_EQ(Differences(HashesOf(folder), before), "");
        for (const QString& name : QDir(folder).entryList(QDir::Files))
            ::unlink(EncodePath(folder + u'/' + name).constData());
    }

    // A copy run ("名変とコピー" into its own folder) killed as its first copy
    // was to take the place of a later file of the run: that file's second
    // name, the finished copy beside it and its second name in the trash go.
    PutFiles(3);
    const Hashes before = HashesOf(folder);
    dialogs.AnswerAsk(BoxAnswer::Yes);  // answered in the child
    RunAndKill(CopyOntoALaterFile(), 1);
    EXPECT_GT(HashesOf(folder).size(), before.size());
    EXPECT_EQ(Trash().size(), 1u);
    const UndoResult result = Undo();
    EXPECT_TRUE(result.leftAlone.isEmpty()) << result.leftAlone.join(u' ').toStdString();
    EXPECT_EQ(Differences(HashesOf(folder), before), "");
    EXPECT_TRUE(Trash().empty());
    EXPECT_TRUE(QDir(home.path() + "/data/Trash/info").isEmpty());
}

// "名変とコピー" into the source folder itself, the first copy onto the name
// of a later file of the run: after "はい" the later file is still copied
// with its own content (copying in run order alone would copy the first
// file's content twice and lose the later file's). Undo puts the trashed original back.
TEST_F(UndoRuns, CopyOntoALaterFileOfTheRunCopiesThatFilesOwnContent) {
    PutFiles(3);
    const Hashes before = HashesOf(folder);
    dialogs.AnswerAsk(BoxAnswer::Yes);
    Run(CopyOntoALaterFile());
    EXPECT_EQ(HashesOf(folder), Hashes({{Numbered(0), before.at(Numbered(2))},
                                        {Numbered(1), before.at(Numbered(1))},
                                        {Numbered(2), before.at(Numbered(2))},
                                        {QStringLiteral("c.jpg"), before.at(Numbered(0))}}));
    EXPECT_EQ(Trash(), Hashes({{Numbered(0), before.at(Numbered(0))}}));

    const UndoResult result = Undo();
    EXPECT_TRUE(result.leftAlone.isEmpty()) << result.leftAlone.join(u' ').toStdString();
    EXPECT_EQ(Differences(HashesOf(folder), before), "");
    // The two copies the run made are in the trash.
    std::multiset<QByteArray> trashed;
    for (const auto& [name, hash] : Trash()) trashed.insert(hash);
    EXPECT_EQ(trashed, std::multiset<QByteArray>({before.at(Numbered(0)), before.at(Numbered(2))}));
}

// Three files deleted to the trash come back from it.
TEST_F(UndoRuns, DeleteRunIsUndoneFromTheTrash) {
    PutFiles(4);
    const Hashes before = HashesOf(folder);
    BatchRun run;
    run.mode = 4;
    run.sourceFolder = folder + u'/';
    for (int k = 0; k < 3; ++k) {
        run.items.push_back({Numbered(k), {}});
        dialogs.AnswerAsk(BoxAnswer::Yes);
    }
    Run(run);
    EXPECT_EQ(HashesOf(folder).size(), 1u);
    EXPECT_EQ(Trash().size(), 3u);
    const UndoResult result = Undo();
    EXPECT_EQ(result.restored, 3);
    EXPECT_EQ(Differences(HashesOf(folder), before), "");
    EXPECT_TRUE(Trash().empty());

    // Only the last ten runs keep their journals.
    for (int k = 0; k < 12; ++k) {
        JournalWriter journal;
        ASSERT_TRUE(journal.Begin(run));
    }
    EXPECT_EQ(QDir(JournalFolder()).entryList(QDir::Files).size(), kJournalsKept);
}

}  // namespace
