#pragma once
// Renaming, copying, moving, deleting and trashing the user's files. Every
// call either completes or leaves every file as it was:
// - nothing is ever replaced unless the caller passes Replace::Yes (renames
//   use RENAME_NOREPLACE, copies create their target with O_EXCL; there is no
//   check-then-act window);
// - a copy checks every write and removes its partial target on failure; a
//   replacing copy is written beside the target under a temporary name,
//   flushed to disk and renamed over it only when complete, so a failed
//   overwrite keeps the old target. A copy to a new name is not flushed (as
//   `cp` does not): the source stays untouched, so no file of the user's
//   depends on it, and the copy runs at the disk's speed;
// - a move across file systems copies, flushes, renames into place and only
//   then deletes the source;
// - source and target being one file (same device and inode, through any
//   path or hard link) writes nothing and is reported as SameFile.
// Paths are QStrings as everywhere in the program (see FileIo.h for names
// that are not UTF-8).

#include <QString>
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

// Renames `from` to `to` (the same file system). With Replace::No an existing
// `to` gives TargetExists; with Replace::Yes it is replaced. A name that
// differs from the old one only where the file system does not tell them
// apart (letter case on FAT) is renamed; `to` naming the very same entry is
// Ok with nothing done.
FileOpResult RenameFile(const QString& from, const QString& to, Replace replace);

// Copies the content of the regular file `from` to `to`. The new file has
// the permissions of a newly created file (a replaced file keeps its own).
FileOpResult CopyFile(const QString& from, const QString& to, Replace replace);

// Moves `from` to `to`, also onto another file system (where the file keeps
// its permissions and modification time).
FileOpResult MoveFile(const QString& from, const QString& to, Replace replace);

// Deletes the file `path` (not a folder).
FileOpResult DeleteFile(const QString& path);

// Moves `path` into the desktop's trash (freedesktop.org trash): the user's
// trash when the file is on its file system, else the trash at the top of
// the file's own volume. A volume without a usable trash fails; the file is
// never deleted instead. `trashedAs`, when given, receives the file's new
// path inside the trash.
FileOpResult MoveToTrash(const QString& path, QString* trashedAs = nullptr);

// True when both paths exist and name one file (same device and inode).
bool IsSameFile(const QString& a, const QString& b);

// True when `name` can only name an entry of the folder it is joined to:
// not empty, no "/", no NUL character, not "." or "..".
bool IsPlainFileName(const QString& name);

// True when something (a file, folder or even a dangling link) has this name.
bool PathExists(const QString& path);

// The system calls the operations make, replaceable by tests to inject
// faults (short writes, read errors, too many open files...). Each member
// behaves as the system call of its name: -1 with errno set on failure.
struct FileSystemCalls {
    std::function<int(const char* path, int flags, int mode)> open;
    std::function<long(int fd, void* buffer, std::size_t size)> read;
    std::function<long(int fd, const void* buffer, std::size_t size)> write;
    // Makes `out` share the content of `in` (FICLONE) on file systems that
    // can; fails with EOPNOTSUPP, EXDEV or EINVAL elsewhere.
    std::function<int(int in, int out)> clone;
    // copy_file_range between the current offsets of the two files.
    std::function<long(int in, int out, std::size_t size)> copyRange;
    std::function<int(int fd)> fsync;
    std::function<int(int fd)> close;
    std::function<int(const char* from, const char* to, unsigned flags)> rename2;
    std::function<int(const char* from, const char* to)> link;
    std::function<int(const char* path)> unlink;
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
