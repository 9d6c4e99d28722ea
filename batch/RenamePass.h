#pragma once
// Renaming the files of a run whose new names include the current names of
// other files of the same run (swaps, chains, cycles: A0002 -> A0000 while
// A0000 waits to become A0002). Such a target is never a real overwrite:
// the files whose names are wanted first move to temporary names in their
// own folder, then every file takes its final name, and a failure anywhere
// on the way gives every file its old name back.
//
// Three parts, usable on their own: RunFiles tells how each target stands to
// the run (free, the file itself, another file of the run, a file outside
// the run); DecideRenames follows the chains to decide what becomes of each
// file, asking only about names held by files that stay; and
// RenameThroughTemporaryNames carries out the renames so decided.

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "platform/FileOps.h"

namespace tamarind {

// Removes one name (unlink), whatever the file's permissions: a temporary
// name of the run's own, or a replaced file the user agreed to lose where
// the volume has no usable trash.
FileOpResult RemoveName(const QString& path);

// How a file's target stands to the files of its run.
enum class TargetKind {
    Free,     // no file has the name
    Itself,   // the name is the file's own, or another path to the same file
    InRun,    // another file of the run has the name now
    Outside,  // a file that is not part of the run has the name
};

// The files of a run as they are when it starts, by identity (device and
// inode), so that a target is known for what it is whatever its spelling.
class RunFiles {
public:
    // `sources`: the full paths of the run's files, in run order.
    explicit RunFiles(const QStringList& sources);

    // How `target`, the new path of source `index`, stands to the run. For
    // InRun, `holder` receives the index of the file that has the name.
    TargetKind Classify(int index, const QString& target, int* holder = nullptr) const;

    // Whether source `index` was there when the run started.
    bool Exists(int index) const { return entries_[std::size_t(index)].exists; }
    int Count() const { return int(entries_.size()); }

private:
    struct Entry {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        nlink_t links = 0;
        dev_t folderDev = 0;
        ino_t folderIno = 0;
        QByteArray name;
    };
    // Whether `target` (whose folder is `folder`) is the very entry `e`,
    // also where a file system folds letter case.
    static bool SameEntry(const Entry& e, const QByteArray& target, dev_t folderDev, ino_t folderIno);

    std::vector<Entry> entries_;
    std::map<std::pair<dev_t, ino_t>, int> byInode_;
};

// What a run does with one of its files.
enum class RenameFate {
    Moves,     // takes its new name, which is free or freed by the run
    Replaces,  // takes its new name in place of a file that stays there
    Stays,     // keeps its name (the user kept the file at the target, or
               // the file was missing)
    Same,      // its target is the file itself
};

// Decides each file's fate in run order. A file whose target is held by
// another file of the run depends on that one: the chain is followed to its
// end (a free name, a file that stays, or a cycle, whose files all move) and
// decided back from there. Only a target held by a file that stays (outside
// the run, or a file of the run that does not move) is put to
// `agreesToReplace(item)`. A file missing at the start stays and is told to
// `missing(item)`, in its turn.
std::vector<RenameFate> DecideRenames(const RunFiles& files, const QStringList& targets,
                                      const std::function<bool(int item)>& agreesToReplace,
                                      const std::function<void(int item)>& missing);

// One file of a run taking its new name (in the same file system).
struct RenameStep {
    QString from;
    QString to;
    // `from`'s name is the target of another step: the file moves to a
    // temporary name before any file takes its final name.
    bool vacate = false;
    // `to` is a file the user agreed to replace: it is moved aside under a
    // temporary name first and only disposed of once every step is done, so
    // that a failure can still give it back.
    bool replaces = false;
};

// The seams of the pass. Each is optional.
struct RenamePassHooks {
    // Renames a file without replacing anything; by default the file
    // layer's RenameFile(from, to, Replace::No) with the folders flushed
    // once at the end. Tests inject failures here (or in the file layer).
    std::function<FileOpResult(const QString& from, const QString& to)> rename;
    // Told before every rename the pass makes, the temporary ones and the
    // ones that undo a failed pass included (a journal writes them down).
    std::function<void(const QString& from, const QString& to)> beforeRename;
    // What becomes of a replaced file once every step is done: it waits
    // under `aside`, `original` is the name it had. Deleted by default.
    std::function<FileOpResult(const QString& aside, const QString& original)> dispose;
};

struct RenamePassResult {
    FileOpResult result;  // Ok, or the failure that made the pass undo itself
    int failedStep = -1;  // the step whose rename failed, when one did
    // Files left under a name other than the one they should have: a rename
    // back that failed too, or a replaced file that could not be disposed
    // of. Pairs of (where the file is now, the name it should have).
    std::vector<std::pair<QString, QString>> stranded;

    bool ok() const { return result.ok(); }
};

// The renames for the files that move, in run order: `items` receives the
// run index of each step.
std::vector<RenameStep> RenameSteps(const RunFiles& files, const QStringList& sources,
                                    const QStringList& targets,
                                    const std::vector<RenameFate>& fates, std::vector<int>& items);

// Carries out `steps` in order through temporary names (see the top). On a
// failure every rename made so far is taken back, newest first.
RenamePassResult RenameThroughTemporaryNames(const std::vector<RenameStep>& steps,
                                             const RenamePassHooks& hooks = {});

}  // namespace tamarind
