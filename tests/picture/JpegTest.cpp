// JPEG decoding and encoding, checked against libjpeg-turbo's own djpeg and
// cjpeg programs.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "ChildMeasure.h"
#include "HostileFiles.h"
#include "PictureTestUtil.h"
#include "TestData.h"
#include "picture/Jpeg.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

QString JpegError(int code) {
    return QStringLiteral("JPEG エラー #%1").arg(code);
}

// Runs one of libjpeg-turbo's programs and returns what it wrote.
QByteArray RunTool(const char* name, const QStringList& arguments) {
    const QString tool = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (tool.isEmpty()) {
        ADD_FAILURE() << name << " not found: install libjpeg-turbo-progs (tools/deps.sh)";
        return {};
    }
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(60000);
    // 2: finished with warnings (corrupt or truncated data).
    EXPECT_TRUE(process.exitCode() == 0 || process.exitCode() == 2)
        << name << ": " << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

// A picture with smooth areas, edges and noise, so every coding path works.
Bitmap TestPicture(int width, int height) {
    Bitmap bitmap(width, height, 24);
    quint32 noise = 12345;
    for (int y = 0; y < height; ++y) {
        uchar* row = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245 + 12345;
            row[3 * x] = uchar(x * 255 / width);
            row[3 * x + 1] = uchar((x / 8 + y / 8) % 2 ? 200 : 40);
            row[3 * x + 2] = uchar((y * 3 + (noise >> 28)) & 255);
        }
    }
    return bitmap;
}

QByteArray Ppm(const Bitmap& bitmap) {
    const Bitmap rgb = bitmap.ConvertTo24();
    QByteArray ppm =
        QStringLiteral("P6\n%1 %2\n255\n").arg(rgb.width()).arg(rgb.height()).toLatin1();
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const uchar* p = rgb.scanLine(y) + 3 * x;
            ppm += char(p[2]);
            ppm += char(p[1]);
            ppm += char(p[0]);
        }
    return ppm;
}

// cjpeg's output for the bitmap with extra options.
QByteArray Cjpeg(const Bitmap& bitmap, const QStringList& options) {
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("in.ppm"));
    WriteFileBytes(input, Ppm(bitmap));
    return RunTool("cjpeg", options + QStringList{input});
}

// djpeg's picture of a file's bytes.
QImage Djpeg(const QByteArray& jpeg, const QStringList& options = {}) {
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("in.jpg"));
    WriteFileBytes(input, jpeg);
    return QImage::fromData(RunTool("djpeg", options + QStringList{input}));
}

// The same file with its last scan repeated `copies` more times.
QByteArray WithRepeatedLastScan(const QByteArray& jpeg, int copies) {
    const qsizetype sos = jpeg.lastIndexOf("\xFF\xDA");
    const qsizetype eoi = jpeg.lastIndexOf("\xFF\xD9");
    return jpeg.left(eoi) + jpeg.mid(sos, eoi - sos).repeated(copies) + jpeg.mid(eoi);
}

}  // namespace

TEST(JpegDecode, GivesDjpegsPixelsForEveryTestFile) {
    REQUIRE_TESTDATA();
    const QStringList files = QDir(TestDataPath(QStringLiteral("jpeg")))
                                  .entryList({QStringLiteral("*.jpg")}, QDir::Files);
    ASSERT_GE(files.size(), 10);
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray bytes = ReadTestFile(QStringLiteral("jpeg/") + file);
        const Bitmap ours = DecodeJpeg(ByteSpan(bytes));
        const QImage theirs = Djpeg(bytes);
        // Grey files stay 8-bit with a grey palette; colour and CMYK become 24-bit.
        EXPECT_EQ(ours.bitsPerPixel(), theirs.format() == QImage::Format_Grayscale8 ? 8 : 24);
        if (ours.bitsPerPixel() == 8) {
            EXPECT_EQ(ours.palette()[200], qRgb(200, 200, 200));
        }
        EXPECT_EQ(MaxColourDifference(ours.ToQImage(), theirs), 0);
        // The same colours straight into 32 bits, every file opaque.
        const Bitmap wide = DecodeJpeg(ByteSpan(bytes), {.rgb32 = true});
        EXPECT_EQ(wide.bitsPerPixel(), 32);
        EXPECT_EQ(MaxColourDifference(wide.ToQImage(), theirs), 0);
        EXPECT_EQ(wide.ToQImage().pixel(wide.width() - 1, wide.height() - 1) >> 24, 0xFFu);
    }
}

