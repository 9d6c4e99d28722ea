// Pictures of the other formats, read only with the option on: one picture
// per format made here, loaded in full and as a thumbnail, its depth and
// transparency, saved as BMP; the refusal with the option off; and hostile
// files of each format (empty, cut short, claiming a huge size) refused with
// a message and without a large allocation, measured in a child process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "PictureFiles.h"
#include "PictureTestUtil.h"
#include "Sanitizers.h"
#include "detail/Save.h"
#include "picture/Bmp.h"
#include "picture/OtherFormats.h"
#include "picture/PictureLoad.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

constexpr QSize kSize(64, 48);

PictureOptions OtherOn() {
    PictureOptions options;
    options.otherFormats = true;
    options.background = qRgb(10, 20, 30);
    return options;
}

struct Made {
    QString path;
    const char* kind;
};

// One picture of each format in `dir`, or the ones this installation can encode.
QList<Made> MakeEachFormat(const QTemporaryDir& dir) {
    const QImage picture = QuarterPicture(kSize.width(), kSize.height()).ToQImage();
    QList<Made> made;
    for (const char* kind : {"png", "gif", "tiff", "webp"}) {
        const QString path = dir.filePath(QStringLiteral("made.") + QLatin1String(kind));
        const QByteArray bytes = QtPictureBytes(picture, kind);
        if (bytes.isEmpty()) continue;
        WriteFileBytes(path, bytes);
        made.push_back({path, kind});
    }
    for (const char* kind : {"heic", "avif"}) {
        const QString path = dir.filePath(QStringLiteral("made.") + QLatin1String(kind));
        if (WriteHeifPicture(picture, path, QByteArrayView(kind) == "avif"))
            made.push_back({path, kind});
    }
    return made;
}

quint32 Crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFF;
    for (char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
    }
    return ~crc;
}

void PutBig32(QByteArray& bytes, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(v >> (24 - 8 * i));
}

// The file's bytes with the picture size its header states replaced by a
// huge one, everything else kept (so the checksums still match).
QByteArray ClaimingHuge(QByteArray bytes, const char* kind) {
    const QByteArrayView k(kind);
    if (k == "png") {  // IHDR, and its CRC again
        PutBig32(bytes, 16, 60000);
        PutBig32(bytes, 20, 60000);
        PutBig32(bytes, 29, Crc32(bytes.mid(12, 17)));
    } else if (k == "gif") {  // the screen and the first image descriptor
        for (qsizetype at : {qsizetype(6), bytes.indexOf(',') + 5})
            for (int i = 0; i < 4; ++i) bytes[at + i] = char(0xFF);
    } else if (k == "tiff") {  // IFD0's ImageWidth and ImageLength as LONGs
        const auto word = [&](qsizetype at) { return uchar(bytes[at]) | uchar(bytes[at + 1]) << 8; };
        const qsizetype ifd = word(4) | word(6) << 16;
        for (int i = 0; i < word(ifd); ++i) {
            const qsizetype entry = ifd + 2 + 12 * i;
            if (word(entry) != 256 && word(entry) != 257) continue;
            bytes[entry + 2] = 4;
            bytes[entry + 3] = 0;
            for (int j = 0; j < 4; ++j) bytes[entry + 8 + j] = char(j == 2 ? 1 : 0x86);  // 100,000+
        }
    } else if (k == "webp") {  // VP8L: 14-bit width and height minus one
        const qsizetype at = bytes.indexOf("VP8L") + 9;
        bytes[at] = char(0xFF);
        bytes[at + 1] = char(0xFF);
        bytes[at + 2] = char(0xFF);
        bytes[at + 3] = char((uchar(bytes[at + 3]) & 0xF0) | 0x0F);
    } else {  // HEIF and AVIF: every 'ispe' box
        for (qsizetype at = bytes.indexOf("ispe"); at >= 0; at = bytes.indexOf("ispe", at + 4)) {
            PutBig32(bytes, at + 8, 60000);
            PutBig32(bytes, at + 12, 60000);
        }
    }
    return bytes;
}

QString LoadError(const QString& path, const PictureOptions& options) {
    try {
        LoadPicture(path, options);
    } catch (const TamarindError& e) {
        return e.text();
    }
    return QStringLiteral("(loaded)");
}

}  // namespace

