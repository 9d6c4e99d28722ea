// Thumbnails read straight from picture files: the JPEG decode scale, the
// sharpness of the reduction, errors as a full decode gives them, BMP rows
// averaged without a full-size copy, and tiny files that claim huge
// pictures, whose memory is measured in a child process.
#include <gtest/gtest.h>
#include <jerror.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>

#include "HostileFiles.h"
#include "PictureTestUtil.h"
#include "Sanitizers.h"
#include "TestData.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "picture/Resample.h"
#include "picture/ThumbnailLoad.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

QString JpegError(int code) {
    return QStringLiteral("JPEG エラー #%1").arg(code);
}

// A photograph-like picture: smooth shading, fine texture, a sharp edge.
Bitmap Photo(int width, int height) {
    Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y) {
        uchar* p = b.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const double shade = 0.5 + 0.5 * std::sin(x * 0.013) * std::cos(y * 0.011);
            const int texture = ((x * 7 + y * 3) % 23) + (x > width / 3 ? 40 : 0);
            *p++ = uchar(std::clamp(int(60 + 120 * shade), 0, 255));
            *p++ = uchar(std::clamp(int(180 * (1 - shade)) + texture / 2, 0, 255));
            *p++ = uchar(std::clamp(int(150 * shade) + texture, 0, 255));
        }
    }
    return b;
}

double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d[3] = {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)};
            for (int v : d) sum += v * v;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// A box function that always gives `box` and remembers what it was asked.
std::function<QSize(QSize)> FixedBox(QSize box, QSize* asked = nullptr) {
    return [=](QSize natural) {
        if (asked) *asked = natural;
        return box;
    };
}

QString ErrorOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const TamarindError& e) {
        return e.text();
    }
    return QString();
}

// Runs one of libjpeg-turbo's programs on a PPM of the bitmap.
QByteArray Cjpeg(const Bitmap& bitmap, const QStringList& options) {
    QTemporaryDir dir;
    QByteArray ppm =
        QStringLiteral("P6\n%1 %2\n255\n").arg(bitmap.width()).arg(bitmap.height()).toLatin1();
    for (int y = 0; y < bitmap.height(); ++y) {
        const uchar* p = bitmap.scanLine(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3) {
            ppm += char(p[2]);
            ppm += char(p[1]);
            ppm += char(p[0]);
        }
    }
    const QString input = dir.filePath(QStringLiteral("in.ppm"));
    WriteFileBytes(input, ppm);
    QProcess tool;
    tool.start(QStandardPaths::findExecutable(QStringLiteral("cjpeg")),
               options + QStringList{input});
    tool.waitForFinished(60000);
    return tool.readAllStandardOutput();
}

// A JPEG whose frame header claims width x height.
QByteArray Claiming(QByteArray jpeg, int width, int height) {
    for (const char* marker : {"\xFF\xC0", "\xFF\xC2"}) {
        const qsizetype sof = jpeg.indexOf(marker);
        if (sof < 0) continue;
        const char dims[4] = {char(height >> 8), char(height), char(width >> 8), char(width)};
        jpeg.replace(sof + 5, 4, QByteArray(dims, 4));
    }
    return jpeg;
}

// The peak resident size of this process so far, in bytes.
long long PeakResident() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ')[0].toLongLong() * 1024;
    return -1;
}

}  // namespace

TEST(JpegThumbnailScale, SmallestScaleWhoseOutputStillCoversTheBox) {
    EXPECT_EQ(JpegThumbnailScale({6000, 4000}, {240, 160}), 1);  // 750 x 500
    EXPECT_EQ(JpegThumbnailScale({6000, 4000}, {800, 533}), 2);  // 1500 x 1000
    EXPECT_EQ(JpegThumbnailScale({6000, 4000}, {751, 100}), 2);  // 750 is one short
    EXPECT_EQ(JpegThumbnailScale({6000, 4000}, {6000, 4000}), 8);
    EXPECT_EQ(JpegThumbnailScale({9, 9}, {2, 2}), 1);  // libjpeg rounds 9/8 up to 2
    EXPECT_EQ(JpegThumbnailScale({100, 100}, {0, 0}), 1);
    // Never below the box, never larger than needed.
    for (QSize natural : {QSize(6000, 4000), QSize(8688, 5792), QSize(17, 3000), QSize(1, 1)})
        for (int bw = 1; bw <= natural.width(); bw += std::max(1, natural.width() / 37))
            for (int bh = 1; bh <= natural.height(); bh += std::max(1, natural.height() / 29)) {
                const int n = JpegThumbnailScale(natural, {bw, bh});
                auto covers = [&](int m) {
                    return (natural.width() * m + 7) / 8 >= bw &&
                           (natural.height() * m + 7) / 8 >= bh;
                };
                ASSERT_TRUE(covers(n))
                    << natural.width() << "x" << natural.height() << " " << bw << "x" << bh;
                ASSERT_TRUE(n == 1 || !covers(n - 1));
            }
}

