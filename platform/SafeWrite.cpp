#include "platform/SafeWrite.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind {
namespace {

[[noreturn]] void Fail(const QString& path, int error) {
    throw TamarindError(
        QStringLiteral("ファイル %1 に書き込めません (%2)").arg(path, SystemErrorText(error)));
}

QByteArray FolderPart(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return ".";
    if (slash == 0) return "/";
    return path.left(slash);
}

QByteArray NamePart(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t w = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        done += w;
    }
    return true;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// The temporary file: removed again unless it was renamed into place.
struct TempFile {
    QByteArray path;
    int fd = -1;
    bool placed = false;
    ~TempFile() {
        if (fd >= 0) ::close(fd);
        if (!path.isEmpty() && !placed) ::unlink(path.constData());
    }
};

}  // namespace

void WriteFileSafely(const QString& path, const QByteArray& data) {
    QByteArray target = EncodePath(path);
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Replace what the link names, not the link.
        char resolved[PATH_MAX];
        if (::realpath(target.constData(), resolved)) target = QByteArray(resolved);
    }
    const bool exists = ::stat(target.constData(), &st) == 0;
    if (!exists && errno != ENOENT) Fail(path, errno);
    if (exists) {
        if (S_ISDIR(st.st_mode)) Fail(path, EISDIR);
        if (!S_ISREG(st.st_mode)) Fail(path, EINVAL);
        if (::access(target.constData(), W_OK) != 0) Fail(path, EACCES);
    }

    const QByteArray folder = FolderPart(target);
    TempFile temp;
    QByteArray pattern = folder + "/." + NamePart(target) + ".tamarind-XXXXXX";
    temp.fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (temp.fd < 0) Fail(path, errno);
    temp.path = pattern;

    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (::fchmod(temp.fd, mode) != 0) Fail(path, errno);
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Keep the owner where we may; a plain user cannot give files away.
        if (::fchown(temp.fd, st.st_uid, st.st_gid) != 0) (void)::fchown(temp.fd, (uid_t)-1, st.st_gid);
        (void)::fchmod(temp.fd, mode);  // chown clears set-id bits
    }
    if (!WriteAll(temp.fd, data)) Fail(path, errno);
    if (::fsync(temp.fd) != 0) Fail(path, errno);
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0) Fail(path, errno);

    if (exists) {
        if (::rename(temp.path.constData(), target.constData()) != 0) Fail(path, errno);
        temp.placed = true;
    } else if (::renameat2(AT_FDCWD, temp.path.constData(), AT_FDCWD, target.constData(),
                           RENAME_NOREPLACE) == 0) {
        temp.placed = true;
    } else {
        if (errno != EINVAL && errno != ENOSYS) Fail(path, errno);
        // File systems without the flag: a new link fails on an existing name
        // too; the temporary name is then removed by TempFile.
        if (::link(temp.path.constData(), target.constData()) != 0) Fail(path, errno);
    }
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace tamarind
