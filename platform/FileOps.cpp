#include "platform/FileOps.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/ErrorText.h"
#include "platform/FileIo.h"
#include "platform/OpenFile.h"

namespace tamarind {
namespace {

FileSystemCalls& CallsInForce() {
    static FileSystemCalls calls = SystemFileCalls();
    return calls;
}

FileOpResult Done() { return {}; }

FileOpResult Failure(int error) {
    if (error == EEXIST) return {FileOpStatus::TargetExists, EEXIST, kTargetExistsText};
    return {FileOpStatus::Failed, error, SystemErrorText(error)};
}

FileOpResult SameFile() { return {FileOpStatus::SameFile, 0, kSameFileText}; }

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

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The folder part of a path ("." for a bare name, "/" for a file in the root).
QByteArray FolderOf(const QByteArray& path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;  // "dir/" names dir itself
    const qsizetype slash = path.lastIndexOf('/', end - 1);
    if (slash < 0) return QByteArrayLiteral(".");
    if (slash == 0) return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray NameOf(const QByteArray& path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == '/') --end;
    const qsizetype slash = path.lastIndexOf('/', end - 1);
    return path.mid(slash + 1, end - slash - 1);
}

// Makes a completed rename or creation durable. A failure here changes no
// outcome: the data itself is already on disk.
void FlushFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
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

// Renames without ever replacing: RENAME_NOREPLACE, or link + unlink where
// the file system lacks it. 0 or the errno (EEXIST when the target exists).
int RenameNoReplace(const QByteArray& from, const QByteArray& to) {
    const FileSystemCalls& calls = FileCalls();
    if (calls.rename2(from.constData(), to.constData(), RENAME_NOREPLACE) == 0) return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return error;
    if (calls.link(from.constData(), to.constData()) != 0) return errno;
    if (calls.unlink(from.constData()) != 0) {
        const int unlinkError = errno;
        calls.unlink(to.constData());  // the new name goes again; the old one stays
        return unlinkError;
    }
    return 0;
}

int RenameReplacing(const QByteArray& from, const QByteArray& to) {
    return FileCalls().rename2(from.constData(), to.constData(), 0) == 0 ? 0 : errno;
}

// Copies everything from the current offset of `in` to `out`: the kernel
// copies the range itself where it can, otherwise blocks are read and every
// write is checked (a write that takes nothing means the disk is full).
// 0 or the errno.
int CopyContent(int in, int out) {
    const FileSystemCalls& calls = FileCalls();
    // A file system that shares blocks between files copies at once; the
    // target is new and empty, so this happens before anything is written.
    if (calls.clone(in, out) == 0) return 0;
    bool kernelCopy = true;
    std::unique_ptr<char[]> buffer;
    for (;;) {
        if (kernelCopy) {
            const long n = calls.copyRange(in, out, std::size_t(1) << 30);
            if (n > 0) continue;
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
        const long got = calls.read(in, buffer.get(), kCopyBlockSize);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
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
    }
}

// Creates a new empty file with a unique hidden name in `folder`. Returns the
// descriptor (or -1 with errno) and the path in `tempPath`.
int CreateTempFile(const QByteArray& folder, QByteArray& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "/.tamarind-" +
                   QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        const int fd = FileCalls().open(tempPath.constData(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes the content of `in` into a new file beside `target` and flushes it.
// `source`, when given, lends its permissions and times (a move);
// `keepModeOf`, when given, its permissions (a replaced target). The
// complete temporary file's path, or an errno with nothing left behind.
int WriteBeside(int in, const QByteArray& target, const struct stat* source,
                const struct stat* keepModeOf, QByteArray& tempPath) {
    FdHolder out(CreateTempFile(FolderOf(target), tempPath));
    if (out.get() < 0) return errno;
    int error = CopyContent(in, out.get());
    if (!error) {
        if (source) {
            ::fchmod(out.get(), source->st_mode & 07777);
            const struct timespec times[2] = {source->st_atim, source->st_mtim};
            ::futimens(out.get(), times);
        } else if (keepModeOf) {
            ::fchmod(out.get(), keepModeOf->st_mode & 07777);
        }
        if (FileCalls().fsync(out.get()) != 0) error = errno;
    }
    const int closeError = out.Close();
    if (!error) error = closeError;
    if (error) FileCalls().unlink(tempPath.constData());
    return error;
}

// --- trash ---------------------------------------------------------------

QByteArray PercentEncoded(const QByteArray& path) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
            u == '/' || u == '-' || u == '_' || u == '.' || u == '~') {
            out.append(c);
        } else {
            out.append('%').append(hex[u >> 4]).append(hex[u & 15]);
        }
    }
    return out;
}

// mkdir -p with mode 0700 for what it creates. 0 or the errno.
int MakeFolders(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    const QByteArray parent = FolderOf(path);
    if (parent != path) {
        if (const int error = MakeFolders(parent)) return error;
    }
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

// A trash folder with files/ and info/, made when missing.
int PrepareTrash(const QByteArray& trash) {
    if (const int error = MakeFolders(trash + "/files")) return error;
    return MakeFolders(trash + "/info");
}

// The top folder of the volume holding `folder` (an absolute, resolved path).
QByteArray VolumeTop(const QByteArray& folder) {
    struct stat here {};
    if (::stat(folder.constData(), &here) != 0) return {};
    QByteArray top = folder;
    while (top != "/") {
        const QByteArray parent = FolderOf(top);
        struct stat up {};
        if (::stat(parent.constData(), &up) != 0 || up.st_dev != here.st_dev) break;
        top = parent;
    }
    return top;
}

// Moves `file` (absolute) into the trash folder `trash`, recording
// `recordedPath` as where it came from. 0 or the errno; EXDEV when the trash
// is on another file system.
int MoveIntoTrash(const QByteArray& file, const QByteArray& trash, const QByteArray& recordedPath,
                  QByteArray& trashedAs) {
    const QByteArray base = NameOf(file);
    const QByteArray date =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
    const QByteArray info = "[Trash Info]\nPath=" + PercentEncoded(recordedPath) +
                            "\nDeletionDate=" + date + "\n";
    for (int n = 1; n < 10000; ++n) {
        QByteArray name = base;
        if (n > 1) {
            const qsizetype dot = base.lastIndexOf('.');
            name = dot > 0 ? base.left(dot) + '.' + QByteArray::number(n) + base.mid(dot)
                           : base + '.' + QByteArray::number(n);
        }
        // The info file reserves the name (O_EXCL), then the file follows it.
        const QByteArray infoPath = trash + "/info/" + name + ".trashinfo";
        const QByteArray filePath = trash + "/files/" + name;
        FdHolder fd(FileCalls().open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                     0600));
        if (fd.get() < 0) {
            if (errno == EEXIST) continue;
            return errno;
        }
        struct stat taken {};
        if (::lstat(filePath.constData(), &taken) == 0) {
            fd.Close();
            FileCalls().unlink(infoPath.constData());
            continue;
        }
        int error = 0;
        errno = 0;
        if (FileCalls().write(fd.get(), info.constData(), size_t(info.size())) != info.size())
            error = errno ? errno : ENOSPC;
        if (!error && FileCalls().fsync(fd.get()) != 0) error = errno;
        const int closeError = fd.Close();
        if (!error) error = closeError;
        if (!error) error = RenameNoReplace(file, filePath);
        if (error == EEXIST) {  // taken meanwhile: try the next name
            FileCalls().unlink(infoPath.constData());
            continue;
        }
        if (error) {
            FileCalls().unlink(infoPath.constData());
            return error;
        }
        // Trust nothing: the file must be in the trash and gone from its place.
        struct stat moved {}, left {};
        if (::lstat(filePath.constData(), &moved) != 0 || ::lstat(file.constData(), &left) == 0)
            return EIO;
        FlushFolder(trash + "/files");
        FlushFolder(FolderOf(file));
        trashedAs = filePath;
        return 0;
    }
    return EEXIST;
}

// The device of `path`, or of its nearest existing ancestor folder.
dev_t DeviceOf(QByteArray path) {
    for (;;) {
        struct stat st {};
        if (::stat(path.constData(), &st) == 0) return st.st_dev;
        const QByteArray parent = FolderOf(path);
        if (parent == path) return dev_t(-1);
        path = parent;
    }
}

// The user's own trash: $XDG_DATA_HOME/Trash, by default ~/.local/share/Trash.
QByteArray HomeTrash() {
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty() || !data.startsWith('/')) {
        const QByteArray home = qgetenv("HOME");
        if (home.isEmpty()) return {};
        data = home + "/.local/share";
    }
    return data + "/Trash";
}

// The trash at the top of a volume: $top/.Trash/$uid when the administrator
// made $top/.Trash (a real folder with the sticky bit), else $top/.Trash-$uid.
QByteArray VolumeTrash(const QByteArray& top) {
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    const QByteArray root = top == "/" ? QByteArray() : top;
    struct stat shared {};
    if (::lstat((root + "/.Trash").constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        const QByteArray trash = root + "/.Trash/" + uid;
        if (PrepareTrash(trash) == 0) return trash;
    }
    const QByteArray own = root + "/.Trash-" + uid;
    struct stat st {};
    if (::lstat(own.constData(), &st) == 0 && (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()))
        return {};  // a link or someone else's folder: not a trash to trust
    return own;
}

}  // namespace

FileSystemCalls SystemFileCalls() {
    FileSystemCalls c;
    c.open = [](const char* path, int flags, int mode) { return ::open(path, flags, mode); };
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
    c.rename2 = [](const char* from, const char* to, unsigned flags) {
        return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
    };
    c.link = [](const char* from, const char* to) { return ::link(from, to); };
    c.unlink = [](const char* path) { return ::unlink(path); };
    return c;
}

const FileSystemCalls& FileCalls() { return CallsInForce(); }

void SetFileCalls(const FileSystemCalls& calls) { CallsInForce() = calls; }

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

FileOpResult RenameFile(const QString& fromPath, const QString& toPath, Replace replace) {
    const QByteArray from = EncodePath(fromPath), to = EncodePath(toPath);
    struct stat source {};
    if (::lstat(from.constData(), &source) != 0) return Failure(errno);
    switch (Relate(from, source, to)) {
        case Relation::SameEntry: return Done();
        case Relation::SameFile: return SameFile();
        case Relation::LetterCaseAlias:
            return RenameReplacing(from, to) == 0 ? Done() : Failure(errno);
        case Relation::Distinct: break;
    }
    const int error = replace == Replace::Yes ? RenameReplacing(from, to) : RenameNoReplace(from, to);
    if (error) return Failure(error);
    FlushFolder(FolderOf(to));
    return Done();
}

FileOpResult CopyFile(const QString& fromPath, const QString& toPath, Replace replace) {
    const QByteArray from = EncodePath(fromPath), to = EncodePath(toPath);
    FdHolder in(FileCalls().open(from.constData(), kSourceFlags, 0));
    if (in.get() < 0) return Failure(errno);
    struct stat source {}, target {};
    if (::fstat(in.get(), &source) != 0) return Failure(errno);
    if (S_ISDIR(source.st_mode)) return Failure(EISDIR);
    if (!S_ISREG(source.st_mode)) return NotRegular(source);
    if (const int error = BlockingAgain(in.get())) return Failure(error);
    const bool targetThere = ::stat(to.constData(), &target) == 0;
    if (targetThere && SameInode(source, target)) return SameFile();
    struct stat targetLink {};
    if (::lstat(to.constData(), &targetLink) == 0 && SameInode(source, targetLink)) return SameFile();

    if (replace == Replace::No) {
        FdHolder out(FileCalls().open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (out.get() < 0) return Failure(errno);
        // Every write is checked, and so is the close (which reports delayed
        // write errors on network file systems); the data is left to the
        // kernel to write back, since nothing is replaced or deleted on the
        // strength of it.
        int error = CopyContent(in.get(), out.get());
        const int closeError = out.Close();
        if (!error) error = closeError;
        if (error) {
            FileCalls().unlink(to.constData());  // ours: O_EXCL made it
            return Failure(error);
        }
        return Done();
    }

    QByteArray temp;
    const bool keepMode = targetThere && S_ISREG(target.st_mode);
    if (const int error = WriteBeside(in.get(), to, nullptr, keepMode ? &target : nullptr, temp))
        return Failure(error);
    if (const int error = RenameReplacing(temp, to)) {
        FileCalls().unlink(temp.constData());
        return Failure(error);
    }
    FlushFolder(FolderOf(to));
    return Done();
}

FileOpResult MoveFile(const QString& fromPath, const QString& toPath, Replace replace) {
    const QByteArray from = EncodePath(fromPath), to = EncodePath(toPath);
    struct stat source {};
    if (::lstat(from.constData(), &source) != 0) return Failure(errno);
    switch (Relate(from, source, to)) {
        case Relation::SameEntry:
        case Relation::SameFile: return SameFile();
        case Relation::LetterCaseAlias:
            return RenameReplacing(from, to) == 0 ? Done() : Failure(errno);
        case Relation::Distinct: break;
    }
    int error = replace == Replace::Yes ? RenameReplacing(from, to) : RenameNoReplace(from, to);
    if (!error) {
        FlushFolder(FolderOf(to));
        return Done();
    }
    if (error != EXDEV) return Failure(error);

    // Another file system: copy, flush, put in place, then delete the source.
    if (!S_ISREG(source.st_mode)) return Failure(EXDEV);
    struct stat target {};
    if (replace == Replace::No && ::lstat(to.constData(), &target) == 0) return Failure(EEXIST);
    // The source must be deletable afterwards; find out before copying.
    if (::faccessat(AT_FDCWD, FolderOf(from).constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return Failure(errno);
    FdHolder in(FileCalls().open(from.constData(), kSourceFlags, 0));
    if (in.get() < 0) return Failure(errno);
    struct stat opened {};
    if (::fstat(in.get(), &opened) != 0) return Failure(errno);
    if (!S_ISREG(opened.st_mode)) return NotRegular(opened);
    if (!SameInode(opened, source)) return Failure(ENOENT);  // replaced meanwhile
    if ((error = BlockingAgain(in.get()))) return Failure(error);
    QByteArray temp;
    if ((error = WriteBeside(in.get(), to, &source, nullptr, temp))) return Failure(error);
    in.Close();
    error = replace == Replace::Yes ? RenameReplacing(temp, to) : RenameNoReplace(temp, to);
    if (error) {
        FileCalls().unlink(temp.constData());
        return Failure(error);
    }
    FlushFolder(FolderOf(to));
    if (FileCalls().unlink(from.constData()) != 0) {
        error = errno;
        // The source stays; without a replaced target the copy goes again, so
        // everything is as it was.
        if (replace == Replace::No) FileCalls().unlink(to.constData());
        FlushFolder(FolderOf(to));
        return Failure(error);
    }
    FlushFolder(FolderOf(from));
    return Done();
}

FileOpResult DeleteFile(const QString& path) {
    const QByteArray file = EncodePath(path);
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0) return Failure(errno);
    if (S_ISDIR(st.st_mode)) return Failure(EISDIR);
    if (FileCalls().unlink(file.constData()) != 0) return Failure(errno);
    FlushFolder(FolderOf(file));
    return Done();
}

FileOpResult MoveToTrash(const QString& path, QString* trashedAs) {
    QByteArray file = EncodePath(path);
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0) return Failure(errno);
    // The absolute path with its folder resolved (the file itself may be a
    // link: the link goes to the trash, not what it names).
    char resolved[PATH_MAX];
    if (!::realpath(FolderOf(file).constData(), resolved)) return Failure(errno);
    const QByteArray folder = resolved;
    file = (folder == "/" ? QByteArray() : folder) + '/' + NameOf(file);

    QByteArray trashed;
    int error = 0;
    const QByteArray home = HomeTrash();
    if (!home.isEmpty() && DeviceOf(home) == st.st_dev) {
        // On the user's own volume only the user's own trash will do.
        if ((error = PrepareTrash(home))) return Failure(error);
        error = MoveIntoTrash(file, home, file, trashed);
    } else {
        // The trash at the top of the file's own volume, paths recorded
        // relative to that top.
        const QByteArray top = VolumeTop(folder);
        const QByteArray trash = top.isEmpty() ? QByteArray() : VolumeTrash(top);
        if (trash.isEmpty()) return Failure(EACCES);
        if ((error = PrepareTrash(trash))) return Failure(error);
        if (DeviceOf(trash + "/files") != st.st_dev) return Failure(EXDEV);
        const QByteArray relative = top == "/" ? file.mid(1) : file.mid(top.size() + 1);
        error = MoveIntoTrash(file, trash, relative, trashed);
    }
    if (error) return Failure(error);
    if (trashedAs) *trashedAs = DecodePath(trashed);
    return Done();
}

}  // namespace tamarind
