#include "platform/ThumbnailCache.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <memory>
#include <vector>

#include "platform/FileIo.h"
#include "platform/Folders.h"
#include "platform/OpenFile.h"

namespace tamarind {
namespace {

// Entries beyond these are not read: the standard's largest class is 1024
// pixels, and an honest PNG of that is a few megabytes.
constexpr int kMaxEntrySide = 4096;
constexpr qint64 kMaxEntryBytes = 32LL * 1024 * 1024;

struct SizeClass {
    int size;
    const char* folder;
};
constexpr std::array<SizeClass, 4> kClasses{{{kThumbnailNormal, "normal"},
                                             {kThumbnailLarge, "large"},
                                             {kThumbnailXLarge, "x-large"},
                                             {kThumbnailXXLarge, "xx-large"}}};

QByteArray ClassFolder(int classSize) {
    for (const SizeClass& c : kClasses)
        if (c.size == classSize) return EncodePath(ThumbnailCacheFolder()) + '/' + c.folder;
    return {};
}

QByteArray FailFolder(const ThumbnailWriter& writer) {
    return EncodePath(ThumbnailCacheFolder()) + "/fail/" + EncodePath(writer.failFolder);
}

// The path made absolute and free of "." and ".." parts, as the file
// managers name it (symbolic links are not resolved).
QString AbsoluteClean(const QString& path) {
    return QDir::cleanPath(AbsolutePath(path));
}

QByteArray EntryNameOfUri(const QByteArray& uri) {
    return QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png";
}

// --- PNG chunks ------------------------------------------------------------------------

constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qsizetype kSignatureSize = 8;

quint32 Crc32(const QByteArray& bytes) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (char b : bytes) c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void AppendBigEndian(QByteArray& out, quint32 v) {
    out.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

quint32 BigEndianAt(const QByteArray& bytes, qsizetype at) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + at;
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

QByteArray Chunk(const char* type, const QByteArray& data) {
    QByteArray typed = QByteArray(type, 4) + data;
    QByteArray out;
    AppendBigEndian(out, quint32(data.size()));
    out += typed;
    AppendBigEndian(out, Crc32(typed));
    return out;
}

// A text chunk: tEXt for ASCII values, uncompressed iTXt (UTF-8) otherwise.
QByteArray TextChunk(const QByteArray& key, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    const bool ascii =
        std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; });
    if (ascii) return Chunk("tEXt", key + '\0' + utf8);
    // keyword, compression flag and method, empty language and translated keyword
    return Chunk("iTXt", key + QByteArray("\0\0\0\0\0", 5) + utf8);
}

struct PngChunk {
    qsizetype at;      // offset of the chunk's length field
    qsizetype length;  // bytes of data
    QByteArray type;
};

// The chunks of a PNG file, in order; empty when the bytes are not a whole
// PNG file's chunk structure.
std::vector<PngChunk> PngChunks(const QByteArray& png) {
    std::vector<PngChunk> chunks;
    if (!png.startsWith(QByteArray(kPngSignature, kSignatureSize))) return {};
    qsizetype at = kSignatureSize;
    while (at + 12 <= png.size()) {
        const qint64 length = BigEndianAt(png, at);
        if (length > png.size() - at - 12) return {};
        chunks.push_back({at, qsizetype(length), png.mid(at + 4, 4)});
        at += 12 + qsizetype(length);
        if (chunks.back().type == "IEND") return chunks;
    }
    return {};
}

// `png` with text chunks inserted right after its header chunk, so readers
// find them before the pixels.
QByteArray WithTextChunks(const QByteArray& png, const QByteArray& texts) {
    const std::vector<PngChunk> chunks = PngChunks(png);
    if (chunks.empty() || chunks.front().type != "IHDR") return {};
    const qsizetype afterHeader = chunks.front().at + 12 + chunks.front().length;
    return png.left(afterHeader) + texts + png.mid(afterHeader);
}

QByteArray EncodePng(const QImage& image, int classSize) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // A photograph's pixels hardly compress, and an entry is read far more
    // often than written: entries up to the large class are stored without
    // compression (reading them costs a quarter), bigger ones compressed
    // quickly.
    writer.setQuality(classSize <= kThumbnailLarge ? 100 : 80);
    if (!writer.write(image)) return {};
    return png;
}

// --- Files -------------------------------------------------------------------------------