TEST(JpegThumbnail, ReadAtAReducedScaleAndAsSharpAsAFullDecode) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    WriteFileBytes(path, EncodeJpeg(Photo(1600, 1000), 90));
    QSize asked;
    const PictureThumbnail t = LoadThumbnail(path, FixedBox({320, 200}, &asked));
    EXPECT_EQ(asked, QSize(1600, 1000));
    EXPECT_EQ(t.natural, QSize(1600, 1000));
    ASSERT_EQ(t.image.size(), QSize(320, 200));
    EXPECT_FALSE(t.metafile);
    // Against the full picture reduced with the same filter.
    const QImage reference = ResampleLanczos(ReadJpegFile(path), {320, 200});
    EXPECT_GT(Psnr(t.image, reference), 40.0);
    // Filtered after the decode (small boxes) or band by band while it runs
    // (large ones): either way exactly the scaled decode filtered whole.
    const QString grey = dir.filePath(QStringLiteral("grey.jpg"));
    WriteFileBytes(grey, Cjpeg(Photo(1600, 1000), {"-grayscale"}));
    for (const QString& file : {path, grey})
        for (QSize box : {QSize(320, 200), QSize(800, 500), QSize(1100, 687)}) {
            SCOPED_TRACE(box.width());
            const PictureThumbnail made = LoadThumbnail(file, FixedBox(box));
            JpegReadOptions options;
            options.scaleNumerator = JpegThumbnailScale({1600, 1000}, box);
            options.scaleDenominator = 8;
            EXPECT_EQ(
                MaxColourDifference(made.image, ResampleLanczos(ReadJpegFile(file, options), box)),
                0);
        }
    // An empty box still decodes (errors must show) but makes no image.
    const PictureThumbnail none = LoadThumbnail(path, FixedBox({0, 0}));
    EXPECT_EQ(none.natural, QSize(1600, 1000));
    EXPECT_TRUE(none.image.isNull());
}

TEST(JpegThumbnail, DamagedFilesFailAsAFullDecodeDoes) {
    QTemporaryDir dir;
    auto put = [&](const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        WriteFileBytes(path, bytes);
        return path;
    };
    const QByteArray good = EncodeJpeg(Photo(64, 48), 80);
    EXPECT_EQ(ErrorOf([&] {
                  LoadThumbnail(put("empty.jpg", {}), FixedBox({8, 6}));
              }),
              JpegError(JERR_INPUT_EMPTY));
    EXPECT_EQ(ErrorOf([&] {
                  LoadThumbnail(put("gif.jpg", "GIF89a, not a JPEG"), FixedBox({8, 6}));
              }),
              JpegError(JERR_NO_SOI));
    EXPECT_EQ(ErrorOf([&] {
                  LoadThumbnail(put("head.jpg", good.left(100)), FixedBox({8, 6}));
              }),
              JpegError(JERR_NO_IMAGE));
    // Cut inside the pixels: a thumbnail of what is there, as before.
    const PictureThumbnail cut =
        LoadThumbnail(put("cut.jpg", good.left(good.size() * 2 / 3)), FixedBox({32, 24}));
    EXPECT_EQ(cut.image.size(), QSize(32, 24));
    EXPECT_TRUE(ErrorOf([&] {
                    LoadThumbnail(dir.filePath("missing.jpg"), FixedBox({8, 6}));
                }).contains(QStringLiteral("missing.jpg")));
    // A named pipe is refused at once instead of waiting for a writer.
    const QString fifo = dir.filePath(QStringLiteral("pipe.jpg"));
    ASSERT_EQ(::mkfifo(EncodePath(fifo).constData(), 0600), 0);
    EXPECT_TRUE(ErrorOf([&] {
                    LoadThumbnail(fifo, FixedBox({8, 6}));
                }).contains(QStringLiteral("名前付きパイプです")));
}

TEST(BmpThumbnail, AveragesTheRowsOfEveryGoodFileAndRefusesWhatAFullDecodeRefuses) {
    REQUIRE_TESTDATA();
    int good = 0;
    for (const char* folder : {"g", "q", "b"}) {
        const QDir dir(TestDataPath(QStringLiteral("bmpsuite/") + QString::fromLatin1(folder)));
        for (const QString& name : dir.entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
            SCOPED_TRACE(name.toStdString());
            const QString path = dir.filePath(name);
            Bitmap full;
            QString fullError;
            try {
                full = DecodeBmp(ByteSpan(ReadFileBytes(path)));
            } catch (const TamarindError& e) {
                fullError = e.text();
            }
            BmpThumbnail t;
            QSize box;
            const QString error = ErrorOf([&] {
                t = ReadBmpThumbnail(path, [&](QSize natural) {
                    box =
                        QSize(std::max(1, natural.width() / 3), std::max(1, natural.height() / 3));
                    return box;
                });
            });
            ASSERT_EQ(error, fullError);
            if (!error.isEmpty()) continue;
            ++good;
            EXPECT_EQ(t.natural, full.size());
            // The same average made from the full picture.
            const QImage rgb = full.ToQImage().convertToFormat(QImage::Format_RGB32);
            AreaReducer reference(full.size(), box);
            for (int y = 0; y < rgb.height(); ++y)
                reference.AddPixels(y, 0, reinterpret_cast<const QRgb*>(rgb.constScanLine(y)),
                                    rgb.width());
            EXPECT_LE(MaxColourDifference(t.image, reference.Finish(0)), 3);
        }
    }
    EXPECT_GT(good, 40);
}

