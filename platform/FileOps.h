#pragma once
// Renaming, copying, moving, deleting and trashing the user's files. Every
// call either completes or leaves every file as it was:
// - nothing is ever replaced unless the caller passes Replace::Yes (renames
//   use RENAME_NOREPLACE, copies create their target with O_EXCL; there is no
//   check-then-act window);
// - only a regular file is ever replaced (and, by a rename or move, a
//   symbolic link): a folder, pipe, socket or device under the target's name
//   is refused before anything is written;
// - a copy (like a save, see SafeWrite.h) writes through a symbolic link to
//   the file it names, as `cp` does; a rename or move replaces the link
//   itself, as `mv` does. A link the kernel's protected-symlinks rule would
//   not let us follow is refused (see FindContentTarget);
// - a copy checks every write and removes its partial target on failure; a
//   replacing copy is written beside the target under a temporary name,
//   flushed to disk and renamed over it only when complete, so a failed
//   overwrite keeps the old target. A copy to a new name is not flushed (as
//   `cp` does not): the source stays untouched, so no file of the user's
//   depends on it, and the copy runs at the disk's speed;
// - a new copy gets the source's permission bits less the umask (as `cp`
//   gives them), so a private picture stays private; holes of a sparse
//   source stay holes;
// - a move across file systems copies, flushes, renames into place and only
//   then deletes the source (a symbolic link moves as a link);
// - source and target being one file (same device and inode, through any
//   path or hard link) writes nothing and is reported as SameFile.
// Paths are QStrings as everywhere in the program (see FileIo.h for names
// that are not UTF-8).

#include <QByteArray>
#include <QString>
#include <sys/stat.h>

#include <cstdint>
#include <functional>

namespace tamarind {

enum class FileOpStatus {
    Ok,
    TargetExists,  // the target exists and Replace::No was asked: nothing changed
    SameFile,      // source and target are one file: nothing changed
    Failed,        // a system call failed: `error` and `text` say why
};

struct FileOpResult {
    FileOpStatus status = FileOpStatus::Ok;
    int error = 0;  // errno of the failure (EEXIST for TargetExists)
    QString text;   // the user's words for the outcome; empty when Ok

