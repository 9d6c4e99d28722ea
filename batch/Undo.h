#pragma once
// Taking the last batch run back from its journal: renamed and moved files
// get their old names and folders, copies made by the run go to the trash,
// files deleted by the run come back from the trash, and files the run
// replaced come back from the trash. Each file is first checked to be the
// one the run left (device, inode, size, modification time); a file changed
// since is left alone and named. Works also from the journal of a run that
// never finished (the program was killed or the machine went down).

#include <QString>
#include <QStringList>

#include "batch/Journal.h"

namespace tamarind {

struct UndoResult {
    int restored = 0;       // files put back as they were
    QStringList leftAlone;  // "path（why）" of each file left as it is
    QString failure;        // set when the renames back could not be done at all
};

UndoResult UndoRun(const Journal& journal);

// The question before an undo, naming the run.
QString UndoQuestion(const Journal& journal);
// The closing message of an undo.
QString UndoReport(const UndoResult& result);

}  // namespace tamarind
