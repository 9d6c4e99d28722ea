// Summaries of files: the read itself, camera files written by exiftool and
// the shared JPEG pictures.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "ExifBuilder.h"
#include "TestData.h"
#include "platform/FileIo.h"

namespace tamarind::test {
namespace {

QString Fixture(const char* name) {
    return QStringLiteral(TAMARIND_EXIF_FIXTURES "/") + QLatin1String(name);
}

TEST(ExifFileTest, FilesThatCannotBeReadGiveTheEmptyText) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(ReadExifSummary(dir.filePath("missing.jpg")), QString());
    EXPECT_EQ(ReadExifSummary(dir.path()), QString());
}

TEST(ExifFileTest, ReadsFilesWhoseNamesAreNotUtf8) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ExifBuilder b;
    b.ifd0.Ascii(kTagMake, "Maker");
    const QString path = dir.path() + '/' + DecodePath(QByteArray("caf\xe9.jpg"));
    WriteFileBytes(path, b.Build());
    EXPECT_EQ(ReadExifSummary(path), "Maker\n\r");
}

TEST(ExifFileTest, NothingPastTheFirst4096BytesIsUsed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ExifBuilder b;
    b.ifd0.Raw(kTagMake, kExifAscii, 8, 4090 - 12).Raw(kTagModel, kExifAscii, 8, 5000 - 12);
    QByteArray bytes = b.Build().leftJustified(4090, '\0');
    bytes += "Inside";
    bytes = bytes.leftJustified(5000, '\0') + "Outside";
    const QString path = dir.filePath("large.jpg");
    WriteFileBytes(path, bytes);
    EXPECT_EQ(ReadExifSummary(path), "Inside\n\r\n\r");
}

// Exif blocks written by exiftool, in both byte orders.
TEST(ExifFileTest, CameraFilesWrittenByExiftool) {
    LocaleScope c(QLocale::c());
    const QString expected = QStringLiteral(
        "FUJIFILM\n\r"
        "FinePix F31fd\n\r"
        "撮影 2007:05:19 10:21:33\n\r"
        "  圧縮度合=2  ｼｬｯﾀｰ=1/250秒  絞り=5.6\n\r"
        "  ﾌﾗｯｼｭ=16  f= 8mm  W=16 H=16");
    EXPECT_EQ(ReadExifSummary(Fixture("camera-II.jpg")), expected);
    EXPECT_EQ(ReadExifSummary(Fixture("camera-MM.jpg")), expected);
}

TEST(ExifFileTest, SharedJpegPictures) {
    REQUIRE_TESTDATA();
    // Motorola-order Exif blocks written by an image editor.
    EXPECT_EQ(ReadExifSummary(TestDataPath("jpeg/pil_sample_cmyk.jpg")),
              "撮影 2009:03:06 22:15:00\n\r  W=100 H=100");
    EXPECT_EQ(ReadExifSummary(TestDataPath("jpeg/exif-dpi-zerodivision.jpg")),
              "撮影 2017:03:13 23:03:09\n\r  W=200 H=200");
    // IFD0 at TIFF offset 10, not 8: the word read as the entry count is 0.
    EXPECT_EQ(ReadExifSummary(TestDataPath("jpeg/exif-ifd-offset.jpg")), QString());
    // No byte-order mark: read in Intel order, where no entry is one of ours.
    EXPECT_EQ(ReadExifSummary(TestDataPath("jpeg/invalid-exif.jpg")), QString());

    const QDir folder(TestDataPath("jpeg"));
    const QStringList names = folder.entryList({"*.jpg"}, QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 10);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString path = folder.filePath(name);
        const QString text = ReadExifSummary(path);
        const QByteArray head = ReadFileBytes(path, 4);
        // Only a file whose first segment is APP1 can hold an Exif block first.
        if (head.mid(2, 2) != QByteArray("\xFF\xE1")) {
            EXPECT_EQ(text, QStringLiteral("Not Exif 形式"));
            continue;
        }
        EXPECT_FALSE(text.contains(QChar(0)));
        EXPECT_LT(text.size(), 2 * 4096);
    }
}

}  // namespace
}  // namespace tamarind::test
