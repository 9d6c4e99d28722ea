#include "picture/JpegHead.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/OpenFile.h"

namespace tamarind {
namespace {

// The frame header follows the tables within the first few hundred
// kilobytes of any camera file; a head longer than this is left to the
// decoder.
constexpr qint64 kMaxHeadBytes = 1 << 20;
constexpr qint64 kStartBytes = 4096;

// Reads up to n bytes at `offset`; fewer at the end of the file.
QByteArray ReadAt(int fd, qint64 offset, qint64 n) {
    QByteArray bytes(qsizetype(n), Qt::Uninitialized);
    qint64 done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, bytes.data() + done, size_t(n - done), off_t(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += r;
    }
    bytes.truncate(qsizetype(done));
    return bytes;
}

int Word(const QByteArray& b, qsizetype at) {
    return (uchar(b[at]) << 8) | uchar(b[at + 1]);
}

bool IsFrameHeader(int marker) {
    // SOF0 to SOF15, less DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

JpegHead ReadJpegHead(const QString& path) {
    JpegHead head;
    FileHandle file;
    if (!TryOpenRegularFile(path, O_RDONLY, file)) return head;
    head.opened = true;
    // Most heads lie within the first 64 KB; later segments are read as met.
    QByteArray bytes = ReadAt(file.get(), 0, 65536);
    head.start = bytes.left(kStartBytes);
    auto have = [&](qint64 end) {
        if (end <= bytes.size()) return true;
        if (end > kMaxHeadBytes) return false;
        bytes += ReadAt(file.get(), bytes.size(), end - bytes.size());
        return end <= bytes.size();
    };
    if (!have(2) || uchar(bytes[0]) != 0xFF || uchar(bytes[1]) != 0xD8) return head;
    qint64 at = 2;
    for (;;) {
        // A marker: 0xFF, any number of fill bytes 0xFF, the marker code.
        if (!have(at + 2) || uchar(bytes[at]) != 0xFF) return head;
        while (have(at + 2) && uchar(bytes[at + 1]) == 0xFF) ++at;
        if (!have(at + 4)) return head;
        const int marker = uchar(bytes[at + 1]);
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) return head;  // no frame before
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {           // no length follows
            at += 2;
            continue;
        }
        const int length = Word(bytes, at + 2);
        if (length < 2 || !have(at + 2 + length)) return head;
        const qint64 body = at + 4;
        if (IsFrameHeader(marker)) {
            // precision, height, width
            if (length < 7) return head;
            const int height = Word(bytes, body + 1), width = Word(bytes, body + 3);
            if (width > 0 && height > 0) head.natural = QSize(width, height);
            return head;
        }
        if (marker == 0xE1 && head.exif.isEmpty() && length >= 8 &&
            bytes.mid(body, 6) == QByteArray("Exif\0\0", 6))
            head.exif = bytes.mid(body + 6, length - 8);
        at += 2 + length;
    }
}

}  // namespace tamarind