bool ReadEntryBytes(const QByteArray& path, QByteArray& out) {
    FileHandle file;
    struct stat st {};
    if (!TryOpenRegularFileAt(AT_FDCWD, path, O_RDONLY, file, nullptr, &st)) return false;
    if (st.st_size <= 0 || st.st_size > kMaxEntryBytes) return false;
    out.resize(qsizetype(st.st_size));
    qsizetype done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(file.get(), out.data() + done, size_t(out.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Makes the folder and any missing folder above it, each 0700; folders
// already there are left as they are.
bool MakeFolders(const QByteArray& folder) {
    struct stat st {};
    if (::stat(folder.constData(), &st) == 0) return S_ISDIR(st.st_mode);
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash > 0 && !MakeFolders(folder.left(slash))) return false;
    return ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Puts `bytes` in place as folder/name: a temporary file of mode 0600 in the
// same folder, renamed over any older entry once complete. The cache holds
// only copies, so the file is not flushed to disk first: a torn entry after
// a crash is an invalid PNG, which every reader passes over.
bool PlaceEntry(const QByteArray& folder, const QByteArray& name, const QByteArray& bytes) {
    if (bytes.isEmpty() || !MakeFolders(folder)) return false;
    QByteArray temp = folder + '/' + name + ".tamarind-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, bytes);
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), (folder + '/' + name).constData()) == 0;
    if (!ok) ::unlink(temp.constData());
    return ok;
}

// The folders that may hold entries of a file: the four classes and every
// program's folder of failed files.
std::vector<QByteArray> EntryFolders() {
    std::vector<QByteArray> folders;
    for (int i = int(kClasses.size()) - 1; i >= 0; --i)
        folders.push_back(ClassFolder(kClasses[size_t(i)].size));
    const QByteArray fail = EncodePath(ThumbnailCacheFolder()) + "/fail";
    if (DIR* dir = ::opendir(fail.constData())) {
        while (const dirent* e = ::readdir(dir)) {
            const QByteArray name(e->d_name);
            if (name != "." && name != "..") folders.push_back(fail + '/' + name);
        }
        ::closedir(dir);
    }
    return folders;
}

// --- Entries -------------------------------------------------------------------------------

// What the keys of an entry say, read before its pixels.
struct EntryHead {
    bool valid = false;
    bool ours = false;
    QSize size;     // the entry's own pixels
    QSize natural;  // the original's, from the keys
};

QString Key(QImageReader& reader, const QImage* image, const char* key) {
    const QString k = QString::fromLatin1(key);
    return image ? image->text(k) : reader.text(k);
}

// Checks the keys against the file. Keys after the pixels are only known
// once the picture is read, so a reader without the URI is checked again on
// the image.
EntryHead CheckKeys(QImageReader& reader, const QImage* image, const CachedFile& file,
                    const ThumbnailWriter* writer) {
    EntryHead head;
    if (Key(reader, image, "Thumb::URI").toLatin1() != file.uri) return head;
    bool ok = false;
    if (Key(reader, image, "Thumb::MTime").toLongLong(&ok) != file.mtime || !ok) return head;
    const QString size = Key(reader, image, "Thumb::Size");
    if (!size.isEmpty() && (size.toLongLong(&ok) != file.size || !ok)) return head;
    head.valid = true;
    head.ours = writer && Key(reader, image, "Software") == writer->software;
    const int w = Key(reader, image, "Thumb::Image::Width").toInt();
    const int h = Key(reader, image, "Thumb::Image::Height").toInt();
    if (w > 0 && h > 0) head.natural = QSize(w, h);
    return head;
}

// An entry's file read and its keys checked; the pixels are decoded on
// demand.
class EntryFile {
  public:
    EntryFile(const QByteArray& path, const CachedFile& file, const ThumbnailWriter* writer) {
        if (!ReadEntryBytes(path, bytes_)) return;
        buffer_.setBuffer(&bytes_);
        buffer_.open(QIODevice::ReadOnly);
        reader_.setDevice(&buffer_);
        reader_.setFormat("png");
        reader_.setAutoTransform(false);
        const QSize size = reader_.size();
        if (!reader_.canRead() || size.width() < 1 || size.height() < 1 ||
            size.width() > kMaxEntrySide || size.height() > kMaxEntrySide)
            return;
        head_ = CheckKeys(reader_, nullptr, file, writer);
        if (!head_.valid && reader_.text(QStringLiteral("Thumb::URI")).isEmpty()) {
            // The keys may follow the pixels.
            Decode();
            if (!image_.isNull()) head_ = CheckKeys(reader_, &image_, file, writer);
        }
        head_.size = size;
    }
    EntryFile(const EntryFile&) = delete;
    EntryFile& operator=(const EntryFile&) = delete;

    const EntryHead& head() const { return head_; }
    const QByteArray& bytes() const { return bytes_; }
    // The pixels, null for a damaged entry.
    QImage Image() {
        Decode();
        return image_.size() == head_.size ? image_ : QImage();
    }

  private:
    void Decode() {
        if (decoded_) return;
        decoded_ = true;
        QImage read = reader_.read();
        if (read.isNull()) return;
        image_ = read.convertToFormat(read.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                             : QImage::Format_RGB32);
        // The keys stay readable on the converted image for a second check.
        for (const QString& key : read.textKeys()) image_.setText(key, read.text(key));
    }

    QByteArray bytes_;
    QBuffer buffer_;
    QImageReader reader_;
    EntryHead head_;
    QImage image_;
    bool decoded_ = false;
};

bool Covers(QSize size, QSize box) {
    return size.width() >= box.width() && size.height() >= box.height();
}

}  // namespace

