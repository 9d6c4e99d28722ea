// The working bitmap: sizes, sharing, and its conversions to and from QImage.
#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <stdexcept>

#include "PictureTestUtil.h"
#include "picture/Bitmap.h"

using namespace tamarind;
using namespace tamarind::test;

TEST(Bitmap, SizesStridesAndLimits) {
    EXPECT_TRUE(Bitmap().isEmpty());
    EXPECT_TRUE(Bitmap(0, 5, 8).isEmpty());
    EXPECT_EQ(Bitmap(0, 5, 8).bitsPerPixel(), 8);
    // Rows are padded to 4 bytes; 15-bit pixels take 16 bits.
    EXPECT_EQ(Bitmap(9, 1, 1).stride(), 4);
    EXPECT_EQ(Bitmap(33, 1, 1).stride(), 8);
    EXPECT_EQ(Bitmap(9, 1, 4).stride(), 8);
    EXPECT_EQ(Bitmap(3, 1, 15).stride(), 8);
    EXPECT_EQ(Bitmap(5, 2, 24).stride(), 16);
    EXPECT_EQ(Bitmap(5, 2, 24).sizeInBytes(), 32);
    EXPECT_EQ(Bitmap(3, 3, 4).palette().size(), 16);
    EXPECT_TRUE(Bitmap(3, 3, 16).palette().isEmpty());

    EXPECT_THROW(Bitmap(16385, 16384, 1), std::bad_alloc);  // 2^28 + 16384 pixels
    EXPECT_THROW(Bitmap(-1, 4, 24), std::invalid_argument);
    EXPECT_THROW(Bitmap(4, 4, 12), std::invalid_argument);
}

TEST(Bitmap, CopiesShareUntilWritten) {
    Bitmap a(4, 4, 8);
    a.scanLine(1)[2] = 7;
    const Bitmap b = a;
    EXPECT_EQ(a.constBits(), b.constBits());
    a.scanLine(1)[2] = 9;
    EXPECT_EQ(b.scanLine(1)[2], 7);
    EXPECT_EQ(a.scanLine(1)[2], 9);

    Bitmap c = b;
    c.setPalette({qRgb(1, 2, 3)});
    EXPECT_EQ(c.palette().size(), 256);  // filled up with black
    EXPECT_EQ(c.palette()[0], qRgb(1, 2, 3));
    EXPECT_EQ(b.palette()[0], qRgb(0, 0, 0));

    // An image handed out for drawing keeps what it showed.
    QImage image = a.ToQImage();
    a.scanLine(1)[2] = 11;
    EXPECT_EQ(image.pixelIndex(2, 1), 9);
    a = Bitmap();
    EXPECT_EQ(image.pixelIndex(2, 1), 9);
}

TEST(Bitmap, ReusedMemoryIsClearedAndPaddingNeverUndefined) {
    // Large blocks are kept for the next large picture: a new bitmap must
    // still start black, and one made for overwriting must have zero padding.
    for (int round = 0; round < 2; ++round) {
        {
            Bitmap dirty(3001, 1000, 24);
            std::memset(dirty.bits(), 0xAB, size_t(dirty.sizeInBytes()));
        }
        if (round == 0) {
            const Bitmap clean(3001, 1000, 24);
            for (int y = 0; y < clean.height(); y += 97)
                ASSERT_EQ(clean.scanLine(y)[3 * 3001 - 1] | clean.scanLine(y)[17], 0) << y;
        } else {
            const Bitmap overwrite = Bitmap::ForOverwrite(3001, 1000, 24);
            for (int y = 0; y < overwrite.height(); ++y)
                ASSERT_EQ(overwrite.scanLine(y)[3 * 3001], 0) << y;  // first padding byte
        }
    }
}

