// The density a file records for itself, from JFIF, Exif and BMP headers,
// and the size it gives a picture on paper.
#include <gtest/gtest.h>

#include <QtEndian>

#include "TestData.h"
#include "picture/Bitmap.h"
#include "picture/Bmp.h"
#include "picture/Density.h"
#include "platform/FileIo.h"

using namespace tamarind;
using tamarind::test::TestDataPath;

namespace {

QByteArray Be16(int v) {
    QByteArray b(2, '\0');
    qToBigEndian<quint16>(quint16(v), b.data());
    return b;
}
QByteArray Be32(quint32 v) { return Be16(int(v >> 16)) + Be16(int(v & 0xFFFF)); }

QByteArray Segment(int marker, const QByteArray& body) {
    return QByteArray(1, char(0xFF)) + char(marker) + Be16(int(body.size()) + 2) + body;
}

QByteArray Jfif(int units, int x, int y) {
    return Segment(0xE0, QByteArray("JFIF\0\x01\x02", 7) + char(units) + Be16(x) + Be16(y) +
                             QByteArray(2, '\0'));
}

// An Exif block in Motorola order whose IFD0 holds the two resolutions and,
// when `unit` is not 0, ResolutionUnit.
QByteArray Exif(quint32 xNum, quint32 xDen, quint32 yNum, quint32 yDen, int unit) {
    const int entries = unit ? 3 : 2;
    const int values = 8 + 2 + entries * 12 + 4;  // where the rationals start
    QByteArray tiff = QByteArray("MM\0\x2A", 4) + Be32(8) + Be16(entries);
    tiff += Be16(0x011A) + Be16(5) + Be32(1) + Be32(values);
    tiff += Be16(0x011B) + Be16(5) + Be32(1) + Be32(values + 8);
    if (unit) tiff += Be16(0x0128) + Be16(3) + Be32(1) + Be16(unit) + Be16(0);
    tiff += Be32(0) + Be32(xNum) + Be32(xDen) + Be32(yNum) + Be32(yDen);
    return Segment(0xE1, QByteArray("Exif\0\0", 6) + tiff);
}

QByteArray Jpeg(const QByteArray& segments) {
    return QByteArray("\xFF\xD8", 2) + segments + Segment(0xDA, QByteArray(10, '\0'));
}

}  // namespace

TEST(PictureDensityTest, JfifExifAndBmpInBothUnits) {
    // JFIF per inch and per centimetre; no unit is no density.
    auto d = DensityFromHeader(Jpeg(Jfif(1, 300, 150)));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->source, PictureDensity::Source::Jfif);
    EXPECT_DOUBLE_EQ(d->x, 300.0);
    EXPECT_DOUBLE_EQ(d->y, 150.0);
    d = DensityFromHeader(Jpeg(Jfif(2, 118, 118)));
    ASSERT_TRUE(d);
    EXPECT_NEAR(PixelsToMm(3000, d->x), 3000.0 / 118.0 * 10.0, 1e-9);
    EXPECT_FALSE(DensityFromHeader(Jpeg(Jfif(0, 1, 1))));

    // Exif: inch by default, centimetres with unit 3, rationals as such;
    // where both are there, Exif's counts.
    d = DensityFromHeader(Jpeg(Jfif(0, 1, 1) + Exif(600, 2, 300, 1, 0)));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->source, PictureDensity::Source::Exif);
    EXPECT_DOUBLE_EQ(d->x, 300.0);
    EXPECT_NEAR(PixelsToMm(3000, d->x), 254.0, 1e-9);
    EXPECT_NEAR(PixelsToMm(2000, d->y), 169.3333, 1e-4);
    d = DensityFromHeader(Jpeg(Jfif(1, 72, 72) + Exif(100, 1, 100, 1, 3)));
    ASSERT_TRUE(d);
    EXPECT_DOUBLE_EQ(d->x, 254.0);
    EXPECT_FALSE(DensityFromHeader(Jpeg(Exif(72, 1, 72, 1, 1))));
    // Nonsense falls back to the JFIF header, or to nothing.
    d = DensityFromHeader(Jpeg(Jfif(1, 96, 96) + Exif(72, 0, 72, 0, 2)));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->source, PictureDensity::Source::Jfif);
    EXPECT_FALSE(DensityFromHeader(Jpeg(Exif(0xFFFFFFFF, 1, 1, 1, 2))));

    // BMP: pixels per metre.
    Bitmap b(4, 2, 24);
    QByteArray bmp = EncodeBmp(b);
    qToLittleEndian<qint32>(11811, bmp.data() + 38);
    qToLittleEndian<qint32>(5906, bmp.data() + 42);
    d = DensityFromHeader(bmp);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->source, PictureDensity::Source::Bmp);
    EXPECT_NEAR(PixelsToMm(11811, d->x), 1000.0, 1e-9);
    EXPECT_NEAR(d->y, 150.0, 0.02);
    qToLittleEndian<qint32>(0, bmp.data() + 38);
    EXPECT_FALSE(DensityFromHeader(bmp));
}

TEST(PictureDensityTest, DamagedHeadersNeverReadOutside) {
    // Every cut of a good header, and real files with broken Exif blocks:
    // a density or nothing, never a read past the bytes (the sanitizer
    // build checks that).
    const QByteArray good = Jpeg(Jfif(1, 300, 300) + Exif(350, 1, 350, 1, 2));
    for (qsizetype n = 0; n <= good.size(); ++n) {
        const auto d = DensityFromHeader(QByteArrayView(good).first(n));
        if (d) {
            EXPECT_TRUE(d->x == 300.0 || d->x == 350.0) << n;
        }
    }
    for (const char* name : {"exif-dpi-zerodivision.jpg", "broken_exif_dpi.jpg", "exif_gps.jpg",
                             "invalid-exif.jpg", "truncated_exif_dpi.jpg", "exif-ifd-offset.jpg"}) {
        const QString path = TestDataPath(QStringLiteral("jpeg/") + QLatin1String(name));
        const auto d = ReadPictureDensity(path);
        if (d) {
            EXPECT_GE(d->x, 1.0) << name;
            EXPECT_LE(d->x, 100000.0) << name;
        }
    }
    // exif-ifd-offset.jpg states 200 per centimetre.
    const auto d = ReadPictureDensity(TestDataPath(QStringLiteral("jpeg/exif-ifd-offset.jpg")));
    ASSERT_TRUE(d);
    EXPECT_DOUBLE_EQ(d->x, 508.0);
}
