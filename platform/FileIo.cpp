#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ErrorText.h"
#include "platform/Errors.h"
#include "platform/OpenFile.h"

namespace tamarind {
namespace {

// Length of the valid UTF-8 sequence starting at p (0 when invalid).
int Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    int len;
    char32_t min;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) { len = 2; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { len = 3; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { len = 4; min = 0x10000; }
    else return 0;
    if (end - p < len) return 0;
    char32_t cp = c & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// Reads at most `maxBytes` bytes (all when negative) from the start of the
// regular file at `path`; on failure `why` says what went wrong.
bool ReadBytes(const QString& path, std::int64_t maxBytes, QByteArray& out, OpenFailure& why) {
    out.clear();
    FileHandle file;
    struct stat st {};
    if (!TryOpenRegularFile(path, O_RDONLY, file, &why, &st)) return false;
    std::int64_t want = st.st_size;
    if (maxBytes >= 0 && maxBytes < want) want = maxBytes;
    if (want > std::int64_t(1) << 31) {  // no picture file of ours is this large
        why = OpenFailure{EFBIG, 0};
        errno = EFBIG;
        return false;
    }
    out.resize(qsizetype(want));
    qsizetype got = 0;
    while (got < out.size()) {
        const ssize_t r = ::read(file.get(), out.data() + got, size_t(out.size() - got));
        if (r < 0) {
            if (errno == EINTR) continue;
            why = OpenFailure{errno, 0};
            out.clear();
            return false;
        }
        if (r == 0) break;  // the file shrank meanwhile
        got += r;
    }
    out.truncate(got);
    return true;
}

}  // namespace

QByteArray EncodePath(const QString& path) {
    QByteArray out;
    out.reserve(path.size() * 3);
    const char16_t* s = reinterpret_cast<const char16_t*>(path.utf16());
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = s[i];
        if (u >= 0xDC80 && u <= 0xDCFF) {  // an escaped stray byte
            out.append(char(u - 0xDC00));
            continue;
        }
        char32_t cp = u;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.append(char(cp));
        } else if (cp < 0x800) {
            out.append(char(0xC0 | (cp >> 6)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.append(char(0xE0 | (cp >> 12)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        } else {
            out.append(char(0xF0 | (cp >> 18)));
            out.append(char(0x80 | ((cp >> 12) & 0x3F)));
            out.append(char(0x80 | ((cp >> 6) & 0x3F)));
            out.append(char(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

QString DecodePath(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    auto* end = p + bytes.size();
    while (p < end) {
        const int len = Utf8SequenceLength(p, end);
        if (len == 0) {
            out.append(QChar(char16_t(0xDC00 + *p)));
            ++p;
        } else {
            out.append(QString::fromUtf8(reinterpret_cast<const char*>(p), len));
            p += len;
        }
    }
    return out;
}

bool TryReadFileBytes(const QString& path, std::int64_t maxBytes, QByteArray& out) {
    OpenFailure why;
    return ReadBytes(path, maxBytes, out, why);
}

QByteArray ReadFileBytes(const QString& path, std::int64_t maxBytes) {
    QByteArray out;
    OpenFailure why;
    if (!ReadBytes(path, maxBytes, out, why)) throw TamarindError(OpenFailureMessage(path, why));
    return out;
}

void WriteFileBytes(const QString& path, const QByteArray& data) {
    FileHandle file = OpenRegularFile(path, O_WRONLY | O_CREAT | O_TRUNC);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t w = ::write(file.get(), data.constData() + done, size_t(data.size() - done));
        if (w < 0) {
            if (errno == EINTR) continue;
            throw TamarindError(QStringLiteral("ファイル %1 に書き込めません (%2)")
                                    .arg(path, SystemErrorText(errno)));
        }
        done += w;
    }
}

}  // namespace tamarind
