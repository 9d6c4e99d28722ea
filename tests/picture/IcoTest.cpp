// Icons: the first picture at its own size, and bombs refused before decoding.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

#include "PictureTestUtil.h"
#include "TestData.h"
#include "picture/Ico.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

const QString kDamaged = QStringLiteral("アイコンイメージが不正です");

QImage Icon(const char* name) {
    return DecodeIco(ByteSpan(ReadTestFile(QStringLiteral("ico/") + name)));
}

// An icon file holding one PNG picture.
QByteArray PngIcon(const QByteArray& png) {
    QByteArray file("\0\0\1\0\1\0", 6);
    QByteArray entry(16, '\0');
    qToLittleEndian<quint16>(32, entry.data() + 6);
    qToLittleEndian<quint32>(quint32(png.size()), entry.data() + 8);
    qToLittleEndian<quint32>(22, entry.data() + 12);
    return file + entry + png;
}

}  // namespace

TEST(Ico, ReadsTheFirstPictureAtItsOwnSizeWithTransparency) {
    REQUIRE_TESTDATA();
    EXPECT_EQ(Icon("black_and_white.ico").size(), QSize(16, 16));
    EXPECT_EQ(Icon("python.ico").size(), QSize(16, 16));  // first of 16, 32, 48
    EXPECT_EQ(Icon("hopper_256x256.ico").size(), QSize(256, 256));
    const QImage png = Icon("pillow.ico");  // a PNG picture first
    EXPECT_EQ(png.size(), QSize(256, 256));
    EXPECT_EQ(png.format(), QImage::Format_ARGB32_Premultiplied);
    // The directory says 16 x 32; the bitmap holds 16 x 16, the same picture
    // as hopper.ico.
    const QImage hopper = Icon("hopper.ico");
    EXPECT_EQ(Icon("hopper_unexpected.ico"), hopper);
    // The AND mask makes pixels transparent.
    const QImage python = Icon("python.ico");
    EXPECT_EQ(qAlpha(python.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(python.pixel(8, 8)), 255);
}

TEST(Ico, BombsAndDamagedFilesAreRefused) {
    REQUIRE_TESTDATA();
    // Its bitmap header claims 65535 x 32767 pixels in 198 bytes.
    EXPECT_TRUE(RefusedWith([] { Icon("decompression_bomb.ico"); }, kDamaged));
    const QByteArray hopper = ReadTestFile(QStringLiteral("ico/hopper.ico"));
    for (qsizetype n = 0; n < hopper.size(); ++n) {
        const QByteArray part = hopper.left(n);
        ASSERT_TRUE(RefusedWith([&] { DecodeIco(ByteSpan(part)); }, kDamaged)) << "cut at " << n;
    }
    QByteArray cursor = hopper;
    cursor[2] = 2;
    EXPECT_TRUE(RefusedWith([&] { DecodeIco(ByteSpan(cursor)); }, kDamaged));

    // A PNG icon whose header claims far more pixels than its data can
    // inflate to.
    QImage small(64, 64, QImage::Format_ARGB32);
    small.fill(Qt::transparent);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "png").write(small));
    EXPECT_EQ(DecodeIco(ByteSpan(PngIcon(png))).size(), QSize(64, 64));
    QByteArray bomb = png;
    qToBigEndian<quint32>(10000, bomb.data() + 16);
    qToBigEndian<quint32>(10000, bomb.data() + 20);
    EXPECT_TRUE(RefusedWith([&] { DecodeIco(ByteSpan(PngIcon(bomb))); }, kDamaged));
}
