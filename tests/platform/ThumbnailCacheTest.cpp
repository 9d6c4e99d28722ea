// The shared thumbnail cache on real files, in a cache folder of the test's
// own (XDG_CACHE_HOME).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include "TmpfsMount.h"
#include "platform/FileIo.h"
#include "platform/ThumbnailCache.h"

namespace tamarind {
namespace {

const ThumbnailWriter kUs{QStringLiteral("Tamarind 2.20"), QStringLiteral("tamarind-2.20")};
const ThumbnailWriter kOther{QStringLiteral("Other Viewer 1.0"), QStringLiteral("other-1.0")};

class ThumbnailCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", EncodePath(cacheHome_.path()));
    }
    void TearDown() override { qputenv("XDG_CACHE_HOME", previous_); }

    QString MakeFile(const QString& name, const QByteArray& bytes = "picture bytes") {
        const QString path = QDir(files_.path()).filePath(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    static QImage Picture(QSize size) {
        QImage image(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, qRgb(x * 7, y * 5, 99));
        return image;
    }
    CachedFile Cached(const QString& path) {
        const std::optional<CachedFile> file = CachedFileOf(path);
        EXPECT_TRUE(file.has_value()) << path.toStdString();
        return file.value_or(CachedFile{});
    }
    QString EntryPath(const char* folder, const CachedFile& file) {
        return QDir(ThumbnailCacheFolder())
            .filePath(QString::fromLatin1(folder) + u'/' + QString::fromLatin1(file.entryName));
    }
    static mode_t Mode(const QString& path) {
        struct stat st {};
        return ::stat(EncodePath(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    QTemporaryDir cacheHome_, files_;
    QByteArray previous_;
};

TEST(ThumbnailCacheNames, UrisAreGLibsSizeClassesCoverTheBox) {
    // GLib leaves !$&'()*+,-.:=@_~ alone and escapes the rest byte by byte.
    EXPECT_EQ(FileUri(QStringLiteral("/p/a b(1)!&=@+,$'~.jpg")),
              QByteArray("file:///p/a%20b(1)!&=@+,$'~.jpg"));
    EXPECT_EQ(FileUri(QStringLiteral("/p/#?%;[]{}\"<>\\^`|.jpg")),
              QByteArray("file:///p/%23%3F%25%3B%5B%5D%7B%7D%22%3C%3E%5C%5E%60%7C.jpg"));
    EXPECT_EQ(FileUri(QStringLiteral("/写真/é.jpg")),
              QByteArray("file:///%E5%86%99%E7%9C%9F/%C3%A9.jpg"));
    EXPECT_EQ(FileUri(DecodePath("/p/x\xff.jpg")), QByteArray("file:///p/x%FF.jpg"));

    EXPECT_EQ(ThumbnailClassFor(QSize(172, 115)), kThumbnailLarge);
    EXPECT_EQ(ThumbnailClassFor(QSize(200, 256)), kThumbnailLarge);
    EXPECT_EQ(ThumbnailClassFor(QSize(257, 100)), kThumbnailXLarge);
    EXPECT_EQ(ThumbnailClassFor(QSize(820, 546)), kThumbnailXXLarge);
    EXPECT_EQ(ThumbnailClassFor(QSize(1025, 10)), 0);
    EXPECT_EQ(ThumbnailEntrySize(QSize(6000, 4000), 256), QSize(256, 171));
    EXPECT_EQ(ThumbnailEntrySize(QSize(4000, 6000), 1024), QSize(683, 1024));
    EXPECT_EQ(ThumbnailEntrySize(QSize(200, 150), 256), QSize(200, 150));
}

TEST_F(ThumbnailCacheTest, WrittenEntryValidatesAndIsFoundAsOurs) {
    const QString path = MakeFile(QStringLiteral("旅行 写真 (1).jpg"));
    const CachedFile file = Cached(path);
    EXPECT_EQ(file.uri, FileUri(path));
    EXPECT_EQ(file.entryName,
              QCryptographicHash::hash(file.uri, QCryptographicHash::Md5).toHex() + ".png");
    ASSERT_TRUE(WriteThumbnail(file, kThumbnailLarge, Picture(QSize(256, 171)), QSize(6000, 4000),
                               "image/jpeg", kUs));

    const QString entry = EntryPath("large", file);
    EXPECT_EQ(Mode(entry), 0600u);
    EXPECT_EQ(Mode(ThumbnailCacheFolder()), 0700u);
    EXPECT_EQ(Mode(QFileInfo(entry).path()), 0700u);
    // Nothing but the entry is left in its folder.
    EXPECT_EQ(QDir(QFileInfo(entry).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    const QImage written(entry);
    EXPECT_EQ(written.size(), QSize(256, 171));
    EXPECT_EQ(written.text(QStringLiteral("Thumb::URI")).toLatin1(), file.uri);
    EXPECT_EQ(written.text(QStringLiteral("Thumb::MTime")), QString::number(file.mtime));
    EXPECT_EQ(written.text(QStringLiteral("Thumb::Size")), QString::number(file.size));
    EXPECT_EQ(written.text(QStringLiteral("Thumb::Image::Width")), QStringLiteral("6000"));
    EXPECT_EQ(written.text(QStringLiteral("Thumb::Mimetype")), QStringLiteral("image/jpeg"));

    const auto found = FindThumbnail(file, QSize(172, 115), kUs);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->ours);
    EXPECT_EQ(found->classSize, kThumbnailLarge);
    EXPECT_EQ(found->natural, QSize(6000, 4000));
    EXPECT_EQ(found->image.pixel(10, 20), Picture(QSize(256, 171)).pixel(10, 20));
    // For another writer the same entry is a valid one, but not its own.
    EXPECT_FALSE(FindThumbnail(file, QSize(172, 115), kOther)->ours);
}

TEST_F(ThumbnailCacheTest, OursCoveringTheBoxWinsOtherwiseAnyValidEntryLargestFirst) {
    const CachedFile file = Cached(MakeFile(QStringLiteral("a.jpg")));
    ASSERT_TRUE(WriteThumbnail(file, kThumbnailNormal, Picture(QSize(128, 85)), {}, {}, kOther));
    ASSERT_TRUE(WriteThumbnail(file, kThumbnailLarge, Picture(QSize(256, 171)), {}, {}, kUs));
    ASSERT_TRUE(WriteThumbnail(file, kThumbnailXLarge, Picture(QSize(512, 341)), {}, {}, kOther));
    auto found = FindThumbnail(file, QSize(200, 133), kUs);
    EXPECT_TRUE(found->ours);
    EXPECT_EQ(found->classSize, kThumbnailLarge);
    // A box larger than our entry: the other writer's larger one, as a stand-in.
    found = FindThumbnail(file, QSize(400, 266), kUs);
    EXPECT_FALSE(found->ours);
    EXPECT_EQ(found->classSize, kThumbnailXLarge);
}

TEST_F(ThumbnailCacheTest, EntriesOfAnotherTimeSizeOrNameAreIgnored) {
    const QString path = MakeFile(QStringLiteral("a.jpg"));
    CachedFile file = Cached(path);
    CachedFile stale = file;
    stale.mtime -= 5;
    ASSERT_TRUE(WriteThumbnail(stale, kThumbnailLarge, Picture(QSize(64, 64)), {}, {}, kUs));
    EXPECT_FALSE(FindThumbnail(file, QSize(64, 64), kUs));
    stale = file;
    stale.size += 1;
    ASSERT_TRUE(WriteThumbnail(stale, kThumbnailLarge, Picture(QSize(64, 64)), {}, {}, kUs));
    EXPECT_FALSE(FindThumbnail(file, QSize(64, 64), kUs));
    // An entry under the file's name that states another URI.
    CachedFile other = Cached(MakeFile(QStringLiteral("b.jpg")));
    other.entryName = file.entryName;
    ASSERT_TRUE(WriteThumbnail(other, kThumbnailLarge, Picture(QSize(64, 64)), {}, {}, kUs));
    EXPECT_FALSE(FindThumbnail(file, QSize(64, 64), kUs));
    // Changing the file makes a valid entry stale.
    ASSERT_TRUE(WriteThumbnail(file, kThumbnailLarge, Picture(QSize(64, 64)), {}, {}, kUs));
    EXPECT_TRUE(FindThumbnail(file, QSize(64, 64), kUs));
    WriteFileBytes(path, "other bytes, longer than before");
    EXPECT_FALSE(FindThumbnail(Cached(path), QSize(64, 64), kUs));
}

TEST_F(ThumbnailCacheTest, DamagedAndHostileEntriesArePassedOverSafely) {
    const CachedFile file = Cached(MakeFile(QStringLiteral("a.jpg")));
    ASSERT_TRUE(WriteThumbnail(file, kThumbnailLarge, Picture(QSize(64, 64)), {}, {}, kUs));
    const QString entry = EntryPath("large", file);
    const QByteArray good = ReadFileBytes(entry);
    // A PNG header claiming 100000 x 100000 pixels, keys intact.
    QByteArray huge = good;
    huge.replace(16, 8, QByteArray("\x00\x01\x86\xa0\x00\x01\x86\xa0", 8));
    const QList<QByteArray> bad{good.left(good.size() / 2), good.left(40), huge,
                                QByteArray(1000, '\xff'), QByteArray()};
    for (const QByteArray& bytes : bad) {
        WriteFileBytes(entry, bytes);
        EXPECT_FALSE(FindThumbnail(file, QSize(64, 64), kUs)) << bytes.size();
    }
    // Things that are not files: a named pipe would block a careless reader.
    QFile::remove(entry);
    ASSERT_EQ(::mkfifo(EncodePath(entry).constData(), 0600), 0);
    EXPECT_FALSE(FindThumbnail(file, QSize(64, 64), kUs));
    QFile::remove(entry);
    ASSERT_EQ(::symlink("/dev/zero", EncodePath(entry).constData()), 0);
    EXPECT_FALSE(FindThumbnail(file, QSize(64, 64), kUs));
}

TEST_F(ThumbnailCacheTest, MovedFilesTakeTheirEntriesAlongDeletedOnesLoseThem) {
    const QString from = MakeFile(QStringLiteral("a.jpg"));
    const CachedFile before = Cached(from);
    ASSERT_TRUE(WriteThumbnail(before, kThumbnailLarge, Picture(QSize(64, 48)), {}, {}, kUs));
    ASSERT_TRUE(WriteThumbnail(before, kThumbnailNormal, Picture(QSize(32, 24)), {}, {}, kOther));
    ASSERT_TRUE(WriteThumbnailFailure(before, QStringLiteral("x"), kUs));
    const QString to = QDir(files_.path()).filePath(QStringLiteral("新しい 名前.jpg"));
    ASSERT_EQ(::rename(EncodePath(from).constData(), EncodePath(to).constData()), 0);
    MoveThumbnails(from, to);
    const CachedFile after = Cached(to);
    EXPECT_FALSE(QFile::exists(EntryPath("large", before)));
    EXPECT_FALSE(QFile::exists(EntryPath("normal", before)));
    EXPECT_FALSE(QFile::exists(EntryPath("fail/tamarind-2.20", before)));
    const auto found = FindThumbnail(after, QSize(64, 48), kUs);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->ours);
    EXPECT_EQ(Mode(EntryPath("large", after)), 0600u);
    EXPECT_EQ(RecordedThumbnailFailure(after, kUs), QStringLiteral("x"));

    // A move that replaces a file: the replaced file's entries go.
    const QString third = MakeFile(QStringLiteral("c.jpg"), "different contents altogether");
    ASSERT_TRUE(
        WriteThumbnail(Cached(third), kThumbnailXLarge, Picture(QSize(8, 8)), {}, {}, kOther));
    ASSERT_EQ(::rename(EncodePath(to).constData(), EncodePath(third).constData()), 0);
    MoveThumbnails(to, third);
    EXPECT_FALSE(QFile::exists(EntryPath("x-large", Cached(third))));
    EXPECT_TRUE(FindThumbnail(Cached(third), QSize(64, 48), kUs)->ours);

    ASSERT_TRUE(
        WriteThumbnail(Cached(third), kThumbnailXXLarge, Picture(QSize(8, 8)), {}, {}, kUs));
    ASSERT_TRUE(WriteThumbnailFailure(Cached(third), QStringLiteral("x"), kOther));
    const CachedFile gone = Cached(third);
    QFile::remove(third);
    ForgetThumbnails(third);
    EXPECT_FALSE(QFile::exists(EntryPath("xx-large", gone)));
    EXPECT_FALSE(QFile::exists(EntryPath("fail/other-1.0", gone)));
}

TEST_F(ThumbnailCacheTest, NothingIsWrittenForTheCachesOwnFilesOrIntoAReadOnlyCache) {
    ASSERT_TRUE(QDir().mkpath(ThumbnailCacheFolder() + QStringLiteral("/large")));
    const QString own = ThumbnailCacheFolder() + QStringLiteral("/large/0123.png");
    WriteFileBytes(own, "png");
    EXPECT_FALSE(CachedFileOf(own));
    // The same file reached through a link from outside.
    const QString link = QDir(files_.path()).filePath(QStringLiteral("link.png"));
    ASSERT_EQ(::symlink(EncodePath(own).constData(), EncodePath(link).constData()), 0);
    EXPECT_FALSE(CachedFileOf(link));

    test::TmpfsMount mount(QStringLiteral("1m"));
    if (!mount.ok()) GTEST_SKIP() << mount.why();
    ASSERT_TRUE(mount.MakeReadOnly());
    qputenv("XDG_CACHE_HOME", mount.nativePath());
    const CachedFile file = Cached(MakeFile(QStringLiteral("a.jpg")));
    EXPECT_FALSE(WriteThumbnail(file, kThumbnailLarge, Picture(QSize(8, 8)), {}, {}, kUs));
    EXPECT_FALSE(WriteThumbnailFailure(file, QStringLiteral("x"), kUs));
    EXPECT_TRUE(mount.Names().isEmpty());
}

TEST_F(ThumbnailCacheTest, GLibFindsTheEntriesWeWrite) {
    if (QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty())
        GTEST_SKIP() << "gio is missing (Debian package libglib2.0-bin)";
    for (const QString& name :
         {QStringLiteral("旅行 (1)!&'=@+,$;#?[].jpg"), QStringLiteral("a.jpg")}) {
        const QString path = MakeFile(name);
        const CachedFile file = Cached(path);
        ASSERT_TRUE(WriteThumbnail(file, kThumbnailLarge, Picture(QSize(256, 171)), QSize(600, 400),
                                   "image/jpeg", kUs));
        QProcess gio;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome_.path());
        gio.setProcessEnvironment(env);
        gio.start(QStringLiteral("gio"),
                  {QStringLiteral("info"), QStringLiteral("-a"),
                   QStringLiteral("thumbnail::path,thumbnail::is-valid"), path});
        ASSERT_TRUE(gio.waitForFinished(30000));
        const QString out = QString::fromUtf8(gio.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral("thumbnail::path: ") + EntryPath("large", file)))
            << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("thumbnail::is-valid: TRUE"))) << out.toStdString();
    }
}

}  // namespace
}  // namespace tamarind
