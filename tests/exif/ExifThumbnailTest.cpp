// The head of a JPEG file and the camera's thumbnail in its Exif block, from
// files exiftool wrote and from damaged and hostile bytes.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "CameraJpeg.h"
#include "exif/ExifThumbnail.h"
#include "picture/Jpeg.h"
#include "picture/JpegHead.h"
#include "platform/FileIo.h"

namespace tamarind::test {
namespace {

QString Fixture(const char* name) {
    return QStringLiteral(TAMARIND_EXIF_FIXTURES "/") + QLatin1String(name);
}

TEST(ExifThumbnail, CameraFilesOfBothByteOrdersGiveTheirThumbnail) {
    for (const char* name : {"camera-II.jpg", "camera-MM.jpg"}) {
        SCOPED_TRACE(name);
        const JpegHead head = ReadJpegHead(Fixture(name));
        EXPECT_TRUE(head.opened);
        EXPECT_EQ(head.natural, QSize(16, 16));
        EXPECT_EQ(head.start, ReadFileBytes(Fixture(name), 4096));
        // exiftool stored a copy of the 16 x 16 picture itself, 659 bytes.
        const QByteArray thumbnail = ExifThumbnailJpeg(head.exif);
        ASSERT_EQ(thumbnail.size(), 659);
        EXPECT_TRUE(thumbnail.endsWith("\xff\xd9"));
        EXPECT_EQ(DecodeJpeg(std::span(reinterpret_cast<const uchar*>(thumbnail.constData()),
                                       size_t(thumbnail.size())))
                      .size(),
                  QSize(16, 16));
    }
}

TEST(ExifThumbnail, DamagedBlocksGiveNothingOrBytesInsideThem) {
    const QByteArray jpeg("\xff\xd8\xff\xd9", 4);
    const QByteArray tiff = ExifTiffWithThumbnail(jpeg);
    ASSERT_EQ(ExifThumbnailJpeg(tiff), jpeg);
    // Every cut and every single changed byte: never a read outside the block.
    for (qsizetype n = 0; n < tiff.size(); ++n)
        EXPECT_TRUE(ExifThumbnailJpeg(tiff.left(n)).isEmpty());
    for (qsizetype i = 0; i < tiff.size(); ++i)
        for (int v : {0x00, 0x7f, 0xff}) {
            QByteArray bad = tiff;
            bad[i] = char(v);
            const QByteArray got = ExifThumbnailJpeg(bad);
            EXPECT_TRUE(got.isEmpty() || (got.startsWith("\xff\xd8") && got.size() < bad.size()));
        }
    // A thumbnail that does not start as a JPEG does.
    EXPECT_TRUE(ExifThumbnailJpeg(ExifTiffWithThumbnail("GIF89a")).isEmpty());
}

TEST(JpegHead, FilesWithoutAFrameBeforeTheirScanHaveNoSize) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.jpg"));
    auto headOf = [&](const QByteArray& bytes) {
        WriteFileBytes(path, bytes);
        return ReadJpegHead(path);
    };
    const QByteArray soi("\xff\xd8", 2);
    const QByteArray sof("\xff\xc0\x00\x0b\x08\x00\x20\x00\x30\x01\x01\x11\x00", 13);
    EXPECT_EQ(headOf(soi + sof).natural, QSize(48, 32));
    // Fill bytes before a marker, and a long comment before the frame.
    const QByteArray comment = QByteArray("\xff\xfe\xff\xff", 4) + QByteArray(65533, 'c');
    EXPECT_EQ(headOf(soi + QByteArray("\xff\xff\xff", 3) + comment.mid(1) + sof).natural,
              QSize(48, 32));
    EXPECT_FALSE(headOf(soi + QByteArray("\xff\xda\x00\x02", 4) + sof).natural.isValid());
    EXPECT_FALSE(headOf("GIF89a").natural.isValid());
    EXPECT_FALSE(headOf(soi + sof.left(8)).natural.isValid());
    EXPECT_FALSE(headOf(QByteArray()).natural.isValid());
    // Segments beyond the first megabyte are not followed.
    QByteArray many = soi;
    while (many.size() < (1 << 20) + 70000) many += comment;
    EXPECT_FALSE(headOf(many + sof).natural.isValid());
    EXPECT_FALSE(ReadJpegHead(dir.filePath(QStringLiteral("missing.jpg"))).opened);
}

}  // namespace
}  // namespace tamarind::test
