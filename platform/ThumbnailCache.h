#pragma once
// The desktop's shared thumbnail cache, as file managers and viewers keep it
// (freedesktop Thumbnail Managing Standard 0.9): one PNG per file and size
// class, $XDG_CACHE_HOME/thumbnails/<class>/<MD5 of the file's URI>.png,
// carrying the file's URI, modification time and size as text keys. An
// entry counts only while those match the file; its pixels are read as
// those of any untrusted PNG. Entries are written to a temporary name in
// their folder and renamed into place, so no reader ever sees half of one.
// Nothing here raises: a cache that cannot be read or written is simply not
// used.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

namespace tamarind {

// Who writes entries: the Software key of its entries ("Tamarind 2.20") and
// its folder for failed files under fail/ ("tamarind-2.20").
struct ThumbnailWriter {
    QString software;
    QString failFolder;
};

// The size classes: the longest side of an entry in pixels, by folder.
constexpr int kThumbnailNormal = 128;    // normal/
constexpr int kThumbnailLarge = 256;     // large/
constexpr int kThumbnailXLarge = 512;    // x-large/
constexpr int kThumbnailXXLarge = 1024;  // xx-large/

// The class whose entries cover a box: the smallest of large, x-large and
// xx-large at least as long as the box's longer side; 0 when the box is
// longer than all of them.
int ThumbnailClassFor(QSize box);

// The size of an entry of class `classSize` for a picture of `natural`
// pixels: the picture fitted into classSize x classSize, never enlarged.
QSize ThumbnailEntrySize(QSize natural, int classSize);

// $XDG_CACHE_HOME/thumbnails when XDG_CACHE_HOME is an absolute path,
// otherwise ~/.cache/thumbnails.
QString ThumbnailCacheFolder();

// The file's URI as GLib's g_filename_to_uri writes it, which is what the
// other programs of the desktop look entries up by: "file://" and the
// absolute path's bytes, with ASCII letters, digits, "/" and
// !$&'()*+,-.:=@_~ as they are and every other byte percent-encoded in
// upper-case hex (so UTF-8 names and names that are not UTF-8 alike).
QByteArray FileUri(const QString& absolutePath);

// A file as the cache knows it: what names its entries and what they must
// match.
struct CachedFile {
    QByteArray uri;
    QByteArray entryName;  // the lower-case hex MD5 of the URI, ".png"
    qint64 mtime = 0;      // modification time in whole seconds
    qint64 size = 0;       // bytes
    bool operator==(const CachedFile&) const = default;
};

// The regular file at `path` (made absolute) as it is now; nothing for a
// file that cannot be examined or that lies inside the cache folder itself.
std::optional<CachedFile> CachedFileOf(const QString& path);

// A valid entry found for a file.
struct ThumbnailEntry {
    QImage image;       // RGB32, or ARGB32 when the entry has transparency
    int classSize = 0;  // the class folder it lies in
    bool ours = false;  // written by the writer asked about (its Software key)
    QSize natural;      // the original's size its keys state (invalid when absent)
};

// The entry to show for `file` in a box of `box` pixels: an entry of
// `writer` whose picture covers the box when there is one (looked for from
// the class covering the box upwards), otherwise any valid entry, the
// largest class first. Entries of more than 4096 x 4096 pixels or 32 MB,
// and anything not a readable PNG file, are passed over.
std::optional<ThumbnailEntry> FindThumbnail(const CachedFile& file, QSize box,
                                            const ThumbnailWriter& writer);

// Writes `image` as the entry of class `classSize` for `file`, with the
// keys Thumb::URI, Thumb::MTime, Thumb::Size, Thumb::Image::Width and
// Height (the original's `natural` size), Thumb::Mimetype and Software.
// Files 0600, folders made 0700. False when anything failed; then nothing
// of the attempt is left.
bool WriteThumbnail(const CachedFile& file, int classSize, const QImage& image, QSize natural,
                    const QByteArray& mimeType, const ThumbnailWriter& writer);

// Records that `file` failed to decode, with the message the user saw: a
// 1 x 1 entry in fail/<writer's folder>/.
bool WriteThumbnailFailure(const CachedFile& file, const QString& message,
                           const ThumbnailWriter& writer);
// The message recorded for `file` while the file is as it was then.
std::optional<QString> RecordedThumbnailFailure(const CachedFile& file,
                                                const ThumbnailWriter& writer);

// After a file was renamed or moved from `from` to `to`: the entries of a
// file `to` replaced go, every entry of the old name that still matches the
// file is rewritten for the new URI (its pixels untouched), and every entry
// of the old name goes.
void MoveThumbnails(const QString& from, const QString& to);
// After a file was deleted, or its contents replaced: every entry of it
// goes.
void ForgetThumbnails(const QString& path);

}  // namespace tamarind
