// BMP reading (the BMP suite, hand-made damaged files), writing and DIBs.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include "PictureTestUtil.h"
#include "TestData.h"
#include "picture/Bmp.h"
#include "picture/Dib.h"
#include "platform/Errors.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

const QString kDamaged = QStringLiteral("ビットマップイメージが不正です");

Bitmap Suite(const QString& name) {
    return DecodeBmp(ByteSpan(ReadTestFile(QStringLiteral("bmpsuite/") + name)));
}

QStringList SuiteFiles(const QString& folder) {
    return QDir(TestDataPath(QStringLiteral("bmpsuite/") + folder))
        .entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name);
}

// A file made of a header, a palette and pixel bytes, for damaged cases.
QByteArray MakeBmp(int width, int height, int bits, quint32 compression, const QByteArray& palette,
                   const QByteArray& pixels) {
    QByteArray info(40, '\0');
    auto put32 = [](QByteArray& b, int at, quint32 v) {
        for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
    };
    put32(info, 0, 40);
    put32(info, 4, quint32(width));
    put32(info, 8, quint32(height));
    info[12] = 1;
    info[14] = char(bits);
    put32(info, 16, compression);
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    put32(file, 10, quint32(14 + info.size() + palette.size()));
    return file + info + palette + pixels;
}

}  // namespace

TEST(BmpSuite, GoodFilesDecodeInTheirOwnFormatAndMatchTheirRenderings) {
    REQUIRE_TESTDATA();
    const QMap<QString, int> expectedBits = {
        {"pal1", 1},       {"pal1bg", 1},        {"pal1wb", 1},      {"pal4", 4},
        {"pal4rle", 4},    {"pal8-0", 8},        {"pal8", 8},        {"pal8nonsquare", 8},
        {"pal8os2", 8},    {"pal8rle", 8},       {"pal8topdown", 8}, {"pal8v4", 8},
        {"pal8v5", 8},     {"pal8w124", 8},      {"pal8w125", 8},    {"pal8w126", 8},
        {"rgb16-565", 16}, {"rgb16-565pal", 16}, {"rgb16", 15},      {"rgb24", 24},
        {"rgb24pal", 24},  {"rgb32", 32},        {"rgb32bf", 32}};
    const QStringList files = SuiteFiles(QStringLiteral("g"));
    ASSERT_EQ(files.size(), expectedBits.size());
    int compared = 0;
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const QString base = file.chopped(4);
        const Bitmap bitmap = Suite(QStringLiteral("g/") + file);
        EXPECT_EQ(bitmap.bitsPerPixel(), expectedBits.value(base));
        for (const QString& png : {base + ".png", base + "-e.png"}) {
            const QString path = TestDataPath(QStringLiteral("bmpsuite/html/") + png);
            if (!QFile::exists(path)) continue;
            // The renderings round some colours differently by one.
            EXPECT_LE(MaxColourDifference(bitmap.ToQImage(), QImage(path)), 1) << png.toStdString();
            ++compared;
        }
    }
    EXPECT_EQ(compared, 11);
}

