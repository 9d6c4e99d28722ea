#pragma once
// Writing a whole file so that a failure never costs the user the file that
// was there: the new contents go to a temporary file beside the target,
// reach the disk, and only then take the target's name.

#include <QByteArray>
#include <QString>

namespace tamarind {

// Writes `data` as the file `path`.
// - The bytes go to a new temporary file in the target's folder; every write
//   is checked, the file is flushed to disk (fsync) and closed, and then
//   renamed over the target. The folder is flushed too.
// - An existing target keeps its permission bits (and owner where allowed);
//   a new file gets the usual permissions (0666 less the umask).
// - A target that is a symbolic link: the file it points to is replaced and
//   the link stays, as with a copy; a link in a shared sticky folder made by
//   another user is not followed (FindContentTarget in FileOps.h).
// - A target that exists but may not be written, or is not a regular file,
//   is refused before anything is written. A target that did not exist is
//   never replaced by one that appeared meanwhile (the final rename refuses
//   to replace).
// - The temporary name is short, so any legal name can be saved.
// On any failure the target is exactly as before, no temporary file is
// left, and TamarindError("ファイル <path> に書き込めません (<reason>)") is raised.
void WriteFileSafely(const QString& path, const QByteArray& data);

}  // namespace tamarind