TEST(Bitmap, ToQImageSharesMemoryAndShowsTheSameColours) {
    for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
        SCOPED_TRACE(bits);
        const Bitmap bitmap = RandomBitmap(13, 5, bits, bits);
        const QImage image = bitmap.ToQImage();
        ASSERT_EQ(image.size(), QSize(13, 5));
        if (bits != 4) {
            EXPECT_EQ(image.constBits(), bitmap.constBits());
        }
        const Bitmap expanded = bitmap.ConvertTo24();
        ASSERT_EQ(expanded.bitsPerPixel(), 24);
        EXPECT_EQ(MaxColourDifference(image, expanded.ToQImage()), 0);
    }
}

TEST(Bitmap, ConvertTo24ExpandsPalettesAndWidensChannels) {
    Bitmap mono(10, 1, 1);
    mono.setPalette({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    mono.scanLine(0)[0] = 0x80;  // leftmost pixel set
    mono.scanLine(0)[1] = 0x40;  // pixel 9 set
    const Bitmap m = mono.ConvertTo24();
    const uchar* row = m.scanLine(0);
    EXPECT_EQ(row[0], 50);  // blue, green, red of colour 1
    EXPECT_EQ(row[2], 200);
    EXPECT_EQ(row[3], 30);  // pixel 1: colour 0
    EXPECT_EQ(row[27], 50);

    Bitmap nibbles(3, 1, 4);
    nibbles.setPalette({0, 0, qRgb(1, 1, 1), 0, 0, 0, 0, 0, 0, qRgb(9, 9, 9)});
    nibbles.scanLine(0)[0] = 0x29;
    nibbles.scanLine(0)[1] = 0x90;
    const Bitmap n = nibbles.ConvertTo24();
    EXPECT_EQ(n.scanLine(0)[0], 1);
    EXPECT_EQ(n.scanLine(0)[3], 9);
    EXPECT_EQ(n.scanLine(0)[6], 9);

    Bitmap rgb555(1, 1, 15), rgb565(1, 1, 16);
    rgb555.scanLine(0)[0] = 0xFF;  // 0x7FFF: white; the top bit is unused
    rgb555.scanLine(0)[1] = 0xFF;
    rgb565.scanLine(0)[0] = 0x10;  // 0x8410: red 16, green 32, blue 16
    rgb565.scanLine(0)[1] = 0x84;
    const Bitmap white = rgb555.ConvertTo24(), grey = rgb565.ConvertTo24();
    const uchar* w = white.scanLine(0);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(w), 3), QByteArray("\xFF\xFF\xFF"));
    const uchar* g = grey.scanLine(0);
    EXPECT_EQ(g[0], 0x84);
    EXPECT_EQ(g[1], 0x82);
    EXPECT_EQ(g[2], 0x84);
}

TEST(Bitmap, FromQImageKeepsTheFormatWhereItCan) {
    struct Case {
        QImage::Format format;
        int bits;
    } cases[] = {
        {QImage::Format_Mono, 1},       {QImage::Format_MonoLSB, 1}, {QImage::Format_Indexed8, 8},
        {QImage::Format_Grayscale8, 8}, {QImage::Format_RGB555, 15}, {QImage::Format_RGB16, 16},
        {QImage::Format_RGB888, 24},    {QImage::Format_BGR888, 24}, {QImage::Format_RGB32, 32},
        {QImage::Format_ARGB32, 32},    {QImage::Format_RGBA64, 32}};
    QImage source(7, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            source.setPixel(x, y, qRgb(x * 40, y * 100, (x * y * 37) & 255));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const QImage image = c.bits == 1 ? source.convertToFormat(c.format, Qt::ThresholdDither)
                                         : source.convertToFormat(c.format);
        const Bitmap bitmap = Bitmap::FromQImage(image);
        EXPECT_EQ(bitmap.bitsPerPixel(), c.bits);
        EXPECT_EQ(MaxColourDifference(bitmap.ToQImage(), image), 0);
        if (c.bits == 32) {
            EXPECT_EQ(bitmap.scanLine(2)[4 * 6 + 3], 0xFF);
        }
    }
    EXPECT_TRUE(Bitmap::FromQImage(QImage()).isEmpty());
}
