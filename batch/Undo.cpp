#include "batch/Undo.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <set>
#include <utility>

#include "batch/RenamePass.h"
#include "platform/FileIo.h"
#include "platform/FileOps.h"
#include "platform/Folders.h"
#include "platform/OpenFile.h"

namespace tamarind {
namespace {

const QString kChanged = QStringLiteral("処理の後に変更されています");
const QString kMissing = QStringLiteral("見つかりません");
const QString kTaken = QStringLiteral("元の場所に別のファイルがあります");
const QString kLineBreak = QStringLiteral("\n\r");
constexpr int kNamedAtMost = 20;

using Inode = std::pair<dev_t, ino_t>;

// Files that a run cut short left under the temporary names of its rename
// pass (".tamarind-….tmp") in the run's folders, found by their stamps.
class TemporaryNames {
public:
    explicit TemporaryNames(QStringList folders) : folders_(std::move(folders)) {}
    QString Find(const FileStamp& stamp) {
        for (const auto& [found, path] : All())
            if (found.dev == stamp.dev && found.ino == stamp.ino) return path;
        return {};
    }
    // Every temporary name with the stamp of its file.
    const std::vector<std::pair<FileStamp, QString>>& All() {
        if (!scanned_) Scan();
        return found_;
    }

private:
    void Scan() {
        scanned_ = true;
        for (const QString& folder : folders_) {
            const QStringList names = QDir(folder).entryList({QStringLiteral(".tamarind-*.tmp")},
                                                             QDir::Files | QDir::Hidden | QDir::System);
            for (const QString& name : names) {
                const QString path = JoinPath(folder, name);
                found_.emplace_back(FileStamp::Of(path), path);
            }
        }
    }
    QStringList folders_;
    bool scanned_ = false;
    std::vector<std::pair<FileStamp, QString>> found_;
};

// A rename back within a file system, or a move back between two.
FileOpResult MoveBack(const QString& from, const QString& to) {
    const FileStamp file = FileStamp::Of(from), folder = FileStamp::Of(FolderOf(to));
    if (file.valid && folder.valid && file.dev == folder.dev)
        return RenameFile(from, to, Replace::No, Flush::Later);
    return MoveFile(from, to, Replace::No);
}

// Whether the content of `part` is the start (or all) of `whole`'s: a copy
// the run was making when it was cut short.
bool IsStartOf(const QString& part, const QString& whole) {
    FileHandle a, b;
    struct stat sa {}, sb {};
    if (!TryOpenRegularFile(part, O_RDONLY, a, nullptr, &sa) ||
        !TryOpenRegularFile(whole, O_RDONLY, b, nullptr, &sb) || sa.st_size > sb.st_size)
        return false;
    constexpr std::size_t kChunk = 1 << 16;
    QByteArray x(kChunk, Qt::Uninitialized), y(kChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(a.get(), x.data(), kChunk);
        if (n < 0) return false;
        if (n == 0) return true;
        ssize_t got = 0;
        while (got < n) {
            const ssize_t m = ::read(b.get(), y.data() + got, std::size_t(n - got));
            if (m <= 0) return false;
            got += m;
        }
        if (std::memcmp(x.constData(), y.constData(), std::size_t(n)) != 0) return false;
    }
}

class Undoer {
public:
    explicit Undoer(const Journal& journal) : j_(journal) {
        for (const JournalStep& s : j_.steps)
            if (s.source.valid) runFiles_.insert({s.source.dev, s.source.ino});
    }
    UndoResult Run() {
        switch (j_.mode) {
            case 1:
            case 3:
            case 6: UndoMoves(); break;
            case 2:
            case 5: UndoCopies(); break;
            case 4: UndoDeletes(); break;
            default: break;
        }
        return std::move(r_);
    }

private:
    void Leave(const QString& path, const QString& why) {
        r_.leftAlone << path + QStringLiteral("（") + why + QStringLiteral("）");
    }