TEST(AreaReducer, PixelsNeverAddedCountAsTheMissingColour) {
    AreaReducer r({4, 4}, {2, 2});
    const QRgb white[2] = {qRgb(255, 255, 255), qRgb(255, 255, 255)};
    r.AddPixels(0, 0, white, 2);  // half of the top-left quarter
    r.AddPixels(3, 2, white, 2);  // half of the bottom-right quarter
    r.AddPixels(2, 3, white, 5);  // one pixel; the rest lies outside the picture
    const QImage out = r.Finish(qRgb(0, 0, 0));
    EXPECT_EQ(out.pixel(0, 0), qRgb(128, 128, 128));
    EXPECT_EQ(out.pixel(1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(out.pixel(1, 1), qRgb(191, 191, 191));
}

TEST(ThumbnailMemory, TinyFilesClaimingHugePicturesStayWithinTheBound) {
    QTemporaryDir dir;
    QStringList files;
    // An RLE4 BMP of 16384 x 16384 pixels in about a hundred bytes.
    const QByteArray bmp =
        RleBombBmp(16384, 16384, QByteArray("\xFF\x12\xFF\x34\x00\x00\xFF\x56\x00\x01", 10));
    files << dir.filePath(QStringLiteral("bomb.bmp"));
    WriteFileBytes(files.back(), bmp);
    // Baseline and progressive JPEGs claiming 16384 x 16384.
    files << dir.filePath(QStringLiteral("bomb.jpg"));
    WriteFileBytes(files.back(), Claiming(EncodeJpeg(Photo(16, 16), 70), 16384, 16384));
    const QByteArray progressive = Cjpeg(Photo(16, 16), {"-progressive"});
    ASSERT_FALSE(progressive.isEmpty());
    files << dir.filePath(QStringLiteral("bomb-progressive.jpg"));
    WriteFileBytes(files.back(), Claiming(progressive, 16384, 16384));
    // A PNG icon of 8192 x 8192 pixels of one colour, which deflate packs
    // into a few hundred kilobytes.
    {
        QImage plain(8192, 8192, QImage::Format_ARGB32);
        plain.fill(qRgba(10, 200, 30, 255));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        plain.save(&buffer, "PNG", 0);  // 0: the strongest compression
        plain = QImage();
        QByteArray ico("\0\0\1\0\1\0", 6);
        QByteArray entry(16, '\0');
        entry[4] = 1;
        entry[6] = 32;
        for (int i = 0; i < 4; ++i) {
            entry[8 + i] = char(png.size() >> (8 * i));
            entry[12 + i] = char(22 >> (8 * i));
        }
        ASSERT_LT(png.size(), 1 << 20);
        files << dir.filePath(QStringLiteral("bomb.ico"));
        WriteFileBytes(files.back(), ico + entry + png);
    }
    // Nearly 2 GB of zeros named as each kind of picture (sparse: no disk).
    for (const char* kind : {"jpg", "bmp", "ico", "wmf", "emf"}) {
        files << dir.filePath(QStringLiteral("big.") + QString::fromLatin1(kind));
        QFile big(files.back());
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(qint64(1900) << 20));
    }

    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const long long before = PeakResident();
        for (const QString& f : files) {
            try {
                const PictureThumbnail t = LoadThumbnail(f, FixedBox({240, 240}));
                fprintf(stderr, "%s: %dx%d\n", qPrintable(QFileInfo(f).fileName()),
                        t.natural.width(), t.natural.height());
            } catch (const std::exception& e) {
                fprintf(stderr, "%s: %s\n", qPrintable(QFileInfo(f).fileName()), e.what());
            }
        }
        const long long grown = PeakResident() - before;
        fprintf(stderr, "peak resident size grew by %lld MB\n", grown >> 20);
        // The sanitizer's shadow memory and quarantine make resident sizes
        // meaningless: there the loads only have to end cleanly.
        if (tamarind::test::SanitizersWatch()) _exit(0);
        _exit(before > 0 && grown < (300LL << 20) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a thumbnail load held more than 300 MB";
}
