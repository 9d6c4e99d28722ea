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
#include "platform/FileOps.h"
#include "platform/OpenFile.h"

namespace tamarind {
namespace {

[[noreturn]] void FailWith(const QString& path, const QString& reason) {
    throw TamarindError(QStringLiteral("ファイル %1 に書き込めません (%2)").arg(path, reason));
}

[[noreturn]] void Fail(const QString& path, int error) { FailWith(path, SystemErrorText(error)); }

QByteArray FolderPart(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return ".";
    if (slash == 0) return "/";
    return path.left(slash);
}

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
    // A link is written through to the file it names (the link stays); see
    // FindContentTarget for the links that are never followed.
    QByteArray target;
    bool exists = false;
    struct stat st {};
    FileOpResult refused;
    if (!FindContentTarget(EncodePath(path), target, exists, st, refused)) {
        // Not a regular file: its kind alone says why ("名前付きパイプです").
        if (refused.error == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            FailWith(path, OpenFailure{0, mode_t(st.st_mode & S_IFMT)}.Reason());
        FailWith(path, refused.text);
    }
    if (exists && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0) Fail(path, errno);

    // A short temporary name, so that a name of the longest legal length
    // can still be saved.
    const QByteArray folder = FolderPart(target);
    TempFile temp;
    for (int attempt = 0; temp.fd < 0; ++attempt) {
        temp.path = TemporaryNameIn(folder);
        // A new file gets 0666 less the umask from the kernel itself.
        temp.fd = ::open(temp.path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (temp.fd < 0) {
            const int error = errno;
            temp.path.clear();
            if (error != EEXIST || attempt >= 100) Fail(path, error);
        }
    }

    if (exists) {
        const mode_t mode = st.st_mode & 07777;
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            // Keep the owner where we may; a plain user cannot give files away.
            if (::fchown(temp.fd, st.st_uid, st.st_gid) != 0) (void)::fchown(temp.fd, (uid_t)-1, st.st_gid);
        }
        if (::fchmod(temp.fd, mode) != 0) Fail(path, errno);  // after chown, which clears set-id bits
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
    NotifyFileChange({FileChange::Written, DecodePath(target), {}});
}

}  // namespace tamarind
