#include "platform/FileOpsBasics.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <functional>

#include "platform/ErrorText.h"
#include "platform/FileIo.h"

namespace tamarind {
namespace {

std::function<void(const FileChange&)>& ChangeObserver() {
    static std::function<void(const FileChange&)> observer;
    return observer;
}

}  // namespace

void SetFileChangeObserver(std::function<void(const FileChange&)> observer) {
    ChangeObserver() = std::move(observer);
}

void NotifyFileChange(const FileChange& change) {
    if (ChangeObserver()) ChangeObserver()(change);
}

namespace fileops {

FileOpResult Done() { return {}; }

FileOpResult Failure(int error) {
    if (error == EEXIST) return {FileOpStatus::TargetExists, EEXIST, kTargetExistsText};
    return {FileOpStatus::Failed, error, SystemErrorText(error)};
}

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

void FlushFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

void Notify(FileChange::Kind kind, const QByteArray& path, const QByteArray& newPath) {
    if (ChangeObserver())
        NotifyFileChange({kind, DecodePath(path), newPath.isEmpty() ? QString() : DecodePath(newPath)});
}

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

}  // namespace fileops
}  // namespace tamarind
