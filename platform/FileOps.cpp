#include "platform/FileOps.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/fsuid.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>

#include "platform/ErrorText.h"
#include "platform/FileIo.h"
#include "platform/FileOpsBasics.h"
#include "platform/OpenFile.h"

namespace tamarind {

using namespace fileops;

namespace {

FileSystemCalls& CallsInForce() {
    static FileSystemCalls calls = SystemFileCalls();
    return calls;
}

FileOpResult SameFile() { return {FileOpStatus::SameFile, 0, kSameFileText}; }

FileOpResult NotRegularTarget(const struct stat& st) {
    return {FileOpStatus::Failed, 0, NotRegularTargetText(st.st_mode & S_IFMT)};
}

// A copy's source is opened with O_NONBLOCK, so that a named pipe or device
// does not block the open; what is not a regular file is refused with its
// kind, and a regular file goes back to blocking reads.
constexpr int kSourceFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

FileOpResult NotRegular(const struct stat& st) {
    return {FileOpStatus::Failed, 0, OpenFailure{0, mode_t(st.st_mode & S_IFMT)}.Reason()};
}

int BlockingAgain(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? 0 : errno;
}

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// How the target stands to the source before a rename or move.
enum class Relation { Distinct, SameEntry, LetterCaseAlias, SameFile };

// `sourceLink` is the source's own entry (lstat), `sourceFile` what it
// names (stat).
Relation Relate(const QByteArray& from, const struct stat& sourceLink, const QByteArray& to) {
    struct stat targetLink {}, targetFile {}, sourceFile {};
    if (::lstat(to.constData(), &targetLink) != 0) return Relation::Distinct;
    if (SameInode(sourceLink, targetLink)) {
        struct stat fromFolder {}, toFolder {};
        const bool sameFolder = ::stat(FolderOf(from).constData(), &fromFolder) == 0 &&
                                ::stat(FolderOf(to).constData(), &toFolder) == 0 &&
                                SameInode(fromFolder, toFolder);
        if (sameFolder && NameOf(from) == NameOf(to)) return Relation::SameEntry;
        // One entry reached under two spellings: a file system that folds
        // letter case. A second hard link would count two links.
        if (sameFolder && sourceLink.st_nlink == 1 && !S_ISDIR(sourceLink.st_mode))
            return Relation::LetterCaseAlias;
        return Relation::SameFile;
    }
    if (::stat(from.constData(), &sourceFile) == 0 && ::stat(to.constData(), &targetFile) == 0 &&
        SameInode(sourceFile, targetFile))
        return Relation::SameFile;
    return Relation::Distinct;
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    return RenameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

int RenameReplacing(const QByteArray& from, const QByteArray& to) {
    return FileCalls().rename2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 0) == 0 ? 0
                                                                                            : errno;
}

// An existing name that a rename or move would replace: a regular file, or
// a symbolic link (the link itself goes, not what it names).
bool EntryReplaceable(const struct stat& target) {
    return S_ISREG(target.st_mode) || S_ISLNK(target.st_mode);
}

// Copies `length` bytes (all to the end of the file when negative) from the
// current offset of `in` to that of `out`: the kernel copies the range
// itself where it can, otherwise blocks are read and every write is checked
// (a write that takes nothing means the disk is full). 0 or the errno.
int CopyBytes(int in, int out, off_t length) {
    const FileSystemCalls& calls = FileCalls();
    constexpr off_t kKernelChunk = off_t(1) << 30;
    bool kernelCopy = true;
    std::unique_ptr<char[]> buffer;
    off_t left = length;
    while (left != 0) {
        if (kernelCopy) {
            const long n = calls.copyRange(in, out, std::size_t(left < 0 ? kKernelChunk : std::min(left, kKernelChunk)));
            if (n > 0) {
                if (left > 0) left -= std::min<off_t>(n, left);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EXDEV && errno != EINVAL && errno != ENOSYS &&
                errno != EOPNOTSUPP && errno != EBADF)
                return errno;
            // Not possible here, or reported the end: reading confirms the end
            // (some file systems report 0 for content they generate).
            kernelCopy = false;
            continue;
        }
        if (!buffer) buffer.reset(new char[kCopyBlockSize]);
        const std::size_t want =
            left < 0 ? kCopyBlockSize : std::size_t(std::min<off_t>(left, off_t(kCopyBlockSize)));
        const long got = calls.read(in, buffer.get(), want);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;  // the end, or the file shrank meanwhile
        long done = 0;
        while (done < got) {
            const long wrote = calls.write(out, buffer.get() + done, std::size_t(got - done));
            if (wrote < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (wrote == 0) return ENOSPC;
            done += wrote;
        }
        if (left > 0) left -= got;
    }
    return 0;
}

// Copies the whole content of `in` into the new, empty file `out`. Only the
// data is copied: the holes of a sparse file stay holes in the copy (as with
// `cp`), so a mostly empty 1 GB file does not take 1 GB again. 0 or the errno.
int CopyContent(int in, int out) {
    // A file system that shares blocks between files copies at once; the
    // target is new and empty, so this happens before anything is written.
    if (FileCalls().clone(in, out) == 0) return 0;
    off_t end = 0;
    for (off_t pos = 0;;) {
        const off_t data = ::lseek(in, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break;  // nothing but a hole from here on
            if (pos > 0) return errno;
            // No way to find holes here: copy everything.
            if (::lseek(in, 0, SEEK_SET) < 0) return errno;
            return CopyBytes(in, out, -1);
        }
        const off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0) return errno;
        if (::lseek(in, data, SEEK_SET) < 0 || ::lseek(out, data, SEEK_SET) < 0) return errno;
        if (const int error = CopyBytes(in, out, hole - data)) return error;
        end = pos = hole;
    }
    // A file that ends in a hole: the copy gets the same length.
    struct stat now {};
    if (::fstat(in, &now) == 0 && now.st_size > end && ::ftruncate(out, now.st_size) != 0)
        return errno;
    return 0;
}

// Creates a new empty file with a unique short hidden name in `folder`.
// Returns the descriptor (or -1 with errno) and the path in `tempPath`.
int CreateTempFile(const QByteArray& folder, QByteArray& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = TemporaryNameIn(folder);
        const int fd = FileCalls().open(AT_FDCWD, tempPath.constData(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the open file the owner (where allowed) and permission bits of `of`.
void TakeOwnerAndMode(int fd, const struct stat& of) {
    if (of.st_uid != ::geteuid() || of.st_gid != ::getegid()) {
        // A plain user cannot give files away; the group may still be kept.
        if (::fchown(fd, of.st_uid, of.st_gid) != 0) (void)::fchown(fd, uid_t(-1), of.st_gid);
    }
    ::fchmod(fd, of.st_mode & 07777);  // after chown, which clears set-id bits
}

// Writes the content of `in` into a new file beside `target` and flushes it.
// The new file takes the owner and permissions of `attributes` (the replaced
// target, or a moved source), and with `keepTimes` also its times (a move).
// The complete temporary file's path, or an errno with nothing left behind.
int WriteBeside(int in, const QByteArray& target, const struct stat& attributes, bool keepTimes,
                QByteArray& tempPath) {
    FdHolder out(CreateTempFile(FolderOf(target), tempPath));
    if (out.get() < 0) return errno;
    int error = CopyContent(in, out.get());
    if (!error) {
        TakeOwnerAndMode(out.get(), attributes);
        if (keepTimes) {
            const struct timespec times[2] = {attributes.st_atim, attributes.st_mtim};
            ::futimens(out.get(), times);
        }
        if (FileCalls().fsync(out.get()) != 0) error = errno;
    }
    const int closeError = out.Close();
    if (!error) error = closeError;
    if (error) FileCalls().unlink(AT_FDCWD, tempPath.constData());
    return error;
}

// Moves the symbolic link `from` onto another file system as a link with
// the same text (as `mv` does), then removes the original.
FileOpResult MoveLinkAcross(const QByteArray& from, const QByteArray& to, Replace replace) {
    char text[PATH_MAX];
    const ssize_t n = ::readlink(from.constData(), text, sizeof text);
    if (n < 0) return Failure(errno);
    if (std::size_t(n) >= sizeof text) return Failure(ENAMETOOLONG);
    QByteArray temp;
    for (int attempt = 0;; ++attempt) {
        temp = TemporaryNameIn(FolderOf(to));
        if (::symlink(QByteArray(text, int(n)).constData(), temp.constData()) == 0) break;
        if (errno != EEXIST || attempt >= 100) return Failure(errno);
    }
    if (const int error = replace == Replace::Yes ? RenameReplacing(temp, to) : RenameNoReplace(temp, to)) {
        FileCalls().unlink(AT_FDCWD, temp.constData());
        return Failure(error);
    }
    FlushFolder(FolderOf(to));
    if (FileCalls().unlink(AT_FDCWD, from.constData()) != 0) {
        const int error = errno;
        if (replace == Replace::No) FileCalls().unlink(AT_FDCWD, to.constData());
        return Failure(error);
    }
    FlushFolder(FolderOf(from));
    Notify(FileChange::Renamed, from, to);
    return Done();
}

}  // namespace

FileSystemCalls SystemFileCalls() {
    FileSystemCalls c;
    c.open = [](int dir, const char* path, int flags, int mode) {
        return ::openat(dir, path, flags, mode);
    };
    c.read = [](int fd, void* buffer, std::size_t size) { return long(::read(fd, buffer, size)); };
    c.write = [](int fd, const void* buffer, std::size_t size) {
        return long(::write(fd, buffer, size));
    };
    c.clone = [](int in, int out) { return ::ioctl(out, FICLONE, in); };
    c.copyRange = [](int in, int out, std::size_t size) {
        return long(::copy_file_range(in, nullptr, out, nullptr, size, 0));
    };
    c.fsync = [](int fd) { return ::fsync(fd); };
    c.close = [](int fd) { return ::close(fd); };
    c.rename2 = [](int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
        return ::renameat2(fromDir, from, toDir, to, flags);
    };
    c.link = [](int fromDir, const char* from, int toDir, const char* to) {
        return ::linkat(fromDir, from, toDir, to, 0);
    };
    c.unlink = [](int dir, const char* path) { return ::unlinkat(dir, path, 0); };
    return c;
}

const FileSystemCalls& FileCalls() { return CallsInForce(); }

void SetFileCalls(const FileSystemCalls& calls) { CallsInForce() = calls; }

QString NotRegularTargetText(mode_t type) {
    return QStringLiteral("上書きできません (%1)").arg(OpenFailure{0, type}.Reason());
}

uid_t UserId() {
    // An invalid id changes nothing and returns the one in force.
    return uid_t(::setfsuid(uid_t(-1)));
}

QByteArray TemporaryNameIn(const QByteArray& folder) {
    return Join(folder, ".tamarind-" +
                            QByteArray::number(QRandomGenerator::global()->generate64() % 2176782336u, 36) +
                            ".tmp");
}

bool FindContentTarget(const QByteArray& path, QByteArray& landing, bool& exists,
                       struct stat& info, FileOpResult& failure) {
    QByteArray current = path;
    for (int hops = 0;; ++hops) {
        if (::lstat(current.constData(), &info) != 0) {
            const int error = errno;
            if (error == ENOENT && hops == 0) {
                landing = current;
                exists = false;
                return true;
            }
            failure = Failure(error);
            if (error == ENOENT) failure.text = QStringLiteral("リンク先のファイルがありません");
            return false;
        }
        if (!S_ISLNK(info.st_mode)) break;
        if (hops >= 40) {
            failure = Failure(ELOOP);
            return false;
        }
        const QByteArray folder = FolderOf(current);
        struct stat dir {};
        if (::stat(folder.constData(), &dir) == 0 && (dir.st_mode & S_ISVTX) &&
            (dir.st_mode & S_IWOTH) && info.st_uid != UserId() && info.st_uid != dir.st_uid) {
            failure = {FileOpStatus::Failed, EACCES, kForeignLinkText};
            return false;
        }
        char text[PATH_MAX];
        const ssize_t n = ::readlink(current.constData(), text, sizeof text);
        if (n < 0 || std::size_t(n) >= sizeof text) {
            failure = Failure(n < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const QByteArray next(text, int(n));
        current = next.startsWith('/') ? next : Join(folder, next);
    }
    if (!S_ISREG(info.st_mode)) {
        failure = NotRegularTarget(info);
        return false;
    }
    landing = current;
    exists = true;
    return true;
}

bool IsSameFile(const QString& a, const QString& b) {
    struct stat sa {}, sb {};
    return ::stat(EncodePath(a).constData(), &sa) == 0 &&
           ::stat(EncodePath(b).constData(), &sb) == 0 && SameInode(sa, sb);
}

bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool PathExists(const QString& path) {
    struct stat st {};
    return ::lstat(EncodePath(path).constData(), &st) == 0;
}

void FlushFolderOf(const QString& path) { FlushFolder(FolderOf(EncodePath(path))); }

FileOpResult RenameFile(const QString& fromPath, const QString& toPath, Replace replace,
                        Flush flush) {
    const QByteArray from = EncodePath(fromPath), to = EncodePath(toPath);
    struct stat source {}, target {};
    if (::lstat(from.constData(), &source) != 0) return Failure(errno);
    int error = 0;
    switch (Relate(from, source, to)) {
        case Relation::SameEntry: return Done();
        case Relation::SameFile: return SameFile();
        case Relation::LetterCaseAlias: error = RenameReplacing(from, to); break;
        case Relation::Distinct:
            if (::lstat(to.constData(), &target) == 0) {
                if (!EntryReplaceable(target)) return NotRegularTarget(target);
                if (replace == Replace::No) return Failure(EEXIST);
            }
            error = replace == Replace::Yes ? RenameReplacing(from, to) : RenameNoReplace(from, to);
            break;
    }
    if (error) return Failure(error);
    if (flush == Flush::Now) FlushFolder(FolderOf(to));
    Notify(FileChange::Renamed, from, to);
    return Done();
}

FileOpResult CopyFile(const QString& fromPath, const QString& toPath, Replace replace) {
    const QByteArray from = EncodePath(fromPath), to = EncodePath(toPath);
    FdHolder in(FileCalls().open(AT_FDCWD, from.constData(), kSourceFlags, 0));
    if (in.get() < 0) return Failure(errno);
    struct stat source {};
    if (::fstat(in.get(), &source) != 0) return Failure(errno);
    if (S_ISDIR(source.st_mode)) return Failure(EISDIR);
    if (!S_ISREG(source.st_mode)) return NotRegular(source);
    if (const int error = BlockingAgain(in.get())) return Failure(error);
    struct stat named {};
    if (::lstat(to.constData(), &named) == 0 && SameInode(source, named)) return SameFile();
    // Where the content goes: the target, or the file its link names.
    QByteArray landing;
    bool exists = false;
    struct stat target {};
    FileOpResult refused;
    if (!FindContentTarget(to, landing, exists, target, refused)) return refused;
    if (exists && SameInode(source, target)) return SameFile();

    if (!exists) {
        // A new file with the source's permissions less the umask, as cp
        // makes it. Every write is checked, and so is the close (which
        // reports delayed write errors on network file systems); the data
        // is left to the kernel to write back, since nothing is replaced or
        // deleted on the strength of it.
        FdHolder out(FileCalls().open(AT_FDCWD, to.constData(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                      int(source.st_mode & 0777)));
        if (out.get() < 0) return Failure(errno);
        int error = CopyContent(in.get(), out.get());
        const int closeError = out.Close();
        if (!error) error = closeError;
        if (error) {
            FileCalls().unlink(AT_FDCWD, to.constData());  // ours: O_EXCL made it
            return Failure(error);
        }
        Notify(FileChange::Written, to);
        return Done();
    }
    if (replace == Replace::No) return Failure(EEXIST);

    QByteArray temp;
    if (const int error = WriteBeside(in.get(), landing, target, false, temp)) return Failure(error);
    if (const int error = RenameReplacing(temp, landing)) {
        FileCalls().unlink(AT_FDCWD, temp.constData());
        return Failure(error);
    }
    FlushFolder(FolderOf(landing));
    Notify(FileChange::Written, landing);
    return Done();
}

FileOpResult MoveFile(const QString& fromPath, const QString& toPath, Replace replace) {
    const QByteArray from = EncodePath(fromPath), to = EncodePath(toPath);
    struct stat source {}, target {};
    if (::lstat(from.constData(), &source) != 0) return Failure(errno);
    switch (Relate(from, source, to)) {
        case Relation::SameEntry:
        case Relation::SameFile: return SameFile();
        case Relation::LetterCaseAlias:
            if (RenameReplacing(from, to) != 0) return Failure(errno);
            Notify(FileChange::Renamed, from, to);
            return Done();
        case Relation::Distinct: break;
    }
    // A move replaces the name itself: a file or a link, nothing else.
    const bool named = ::lstat(to.constData(), &target) == 0;
    if (named && !EntryReplaceable(target)) return NotRegularTarget(target);
    if (named && replace == Replace::No) return Failure(EEXIST);
    int error = replace == Replace::Yes ? RenameReplacing(from, to) : RenameNoReplace(from, to);
    if (!error) {
        FlushFolder(FolderOf(to));
        Notify(FileChange::Renamed, from, to);
        return Done();
    }
    if (error != EXDEV) return Failure(error);

    // Another file system: copy, flush, put in place, then delete the source.
    // The source must be deletable afterwards; find out before copying.
    if (::faccessat(AT_FDCWD, FolderOf(from).constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return Failure(errno);
    if (S_ISLNK(source.st_mode)) return MoveLinkAcross(from, to, replace);
    if (!S_ISREG(source.st_mode)) return Failure(EXDEV);
    FdHolder in(FileCalls().open(AT_FDCWD, from.constData(), kSourceFlags, 0));
    if (in.get() < 0) return Failure(errno);
    struct stat opened {};
    if (::fstat(in.get(), &opened) != 0) return Failure(errno);
    if (!S_ISREG(opened.st_mode)) return NotRegular(opened);
    if (!SameInode(opened, source)) return Failure(ENOENT);  // replaced meanwhile
    if ((error = BlockingAgain(in.get()))) return Failure(error);
    QByteArray temp;
    if ((error = WriteBeside(in.get(), to, source, true, temp))) return Failure(error);
    in.Close();
    error = replace == Replace::Yes ? RenameReplacing(temp, to) : RenameNoReplace(temp, to);
    if (error) {
        FileCalls().unlink(AT_FDCWD, temp.constData());
        return Failure(error);
    }
    FlushFolder(FolderOf(to));
    if (FileCalls().unlink(AT_FDCWD, from.constData()) != 0) {
        error = errno;
        // The source stays; without a replaced target the copy goes again, so
        // everything is as it was.
        if (replace == Replace::No) FileCalls().unlink(AT_FDCWD, to.constData());
        FlushFolder(FolderOf(to));
        return Failure(error);
    }
    FlushFolder(FolderOf(from));
    Notify(FileChange::Renamed, from, to);
    return Done();
}

FileOpResult DeleteFile(const QString& path) {
    const QByteArray file = EncodePath(path);
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0) return Failure(errno);
    if (S_ISDIR(st.st_mode)) return Failure(EISDIR);
    {
        // Only a file that may be read and written is deleted.
        FileHandle probe;
        OpenFailure why;
        if (!TryOpenRegularFile(path, O_RDWR, probe, &why))
            return {FileOpStatus::Failed, why.error, why.Reason()};
    }
    if (FileCalls().unlink(AT_FDCWD, file.constData()) != 0) return Failure(errno);
    FlushFolder(FolderOf(file));
    Notify(FileChange::Removed, file);
    return Done();
}

}  // namespace tamarind
