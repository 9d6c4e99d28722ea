#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind {

InputFile::InputFile(const QString& path) : path_(path) {
    fd_ = ::open(EncodePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        const int error = errno;
        throw TamarindError(
            QStringLiteral("ファイル %1 を開けません (%2)").arg(path, SystemErrorText(error)));
    }
    struct stat st {};
    const bool statted = ::fstat(fd_, &st) == 0;
    const int error = errno;
    if (!statted || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        const QString reason = !statted              ? SystemErrorText(error)
                               : S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR)
                                                     : QStringLiteral("通常のファイルではありません");
        throw TamarindError(QStringLiteral("ファイル %1 を開けません (%2)").arg(path, reason));
    }
    // Regular files never block; reads from here on are ordinary ones.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = st.st_size;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

long InputFile::ReadSome(void* buffer, std::size_t n) noexcept {
    for (;;) {
        const ssize_t r = ::read(fd_, buffer, n);
        if (r >= 0 || errno != EINTR) return long(r);
    }
}

void InputFile::RaiseReadError(int error) const {
    throw TamarindError(
        QStringLiteral("ファイル %1 を読めません (%2)").arg(path_, SystemErrorText(error)));
}

std::int64_t InputFile::Read(void* buffer, std::int64_t n) {
    auto* out = static_cast<char*>(buffer);
    std::int64_t got = 0;
    while (got < n) {
        const long r = ReadSome(out + got, std::size_t(n - got));
        if (r < 0) RaiseReadError(errno);
        if (r == 0) break;
        got += r;
    }
    return got;
}

std::int64_t InputFile::ReadAt(std::int64_t offset, void* buffer, std::int64_t n) {
    if (::lseek(fd_, off_t(offset), SEEK_SET) < 0) RaiseReadError(errno);
    return Read(buffer, n);
}

}  // namespace tamarind
