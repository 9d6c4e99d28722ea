#include "platform/OpenFile.h"

#include <unistd.h>

#include <cerrno>

#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

void FileHandle::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

QString OpenFailure::Reason() const {
    if (error != 0) return SystemErrorText(error);
    switch (type) {
        case S_IFIFO: return QStringLiteral("名前付きパイプです");
        case S_IFSOCK: return QStringLiteral("ソケットです");
        case S_IFCHR:
        case S_IFBLK: return QStringLiteral("デバイスです");
        case S_IFDIR: return QStringLiteral("フォルダーです");
        default: return QStringLiteral("通常のファイルではありません");
    }
}

bool TryOpenRegularFileAt(int dirFd, const QByteArray& name, int flags, FileHandle& out,
                          OpenFailure* failure, struct stat* info, mode_t createMode) {
    out.reset();
    OpenFailure why;
    auto fail = [&](int error, mode_t type) {
        why.error = error;
        why.type = type;
        if (failure) *failure = why;
        out.reset();
        errno = error != 0 ? error : ENXIO;
        return false;
    };
    // A look before opening refuses devices without opening them at all (for
    // some, the open itself does something); the fstat after the open is the
    // check that counts, since the name may change in between.
    // With O_EXCL an existing name of any kind is the open's own EEXIST.
    struct stat st {};
    if (!(flags & O_EXCL) && ::fstatat(dirFd, name.constData(), &st, 0) == 0 &&
        !S_ISREG(st.st_mode))
        return fail(0, st.st_mode & S_IFMT);

    int fd;
    do {
        fd = ::openat(dirFd, name.constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                      createMode);
    } while (fd < 0 && errno == EINTR);
    // A pipe opened for writing without a reader refuses with ENXIO.
    if (fd < 0) {
        const int error = errno;
        if (error == ENXIO) return fail(0, S_IFIFO);
        return fail(error, 0);
    }
    out = FileHandle(fd);
    if (::fstat(fd, &st) != 0) return fail(errno, 0);
    if (!S_ISREG(st.st_mode)) return fail(0, st.st_mode & S_IFMT);
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) return fail(errno, 0);
    if (info) *info = st;
    return true;
}

bool TryOpenRegularFile(const QString& path, int flags, FileHandle& out, OpenFailure* failure,
                        struct stat* info, mode_t createMode) {
    return TryOpenRegularFileAt(AT_FDCWD, EncodePath(path), flags, out, failure, info,
                                createMode);
}

QString OpenFailureMessage(const QString& path, const OpenFailure& failure) {
    return QStringLiteral("ファイル %1 を開けません (%2)").arg(path, failure.Reason());
}

FileHandle OpenRegularFile(const QString& path, int flags, struct stat* info, mode_t createMode) {
    FileHandle file;
    OpenFailure failure;
    if (!TryOpenRegularFile(path, flags, file, &failure, info, createMode))
        throw TamarindError(OpenFailureMessage(path, failure));
    return file;
}

}  // namespace tamarind
