#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/OpenFile.h"

namespace tamarind {

InputFile::InputFile(const QString& path) : path_(path) {
    // The one non-blocking, regular-files-only opener of the program, so a
    // named pipe never stalls a decoder and the refusal reads the same
    // everywhere.
    struct stat st {};
    fd_ = OpenRegularFile(path, O_RDONLY, &st).release();
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

QByteArray InputFile::ReadAll() {
    if (size_ > (std::int64_t(1) << 31)) RaiseReadError(EFBIG);
    QByteArray bytes(qsizetype(size_), Qt::Uninitialized);
    bytes.truncate(qsizetype(ReadAt(0, bytes.data(), size_)));
    return bytes;
}

}  // namespace tamarind