TEST(BmpSuite, VariantsOfOnePictureDecodeToTheSamePixels) {
    REQUIRE_TESTDATA();
    // RLE, top-down rows, OS/2 and later headers, short and oversized
    // palettes, odd offsets: all the same 8-bit (or 4-bit) picture.
    const QImage pal8 = Suite("g/pal8.bmp").ToQImage();
    for (const char* name : {"g/pal8-0.bmp", "g/pal8os2.bmp", "g/pal8rle.bmp", "g/pal8topdown.bmp",
                             "g/pal8v4.bmp", "g/pal8v5.bmp", "q/pal8offs.bmp", "q/pal8os2sp.bmp",
                             "q/pal8os2v2.bmp", "q/pal8os2v2-16.bmp", "q/pal8oversizepal.bmp"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(MaxColourDifference(Suite(name).ToQImage(), pal8), 0);
    }
    EXPECT_EQ(
        MaxColourDifference(Suite("g/pal4rle.bmp").ToQImage(), Suite("g/pal4.bmp").ToQImage()), 0);
    // Colour masks of every kind give the picture of the plain 24-bit file
    // (within what fewer bits per channel can hold).
    const QImage rgb24 = Suite("g/rgb24.bmp").ToQImage();
    for (const char* name : {"g/rgb32.bmp", "g/rgb32bf.bmp", "q/rgb32bf-xbgr.bmp", "q/rgb32h52.bmp",
                             "q/rgb32fakealpha.bmp", "q/rgb24largepal.bmp", "g/rgb24pal.bmp"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(MaxColourDifference(Suite(name).ToQImage(), rgb24), 0);
    }
    EXPECT_LE(MaxColourDifference(Suite("q/rgb32-111110.bmp").ToQImage(), rgb24), 2);
    // Pictures with an alpha mask: the colours as stored, alpha dropped, as
    // Qt's reader stores them before alpha is applied.
    QImage qt(TestDataPath(QStringLiteral("bmpsuite/q/rgba32.bmp")));
    ASSERT_EQ(qt.format(), QImage::Format_ARGB32);
    qt.reinterpretAsFormat(QImage::Format_RGB32);
    const QImage rgba32 = Suite("q/rgba32.bmp").ToQImage();
    EXPECT_EQ(MaxColourDifference(rgba32, qt), 0);
    EXPECT_LE(MaxColourDifference(Suite("q/rgba16-4444.bmp").ToQImage(), rgba32), 8);
    EXPECT_EQ(MaxColourDifference(Suite("q/rgba32abf.bmp").ToQImage(), rgba32), 0);
    EXPECT_EQ(MaxColourDifference(Suite("q/rgba32h56.bmp").ToQImage(), rgba32), 0);
}

TEST(BmpSuite, QuestionableAndBadFilesAreReadOrRefusedCleanly) {
    REQUIRE_TESTDATA();
    for (const QString& folder : {QStringLiteral("q"), QStringLiteral("b")}) {
        for (const QString& file : SuiteFiles(folder)) {
            SCOPED_TRACE(file.toStdString());
            EXPECT_TRUE(RefusedWith([&] { Suite(folder + '/' + file); }, kDamaged, true));
        }
    }
    // Unusual masks become 24 or 32 bits; 2-bit pictures become 4-bit.
    EXPECT_EQ(Suite("q/rgb16-231.bmp").bitsPerPixel(), 24);
    EXPECT_EQ(Suite("q/rgba16-4444.bmp").bitsPerPixel(), 24);
    EXPECT_EQ(Suite("q/rgb32-111110.bmp").bitsPerPixel(), 32);
    const Bitmap pal2 = Suite("q/pal2.bmp");
    EXPECT_EQ(pal2.bitsPerPixel(), 4);
    EXPECT_EQ(pal2.palette().mid(4), QList<QRgb>(12, qRgb(0, 0, 0)));
    // Files refused on purpose.
    for (const char* name : {"q/rgb24jpeg.bmp", "q/rgb24png.bmp", "b/badbitcount.bmp",
                             "b/badheadersize.bmp", "b/badplanes.bmp", "b/badwidth.bmp",
                             "b/reallybig.bmp", "b/rletopdown.bmp", "b/shortfile.bmp"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(RefusedWith([&] { Suite(name); }, kDamaged));
    }
}

TEST(BmpRead, EveryTruncationOfAFileIsReadOrRefused) {
    REQUIRE_TESTDATA();
    for (const char* name :
         {"g/pal4rle.bmp", "g/pal8os2.bmp", "g/rgb16-565.bmp", "q/rgba32h56.bmp"}) {
        const QByteArray file = ReadTestFile(QStringLiteral("bmpsuite/") + name);
        for (qsizetype n = 0; n < file.size(); ++n) {
            const QByteArray part = file.left(n);
            ASSERT_TRUE(RefusedWith([&] { DecodeBmp(ByteSpan(part)); }, kDamaged, true))
                << name << " cut at " << n;
        }
    }
}

TEST(BmpRead, SizeLimitsAreCheckedBeforeAllocating) {
    const QByteArray grey(1024, '\0');
    // 2^28 + 16384 pixels, claimed by a file of a few bytes.
    EXPECT_TRUE(RefusedWith([&] { DecodeBmp(ByteSpan(MakeBmp(16385, 16384, 8, 1, grey, "\0\1"))); },
                            kDamaged));
    // Width times bits overflowing 32 bits.
    EXPECT_TRUE(RefusedWith([&] { DecodeBmp(ByteSpan(MakeBmp(0x7FFFFFFF, 1, 32, 0, {}, "x"))); },
                            kDamaged));
    // The caller's own limit.
    const QByteArray small = MakeBmp(4, 4, 8, 0, grey, QByteArray(16, '\0'));
    EXPECT_EQ(DecodeBmp(ByteSpan(small), 16).size(), QSize(4, 4));
    EXPECT_TRUE(RefusedWith([&] { DecodeBmp(ByteSpan(small), 15); }, kDamaged));
    // Rows missing from an uncompressed file; the last row may lack its padding.
    EXPECT_TRUE(RefusedWith([&] { DecodeBmp(ByteSpan(small.chopped(5))); }, kDamaged));
    const QByteArray rgb = MakeBmp(1, 2, 24, 0, {}, QByteArray(7, '\x40'));
    EXPECT_EQ(DecodeBmp(ByteSpan(rgb)).scanLine(0)[2], 0x40);
    // Colour masks that are not contiguous.
    QByteArray masks("\x00\xF8\x00\x00\xE0\x07\x00\x00\x1F\x00\x00\x00", 12);
    masks[1] = char(0xF4);
    EXPECT_TRUE(RefusedWith([&] { DecodeBmp(ByteSpan(MakeBmp(1, 1, 16, 3, masks, "\0\0\0\0"))); },
                            kDamaged));
}

TEST(BmpRead, RunLengthRowsClipDeltaAndStopAtTheEnd) {
    QByteArray palette;
    for (int i = 0; i < 16; ++i) palette += QByteArray(1, char(i)) + QByteArray(3, '\0');
    // 5 x 3, bottom row first: a run of 3 sevens clipped at nothing, a
    // literal of 3 (padded), end of row; a delta of 2 right and 1 up; a run
    // of 9 clipped at the right edge; then the data ends.
    const QByteArray rle8("\x03\x07\x00\x03\x01\x02\x03\x00\x00\x00\x00\x02\x02\x01\x09\x05", 16);
    const Bitmap b8 = DecodeBmp(ByteSpan(MakeBmp(5, 3, 8, 1, palette, rle8)));
    auto row = [](const Bitmap& b, int y, int n) {
        return QByteArray(reinterpret_cast<const char*>(b.scanLine(y)), n);
    };
    EXPECT_EQ(row(b8, 2, 5), QByteArray("\x07\x07\x07\x01\x02", 5));
    EXPECT_EQ(row(b8, 1, 5), QByteArray(5, '\0'));
    EXPECT_EQ(row(b8, 0, 5), QByteArray("\x00\x00\x05\x05\x05", 5));

    // RLE4: a run alternates two nibbles; a literal of 5 nibbles takes 3
    // bytes padded to 4.
    const QByteArray rle4("\x03\x12\x00\x05\x34\x56\x70\x00\x00\x01", 10);
    const Bitmap b4 = DecodeBmp(ByteSpan(MakeBmp(9, 1, 4, 2, palette, rle4)));
    EXPECT_EQ(row(b4, 0, 5), QByteArray("\x12\x13\x45\x67\x00", 5));
}

TEST(BmpWrite, WriteThenReadGivesBackFormatPaletteAndPixels) {
    for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
        for (int width : {1, 3, 7, 9, 33}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, width " << width);
            const Bitmap original = RandomBitmap(width, 5, bits, quint32(bits * 100 + width));
            const QByteArray file = EncodeBmp(original);
            EXPECT_TRUE(SameBitmap(DecodeBmp(ByteSpan(file)), original));
            // Qt's reader sees the same picture (it widens 5- and 6-bit
            // channels by shifting, hence up to 7 less).
            EXPECT_LE(MaxColourDifference(QImage::fromData(file, "BMP"), original.ToQImage()),
                      bits == 15 || bits == 16 ? 7 : 0);
        }
    }
    EXPECT_TRUE(RefusedWith([] { EncodeBmp(Bitmap()); }, kDamaged));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("写真.bmp"));
    const Bitmap picture = RandomBitmap(6, 4, 8, 1);
    WriteBmpFile(path, picture);
    EXPECT_TRUE(SameBitmap(ReadBmpFile(path), picture));
}

TEST(BmpRead, MissingFileNamesTheFile) {
    try {
        ReadBmpFile(QStringLiteral("/nonexistent/nothing.bmp"));
        FAIL() << "no error";
    } catch (const TamarindError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("/nonexistent/nothing.bmp")));
    }
}

TEST(Dib, SplitInfoAndBitsDecodeAsTheFile) {
    REQUIRE_TESTDATA();
    for (const char* name :
         {"g/pal4rle.bmp", "g/pal8os2.bmp", "g/rgb16-565.bmp", "g/pal1.bmp", "g/rgb24.bmp"}) {
        SCOPED_TRACE(name);
        const QByteArray file = ReadTestFile(QStringLiteral("bmpsuite/") + name);
        const qsizetype pixelsAt = qFromLittleEndian<quint32>(file.constData() + 10);
        const QImage dib =
            DecodeDib(ByteSpan(file.mid(14, pixelsAt - 14)), ByteSpan(file.mid(pixelsAt)));
        EXPECT_EQ(MaxColourDifference(dib, Suite(name).ToQImage()), 0);
    }
    EXPECT_TRUE(RefusedWith([] { DecodeDib({}, {}); }, kDamaged));
}