    // The file the step replaced at `landing`, from the trash or (a run cut
    // short) from its temporary name. A file of a rename or move run that
    // was replaced has gone back by its own step already; a copy run leaves
    // its files in place, so one of them that a copy replaced comes back
    // here like any other.
    void RestoreReplaced(const JournalStep& s, const QString& landing, TemporaryNames* temps) {
        if (!s.replaced.valid) return;
        // Never replaced (the run stopped just before): the file is where it
        // was, and the second name the run gave it in the trash goes.
        if (FileStamp::Of(landing).Matches(s.replaced)) {
            const FileStamp inTrash = FileStamp::Of(s.kept);
            if (inTrash.valid && inTrash.dev == s.replaced.dev && inTrash.ino == s.replaced.ino)
                ForgetTrashEntry(s.kept);
            return;
        }
        if (temps && runFiles_.count({s.replaced.dev, s.replaced.ino})) return;
        const bool inTrash = !s.kept.isEmpty();
        const QString where = inTrash ? s.kept : temps ? temps->Find(s.replaced) : QString();
        if (where.isEmpty()) return;  // not replaced, or gone with no trash as the user agreed
        if (!FileStamp::Of(where).Matches(s.replaced)) return Leave(where, kChanged);
        const FileOpResult back = inTrash ? RestoreFromTrash(where, landing) : MoveBack(where, landing);
        if (back.ok()) {
            ++r_.restored;
        } else {
            Leave(where, back.targetExists() ? kTaken : back.text);
        }
    }

    void TrashCopy(const QString& path) {
        const FileOpResult gone = MoveToTrash(path);
        if (gone.ok()) {
            ++r_.restored;
        } else {
            Leave(path, gone.text);
        }
    }

    // Renames and moves: every file found where the run left it goes back
    // at once, through temporary names (the run may have swapped names).
    void UndoMoves() {
        QStringList folders{WithoutTrailingSeparator(j_.sourceFolder)};
        if (!j_.destinationFolder.isEmpty()) folders << j_.destinationFolder;
        TemporaryNames temps(folders);
        QStringList now, back;
        for (const JournalStep& s : j_.steps) {
            if (s.skipped || !s.source.valid) continue;
            const FileStamp atTo = FileStamp::Of(s.to);
            if (FileStamp::Of(s.from).Matches(s.source)) {
                // Never moved, or back already. A move between disks cut
                // short after its copy was in place leaves that copy.
                if (!s.done && atTo.dev != s.source.dev && atTo.Matches(s.source)) TrashCopy(s.to);
                continue;
            }
            const FileStamp expected = s.resultStamp.valid ? s.resultStamp : s.source;
            QString where = atTo.Matches(expected) ? s.to : temps.Find(s.source);
            if (!where.isEmpty()) {
                now << where;
                back << s.from;
            } else if (atTo.valid && atTo.dev == expected.dev && atTo.ino == expected.ino) {
                Leave(s.to, kChanged);
            } else if (s.done) {
                Leave(s.to, kMissing);
            }
        }
        if (!now.isEmpty()) {
            const RunFiles files(now);
            const std::vector<RenameFate> fates = DecideRenames(
                files, back, [](int) { return false; }, [&](int k) { Leave(now[k], kMissing); });
            for (int k = 0; k < files.Count(); ++k)
                if (fates[std::size_t(k)] == RenameFate::Stays && files.Exists(k)) Leave(now[k], kTaken);
            std::vector<int> items;
            const std::vector<RenameStep> steps = RenameSteps(files, now, back, fates, items);
            RenamePassHooks hooks;
            hooks.rename = MoveBack;
            const RenamePassResult done = RenameThroughTemporaryNames(steps, hooks);
            if (!done.ok()) {
                r_.failure = done.result.text;
                return;
            }
            r_.restored += int(steps.size());
        }
        for (const JournalStep& s : j_.steps) RestoreReplaced(s, s.to, &temps);
    }

