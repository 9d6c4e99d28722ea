// The reader's walk over the window: signatures, IFD0, the Exif
// sub-directory and the limits of the 4096-byte window.
#include <gtest/gtest.h>

#include "ExifBuilder.h"

namespace tamarind::test {
namespace {

const QString kNotJpg = QStringLiteral("Not JPG File");
const QString kNotExif = QStringLiteral("Not Exif 形式");

// IFD0 with Make, Model and DateTime and the Exif pointer as its last entry,
// and a sub-directory that shows a flash code.
ExifBuilder ThreeLinesAndFlash(ExifByteOrder order = ExifByteOrder::Intel) {
    ExifBuilder b(order);
    b.ifd0.Ascii(kTagMake, "Maker")
        .Ascii(kTagModel, "Model 1")
        .Ascii(kTagDateTime, "2004:01:02 03:04:05")
        .ExifPointer();
    b.exif.Short(kTagFlash, 24);
    return b;
}
// A Flash entry of SHORT type in Intel order.
QByteArray FlashEntry(std::uint16_t flash) {
    const ExifBuilder intel;
    return intel.Number(kTagFlash, 2) + intel.Number(kExifShort, 2) + intel.Number(1, 4) +
           intel.Number(flash, 4);
}

const QString kThreeLines = QStringLiteral("Maker\n\rModel 1\n\r撮影 2004:01:02 03:04:05\n\r");

TEST(ExifWindowTest, ReadsNumbersInTheHeadersByteOrderAndZerosOutside) {
    QByteArray bytes(16, '\0');
    bytes.replace(4, 4, QByteArray("\x12\x34\x56\x78", 4));
    bytes.replace(12, 2, "II");
    const ExifWindow intel(bytes);
    EXPECT_EQ(intel.ReadWord(4), 0x3412);
    EXPECT_EQ(intel.ReadLong(4), 0x78563412);
    bytes.replace(12, 2, "MM");
    const ExifWindow motorola(bytes);
    EXPECT_EQ(motorola.ReadWord(4), 0x1234);
    EXPECT_EQ(motorola.ReadLong(4), 0x12345678);

    bytes.replace(12, 4, QByteArray("\xFF\xFE\xFD\xFC", 4));  // no byte-order mark
    const ExifWindow unmarked(bytes);
    EXPECT_EQ(unmarked.byteOrder(), ExifByteOrder::Intel);
    EXPECT_EQ(unmarked.ReadLong(12), std::int32_t(0xFCFDFEFF));  // signed
    EXPECT_EQ(unmarked.ReadWord(14), 0xFCFD);                    // unsigned
    // A number running past the last byte held is completed with zeros.
    EXPECT_EQ(unmarked.ReadLong(14), 0xFCFD);
    EXPECT_EQ(unmarked.ByteAt(-1), 0);
    EXPECT_EQ(unmarked.ReadLong(-2), 0);
}

TEST(ExifStructureTest, OtherFilesGiveTheFixedMessages) {
    EXPECT_EQ(Summary({}), kNotJpg);
    EXPECT_EQ(Summary("BM\x36\x00\x00\x00"), kNotJpg);
    EXPECT_EQ(Summary("\xFF"), kNotJpg);
    EXPECT_EQ(Summary("\xFF\xD8"), kNotExif);

    // A JFIF segment first is not Exif, even when an Exif block follows it.
    const QByteArray exif = ThreeLinesAndFlash().Build();
    QByteArray jfif("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
    EXPECT_EQ(Summary(jfif + exif.mid(2)), kNotExif);

    // The identifier must be exactly "Exif" and a zero byte.
    QByteArray bad = exif;
    bad[10] = 'x';
    EXPECT_EQ(Summary(bad), kNotExif);
    bad = exif;
    bad[7] = 'X';
    EXPECT_EQ(Summary(bad), kNotExif);
}

TEST(ExifStructureTest, WalksTheSubDirectoryWhenThePointerEndsIfd0) {
    EXPECT_EQ(Summary(ThreeLinesAndFlash().Build()), kThreeLines + "  ﾌﾗｯｼｭ=24");
}

// Mend: cameras write the GPS pointer and other entries after the Exif
// pointer, and many write no IFD1; the sub-directory is walked all the same,
// and its texts still come after every line of IFD0.
TEST(ExifStructureTest, ExifPointerIsFollowedWhereverItStandsWithOrWithoutIfd1) {
    for (ExifByteOrder order : {ExifByteOrder::Intel, ExifByteOrder::Motorola}) {
        for (bool ifd1 : {true, false}) {
            const auto what = ::testing::Message()
                              << (order == ExifByteOrder::Intel ? "II" : "MM")
                              << (ifd1 ? " with IFD1" : " without IFD1");
            // Last, with the GPS pointer after it, and first of all.
            ExifBuilder last = ThreeLinesAndFlash(order);
            ExifBuilder gps = ThreeLinesAndFlash(order);
            gps.ifd0.Long(0x8825, 4000);
            ExifBuilder first(order);
            first.ifd0.ExifPointer()
                .Ascii(kTagMake, "Maker")
                .Ascii(kTagModel, "Model 1")
                .Ascii(kTagDateTime, "2004:01:02 03:04:05");
            first.exif.Short(kTagFlash, 24);
            for (ExifBuilder* b : {&last, &gps, &first}) {
                if (!ifd1) b->ifd1Link = 0;
                EXPECT_EQ(Summary(b->Build()), kThreeLines + "  ﾌﾗｯｼｭ=24") << what;
            }

            // A pointer of SHORT type holds its offset in the field's first
            // two bytes; a second pointer is not walked again.
            ExifBuilder shortPointer(order);
            shortPointer.ifd0.Ascii(kTagMake, "Maker").Short(kTagExifIfdPointer, 8 + 2 + 3 * 12 + 4);
            shortPointer.ifd0.Raw(kTagExifIfdPointer, kExifLong, 1, 8);
            shortPointer.exif.Short(kTagFlash, 16);
            if (!ifd1) shortPointer.ifd1Link = 0;
            EXPECT_EQ(Summary(shortPointer.Build()), "Maker\n\r  ﾌﾗｯｼｭ=16") << what;
        }
    }
}

TEST(ExifStructureTest, EmptyIfd0GivesTheEmptyText) {
    ExifBuilder b = ThreeLinesAndFlash();
    b.ifd0.countField = 0;
    EXPECT_EQ(Summary(b.Build()), QString());
}

TEST(ExifStructureTest, SubDirectoryWalkIgnoresItsCountAndStopsAfterAZeroTag) {
    ExifBuilder b = ThreeLinesAndFlash();
    b.exif.countField = 1;
    b.exif.Long(kTagPixelXDimension, 640).Raw(0, kExifShort, 1, 0).Long(kTagPixelYDimension, 480);
    EXPECT_EQ(Summary(b.Build()), kThreeLines + "  ﾌﾗｯｼｭ=24  W=640");
}

TEST(ExifStructureTest, TagsOutsideTheTableShowNothing) {
    ExifBuilder b;
    b.ifd0.Short(0x0112, 1).Ascii(kTagMake, "M").Ascii(0x0131, "Software 1.0").ExifPointer();
    b.exif.Bytes(0x9000, kExifUndefined, 4, "0232").Short(0xA001, 1).Short(kTagFlash, 0);
    EXPECT_EQ(Summary(b.Build()), "M\n\r  ﾌﾗｯｼｭ=0");
}

// Every prefix of a file reads as the same file with zeros after its end.
TEST(ExifRobustnessTest, TruncatedFilesReadAsZeroFilled) {
    ExifBuilder b;
    b.ifd0.Ascii(kTagMake, "Long maker name")
        .Ascii(kTagDateTime, "2004:01:02 03:04:05")
        .ExifPointer();
    b.exif.Rational(kTagExposureTime, 1, 60)
        .Rational(kTagApertureValue, 6, 1)
        .Numbers(kTagFlash, kExifShort, 2, {1, 2, 3})
        .Rational(kTagFocalLength, 58, 10);
    const QByteArray full = b.Build();
    for (int length = 0; length <= full.size(); ++length) {
        const QByteArray head = full.left(length);
        const QByteArray padded = head + QByteArray(4096 - length, '\0');
        EXPECT_EQ(Summary(head), Summary(padded)) << "length " << length;
    }
    // The identifier's zero byte may lie past the end; the entry count then
    // reads as 0.
    EXPECT_EQ(Summary(full.left(9)), kNotExif);
    EXPECT_EQ(Summary(full.left(10)), QString());
}

TEST(ExifRobustnessTest, EntryCountOf65535EndsAtTheWindow) {
    ExifBuilder b;
    b.ifd0.Ascii(kTagMake, "Mak").Short(kTagFlash, 7);
    b.ifd0.countField = 0xFFFF;
    // Entries past the real ones are read from whatever follows; fill the
    // rest of the window with shown entries so that the walk reaches its end.
    QByteArray bytes = b.Build().left(22 + 2 * 12);
    while (bytes.size() < 4096 + 100) bytes += FlashEntry(9);
    const QString text = Summary(bytes);
    // 340 entries start inside the window; the value field of the last one
    // lies past it and reads 0.
    EXPECT_EQ(text.count(QStringLiteral("\n\r")), 340);
    EXPECT_TRUE(text.startsWith("Mak\n\r  ﾌﾗｯｼｭ=7\n\r  ﾌﾗｯｼｭ=9\n\r"));
    EXPECT_TRUE(text.endsWith("  ﾌﾗｯｼｭ=9\n\r  ﾌﾗｯｼｭ=0\n\r"));
}

TEST(ExifRobustnessTest, SubDirectoryWithoutZeroTagEndsAtTheWindow) {
    ExifBuilder b;
    b.ifd0.ExifPointer();
    // IFD0 holds one entry, so the sub-directory's first entry is at window
    // position 12 + 8 + 18 + 2 = 40.
    QByteArray bytes = b.Build().left(40);
    while (bytes.size() < 8192) bytes += FlashEntry(5);
    // (4096 - 40) / 12 = 338 entries fill the window; the next one reads as
    // zeros and ends the walk.
    EXPECT_EQ(Summary(bytes), QStringLiteral("  ﾌﾗｯｼｭ=5").repeated(338));
}

TEST(ExifRobustnessTest, OffsetsPastTheWindowReadAsZero) {
    for (std::uint32_t offset : {4084u, 5000u, 0x7FFFFFFFu, 0xFFFFFFF4u, 0xFFFFFFFFu}) {
        ExifBuilder b;
        b.ifd0.Raw(kTagMake, kExifAscii, 20, offset)
            .Raw(kTagModel, kExifShort, 40, offset)
            .Raw(kTagDateTime, kExifRational, 1, offset)
            .ExifPointer();
        b.exif.Raw(kTagExposureTime, kExifRational, 1, offset)
            .Raw(kTagApertureValue, kExifRational, 1, offset)
            .Raw(kTagFocalLength, kExifRational, 1, offset);
        const QString expected =
            QStringLiteral("\n\r\n\r撮影 0\n\r  ｼｬｯﾀｰ=0秒  絞り=?\n\r  f= 0mm");
        EXPECT_EQ(Summary(b.Build()), expected) << "offset " << offset;
    }
}

TEST(ExifRobustnessTest, ExifPointerPastTheWindowGivesNoSubDirectoryTexts) {
    for (std::uint32_t offset : {4090u, 0x7FFFFFFFu, 0xFFFFFFF2u, 0xFFFFFFFFu}) {
        ExifBuilder b;
        b.ifd0.Ascii(kTagMake, "Maker").Raw(kTagExifIfdPointer, kExifLong, 1, offset);
        EXPECT_EQ(Summary(b.Build()), "Maker\n\r") << "offset " << offset;
    }
}

TEST(ExifRobustnessTest, ValuesCrossingTheWindowEndAreCutThere) {
    ExifBuilder b;
    b.ifd0.Raw(kTagMake, kExifAscii, 100, 4090 - 12).Raw(kTagModel, kExifShort, 8, 4090 - 12);
    QByteArray bytes = b.Build();
    bytes = bytes.leftJustified(4090, '\0') + QByteArray("ABCDEFGHIJKLMNOP");
    // The text stops at the window's end; the hex dump stops with the last
    // number that starts inside it.
    EXPECT_EQ(Summary(bytes), "ABCDEF\n\r414243444546\n\r");
}

TEST(ExifRobustnessTest, CountsWhoseByteTotalOverflows32BitsStayBounded) {
    // In 32-bit arithmetic each of these byte totals wraps to 4 bytes or
    // fewer, and the value would be taken from the entry's field itself.
    auto build = [](std::uint32_t tail) {
        ExifBuilder b;
        b.ifd0.Raw(kTagMake, kExifAscii, 0xFFFFFFFF, tail + 8)
            .Raw(kTagModel, kExifShort, 0x80000002, tail + 8)
            .ExifPointer();
        b.exif.Raw(kTagFocalLength, kExifRational, 0x20000000, tail)
            .Raw(kTagFlash, kExifDouble, 0x20000000, tail);
        QByteArray bytes = b.Build();
        bytes.chop(2);  // no end-of-image marker
        return bytes;
    };
    // After the directories: the rational 58/10, then four letters.
    QByteArray bytes = build(0);
    const int tail = int(bytes.size());
    bytes = build(tail - 12) + QByteArray("\x3A\0\0\0\x0A\0\0\0Text", 12);
    ASSERT_EQ(bytes.size(), tail + 12);

    // Text and hex dumps run to the window's end; past the file they read zeros.
    const int shortBytes = (4096 - tail - 8 + 1) / 2 * 2;
    const QString shorts = QString("54657874").leftJustified(2 * shortBytes, '0');
    const int doubles = (4096 - tail + 7) / 8 * 8;
    const QString eights = QString("3A0000000A00000054657874").leftJustified(2 * doubles, '0');
    EXPECT_EQ(Summary(bytes), "Text\n\r" + shorts + "\n\r  f= 5mm  ﾌﾗｯｼｭ=" + eights);
}

}  // namespace
}  // namespace tamarind::test
