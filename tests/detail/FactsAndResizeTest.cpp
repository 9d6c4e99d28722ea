// The detail window's texts (times, lengths, the format by extension)
// and the size fields' arithmetic and scaling.
#include <gtest/gtest.h>

#include <QLocale>
#include <cstdlib>
#include <ctime>

#include "detail/FileFacts.h"
#include "detail/Resize.h"
#include "platform/Errors.h"

using namespace tamarind;

namespace {

// Runs the test body in a fixed time zone.
class InZone : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = qgetenv("TZ");
        qputenv("TZ", "UTC");
        tzset();
    }
    void TearDown() override {
        if (old_.isEmpty()) qunsetenv("TZ"); else qputenv("TZ", old_);
        tzset();
    }
    QByteArray old_;
};

quint32 Pixel(const Bitmap& b, int x, int y) {
    return reinterpret_cast<const quint32*>(b.constScanLine(y))[x];
}

}  // namespace

TEST_F(InZone, FileTimesCarryTheWeekdayLetterOrUnknown) {
    EXPECT_EQ(FormatFileTime(1083593229), QStringLiteral("2004/05/03 14:07:09(月)"));
    EXPECT_EQ(FormatFileTime(1083506829), QStringLiteral("2004/05/02 14:07:09(日)"));
    EXPECT_EQ(FormatFileTime(1083852429), QStringLiteral("2004/05/06 14:07:09(木)"));
    EXPECT_EQ(FormatFileTime(0), QStringLiteral("1970/01/01 00:00:00(木)"));
    EXPECT_EQ(FormatFileTime(std::nullopt), QStringLiteral("不明"));  // no birth time kept
    EXPECT_EQ(FormatFileTime(-2300000000LL), QStringLiteral("不明"));  // 1897
    qputenv("TZ", "Asia/Tokyo");
    tzset();
    EXPECT_EQ(FormatFileTime(1083593229), QStringLiteral("2004/05/03 23:07:09(月)"));
}

TEST(FileFacts, LengthsUseTheLocaleSeparatorAndSixtyFourBits) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FormatByteCount(0, us), QStringLiteral("0 バイト"));
    EXPECT_EQ(FormatByteCount(1234567, us), QStringLiteral("1,234,567 バイト"));
    EXPECT_EQ(FormatByteCount(5000000000LL, us), QStringLiteral("5,000,000,000 バイト"));
    EXPECT_EQ(FormatByteCount(1234567, QLocale(QLocale::German)), QStringLiteral("1.234.567 バイト"));
}

TEST(FileFacts, FormatComesFromTheNamesExtensionOnly) {
    EXPECT_EQ(DetailFormatOf(QStringLiteral("/home/u/JPG photos/cat.bmp")), DetailFormat::Bmp);
    EXPECT_EQ(DetailFormatOf(QStringLiteral("/home/u/BMP/cat.jpg")), DetailFormat::Jpeg);
    EXPECT_EQ(DetailFormatOf(QStringLiteral("/a/PHOTO.JPG")), DetailFormat::Jpeg);
    EXPECT_EQ(DetailFormatOf(QStringLiteral("/a/x.Bmp")), DetailFormat::Bmp);
    EXPECT_EQ(DetailFormatOf(QStringLiteral("/a/x.wmf")), DetailFormat::Measured);
    EXPECT_EQ(DetailFormatOf(QStringLiteral("/a/x.ICO")), DetailFormat::Measured);
    for (const char* unknown : {"/a/photo.jpeg", "/a/x.emf", "/a/jpg", "/a.jpg/x", "/a/x.jpg.txt",
                                "/WMF/ICO/x.png"})
        EXPECT_EQ(DetailFormatOf(QString::fromLatin1(unknown)), DetailFormat::Unknown) << unknown;
    EXPECT_EQ(LowerExtension(QStringLiteral("a.b.JPG")), QStringLiteral(".jpg"));
    EXPECT_EQ(LowerExtension(QStringLiteral("noext")), QString());
}

TEST(SizeFields, NumbersAndRefusals) {
    EXPECT_EQ(ReadSizeField(QString()), 0);
    EXPECT_EQ(ReadSizeField(QStringLiteral("320")), 320);
    EXPECT_EQ(ReadSizeField(QStringLiteral("007")), 7);
    for (const char* bad : {"abc", "-5", "+5", " 5", "5 ", "1e3", "99999999999"})
        EXPECT_THROW(ReadSizeField(QString::fromLatin1(bad)), TamarindError) << bad;
}

TEST(SizeFields, ProportionalHeightInSinglePrecision) {
    EXPECT_EQ(ProportionalHeight(640, 480, 100), 75);
    EXPECT_EQ(ProportionalHeight(640, 480, 333), 249);
    EXPECT_EQ(ProportionalHeight(640, 480, 0), 0);
    EXPECT_EQ(ProportionalHeight(5, 21, 15), 62);  // 4.2f * 15 is just below 63
    EXPECT_EQ(ProportionalHeight(0, 0, 15), 0);
    EXPECT_EQ(ProportionalHeight(1, 100000, 2000000000), 0);  // beyond any integer
}

TEST(Resize, SameSizeKeepsAndDoublingRepeatsEveryPixel) {
    Bitmap src(3, 2, 24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uchar* p = src.scanLine(y) + 3 * x;
            p[0] = uchar(10 * x + y); p[1] = uchar(100 + x); p[2] = uchar(200 + y);
        }
    auto colour = [&](int x, int y) {
        const uchar* p = src.constScanLine(y) + 3 * x;
        return 0xFF000000u | (quint32(p[2]) << 16) | (quint32(p[1]) << 8) | p[0];
    };
    const Bitmap same = ResizeBitmap(src, 3, 2);
    ASSERT_EQ(same.bitsPerPixel(), 32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(Pixel(same, x, y), colour(x, y));
    const Bitmap twice = ResizeBitmap(src, 6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(Pixel(twice, x, y), colour(x / 2, y / 2));
    EXPECT_TRUE(ResizeBitmap(src, 0, 0).isEmpty());
    EXPECT_EQ(ResizeBitmap(Bitmap(), 2, 2).size(), QSize(2, 2));
}

TEST(Resize, PalettePicturesShowTheirColoursAndOneBitBlackWins) {
    Bitmap grey(4, 1, 8);
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i) palette << qRgb(i, 0, 255 - i);
    grey.setPalette(palette);
    for (int x = 0; x < 4; ++x) grey.scanLine(0)[x] = uchar(x * 50);
    const Bitmap half = ResizeBitmap(grey, 2, 1);  // columns 0 and 2 taken, never mixed
    EXPECT_EQ(Pixel(half, 0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(Pixel(half, 1, 0), qRgb(100, 0, 155));

    // White 1-bit picture with one black pixel in each 2 x 2 cell at varying places.
    Bitmap mono(4, 4, 1);
    mono.setPalette({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < 4; ++y) mono.scanLine(y)[0] = 0xF0;
    auto clear = [&](int x, int y) { mono.scanLine(y)[0] &= uchar(~(0x80 >> x)); };
    clear(1, 1);  // cell (0,0): bottom right
    clear(2, 0);  // cell (1,0): top left
    const Bitmap small = ResizeBitmap(mono, 2, 2);
    EXPECT_EQ(Pixel(small, 0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(small, 1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(small, 0, 1), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(small, 1, 1), qRgb(255, 255, 255));
    EXPECT_THROW(ResizeBitmap(mono, -1, 2), std::invalid_argument);
}