TEST(JpegDecode, ProgressiveScaledAndGreyFilesMatchDjpeg) {
    const Bitmap picture = TestPicture(203, 117);
    const QByteArray progressive = Cjpeg(picture, {"-progressive"});
    EXPECT_EQ(MaxColourDifference(DecodeJpeg(ByteSpan(progressive)).ToQImage(), Djpeg(progressive)),
              0);
    for (int denominator : {2, 4, 8}) {
        SCOPED_TRACE(denominator);
        const Bitmap scaled = DecodeJpeg(ByteSpan(progressive), {.scaleDenominator = denominator});
        EXPECT_EQ(scaled.width(), (203 + denominator - 1) / denominator);
        EXPECT_EQ(MaxColourDifference(
                      scaled.ToQImage(),
                      Djpeg(progressive, {"-scale", QStringLiteral("1/%1").arg(denominator)})),
                  0);
    }
    const QByteArray grey = Cjpeg(picture, {"-grayscale", "-optimize"});
    const Bitmap g = DecodeJpeg(ByteSpan(grey));
    EXPECT_EQ(g.bitsPerPixel(), 8);
    EXPECT_EQ(MaxColourDifference(g.ToQImage(), Djpeg(grey)), 0);
}

TEST(JpegDecode, DamagedAndHostileFilesGiveLibjpegsMessageNumber) {
    EXPECT_TRUE(RefusedWith([] { DecodeJpeg({}); }, JpegError(JERR_INPUT_EMPTY)));
    EXPECT_TRUE(
        RefusedWith([] { DecodeJpeg(ByteSpan("GIF89a, not a JPEG")); }, JpegError(JERR_NO_SOI)));

    const QByteArray good = Cjpeg(TestPicture(64, 48), {});
    // Cut inside the headers: fatal (libjpeg ends the data early and finds
    // no picture). Cut inside the pixels: decoded as far as
    // the data goes, the rest grey, as djpeg does.
    EXPECT_TRUE(
        RefusedWith([&] { DecodeJpeg(ByteSpan(good.left(100))); }, JpegError(JERR_NO_IMAGE)));
    const QByteArray cut = good.left(good.size() * 2 / 3);
    EXPECT_EQ(MaxColourDifference(DecodeJpeg(ByteSpan(cut)).ToQImage(), Djpeg(cut)), 0);

    // A header claiming 65000 x 65000 pixels is refused before anything is
    // allocated; so is anything over the caller's limit.
    QByteArray huge = good;
    const qsizetype sof = huge.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    huge.replace(sof + 5, 4, QByteArray("\xFD\xE8\xFD\xE8", 4));
    EXPECT_TRUE(RefusedWith([&] { DecodeJpeg(ByteSpan(huge)); }, JpegError(JERR_IMAGE_TOO_BIG)));
    EXPECT_TRUE(RefusedWith([&] { DecodeJpeg(ByteSpan(good), {.maxPixels = 64 * 48 - 1}); },
                            JpegError(JERR_IMAGE_TOO_BIG)));
    EXPECT_EQ(DecodeJpeg(ByteSpan(good), {.maxPixels = 64 * 48}).size(), QSize(64, 48));

    // More than 500 scans: refused; 400 repeated scans still decode.
    const QByteArray progressive = Cjpeg(TestPicture(16, 16), {"-progressive"});
    EXPECT_EQ(DecodeJpeg(ByteSpan(WithRepeatedLastScan(progressive, 400))).size(), QSize(16, 16));
    EXPECT_TRUE(RefusedWith([&] { DecodeJpeg(ByteSpan(WithRepeatedLastScan(progressive, 600))); },
                            JpegError(JERR_BAD_PROGRESSION)));
}

