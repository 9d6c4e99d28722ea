// Saving: the dialog's proposals, the kind chosen by the typed extension, the
// files written, and the safe replacement of an existing file on real file
// systems (a full tmpfs, a read-only mount).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TmpfsMount.h"
#include "detail/Save.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/SafeWrite.h"

using namespace tamarind;
using tamarind::test::TmpfsMount;

namespace {

QByteArray Pattern(qsizetype n, char seed) {
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i) b[i] = char(seed + i * 7);
    return b;
}

Bitmap Gradient(int w, int h) {
    Bitmap b(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uchar* p = b.scanLine(y) + 3 * x;
            p[0] = uchar(x * 5); p[1] = uchar(y * 3); p[2] = uchar((x * y) & 0xFF);
        }
    return b;
}

QStringList Names(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

TEST(SaveDialog, ProposesTheShownFilesFormat) {
    SaveDialogRequest r;
    r.title = QStringLiteral("変更画像保存");
    r.filters = PictureSaveFilters();
    PrepareSaveDialog(r, QStringLiteral("/p/"), QStringLiteral("a.bmp"));
    EXPECT_EQ(r.title, QStringLiteral("BMPファイル保存"));
    EXPECT_EQ(r.folder, QStringLiteral("/p/"));
    EXPECT_EQ(r.proposedName, QStringLiteral("a.bmp"));
    EXPECT_EQ(r.defaultExtension, QStringLiteral("bmp"));
    EXPECT_EQ(r.filterIndex, 4);
    EXPECT_EQ(r.filters.at(3), QStringLiteral("ビットマップ (*.bmp)"));
    EXPECT_TRUE(r.overwritePrompt && r.pathMustExist && r.noReadOnly);

    PrepareSaveDialog(r, QStringLiteral("/p/"), QStringLiteral("a.JPG"));
    EXPECT_EQ(r.title, QStringLiteral("JPGファイル保存"));
    EXPECT_EQ(r.proposedName, QStringLiteral("a.jpg"));
    EXPECT_EQ(r.defaultExtension, QStringLiteral("jpg"));
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.filters.at(1), QStringLiteral("JPEG イメージファイル (*.jpg)"));

    // Another format keeps the button's title and the last choices.
    r.title = QStringLiteral("画像形式変更");
    PrepareSaveDialog(r, QStringLiteral("/q/"), QStringLiteral("b.ico"));
    EXPECT_EQ(r.title, QStringLiteral("画像形式変更"));
    EXPECT_EQ(r.proposedName, QStringLiteral("b.ico"));
    EXPECT_EQ(r.filterIndex, 2);
}

TEST(SaveDialog, KindIsTheTypedExtension) {
    EXPECT_EQ(SaveKind(QStringLiteral("/a/b.bmp")), QStringLiteral("BMP"));
    EXPECT_EQ(SaveKind(QStringLiteral("/a.jpg/b.Jpg")), QStringLiteral("JPG"));
    EXPECT_EQ(SaveKind(QStringLiteral("/a/b.jpeg")), QStringLiteral("JPEG"));
    EXPECT_EQ(SaveKind(QStringLiteral("/a/b.abcdefg")), QStringLiteral("ABCDE"));
    EXPECT_EQ(SaveKind(QStringLiteral("/a.bmp/b")), QString());
}

