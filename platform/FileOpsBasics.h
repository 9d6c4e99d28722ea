#pragma once
// The pieces the file operations (FileOps.cpp, Trash.cpp) are built from:
// outcomes, paths as bytes, flushing, renaming without replacing and telling
// the change observer. Not for use outside the file layer.

#include <QByteArray>
#include <cerrno>

#include "platform/FileOps.h"

namespace tamarind::fileops {

FileOpResult Done();
// The outcome of a failed call: TargetExists for EEXIST, else Failed with
// the system's words.
FileOpResult Failure(int error);

// Closes through the calls in force when it goes out of scope, unless the
// owner closed it already (to check the close's own result).
class FdHolder {
public:
    explicit FdHolder(int fd = -1) : fd_(fd) {}
    FdHolder(const FdHolder&) = delete;
    FdHolder& operator=(const FdHolder&) = delete;
    ~FdHolder() {
        if (fd_ >= 0) FileCalls().close(fd_);
    }
    int get() const { return fd_; }
    // Closes now; the close's errno, or 0.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return FileCalls().close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// The folder part of a path ("." for a bare name, "/" for a file in the root).
QByteArray FolderOf(const QByteArray& path);
// The last part of a path (a trailing "/" ignored).
QByteArray NameOf(const QByteArray& path);
QByteArray Join(const QByteArray& folder, const QByteArray& name);

// fsync of an open descriptor, when there is one (its failure changes no
// outcome).
void FlushFd(int fd);
// Makes a completed rename or creation durable. A failure here changes no
// outcome: the data itself is already on disk.
void FlushFolder(const QByteArray& folder);

// Tells the change observer, when there is one.
void Notify(FileChange::Kind kind, const QByteArray& path, const QByteArray& newPath = {});

// Renames without ever replacing: RENAME_NOREPLACE, or link + unlink where
// the file system lacks it. 0 or the errno (EEXIST when the target exists).
int RenameNoReplaceAt(int fromDir, const QByteArray& from, int toDir, const QByteArray& to);

}  // namespace tamarind::fileops