    bool ok() const { return status == FileOpStatus::Ok; }
    bool targetExists() const { return status == FileOpStatus::TargetExists; }
    bool sameFile() const { return status == FileOpStatus::SameFile; }
};

enum class Replace { No, Yes };

// Texts of the two outcomes that are no system error.
inline const QString kTargetExistsText = QStringLiteral("同じ名前のファイルがすでに存在します");
inline const QString kSameFileText = QStringLiteral("元のファイルと同じファイルです");
// A symbolic link in a shared sticky folder (such as /tmp) made by someone
// who is neither the user nor the folder's owner.
inline const QString kForeignLinkText =
    QStringLiteral("共有フォルダーにある他のユーザーのリンクはたどれません");

// Whether a rename makes its folder durable at once (fsync of the folder).
// A run of renames flushes once at its end instead (FlushFolderOf).
enum class Flush { Now, Later };

// Renames `from` to `to` (the same file system). With Replace::No an existing
// `to` gives TargetExists; with Replace::Yes it is replaced. A name that
// differs from the old one only where the file system does not tell them
// apart (letter case on FAT) is renamed; `to` naming the very same entry is
// Ok with nothing done.
FileOpResult RenameFile(const QString& from, const QString& to, Replace replace,
                        Flush flush = Flush::Now);

// Makes completed renames in the folder of `path` durable.
void FlushFolderOf(const QString& path);

// Copies the content of the regular file `from` to `to`. A new file gets
// the source's permission bits less the umask; a replaced file keeps its own.
FileOpResult CopyFile(const QString& from, const QString& to, Replace replace);

// Moves `from` to `to`, also onto another file system (where the file keeps
// its permissions and modification time).
FileOpResult MoveFile(const QString& from, const QString& to, Replace replace);

// Deletes the file `path` (not a folder). As a file is only deleted when it
// could also be changed, the file is first opened for reading and writing:
// a file the user may not write (shown "R") is refused and stays.
FileOpResult DeleteFile(const QString& path);

// Moves `path` into the desktop's trash (freedesktop.org trash): the user's
// trash when the file is on its file system, else the trash at the top of
// the file's own volume: `$top/.Trash/$uid` when the administrator made
// `$top/.Trash` (a real folder with the sticky bit), else `$top/.Trash-$uid`.
// Every level is opened without following links and the user's own folder
// must belong to the user and be private (0700); a volume without such a
// trash fails and the file is never deleted instead. A name too long for
// its record gets a shorter one in the trash (the record keeps the full
// path). `trashedAs`, when given, receives the file's new path inside the
// trash. `recordAs`, when given, is the name (in the same folder) the trash
// records as the file's place: the name it had before it was moved aside.
FileOpResult MoveToTrash(const QString& path, QString* trashedAs = nullptr,
                         const QString& recordAs = {});

// Gives `path` a second name in the trash (a hard link, with its record),
// the file staying where it is: once something replaces the file at `path`,
// its old content is in the trash as if it had been moved there. Fails where
// the file system has no hard links or the volume no usable trash.
FileOpResult LinkIntoTrash(const QString& path, QString* trashedAs);

// Takes the file `trashed` (a path in a trash's "files" folder) back to
// `original`, never replacing anything there, and removes its record.
FileOpResult RestoreFromTrash(const QString& trashed, const QString& original);

// Removes a second name that LinkIntoTrash gave, with its record; a file
// whose last name is in the trash stays there.
FileOpResult ForgetTrashEntry(const QString& trashed);

// Where writing content to `path` lands, for copies and saves: `path`
// itself, or for a symbolic link the file at the end of its chain (the link
// stays). False, with the reason in `failure`, for
// - a link in a sticky folder anyone may write (such as /tmp) that belongs
//   to neither the user nor the folder's owner: the kernel's
//   protected-symlinks rule would not follow it, and the program, which
//   follows links itself here, does not either (kForeignLinkText);
// - a link that leads nowhere or round in a loop;
// - an existing file that is not a regular file (a folder, pipe, device).
// On success `landing` is the path to write and `exists` whether a file is
// there now (with its stat in `info`).
bool FindContentTarget(const QByteArray& path, QByteArray& landing, bool& exists,
                       struct stat& info, FileOpResult& failure);

// The reason given for a target that is not a regular file, e.g.
// "上書きできません (名前付きパイプです)".
QString NotRegularTargetText(mode_t type);

// The id the kernel checks file access with (the file-system user id).
uid_t UserId();

// A unique short name for a temporary entry in `folder` (not created), such
// as "folder/.tamarind-k3x9q1.tmp": short enough beside any legal name.
QByteArray TemporaryNameIn(const QByteArray& folder);

// True when both paths exist and name one file (same device and inode).
bool IsSameFile(const QString& a, const QString& b);

// True when `name` can only name an entry of the folder it is joined to:
// not empty, no "/", no NUL character, not "." or "..".
bool IsPlainFileName(const QString& name);

// True when something (a file, folder or even a dangling link) has this name.
bool PathExists(const QString& path);

// What the file layer changed, told after each completed operation to
// whoever keeps data about files by their path (a thumbnail cache).
struct FileChange {
    enum Kind {
        Renamed,  // `path` is now `newPath` (renames and moves)
        Removed,  // `path` is gone (deleted or moved to the trash)
        Written,  // `path` has new content (copies and saves)
    } kind;
    QString path;
    QString newPath;
};
// Installs the one observer (an empty function removes it).
void SetFileChangeObserver(std::function<void(const FileChange&)> observer);
// Tells the observer; used by the file operations and the safe write.
void NotifyFileChange(const FileChange& change);

// The system calls the operations make, replaceable by tests to inject
// faults (short writes, read errors, too many open files...). Each member
// behaves as the system call of its name: -1 with errno set on failure.
// Names are taken relative to a folder's descriptor (AT_FDCWD for paths).
struct FileSystemCalls {
    std::function<int(int dir, const char* path, int flags, int mode)> open;
    std::function<long(int fd, void* buffer, std::size_t size)> read;
    std::function<long(int fd, const void* buffer, std::size_t size)> write;
    // Makes `out` share the content of `in` (FICLONE) on file systems that
    // can; fails with EOPNOTSUPP, EXDEV or EINVAL elsewhere.
    std::function<int(int in, int out)> clone;
    // copy_file_range between the current offsets of the two files.
    std::function<long(int in, int out, std::size_t size)> copyRange;
    std::function<int(int fd)> fsync;
    std::function<int(int fd)> close;
    // renameat2.
    std::function<int(int fromDir, const char* from, int toDir, const char* to, unsigned flags)>
        rename2;
    std::function<int(int fromDir, const char* from, int toDir, const char* to)> link;
    std::function<int(int dir, const char* path)> unlink;
};

// The real calls.
FileSystemCalls SystemFileCalls();
// The calls in force; tests install their own and restore the real ones.
const FileSystemCalls& FileCalls();
void SetFileCalls(const FileSystemCalls& calls);

// Size of the blocks a copy reads and writes when the kernel cannot copy
// the range itself.
inline constexpr std::size_t kCopyBlockSize = std::size_t(1) << 20;

}  // namespace tamarind