    // Copies: each copy the run made goes to the trash, newest first, and
    // the file it replaced comes back.
    void UndoCopies() {
        for (auto it = j_.steps.rbegin(); it != j_.steps.rend(); ++it) {
            const JournalStep& s = *it;
            if (s.skipped || s.to.isEmpty()) continue;
            const QString landing = s.done ? s.result : s.to;
            const FileStamp now = FileStamp::Of(landing);
            if (s.done && now.valid && !now.Matches(s.resultStamp)) {
                Leave(landing, kChanged);
                continue;
            }
            // Without its record, a copy cut short: a file that was not there
            // before and holds the start of the source.
            if (s.done ? now.valid
                       : now.valid && !now.Matches(s.replaced) && IsStartOf(landing, s.from)) {
                const int before = r_.restored;
                TrashCopy(landing);
                if (r_.restored == before) continue;
            }
            RestoreReplaced(s, landing, nullptr);
        }
        RemoveLeftSecondNames();
    }

    // A copy run cut short leaves temporary names behind: second names it
    // gave files of the run to copy them with their first content (the files
    // keep their own names), and the unfinished copy of the file it was
    // copying (a temporary file beside the target holding the start of the
    // source). Both go; nothing else is touched.
    void RemoveLeftSecondNames() {
        const JournalStep* cut = nullptr;
        for (const JournalStep& s : j_.steps)
            if (!s.done && !s.skipped && !s.to.isEmpty()) {
                cut = &s;
                break;
            }
        if (!cut) return;
        QStringList folders{WithoutTrailingSeparator(j_.sourceFolder)};
        if (!j_.destinationFolder.isEmpty()) folders << j_.destinationFolder;
        TemporaryNames temps(folders);
        for (const auto& [stamp, path] : temps.All()) {
            bool secondName = false;
            for (const JournalStep& s : j_.steps) {
                const FileStamp atFrom = FileStamp::Of(s.from);
                if (atFrom.valid && atFrom.dev == stamp.dev && atFrom.ino == stamp.ino &&
                    atFrom.ino == s.source.ino && atFrom.dev == s.source.dev) {
                    secondName = true;
                    break;
                }
            }
            const bool unfinished = !secondName && FolderOf(path) == FolderOf(cut->to) &&
                                    !runFiles_.count({stamp.dev, stamp.ino}) && IsStartOf(path, cut->from);
            if (secondName || unfinished) FileCalls().unlink(AT_FDCWD, EncodePath(path).constData());
        }
    }

    // Deletes: each file comes back from the trash.
    void UndoDeletes() {
        for (auto it = j_.steps.rbegin(); it != j_.steps.rend(); ++it) {
            const JournalStep& s = *it;
            if (s.trashed.isEmpty()) continue;
            if (!FileStamp::Of(s.trashed).Matches(s.source)) {
                Leave(s.trashed, kChanged);
                continue;
            }
            const FileOpResult back = RestoreFromTrash(s.trashed, s.from);
            if (back.ok()) {
                ++r_.restored;
            } else {
                Leave(s.from, back.targetExists() ? kTaken : back.text);
            }
        }
    }

    const Journal& j_;
    std::set<Inode> runFiles_;
    UndoResult r_;
};

}  // namespace

UndoResult UndoRun(const Journal& journal) { return Undoer(journal).Run(); }

QString UndoQuestion(const Journal& journal) {
    return QStringLiteral("最後の一括処理を元に戻しますか？") + kLineBreak + ModeCaption(journal.mode) +
           QStringLiteral("（%1 個のファイル）").arg(journal.steps.size()) + kLineBreak +
           journal.started.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + kLineBreak +
           WithoutTrailingSeparator(journal.sourceFolder);
}

QString UndoReport(const UndoResult& result) {
    if (!result.failure.isEmpty())
        return QStringLiteral("元に戻せませんでした。どのファイルもそのままです。") + kLineBreak + result.failure;
    QString text = QStringLiteral("元に戻しました（%1 個のファイル）。").arg(result.restored);
    if (result.leftAlone.isEmpty()) return text;
    text += kLineBreak + QStringLiteral("次のファイルはそのままにしました：");
    for (qsizetype k = 0; k < result.leftAlone.size() && k < kNamedAtMost; ++k)
        text += kLineBreak + result.leftAlone[k];
    if (result.leftAlone.size() > kNamedAtMost)
        text += kLineBreak + QStringLiteral("ほか %1 個").arg(result.leftAlone.size() - kNamedAtMost);
    return text;
}

}  // namespace tamarind
