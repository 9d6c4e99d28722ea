// Formatting of the ten tags: labels, value types, the shutter and aperture
// texts, and the same picture in both byte orders.
#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>

#include "ExifBuilder.h"

namespace tamarind::test {
namespace {

constexpr auto kIntel = ExifByteOrder::Intel;
constexpr auto kMotorola = ExifByteOrder::Motorola;

// A file whose IFD0 holds only the Exif pointer; tests fill `exif`.
ExifBuilder WithSubDirectory(ExifByteOrder order = kIntel) {
    ExifBuilder b(order);
    b.ifd0.ExifPointer();
    return b;
}

// The camera file of the worked example: five lines.
ExifBuilder WorkedExample(ExifByteOrder order) {
    ExifBuilder b(order);
    b.ifd0.Ascii(kTagMake, "FUJIFILM")
        .Ascii(kTagModel, "FinePix S602Z")
        .Ascii(kTagDateTime, "2003:08:15 14:03:27")
        .ExifPointer();
    b.exif.Rational(kTagExposureTime, 1, 250)
        .Rational(kTagCompressedBitsPerPixel, 3, 1)
        .Rational(kTagApertureValue, 4, 1)
        .Short(kTagFlash, 24)
        .Rational(kTagFocalLength, 5406, 1000)
        .Short(kTagPixelXDimension, 640)
        .Short(kTagPixelYDimension, 480);
    return b;
}

const QString kWorkedExample = QStringLiteral(
    "FUJIFILM\n\r"
    "FinePix S602Z\n\r"
    "撮影 2003:08:15 14:03:27\n\r"
    "  圧縮度合=3  ｼｬｯﾀｰ=1/250秒  絞り=4.0\n\r"
    "  ﾌﾗｯｼｭ=24  f= 5mm  W=640 H=480");

TEST(ExifFormatTest, WorkedExampleGivesFiveLines) {
    LocaleScope c(QLocale::c());
    EXPECT_EQ(Summary(WorkedExample(kIntel).Build()), kWorkedExample);
}

// Mend: numbers are read in the order of the byte-order mark, so "MM" files
// give the same summary as "II" files.
TEST(ExifFormatTest, MotorolaOrderFilesReadLikeIntelOrderFiles) {
    LocaleScope c(QLocale::c());
    EXPECT_EQ(Summary(WorkedExample(kMotorola).Build()), kWorkedExample);

    for (ExifByteOrder order : {kIntel, kMotorola}) {
        ExifBuilder b = WithSubDirectory(order);
        b.exif
            .Long(kTagPixelXDimension, 3000000000u)  // LONG is unsigned
            .Numbers(kTagPixelYDimension, kExifSShort, 2, {0xFFFE})
            .Numbers(kTagFlash, kExifByte, 1, {200})
            // Six bytes of SHORTs: a hex dump, each number least significant
            // byte first whatever the file's order.
            .Numbers(kTagCompressedBitsPerPixel, kExifShort, 2, {0x00AB, 0x1234, 0x0001})
            .Numbers(kTagFocalLength, kExifSRational, 4, {0xFFFFFFFF, 0x0000000A});
        EXPECT_EQ(Summary(b.Build()),
                  "  W=3000000000 H=-2  ﾌﾗｯｼｭ=200  圧縮度合=AB0034120100  f= FFFFFFFF0A000000mm")
            << (order == kIntel ? "II" : "MM");
    }
}

// Mend: an ASCII value of 4 bytes or fewer shows as its characters.
TEST(ExifFormatTest, ShortAsciiValuesShowTheirCharacters) {
    for (ExifByteOrder order : {kIntel, kMotorola}) {
        ExifBuilder b(order);
        b.ifd0.Ascii(kTagMake, "HTC")
            .Ascii(kTagModel, "LG")
            .Bytes(kTagDateTime, kExifAscii, 4, QByteArray("A\0B\0", 4))
            .Bytes(kTagMake, kExifAscii, 0, QByteArray());
        EXPECT_EQ(Summary(b.Build()), "HTC\n\rLG\n\r撮影 AB\n\r\n\r");
    }
}

// Mend: exposure times of one second or longer show in seconds; shorter ones
// as 1/q, q rounded to a whole number from 10 up and to tenths below (5/8 s
// is not 1/1 s).
TEST(ExifFormatTest, ExposureTimesShowSecondsOrTheFractionRounded) {
    LocaleScope c(QLocale::c());
    struct Case {
        std::uint32_t numerator, denominator;
        const char* shown;
    };
    const Case cases[] = {
        {1, 60, "1/60"},     {10, 1250, "1/125"},     {3, 10, "1/3.3"},   {5, 8, "1/1.6"},
        {10, 13, "1/1.3"},   {1, 3, "1/3"},           {3, 200, "1/67"},   {1, 2, "1/2"},
        {10, 99, "1/9.9"},   {100, 997, "1/10"},      {1, 10, "1/10"},    {2, 19, "1/9.5"},
        {999, 1000, "1/1"},  {1, 0xFFFFFFFF, "1/4294967295"},           {1, 1, "1"},
        {2, 1, "2"},         {5, 2, "2.5"},           {10, 3, "3.3"},     {299, 100, "3"},
        {30, 1, "30"},       {0, 1, "0"},             {1, 0, "0"},        {0xFFFFFFFF, 1, "4294967295"},
    };
    for (ExifByteOrder order : {kIntel, kMotorola}) {
        for (const Case& t : cases) {
            ExifBuilder b = WithSubDirectory(order);
            b.exif.Rational(kTagExposureTime, t.numerator, t.denominator)
                .Rational(kTagApertureValue, 6, 1);
            EXPECT_EQ(Summary(b.Build()),
                      QStringLiteral("  ｼｬｯﾀｰ=%1秒  絞り=8.0\n\r").arg(QLatin1String(t.shown)))
                << t.numerator << "/" << t.denominator;
        }
    }
}

// Mend: the F-number comes from the exact APEX value.
TEST(ExifFormatTest, ApertureUsesTheExactApexValue) {
    LocaleScope c(QLocale::c());
    struct Case {
        std::uint32_t numerator, denominator;
        const char* shown;
    };
    const Case cases[] = {
        {4, 1, "4.0"}, {6, 1, "8.0"}, {497, 100, "5.6"}, {1, 1, "1.4"},        {40761, 8200, "5.6"},
        {5, 1, "5.7"}, {0, 1, "?"},   {3, 0, "?"},       {0xFFFFFFFF, 1, "?"},
    };
    for (const Case& t : cases) {
        ExifBuilder b = WithSubDirectory();
        b.exif.Rational(kTagApertureValue, t.numerator, t.denominator);
        EXPECT_EQ(Summary(b.Build()), QStringLiteral("  絞り=%1\n\r").arg(QLatin1String(t.shown)))
            << t.numerator << "/" << t.denominator;
    }

    // Values that are not numbers.
    ExifBuilder b = WithSubDirectory();
    b.exif.Bytes(kTagApertureValue, kExifUndefined, 8, QByteArray("\x04\0\0\0\x01\0\0\0", 8))
        .Ascii(kTagApertureValue, "4.97")
        .Ascii(kTagApertureValue, "4")
        .Numbers(kTagApertureValue, kExifShort, 2, {4, 1, 1});  // a hex dump
    EXPECT_EQ(Summary(b.Build()), QStringLiteral("  絞り=?\n\r").repeated(4));

    // A whole number held in the value field is a number.
    b = WithSubDirectory(kMotorola);
    b.exif.Short(kTagApertureValue, 4);
    EXPECT_EQ(Summary(b.Build()), "  絞り=4.0\n\r");
}

TEST(ExifFormatTest, ApertureToFNumberTable) {
    LocaleScope c(QLocale::c());
    const char* expected[] = {"1.4", "2.0",  "2.8",  "4.0",  "5.7",
                              "8.0", "11.3", "16.0", "22.6", "32.0"};
    for (int av = 1; av <= 10; ++av) EXPECT_EQ(ApertureToFNumber(av), expected[av - 1]) << av;
    EXPECT_EQ(ApertureToFNumber(0), "1.0");
    EXPECT_EQ(ApertureToFNumber(-2), "0.5");
    EXPECT_EQ(ApertureToFNumber(1e6), "?");
}

TEST(ExifFormatTest, DecimalsUseTheLocalesDecimalPoint) {
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    ExifBuilder b = WithSubDirectory();
    b.exif.Rational(kTagExposureTime, 5, 2)
        .Rational(kTagApertureValue, 497, 100)
        .Rational(kTagApertureValue, 2000, 1)  // no thousands separators
        .Rational(kTagExposureTime, 5, 8)
        .Rational(kTagApertureValue, 4, 1);
    const QString big = QString::asprintf("%.1f", std::exp2(1000.0)).replace('.', ',');
    EXPECT_EQ(Summary(b.Build()), "  ｼｬｯﾀｰ=2,5秒  絞り=5,6\n\r  ｼｬｯﾀｰ=2,5秒  絞り=" + big +
                                      "\n\r  ｼｬｯﾀｰ=1/1,6秒  絞り=4,0\n\r");
}

TEST(ExifFormatTest, ShutterShowsOnlyInFrontOfALaterAperture) {
    LocaleScope c(QLocale::c());
    ExifBuilder b = WithSubDirectory();
    b.exif.Rational(kTagExposureTime, 1, 60).Short(kTagFlash, 1);
    EXPECT_EQ(Summary(b.Build()), "  ﾌﾗｯｼｭ=1");

    b = WithSubDirectory();
    b.exif.Rational(kTagApertureValue, 4, 1).Rational(kTagExposureTime, 1, 60);
    EXPECT_EQ(Summary(b.Build()), "  絞り=4.0\n\r");

    // An exposure time in IFD0 carries over to the sub-directory's aperture.
    b = ExifBuilder();
    b.ifd0.Rational(kTagExposureTime, 1, 8).ExifPointer();
    b.exif.Rational(kTagApertureValue, 4, 1);
    EXPECT_EQ(Summary(b.Build()), "  ｼｬｯﾀｰ=1/8秒  絞り=4.0\n\r");
}

TEST(ExifFormatTest, OtherRationalsShowTheWholeQuotient) {
    ExifBuilder b = WithSubDirectory();
    b.exif.Rational(kTagFocalLength, 58, 10)
        .Rational(kTagCompressedBitsPerPixel, 1, 3)  // the larger over the smaller
        .Rational(kTagFocalLength, 0, 10)
        .Rational(kTagFocalLength, 10, 0)
        .Rational(kTagFocalLength, 0xFFFFFFFF, 1)                     // RATIONAL is unsigned
        .Numbers(kTagFocalLength, kExifRational, 4, {71, 10, 1, 1});  // only the first counts
    EXPECT_EQ(Summary(b.Build()), "  f= 5mm  圧縮度合=3  f= 0mm  f= 0mm  f= 4294967295mm  f= 7mm");
}

TEST(ExifFormatTest, UndefinedValuesAreEmptyButStillMakeTheirLine) {
    ExifBuilder b;
    b.ifd0.Bytes(kTagMake, kExifUndefined, 6, QByteArray("Canon\0", 6))
        .Bytes(kTagDateTime, kExifUndefined, 2, "12")
        .Ascii(kTagModel, "X");
    EXPECT_EQ(Summary(b.Build()), "\n\r撮影 \n\rX\n\r");
}

TEST(ExifFormatTest, TextsDropZeroBytesAndAreReadAsShiftJis) {
    ExifBuilder b;
    b.ifd0.Bytes(kTagMake, kExifAscii, 12, QByteArray("Nik\0on\0\0Z\0\0\0", 12))
        .Ascii(kTagModel, "\x83\x4c\x83\x84\x83\x6d\x83\x93 \xb6\xd2\xd7");  // katakana
    EXPECT_EQ(Summary(b.Build()), "NikonZ\n\rキヤノン ｶﾒﾗ\n\r");

    // Every ASCII character, control characters included, stays as it is.
    QByteArray ascii;
    for (int c = 1; c < 128; ++c) ascii += char(c);
    b = ExifBuilder();
    b.ifd0.Ascii(kTagModel, ascii);
    EXPECT_EQ(Summary(b.Build()), QString::fromLatin1(ascii) + "\n\r");
}

TEST(ExifFormatTest, OtherTypesOfMoreThan4BytesShowAsUpperCaseHex) {
    ExifBuilder b;
    b.ifd0.Numbers(kTagMake, kExifLong, 4, {0xDEADBEEF, 0x0102ABCD})
        .Bytes(kTagModel, kExifByte, 5, QByteArray("\xfa\x0b\x00\x10\xff", 5))
        .Numbers(kTagDateTime, kExifDouble, 8, {0x3FF0000000000000});  // 1.0
    for (ExifByteOrder order : {kIntel, kMotorola}) {
        ExifBuilder o(order);
        o.ifd0 = b.ifd0;
        EXPECT_EQ(Summary(o.Build()),
                  "EFBEADDECDAB0201\n\rFA0B0010FF\n\r撮影 000000000000F03F\n\r");
    }
}

}  // namespace
}  // namespace tamarind::test