TEST(SavePicture, BmpKeepsDepthAndPaletteJpegFollowsTheQuality) {
    QTemporaryDir dir;
    Bitmap mono(13, 5, 1);
    mono.setPalette({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    mono.scanLine(2)[0] = 0xA5;
    const QString bmp = dir.filePath(QStringLiteral("m.bmp"));
    ASSERT_TRUE(SavePictureFile(bmp, QStringLiteral("BMP"), mono, 70));
    const Bitmap back = ReadBmpFile(bmp);
    EXPECT_EQ(back.bitsPerPixel(), 1);
    EXPECT_EQ(back.palette(), mono.palette());
    EXPECT_EQ(back.constScanLine(2)[0] & 0xF8, 0xA0);

    const Bitmap picture = Gradient(64, 48);
    const QString low = dir.filePath(QStringLiteral("low.jpg"));
    const QString high = dir.filePath(QStringLiteral("high.jpg"));
    ASSERT_TRUE(SavePictureFile(low, QStringLiteral("JPG"), picture, 1));
    ASSERT_TRUE(SavePictureFile(high, QStringLiteral("JPG"), picture, 100));
    EXPECT_LT(QFile(low).size(), QFile(high).size());
    EXPECT_EQ(ReadJpegFile(high).bitsPerPixel(), 24);
    EXPECT_EQ(ReadJpegFile(high).size(), QSize(64, 48));
    // An 8-bit picture saved as JPEG becomes colour.
    Bitmap grey(8, 8, 8);
    ASSERT_TRUE(SavePictureFile(dir.filePath(QStringLiteral("g.jpg")), QStringLiteral("JPG"), grey, 70));

    EXPECT_FALSE(SavePictureFile(dir.filePath(QStringLiteral("x.jpeg")), QStringLiteral("JPEG"), picture, 70));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.jpeg"))));
}

TEST(SafeWrite, ReplacesKeepingPermissionsAndLinks) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("t.bin"));
    WriteFileBytes(target, "old");
    ASSERT_EQ(::chmod(EncodePath(target).constData(), 0640), 0);
    WriteFileSafely(target, "new contents");
    EXPECT_EQ(ReadFileBytes(target), QByteArray("new contents"));
    struct stat st {};
    ASSERT_EQ(::stat(EncodePath(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Names(dir.path()), QStringList{QStringLiteral("t.bin")});

    // A new file gets the usual permissions.
    const mode_t mask = ::umask(022);
    const QString fresh = dir.filePath(QStringLiteral("fresh.bin"));
    WriteFileSafely(fresh, "x");
    ::umask(mask);
    ASSERT_EQ(::stat(EncodePath(fresh).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);

    // Through a symbolic link: the file behind it changes, the link stays.
    const QString link = dir.filePath(QStringLiteral("link.bin"));
    ASSERT_EQ(::symlink("t.bin", EncodePath(link).constData()), 0);
    WriteFileSafely(link, "via link");
    EXPECT_EQ(ReadFileBytes(target), QByteArray("via link"));
    ASSERT_EQ(::lstat(EncodePath(link).constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // A folder or a FIFO is never written over.
    EXPECT_THROW(WriteFileSafely(dir.path(), "x"), TamarindError);
    const QString fifo = dir.filePath(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(::mkfifo(EncodePath(fifo).constData(), 0644), 0);
    EXPECT_THROW(WriteFileSafely(fifo, "x"), TamarindError);
    EXPECT_EQ(Names(dir.path()).size(), 4);
}

// A full disk half-way through: the old file stays byte for byte, no
// temporary file is left, and the error names the cause.
TEST(SafeWrite, AFullDiskLeavesTheOriginalIntact) {
    TmpfsMount disk(QStringLiteral("64k"));
    REQUIRE_MOUNT(disk);
    const QString target = disk.path() + QStringLiteral("/photo.bmp");
    const QByteArray original = Pattern(20000, 'a');
    WriteFileBytes(target, original);
    try {
        WriteFileSafely(target, Pattern(200000, 'b'));
        ADD_FAILURE() << "no error";
    } catch (const TamarindError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("ディスクがいっぱいです"))) << e.text().toStdString();
    }
    EXPECT_EQ(ReadFileBytes(target), original);
    EXPECT_EQ(disk.Names(), QStringList{QStringLiteral("photo.bmp")});

    // The same through a whole save of a picture too large for the disk.
    EXPECT_THROW(SavePictureFile(target, QStringLiteral("BMP"), Gradient(300, 300), 70), TamarindError);
    EXPECT_EQ(ReadFileBytes(target), original);
    EXPECT_EQ(disk.Names(), QStringList{QStringLiteral("photo.bmp")});
    // A save that fits still works afterwards.
    SavePictureFile(target, QStringLiteral("BMP"), Gradient(20, 20), 70);
    EXPECT_EQ(ReadBmpFile(target).size(), QSize(20, 20));
}

TEST(SafeWrite, AReadOnlyDiskIsRefusedUntouched) {
    TmpfsMount disk(QStringLiteral("64k"));
    REQUIRE_MOUNT(disk);
    const QString target = disk.path() + QStringLiteral("/photo.bmp");
    WriteFileBytes(target, "keep");
    ASSERT_TRUE(disk.MakeReadOnly());
    try {
        WriteFileSafely(target, "new");
        ADD_FAILURE() << "no error";
    } catch (const TamarindError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("photo.bmp")));
    }
    EXPECT_THROW(WriteFileSafely(disk.path() + QStringLiteral("/new.bmp"), "x"), TamarindError);
    EXPECT_EQ(ReadFileBytes(target), QByteArray("keep"));
    EXPECT_EQ(disk.Names(), QStringList{QStringLiteral("photo.bmp")});
}
