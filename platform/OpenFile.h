#pragma once
// Opening a user's file without ever blocking. Every file the program opens
// goes through OpenRegularFile: a named pipe, socket or device given as a
// picture would otherwise block the open (or the first read) until some
// other process writes to it, freezing the window. The file is opened with
// O_NONBLOCK, examined with fstat, refused unless it is a regular file, and
// only then switched back to ordinary blocking reads and writes.

#include <QByteArray>
#include <QString>
#include <fcntl.h>
#include <sys/stat.h>

namespace tamarind {

// An open file descriptor, closed when the handle goes. Move-only.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { reset(); }

    bool isOpen() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Hands the descriptor over; the handle no longer closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset();

  private:
    int fd_ = -1;
};

// Why a file could not be opened: an errno value, or, when `error` is 0, that
// the path names something other than a regular file (`type` holds the
// S_IFMT bits of what it is).
struct OpenFailure {
    int error = 0;
    mode_t type = 0;
    // The reason in Japanese, e.g. "ファイルが見つかりません" or
    // "名前付きパイプです".
    QString Reason() const;
};

// Opens the regular file `name` relative to the folder `dirFd` (AT_FDCWD for
// a path) with `flags` (O_RDONLY, or O_WRONLY / O_RDWR with O_CREAT and the
// like; O_CLOEXEC and O_NOCTTY are always added), without blocking on
// anything that is not a regular file. On success `out` holds the file in
// blocking mode and `info`, when given, its fstat. On failure `out` is
// closed, `failure` (when given) says why, and errno is set (ENXIO for a
// file that is not regular).
bool TryOpenRegularFileAt(int dirFd, const QByteArray& name, int flags, FileHandle& out,
                          OpenFailure* failure = nullptr, struct stat* info = nullptr,
                          mode_t createMode = 0666);

// The same for a path (see EncodePath for names that are not UTF-8).
bool TryOpenRegularFile(const QString& path, int flags, FileHandle& out,
                        OpenFailure* failure = nullptr, struct stat* info = nullptr,
                        mode_t createMode = 0666);

// Opens the regular file at `path` or raises TamarindError
// "ファイル <path> を開けません (<reason>)".
FileHandle OpenRegularFile(const QString& path, int flags = O_RDONLY,
                           struct stat* info = nullptr, mode_t createMode = 0666);

// The message of a failed open of `path`, as OpenRegularFile raises it.
QString OpenFailureMessage(const QString& path, const OpenFailure& failure);

}  // namespace tamarind
