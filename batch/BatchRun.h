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

// Runs the items in order. `targetPath` follows the file handled last (for a
// delete run: the source folder). Existing targets are asked about; rename
// and delete failures are reported and the run goes on; a copy or move that
// fails raises TamarindError with the reason and ends the run at that file.
// A rename run (or a renaming move into the source folder) whose new names
// include names of other files of the run goes through temporary names
// (RenamePass.h): nothing is asked for those, and it is done all or none.
// Files that are their own targets stay as they are and are counted in one
// message at the end.
void RunBatch(const BatchRun& run, QString& targetPath);

}  // namespace tamarind
