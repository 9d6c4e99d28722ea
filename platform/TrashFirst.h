#pragma once
// Replacing a file the user agreed to replace without destroying it: the
// old file goes to the trash first, where its volume has a usable trash, so
// that it can be taken back (from the trash, or by undoing a batch run).

#include <QString>
#include <functional>

#include "platform/FileOps.h"

namespace tamarind {

// What an operation replaces at its target: the content of the file a link
// names (copies, as `cp`), or the entry itself (renames and moves, as `mv`).
enum class Replaces { Content, Entry };

// Runs `op` onto `target`, which exists and which the user agreed to
// replace. Where the file system allows, the old file gets a second name in
// the trash first and `op` replaces it as usual (all or nothing); else it is
// moved to the trash and `op` writes a new file in its place, and goes back
// if `op` fails. Without a usable trash `op` replaces it as before. `op`
// receives the path to write and whether it may replace what is there.
// `keptAs` receives the old file's path in the trash (empty when none).
// `beforeOp`, when given, is told that path as soon as the old file is in the
// trash, before `op` runs (a journal writes it down, so that a run cut short
// there can still be taken back).
FileOpResult ReplaceKeepingOld(
    const QString& target, Replaces what,
    const std::function<FileOpResult(const QString& target, Replace replace)>& op,
    QString* keptAs = nullptr, const std::function<void(const QString& kept)>& beforeOp = {});

}  // namespace tamarind
