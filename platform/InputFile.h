#pragma once
// A file opened for reading in pieces, so a decoder holds only what it has
// asked for: a tiny file that claims a huge picture, or a huge file that is
// not a picture at all, costs no more memory than the first piece read.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace tamarind {

class InputFile {
  public:
    // Opens the file as OpenRegularFile does: without blocking, refusing
    // anything that is not a regular file with TamarindError
    // ("ファイル <path> を開けません (...)").
    explicit InputFile(const QString& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const QString& path() const { return path_; }
    // The size the file had when it was opened.
    std::int64_t size() const { return size_; }

    // Reads up to `n` bytes at the current position; 0 at the end of the
    // file. Raises TamarindError naming the file when reading fails.
    std::int64_t Read(void* buffer, std::int64_t n);
    // Reads up to `n` bytes at `offset` (the same position rules), filling
    // the buffer as far as the file goes; returns the count.
    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::int64_t n);
    // The whole file from its start (at most 2 GB; larger files raise the
    // read error "File too large" in the user's words).
    QByteArray ReadAll();
    // For C callbacks that must not throw: like ::read, -1 with errno on
    // failure, interrupted calls retried.
    long ReadSome(void* buffer, std::size_t n) noexcept;

  private:
    [[noreturn]] void RaiseReadError(int error) const;

    QString path_;
    int fd_ = -1;
    std::int64_t size_ = 0;
};

}  // namespace tamarind
