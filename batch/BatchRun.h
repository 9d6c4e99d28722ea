#pragma once
// One run of the batch window: each listed file renamed, copied, moved or
// moved to the trash in turn, with the overwrite question before a target
// that exists, through the file-operation layer (nothing is ever replaced
// without the user's yes, and no failure loses a file).

#include <QString>
#include <vector>

namespace tamarind {

struct BatchItem {
    QString name;     // the file's name in the source folder
    QString newName;  // its sequential name (used by the renaming modes)
};

struct BatchRun {
    int mode = 1;               // 1..6 as the window's modes
    QString sourceFolder;       // with a trailing "/"
    QString destinationFolder;  // copy and move modes
    std::vector<BatchItem> items;
};

// The caption of a mode's radio button ("名前の変更" ...).
QString ModeCaption(int mode);

// The source path of `item`, and where it goes: the new path for the
// renaming, copying and moving modes, empty for a delete run.
QString SourceOf(const BatchRun& run, const BatchItem& item);
QString TargetOf(const BatchRun& run, const BatchItem& item);

// Told what a run did, file by file, so that the run can be taken back later
// (the run's journal). Items are indexes into BatchRun::items.
class RunRecorder {
public:
    virtual ~RunRecorder() = default;
    // The item was done: its file (for a copy, the new file) is at `path`.
    virtual void Done(int item, const QString& path) = 0;
    // The user kept the file at the item's target: nothing was done.
    virtual void Skipped(int item) = 0;
    // The file at the item's target, which the item replaces, is in the
    // trash at `trashed` (told before the replacement: should it then fail,
    // the file is taken out of the trash again).
    virtual void Kept(int item, const QString& trashed) = 0;
    // The item's own file went to the trash, to `trashed` (a delete run).
    virtual void Trashed(int item, const QString& trashed) = 0;
};

// Runs the items in order. `targetPath` follows the file handled last (for a
// delete run: the source folder). Existing targets are asked about; rename
// and delete failures are reported and the run goes on; a copy or move that
// fails raises TamarindError with the reason and ends the run at that file.
// A rename run (or a renaming move into the source folder) whose new names
// include names of other files of the run goes through temporary names
// (RenamePass.h): nothing is asked for those, and it is done all or none.
// Files that are their own targets stay as they are and are counted in one
// message at the end. A file replaced after the user's yes goes to the
// trash first where its volume has one. In the copy modes, a file of the run
// whose name an earlier copy takes is copied with its content as it was when
// the run started. `recorder`, when given, is told every step.
void RunBatch(const BatchRun& run, QString& targetPath, RunRecorder* recorder = nullptr);

}  // namespace tamarind
