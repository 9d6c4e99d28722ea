// The picture container: the decoder chosen by extension, sizes and drawing.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTemporaryDir>

#include "PictureTestUtil.h"
#include "TestData.h"
#include "picture/Picture.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

// A metafile that records how it was drawn.
class FakeMetafile : public MetafilePicture {
  public:
    QSize NaturalSize() const override { return QSize(120, 80); }
    void Draw(QPainter& painter, const QRectF& target) const override {
        drawnInto = target;
        painter.fillRect(target, Qt::red);
    }
    mutable QRectF drawnInto;
};

}  // namespace

TEST(Picture, ChoosesTheDecoderByExtensionInAnyCase) {
    REQUIRE_TESTDATA();
    QTemporaryDir dir;
    struct Case {
        const char* source;
        const char* name;
        QSize size;
        int bits;
    } cases[] = {{"bmpsuite/g/pal4.bmp", "a.BMP", {127, 64}, 4},
                 {"jpeg/hopper.jpg", "b.Jpg", {128, 128}, 24},
                 {"jpeg/hopper_gray.jpg", "c.jpeg", {128, 128}, 8},
                 {"jpeg/hopper.jpg", "写真.JPEG", {128, 128}, 24},
                 {"ico/python.ico", "d.Ico", {16, 16}, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        WriteFileBytes(path, ReadTestFile(QString::fromUtf8(c.source)));
        const Picture picture = LoadPicture(path);
        EXPECT_FALSE(picture.isMetafile());
        EXPECT_EQ(picture.size(), c.size);
        EXPECT_EQ(picture.bitmap().bitsPerPixel(), c.bits);
    }
    // The extension decides, not the content.
    const QString jpegAsBmp = dir.filePath(QStringLiteral("photo.bmp"));
    WriteFileBytes(jpegAsBmp, ReadTestFile(QStringLiteral("jpeg/hopper.jpg")));
    EXPECT_TRUE(RefusedWith([&] { LoadPicture(jpegAsBmp); },
                            QStringLiteral("ビットマップイメージが不正です")));
    for (const char* name : {"bad.wmf", "bad.EMF"}) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        WriteFileBytes(path, "not a metafile at all");
        EXPECT_TRUE(
            RefusedWith([&] { LoadPicture(path); }, QStringLiteral("メタファイルが不正です")));
    }
}

TEST(Picture, OtherExtensionsAndMissingFilesAreRefused) {
    // The extension as written, checked before the file is read.
    EXPECT_TRUE(RefusedWith([] { LoadPicture(QStringLiteral("/none/scan.TIF")); },
                            QStringLiteral("拡張子 .TIF の画像形式は処理できません")));
    EXPECT_TRUE(RefusedWith([] { LoadPicture(QStringLiteral("/none/dir.jpg/picture.png")); },
                            QStringLiteral("拡張子 .png の画像形式は処理できません")));
    EXPECT_TRUE(RefusedWith([] { LoadPicture(QStringLiteral("/none/v1.0/README")); },
                            QStringLiteral("拡張子 . の画像形式は処理できません")));
    try {
        LoadPicture(QStringLiteral("/nonexistent/missing.jpg"));
        FAIL() << "no error";
    } catch (const TamarindError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("/nonexistent/missing.jpg")));
    }
}

TEST(Picture, DrawsStretchedAndSharesItsPixels) {
    Bitmap bitmap(2, 1, 8);
    bitmap.setPalette({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    bitmap.scanLine(0)[1] = 1;
    const Picture picture = Picture::FromBitmap(bitmap);
    const Picture copy = picture;
    EXPECT_EQ(copy.bitmap().constBits(), bitmap.constBits());
    EXPECT_EQ(copy.size(), QSize(2, 1));

    QImage canvas(8, 4, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        copy.Draw(painter, QRectF(0, 0, 8, 4));
    }
    EXPECT_EQ(canvas.pixel(3, 3), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(4, 0), qRgb(0, 0, 255));

    // Transparent pixels of an icon leave the background.
    QImage icon(2, 2, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    icon.setPixel(1, 1, qRgb(0, 255, 0));
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        Picture::FromImage(icon).Draw(painter, QRectF(0, 0, 8, 4));
    }
    EXPECT_EQ(canvas.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(7, 3), qRgb(0, 255, 0));

    auto fake = std::make_shared<FakeMetafile>();
    const Picture metafile = Picture::FromMetafile(fake);
    EXPECT_TRUE(metafile.isMetafile());
    EXPECT_EQ(metafile.size(), QSize(120, 80));
    EXPECT_TRUE(metafile.bitmap().isEmpty());
    {
        QPainter painter(&canvas);
        metafile.Draw(painter, QRectF(1, 1, 5, 2));
    }
    EXPECT_EQ(fake->drawnInto, QRectF(1, 1, 5, 2));
    EXPECT_TRUE(Picture().isNull());
}