int ThumbnailClassFor(QSize box) {
    const int side = std::max(box.width(), box.height());
    for (int size : {kThumbnailLarge, kThumbnailXLarge, kThumbnailXXLarge})
        if (side <= size) return size;
    return 0;
}

QSize ThumbnailEntrySize(QSize natural, int classSize) {
    if (natural.isEmpty() || classSize <= 0) return {};
    if (natural.width() <= classSize && natural.height() <= classSize) return natural;
    // The longer side becomes the class size, the other in proportion,
    // rounded, at least one pixel.
    const qint64 w = natural.width(), h = natural.height();
    if (w >= h) return QSize(classSize, int(std::max<qint64>(1, (h * classSize + w / 2) / w)));
    return QSize(int(std::max<qint64>(1, (w * classSize + h / 2) / h)), classSize);
}

QString ThumbnailCacheFolder() {
    const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
    if (xdg.startsWith(u'/')) return JoinPath(xdg, QStringLiteral("thumbnails"));
    return JoinPath(QDir::homePath(), QStringLiteral(".cache/thumbnails"));
}

QByteArray FileUri(const QString& absolutePath) {
    static const QByteArray kept = "!$&'()*+,-./:=@_~";
    const QByteArray path = EncodePath(absolutePath);
    QByteArray uri = "file://";
    uri.reserve(uri.size() + path.size() * 3);
    for (char c : path) {
        const uchar b = uchar(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
            kept.contains(c)) {
            uri.append(c);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            uri.append('%').append(hex[b >> 4]).append(hex[b & 15]);
        }
    }
    return uri;
}

