#include "platform/FileOps.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/fsuid.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QRandomGenerator>
#include <algorithm>
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

std::function<void(const FileChange&)>& ChangeObserver() {
    static std::function<void(const FileChange&)> observer;
    return observer;
}

FileOpResult Done() { return {}; }

FileOpResult Failure(int error) {
    if (error == EEXIST) return {FileOpStatus::TargetExists, EEXIST, kTargetExistsText};
    return {FileOpStatus::Failed, error, SystemErrorText(error)};
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

QByteArray Join(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

void FlushFd(int fd) {
    if (fd >= 0) ::fsync(fd);
}

// Makes a completed rename or creation durable. A failure here changes no
// outcome: the data itself is already on disk.
void FlushFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void Notify(FileChange::Kind kind, const QByteArray& path, const QByteArray& newPath = {}) {
    if (ChangeObserver())
        NotifyFileChange({kind, DecodePath(path), newPath.isEmpty() ? QString() : DecodePath(newPath)});
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
int RenameNoReplaceAt(int fromDir, const QByteArray& from, int toDir, const QByteArray& to) {
    const FileSystemCalls& calls = FileCalls();
    if (calls.rename2(fromDir, from.constData(), toDir, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return error;
    if (calls.link(fromDir, from.constData(), toDir, to.constData()) != 0) return errno;
    if (calls.unlink(fromDir, from.constData()) != 0) {
        const int unlinkError = errno;
        calls.unlink(toDir, to.constData());  // the new name goes again; the old one stays
        return unlinkError;
    }
    return 0;
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

// A folder descriptor, closed when it goes.
using Folder = FileHandle;

// Opens the folder `name` inside `parent` without following a link, making
// it (0700) when missing. With `mustBePrivate` it must also belong to the
// user and be open to nobody else. -1 with errno on failure (EACCES when it
// is someone else's or open to others).
int OpenTrashFolder(int parent, const char* name, bool mustBePrivate) {
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name, flags);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST) return -1;
        fd = ::openat(parent, name, flags);
    }
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 ||
        (mustBePrivate && (st.st_uid != UserId() || (st.st_mode & 0777) != 0700))) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

// The user's trash at the top of a volume: `$top/.Trash/$uid` when the
// administrator made `$top/.Trash` (a real folder with the sticky bit), else
// `$top/.Trash-$uid`. Each level is opened without following links and the
// user's own folder must be the user's and private; a trash that fails
// these checks is not used at all. The trash's path goes to `path`.
Folder OpenVolumeTrash(const QByteArray& top, QByteArray& path) {
    const QByteArray uid = QByteArray::number(qulonglong(UserId()));
    const QByteArray root = top == "/" ? QByteArray() : top;
    const Folder topFolder(::open(top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!topFolder.isOpen()) return Folder();
    const Folder shared(
        ::openat(topFolder.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (shared.isOpen() && ::fstat(shared.get(), &st) == 0 && (st.st_mode & S_ISVTX)) {
        Folder own(OpenTrashFolder(shared.get(), uid.constData(), true));
        if (own.isOpen()) {
            path = root + "/.Trash/" + uid;
            return own;
        }
    }
    Folder own(OpenTrashFolder(topFolder.get(), (".Trash-" + uid).constData(), true));
    if (own.isOpen()) path = root + "/.Trash-" + uid;
    return own;
}

// The name of a trashed file inside files/: its own name, with ".n" before
// the extension for the n-th of a name, cut short where its record's name
// (<name>.trashinfo) would pass the file system's 255 bytes. The record keeps
// the full original path.
QByteArray TrashEntryName(const QByteArray& base, int n) {
    constexpr qsizetype kLongest = NAME_MAX - qsizetype(sizeof ".trashinfo" - 1);
    const qsizetype dot = base.lastIndexOf('.');
    const QByteArray extension = dot > 0 && base.size() - dot <= 16 ? base.mid(dot) : QByteArray();
    QByteArray stem = base.left(base.size() - extension.size());
    const QByteArray number = n > 1 ? '.' + QByteArray::number(n) : QByteArray();
    const qsizetype room = kLongest - number.size() - extension.size();
    if (stem.size() > room) {
        qsizetype cut = room;
        // Not inside a UTF-8 character.
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem.truncate(cut);
    }
    return stem + number + extension;
}

// How a file goes into the trash: moved there, or given a second name there
// (a hard link) while it stays where it is.
enum class TrashWay { Move, Link };

// Moves the entry `name` of the folder `source` into the trash folders
// `files` and `info` (or links it there), recording `recordedPath` as where
// it came from. 0 or the errno; the trashed entry's name goes to `entry`.
int MoveIntoTrash(int source, const QByteArray& name, int files, int info,
                  const QByteArray& recordedPath, TrashWay way, QByteArray& entry) {
    const FileSystemCalls& calls = FileCalls();
    const QByteArray date =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1();
    const QByteArray record = "[Trash Info]\nPath=" + PercentEncoded(recordedPath) +
                              "\nDeletionDate=" + date + "\n";
    for (int n = 1; n < 10000; ++n) {
        entry = TrashEntryName(NameOf(recordedPath), n);  // named as the record says
        // The record reserves the name (O_EXCL), then the file follows it.
        const QByteArray recordName = entry + ".trashinfo";
        FdHolder fd(calls.open(info, recordName.constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST) continue;
            return errno;
        }
        struct stat taken {};
        if (::fstatat(files, entry.constData(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
            fd.Close();
            calls.unlink(info, recordName.constData());
            continue;
        }
        int error = 0;
        errno = 0;
        if (calls.write(fd.get(), record.constData(), size_t(record.size())) != record.size())
            error = errno ? errno : ENOSPC;
        if (!error && calls.fsync(fd.get()) != 0) error = errno;
        const int closeError = fd.Close();
        if (!error) error = closeError;
        if (!error) {
            if (way == TrashWay::Move)
                error = RenameNoReplaceAt(source, name, files, entry);
            else if (calls.link(source, name.constData(), files, entry.constData()) != 0)
                error = errno;
        }
        if (error == EEXIST) {  // taken meanwhile: try the next name
            calls.unlink(info, recordName.constData());
            continue;
        }
        if (error) {
            calls.unlink(info, recordName.constData());
            return error;
        }
        // Trust nothing: the file must be in the trash, and gone from its
        // place or (linked) still there as the same file.
        struct stat moved {}, left {};
        const bool there = ::fstatat(files, entry.constData(), &moved, AT_SYMLINK_NOFOLLOW) == 0;
        const bool stayed = ::fstatat(source, name.constData(), &left, AT_SYMLINK_NOFOLLOW) == 0;
        if (!there || stayed != (way == TrashWay::Link) || (stayed && !SameInode(moved, left)))
            return EIO;
        FlushFd(files);
        FlushFd(source);
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

void SetFileChangeObserver(std::function<void(const FileChange&)> observer) {
    ChangeObserver() = std::move(observer);
}

void NotifyFileChange(const FileChange& change) {
    if (ChangeObserver()) ChangeObserver()(change);
}

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

namespace {

// The trash entry `trashed` (".../files/<entry>") and the path of its record
// (".../info/<entry>.trashinfo"); false when `trashed` lies in no "files" folder.
bool TrashRecordOf(const QByteArray& trashed, QByteArray& record) {
    const QByteArray files = FolderOf(trashed);
    if (NameOf(files) != "files") return false;
    record = Join(FolderOf(files), "info/" + NameOf(trashed) + ".trashinfo");
    return true;
}

FileOpResult PutInTrash(const QString& path, QString* trashedAs, const QString& recordAs,
                        TrashWay way) {
    QByteArray file = EncodePath(path);
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0) return Failure(errno);
    // The absolute path with its folder resolved (the file itself may be a
    // link: the link goes to the trash, not what it names).
    char resolved[PATH_MAX];
    if (!::realpath(FolderOf(file).constData(), resolved)) return Failure(errno);
    const QByteArray folder = resolved;
    const QByteArray name = NameOf(file);
    const Folder source(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!source.isOpen()) return Failure(errno);
    file = Join(folder, name);

    QByteArray trashPath, recorded;
    Folder trash;
    const QByteArray home = HomeTrash();
    if (!home.isEmpty() && DeviceOf(home) == st.st_dev) {
        // On the user's own volume only the user's own trash will do.
        if (const int error = MakeFolders(home)) return Failure(error);
        trash = Folder(::open(home.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        trashPath = home;
        recorded = file;
    } else {
        // The trash at the top of the file's own volume, paths recorded
        // relative to that top.
        const QByteArray top = VolumeTop(folder);
        if (top.isEmpty()) return Failure(errno);
        trash = OpenVolumeTrash(top, trashPath);
        recorded = top == "/" ? file.mid(1) : file.mid(top.size() + 1);
    }
    if (!trash.isOpen()) return Failure(errno);
    const Folder files(OpenTrashFolder(trash.get(), "files", false));
    if (!files.isOpen()) return Failure(errno);
    const Folder info(OpenTrashFolder(trash.get(), "info", false));
    if (!info.isOpen()) return Failure(errno);
    struct stat filesFolder {};
    if (::fstat(files.get(), &filesFolder) != 0) return Failure(errno);
    if (filesFolder.st_dev != st.st_dev) return Failure(EXDEV);

    // The name the file had before the caller moved it aside in its folder.
    if (!recordAs.isEmpty())
        recorded = recorded.left(recorded.size() - name.size()) + NameOf(EncodePath(recordAs));

    QByteArray entry;
    if (const int error =
            MoveIntoTrash(source.get(), name, files.get(), info.get(), recorded, way, entry))
        return Failure(error);
    if (way == TrashWay::Move) Notify(FileChange::Removed, file);
    if (trashedAs) *trashedAs = DecodePath(trashPath + "/files/" + entry);
    return Done();
}

}  // namespace

FileOpResult MoveToTrash(const QString& path, QString* trashedAs, const QString& recordAs) {
    return PutInTrash(path, trashedAs, recordAs, TrashWay::Move);
}

FileOpResult LinkIntoTrash(const QString& path, QString* trashedAs) {
    return PutInTrash(path, trashedAs, {}, TrashWay::Link);
}

FileOpResult RestoreFromTrash(const QString& trashed, const QString& original) {
    QByteArray record;
    if (!TrashRecordOf(EncodePath(trashed), record)) return Failure(EINVAL);
    const FileOpResult moved = RenameFile(trashed, original, Replace::No);
    if (!moved.ok()) return moved;
    FileCalls().unlink(AT_FDCWD, record.constData());
    FlushFolder(FolderOf(record));
    return Done();
}

FileOpResult ForgetTrashEntry(const QString& trashed) {
    const QByteArray entry = EncodePath(trashed);
    QByteArray record;
    if (!TrashRecordOf(entry, record)) return Failure(EINVAL);
    struct stat st {};
    if (::lstat(entry.constData(), &st) != 0) return Failure(errno);
    // Only a second name goes: the file itself stays in the trash when the
    // trash holds its last name.
    if (st.st_nlink < 2) return Failure(EMLINK);
    if (FileCalls().unlink(AT_FDCWD, entry.constData()) != 0) return Failure(errno);
    FileCalls().unlink(AT_FDCWD, record.constData());
    return Done();
}

}  // namespace tamarind