TEST(JpegEncode, WritesCjpegsBytesAtEveryQuality) {
    const Bitmap picture = TestPicture(37, 23);
    for (int quality : {1, 35, 70, 100}) {
        SCOPED_TRACE(quality);
        EXPECT_EQ(EncodeJpeg(picture, quality),
                  Cjpeg(picture, {"-quality", QString::number(quality), "-baseline"}));
    }
    // Other formats are converted to 24-bit colour first.
    for (int bits : {1, 4, 8, 15, 16, 32}) {
        SCOPED_TRACE(bits);
        const Bitmap other = RandomBitmap(9, 5, bits, quint32(bits));
        EXPECT_EQ(EncodeJpeg(other, 70), Cjpeg(other, {"-quality", "70", "-baseline"}));
    }
    EXPECT_TRUE(RefusedWith([] { EncodeJpeg(Bitmap(), 70); }, JpegError(JERR_EMPTY_IMAGE)));
}

TEST(JpegFiles, WriteThenReadAndMissingFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("写真.jpg"));
    const Bitmap picture = TestPicture(640, 480);  // big enough to grow the output buffer
    WriteJpegFile(path, picture, 95);
    const QByteArray file = ReadFileBytes(path);
    EXPECT_EQ(file, EncodeJpeg(picture, 95));
    EXPECT_EQ(MaxColourDifference(ReadJpegFile(path).ToQImage(), Djpeg(file)), 0);
    try {
        ReadJpegFile(QStringLiteral("/nonexistent/none.jpg"));
        FAIL() << "no error";
    } catch (const TamarindError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("/nonexistent/none.jpg")));
    }
}

// Files that go on where no real JPEG could: a first marker and then
// gigabytes of zeros, or a whole picture followed by them. libjpeg would read
// them to their end, some 20 seconds for 5 GB, looking for a marker.
TEST(JpegDecode, EndsTheInputWhereNoRealFileCouldStillBeGoingOn) {
    QTemporaryDir dir;
    auto sparse = [&](const char* name, const QByteArray& head, qint64 size) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(WriteSparseFile(path, head, size));
        return path;
    };
    const ChildFigures f = MeasureInChild({}, [&] {
        const QString header = sparse("header.jpg", "\xFF\xD8\xFF", qint64(5) << 30);
        EXPECT_TRUE(RefusedWith([&] { ReadJpegFile(header); }, JpegError(JERR_NO_IMAGE)));
        // A progressive picture (read whole before any row comes out) whose
        // end-of-image marker gave way to 3 GB of zeros: the picture itself.
        const QByteArray progressive = Cjpeg(TestPicture(64, 48), {"-progressive"});
        const QImage clean = DecodeJpeg(ByteSpan(progressive)).ToQImage();
        const QString trailing = sparse("trailing.jpg", progressive.chopped(2), qint64(3) << 30);
        EXPECT_EQ(MaxColourDifference(ReadJpegFile(trailing).ToQImage(), clean), 0);
        // What real files hold is still read: 3 MB of application segments,
        // and half a megabyte of zeros between two of them.
        QByteArray padded = progressive.left(2);
        for (int i = 0; i < 48; ++i) {
            padded += QByteArray("\xFF\xEF\xFF\xFF", 4) + QByteArray(65533, '\0');
            if (i == 24) padded += QByteArray(512 * 1024, '\0');
        }
        padded += progressive.mid(2);
        EXPECT_EQ(MaxColourDifference(DecodeJpeg(ByteSpan(padded)).ToQImage(), clean), 0);
    });
    ASSERT_TRUE(f.finished) << f.failure;
    EXPECT_LT(f.cpuSeconds, 5.0) << Describe(f);
}