TEST(OtherFormats, EachFormatLoadsThumbnailsAndSavesAsBmp) {
    QTemporaryDir dir;
    const QList<Made> made = MakeEachFormat(dir);
    QStringList kinds;
    for (const Made& m : made) kinds << QLatin1String(m.kind);
    // Qt's own readers and writers, the plug-ins and libheif's encoders are
    // all installed by tools/deps.sh.
    EXPECT_EQ(kinds, QStringList({"png", "gif", "tiff", "webp", "heic", "avif"}));
    for (const Made& m : made) {
        SCOPED_TRACE(m.kind);
        const Picture full = LoadPicture(m.path, OtherOn());
        ASSERT_EQ(full.size(), kSize);
        const QImage shown = full.bitmap().ToQImage();
        for (QPoint at : {QPoint(16, 12), QPoint(48, 12), QPoint(16, 36), QPoint(48, 36)})
            EXPECT_TRUE(Near(shown.pixel(at), QuarterColour(at, kSize)))
                << at.x() << "," << at.y() << " " << std::hex << shown.pixel(at);

        QSize asked;
        const PictureThumbnail thumb = LoadThumbnail(
            m.path,
            [&](QSize natural) {
                asked = natural;
                return QSize(32, 24);
            },
            OtherOn(), 1);
        EXPECT_EQ(asked, kSize);
        EXPECT_EQ(thumb.natural, kSize);
        ASSERT_EQ(thumb.image.size(), QSize(32, 24));
        EXPECT_EQ(thumb.image.format(), QImage::Format_RGB32);
        EXPECT_TRUE(Near(thumb.image.pixel(24, 4), QuarterColour({48, 8}, kSize)));

        const QString bmp = dir.filePath(QStringLiteral("saved-%1.bmp").arg(m.kind));
        ASSERT_TRUE(SavePictureFile(bmp, QStringLiteral("BMP"), full.bitmap(), 70));
        EXPECT_TRUE(SameBitmap(ReadBmpFile(bmp), full.bitmap()));

        // Off, each is refused as before: by its extension, unread.
        const QString refusal =
            QStringLiteral("拡張子 .%1 の画像形式は処理できません").arg(m.kind);
        EXPECT_EQ(LoadError(m.path, PictureOptions{}), refusal);
        EXPECT_TRUE(RefusedWith([&] { LoadPicture(m.path); }, refusal));
    }
}

