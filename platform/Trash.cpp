// Moving files into the desktop's trash (the freedesktop.org trash
// standard): the user's own trash or the one at the top of the file's
// volume, with a record of where each file came from.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <climits>
#include <cstdlib>

#include "platform/FileIo.h"
#include "platform/FileOps.h"
#include "platform/FileOpsBasics.h"
#include "platform/OpenFile.h"

namespace tamarind {

using namespace fileops;

namespace {

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
        const bool sameFile = moved.st_dev == left.st_dev && moved.st_ino == left.st_ino;
        if (!there || stayed != (way == TrashWay::Link) || (stayed && !sameFile)) return EIO;
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