std::optional<CachedFile> CachedFileOf(const QString& path) {
    const QString absolute = AbsoluteClean(path);
    const QByteArray bytes = EncodePath(absolute);
    struct stat st {};
    if (::stat(bytes.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    // Thumbnails of the cache's own files would feed on themselves.
    char real[PATH_MAX];
    char cache[PATH_MAX];
    const QByteArray cacheFolder = EncodePath(ThumbnailCacheFolder());
    if (::realpath(bytes.constData(), real) && ::realpath(cacheFolder.constData(), cache)) {
        const QByteArray inside = QByteArray(cache) + '/';
        if (QByteArray(real).startsWith(inside)) return std::nullopt;
    } else if (bytes.startsWith(cacheFolder + '/')) {
        return std::nullopt;
    }
    CachedFile file;
    file.uri = FileUri(absolute);
    file.entryName = EntryNameOfUri(file.uri);
    file.mtime = st.st_mtim.tv_sec;
    file.size = st.st_size;
    return file;
}

std::optional<ThumbnailEntry> FindThumbnail(const CachedFile& file, QSize box,
                                            const ThumbnailWriter& writer) {
    // Each class's entry, read once: largest first.
    std::array<std::unique_ptr<EntryFile>, kClasses.size()> entries;
    auto entry = [&](size_t i) -> EntryFile& {
        if (!entries[i])
            entries[i] = std::make_unique<EntryFile>(
                ClassFolder(kClasses[i].size) + '/' + file.entryName, file, &writer);
        return *entries[i];
    };
    auto found = [&](size_t i, bool ours) -> std::optional<ThumbnailEntry> {
        QImage image = entry(i).Image();
        if (image.isNull()) return std::nullopt;
        return ThumbnailEntry{std::move(image), kClasses[i].size, ours, entry(i).head().natural};
    };
    // This writer's entry covering the box, from the class that covers it up.
    const int first = ThumbnailClassFor(box);
    for (size_t i = 0; first > 0 && i < kClasses.size(); ++i) {
        if (kClasses[i].size < first) continue;
        const EntryHead& head = entry(i).head();
        if (head.valid && head.ours && Covers(head.size, box))
            if (auto e = found(i, true)) return e;
    }
    // Any valid entry, the largest first.
    for (size_t i = kClasses.size(); i-- > 0;) {
        const EntryHead& head = entry(i).head();
        if (head.valid)
            if (auto e = found(i, head.ours)) return e;
    }
    return std::nullopt;
}

bool WriteThumbnail(const CachedFile& file, int classSize, const QImage& image, QSize natural,
                    const QByteArray& mimeType, const ThumbnailWriter& writer) {
    const QByteArray folder = ClassFolder(classSize);
    if (folder.isEmpty() || image.isNull()) return false;
    QByteArray keys = TextChunk("Thumb::URI", QString::fromLatin1(file.uri)) +
                      TextChunk("Thumb::MTime", QString::number(file.mtime)) +
                      TextChunk("Thumb::Size", QString::number(file.size)) +
                      TextChunk("Software", writer.software);
    if (natural.isValid())
        keys += TextChunk("Thumb::Image::Width", QString::number(natural.width())) +
                TextChunk("Thumb::Image::Height", QString::number(natural.height()));
    if (!mimeType.isEmpty()) keys += TextChunk("Thumb::Mimetype", QString::fromLatin1(mimeType));
    return PlaceEntry(folder, file.entryName, WithTextChunks(EncodePng(image, classSize), keys));
}

bool WriteThumbnailFailure(const CachedFile& file, const QString& message,
                           const ThumbnailWriter& writer) {
    QImage pixel(1, 1, QImage::Format_ARGB32);
    pixel.fill(Qt::transparent);
    const QByteArray keys = TextChunk("Thumb::URI", QString::fromLatin1(file.uri)) +
                            TextChunk("Thumb::MTime", QString::number(file.mtime)) +
                            TextChunk("Thumb::Size", QString::number(file.size)) +
                            TextChunk("Software", writer.software) +
                            TextChunk("Tamarind::Error", message);
    return PlaceEntry(FailFolder(writer), file.entryName, WithTextChunks(EncodePng(pixel, 0), keys));
}

std::optional<QString> RecordedThumbnailFailure(const CachedFile& file,
                                                const ThumbnailWriter& writer) {
    EntryFile entry(FailFolder(writer) + '/' + file.entryName, file, &writer);
    if (!entry.head().valid || !entry.head().ours) return std::nullopt;
    QImage image = entry.Image();
    const QString message = image.text(QStringLiteral("Tamarind::Error"));
    if (message.isEmpty()) return std::nullopt;
    return message;
}

void MoveThumbnails(const QString& from, const QString& to) {
    if (AbsoluteClean(from) == AbsoluteClean(to)) return;
    // Entries of a file the move replaced are stale whatever happens below.
    ForgetThumbnails(to);
    const QByteArray oldUri = FileUri(AbsoluteClean(from));
    const QByteArray oldName = EntryNameOfUri(oldUri);
    const std::optional<CachedFile> moved = CachedFileOf(to);
    for (const QByteArray& folder : EntryFolders()) {
        const QByteArray oldPath = folder + '/' + oldName;
        // Only an entry that still matches the file, its URI in plain text,
        // is carried over; its pixels and other keys stay as they are.
        if (moved) {
            CachedFile before = *moved;
            before.uri = oldUri;
            EntryFile entry(oldPath, before, nullptr);
            const QByteArray& png = entry.bytes();
            const std::vector<PngChunk> chunks = PngChunks(png);
            const QByteArray uriText = QByteArray("Thumb::URI") + '\0' + oldUri;
            auto uriChunk = std::find_if(chunks.begin(), chunks.end(), [&](const PngChunk& c) {
                return c.type == "tEXt" && png.mid(c.at + 8, c.length) == uriText;
            });
            if (entry.head().valid && uriChunk != chunks.end()) {
                const QByteArray rewritten =
                    png.left(uriChunk->at) +
                    TextChunk("Thumb::URI", QString::fromLatin1(moved->uri)) +
                    png.mid(uriChunk->at + 12 + uriChunk->length);
                PlaceEntry(folder, moved->entryName, rewritten);
            }
        }
        // Whatever it is, it names a file that is no longer there.
        ::unlink(oldPath.constData());
    }
}

void ForgetThumbnails(const QString& path) {
    const QByteArray name = EntryNameOfUri(FileUri(AbsoluteClean(path)));
    for (const QByteArray& folder : EntryFolders()) ::unlink((folder + '/' + name).constData());
}

}  // namespace tamarind