TEST(OtherFormats, DepthFollowsTheFileAndTransparencyLiesOnTheBackground) {
    QTemporaryDir dir;
    QImage clear(8, 8, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixel(0, 0, qRgba(255, 255, 255, 255));
    const QString alpha = dir.filePath(QStringLiteral("alpha.png"));
    WriteFileBytes(alpha, QtPictureBytes(clear, "png"));
    const Picture a = LoadPicture(alpha, OtherOn());
    EXPECT_EQ(a.bitmap().bitsPerPixel(), 32);
    EXPECT_EQ(a.image().pixel(5, 5) & 0xFFFFFF, OtherOn().background & 0xFFFFFF);
    EXPECT_EQ(a.image().pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);

    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(128);
    const QString greyPath = dir.filePath(QStringLiteral("grey.png"));
    WriteFileBytes(greyPath, QtPictureBytes(grey, "png"));
    EXPECT_EQ(LoadPicture(greyPath, OtherOn()).bitmap().bitsPerPixel(), 8);

    // A GIF's transparent index shows the background too.
    const QString gif = dir.filePath(QStringLiteral("palette.gif"));
    WriteFileBytes(gif, GifBytes(clear));
    const Picture g = LoadPicture(gif, OtherOn());
    EXPECT_EQ(g.image().pixel(5, 5) & 0xFFFFFF, OtherOn().background & 0xFFFFFF);
    EXPECT_EQ(g.image().pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(OtherFormats, HeifTurnsShowOnceWhateverTheUprightOption) {
    // HEIF stores a turn as part of the picture itself (not as an Exif tag):
    // libheif applies it, and the upright option must not turn it again.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("side.heic"));
    ASSERT_TRUE(WriteHeifPicture(QuarterPicture(kSize.width(), kSize.height()).ToQImage(), path,
                                 false, 6));
    for (const bool upright : {false, true}) {
        PictureOptions options = OtherOn();
        options.upright = upright;
        const Picture full = LoadPicture(path, options);
        ASSERT_EQ(full.size(), kSize.transposed());
        EXPECT_TRUE(ShowsQuarters(full.image(), kSize, 6));
        const PictureThumbnail thumb =
            LoadThumbnail(path, [](QSize natural) { return natural / 2; }, options, 1);
        EXPECT_EQ(thumb.natural, kSize.transposed());
        EXPECT_EQ(thumb.orientation, 1);
        EXPECT_TRUE(ShowsQuarters(thumb.image, kSize, 6));
    }
}

TEST(OtherFormats, HostileFilesAreRefusedWithinTheMemoryBounds) {
    QTemporaryDir dir;
    QStringList files;
    for (const Made& m : MakeEachFormat(dir)) {
        const QByteArray bytes = ReadFileBytes(m.path);
        const QString name = OtherFormatName(OtherFormatOf(m.path));
        const QString base = dir.filePath(QLatin1String(m.kind));
        WriteFileBytes(base + QStringLiteral("-empty.") + m.kind, {});
        WriteFileBytes(base + QStringLiteral("-cut.") + m.kind, bytes.left(bytes.size() / 2));
        WriteFileBytes(base + QStringLiteral("-huge.") + m.kind, ClaimingHuge(bytes, m.kind));
        SCOPED_TRACE(m.kind);
        const QString damaged = name + QStringLiteral(" イメージが不正です");
        EXPECT_EQ(LoadError(base + QStringLiteral("-empty.") + m.kind, OtherOn()), damaged);
        // A file cut short may show what it holds, as a cut JPEG does.
        const QString cut = LoadError(base + QStringLiteral("-cut.") + m.kind, OtherOn());
        EXPECT_TRUE(cut == damaged || cut == QStringLiteral("(loaded)")) << qPrintable(cut);
        const QString huge = LoadError(base + QStringLiteral("-huge.") + m.kind, OtherOn());
        EXPECT_TRUE(huge == name + QStringLiteral(" イメージが大きすぎます") || huge == damaged)
            << qPrintable(huge);
        files << base + QStringLiteral("-huge.") + m.kind << base + QStringLiteral("-cut.") + m.kind;
    }
    ASSERT_FALSE(files.isEmpty());

    // A fresh process of this program loads them all (a forked one could not
    // use Qt's image threads) and says how far its peak resident size grew.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TAMARIND_HOSTILE_FILES"), files.join(u'\n'));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=OtherFormats.LoadsHostileFilesGivenByTheParent")});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray out = child.readAllStandardOutput();
    EXPECT_EQ(child.exitCode(), 0) << out.constData();
    const qsizetype at = out.indexOf("grew by ");
    ASSERT_GE(at, 0) << out.constData();
    const long long grownMb = out.mid(at + 8).split(' ')[0].toLongLong();
    if (!tamarind::test::SanitizersWatch()) {  // shadow memory makes resident sizes meaningless
        EXPECT_LT(grownMb, 300) << "a hostile file held more than 300 MB";
    }
}

// Run only as the child of the test above.
TEST(OtherFormats, LoadsHostileFilesGivenByTheParent) {
    const QString list = qEnvironmentVariable("TAMARIND_HOSTILE_FILES");
    if (list.isEmpty()) GTEST_SKIP() << "run by HostileFilesAreRefusedWithinTheMemoryBounds";
    const auto peak = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly)) return -1LL;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ')[0].toLongLong() * 1024;
        return -1LL;
    };
    const long long before = peak();
    for (const QString& f : list.split(u'\n')) {
        try {
            LoadThumbnail(f, [](QSize) { return QSize(240, 240); }, OtherOn(), 1);
        } catch (const std::exception&) {
        }
        try {
            LoadPicture(f, OtherOn());
        } catch (const std::exception&) {
        }
    }
    ASSERT_GT(before, 0);
    printf("peak resident size grew by %lld MB\n", (peak() - before) >> 20);
}

TEST(OtherFormats, SupportListNamesEveryFormatAndItsPackage) {
    const QList<FormatSupport> list = OtherFormatSupport();
    ASSERT_EQ(list.size(), 6);
    for (const FormatSupport& f : list) {
        EXPECT_TRUE(f.readable) << qPrintable(f.name);  // tools/deps.sh installs them all
        EXPECT_FALSE(f.package.isEmpty());
    }
    EXPECT_TRUE(OtherFormatSupportText().contains(QStringLiteral("HEIC/HEIF: 表示できます")));
}
