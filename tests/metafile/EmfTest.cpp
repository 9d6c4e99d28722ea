// The EMF player on hand-made files: measuring, mapping modes, world
// transform, objects, paths, clip regions, damage and the playback limits.
// The builder's device has 10 pixels per millimetre and a 1000-pixel frame,
// rendered here at 100 × 100: one logical unit (MM_TEXT) is 0.1 pixel.

#include <gtest/gtest.h>

#include <QPainter>
#include <cstring>

#include "MetafileBuilders.h"
#include "picture/Metafile.h"
#include "platform/Errors.h"

namespace tamarind {
namespace {

using test::EmfBuilder;
using test::Near;
using test::Render;
using test::Rgb;

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);

constexpr int kSetMapMode = 17, kSetWindowExt = 9, kSetViewportExt = 11, kSetViewportOrg = 12;
constexpr int kSaveDc = 33, kRestoreDc = 34, kSetWorldTransform = 35, kDeleteObject = 40;
constexpr int kBeginPath = 59, kEndPath = 60, kFillPath = 62, kSelectClipPath = 67;
constexpr int kIntersectClipRect = 30, kExcludeClipRect = 29;
constexpr int kExtSelectClipRgn = 75, kPolygon = 3, kPolyPolygon = 8, kEllipse = 42;

// A red brush and the null pen selected.
EmfBuilder RedBrush(int handles = 16) {
    EmfBuilder b(QRect(QPoint(0, 0), QPoint(10000, 10000)), handles);
    b.SolidBrush(1, Rgb(255, 0, 0)).Select(1).Select(0x80000008);
    return b;
}

QColor At(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

int32_t FloatBits(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(EmfSize, FrameInHundredthsOfAMillimetre) {
    EXPECT_EQ(LoadEmf(EmfBuilder().Bytes())->NaturalSize(), QSize(378, 378));
    auto pic = LoadEmf(EmfBuilder(QRect(QPoint(500, 500), QPoint(3040, 1770))).Bytes());
    EXPECT_EQ(pic->NaturalSize(), QSize(96, 48));
}

TEST(EmfSize, WithoutAFrameTheBoundsAtTheDevicesResolution) {
    // Bounds of 500 device pixels at 10 pixels per millimetre: 50 mm.
    auto pic = LoadEmf(EmfBuilder(QRect()).Bounds(QRect(0, 0, 500, 250)).Bytes());
    EXPECT_EQ(pic->NaturalSize(), QSize(189, 94));
}

TEST(EmfSize, DamagedHeadersAreRefused) {
    const QByteArray good = EmfBuilder().Bytes();
    QByteArray badSignature = good;
    badSignature[40] = 'X';
    QByteArray badType = good;
    badType[0] = 2;
    QByteArray hugeHeader = good;
    hugeHeader[5] = 0x10;  // header size 4184, beyond the file
    QByteArray hugeFrame = good;
    hugeFrame[35] = 0x7F;  // frame right edge near 2^31 hundredths of a millimetre
    for (const QByteArray& bytes :
         {QByteArray(), good.left(87), badSignature, badType, hugeHeader, hugeFrame}) {
        try {
            LoadEmf(bytes);
            ADD_FAILURE() << "accepted " << bytes.toHex().left(80).constData();
        } catch (const TamarindError& e) {
            EXPECT_EQ(e.text(), QStringLiteral("メタファイルが不正です"));
        }
    }
}

TEST(EmfMapping, TextModeUsesDevicePixels) {
    const QImage image =
        Render(*LoadEmf(RedBrush().Rectangle(0, 0, 500, 500).Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 25), kRed));
    EXPECT_TRUE(Near(At(image, 75, 75), kWhite));
}

TEST(EmfMapping, LoMetricRunsUpwardFromTheViewportOrigin) {
    EmfBuilder b = RedBrush();
    b.Record(kSetMapMode, {2});            // MM_LOMETRIC: 0.1 mm, y up
    b.Record(kSetViewportOrg, {0, 1000});  // origin at the bottom left
    b.Rectangle(0, 0, 500, 500);           // 50 mm square above the origin
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 75), kRed));
    EXPECT_TRUE(Near(At(image, 25, 25), kWhite));
    EXPECT_TRUE(Near(At(image, 75, 75), kWhite));
}

TEST(EmfMapping, IsotropicKeepsUnitsSquareAnisotropicDoesNot) {
    for (int mode : {7, 8}) {
        EmfBuilder b = RedBrush();
        b.Record(kSetMapMode, {mode});
        b.Record(kSetWindowExt, {100, 100});
        b.Record(kSetViewportExt, {1000, 500});
        b.Rectangle(0, 0, 100, 100);
        const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
        EXPECT_TRUE(Near(At(image, 25, 25), kRed)) << mode;
        EXPECT_TRUE(Near(At(image, 75, 25), mode == 7 ? kWhite : kRed)) << mode;
        EXPECT_TRUE(Near(At(image, 25, 75), kWhite)) << mode;
    }
}

TEST(EmfMapping, WorldTransformAppliesBeforeThePage) {
    EmfBuilder b = RedBrush();
    b.Record(kSetWorldTransform, {FloatBits(0.5f), 0, 0, FloatBits(0.5f), FloatBits(500), 0});
    b.Rectangle(0, 0, 1000, 1000);
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 75, 25), kRed));
    EXPECT_TRUE(Near(At(image, 25, 25), kWhite));
    EXPECT_TRUE(Near(At(image, 75, 75), kWhite));
}

TEST(EmfMapping, DrawingFollowsThePaintersTransformAndStaysInTheTarget) {
    auto pic = LoadEmf(RedBrush().Rectangle(-5000, -5000, 5000, 5000).Bytes());
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(100, 0);
    pic->Draw(painter, QRectF(0, 0, 50, 50));
    // The painter comes back as it was.
    EXPECT_EQ(painter.transform(), QTransform::fromTranslate(100, 0));
    EXPECT_FALSE(painter.hasClipping());
    painter.end();
    EXPECT_TRUE(Near(At(image, 125, 25), kRed));
    EXPECT_TRUE(Near(At(image, 25, 25), kWhite));
    EXPECT_TRUE(Near(At(image, 125, 75), kWhite));
}

TEST(EmfObjects, PensWiderThanQtAcceptsStillDrawWide) {
    // Qt ignores pen widths of 32768 and more (keeping a hairline); such a pen
    // must still paint a broad band, not a thin line.
    constexpr int kMoveToEx = 27, kLineTo = 54;
    EmfBuilder b;
    b.Pen(2, 0, 40000, Rgb(255, 0, 0)).Select(2);
    b.Record(kMoveToEx, {0, 5000}).Record(kLineTo, {10000, 5000});
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 50, 5), kRed));
    EXPECT_TRUE(Near(At(image, 50, 95), kRed));
}

TEST(EmfMapping, StrokesReachingFarBeyondThePictureKeepTheirVisiblePart) {
    // A vertical line millions of pixels long (anisotropic mapping) and a
    // zigzag far off to the side: the line is cut to what the pen can reach
    // before drawing, and must still show where it crosses the picture.
    constexpr int kPolyline = 4;
    EmfBuilder b;
    b.Record(kSetMapMode, {8}).Record(kSetWindowExt, {1000, 1000}).Record(kSetViewportExt, {1000, 100000});
    b.Pen(2, 0, 20, Rgb(255, 0, 0)).Select(2);
    b.Record(kPolyline, {0, 0, 0, 0, 2, 500, -30000, 500, 30000});
    b.Record(kPolyline, {0, 0, 0, 0, 4, 5000, -30000, 9000, 30000, 5000, 29000, 9000, -29000});
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 50, 2), kRed));
    EXPECT_TRUE(Near(At(image, 50, 97), kRed));
    EXPECT_TRUE(Near(At(image, 20, 50), kWhite));
    EXPECT_TRUE(Near(At(image, 80, 50), kWhite));
}

TEST(EmfObjects, StockObjectsAndIndicesOutsideTheTable) {
    EmfBuilder b = RedBrush(4);
    b.SolidBrush(7, Rgb(0, 0, 255)).Select(7);  // beyond the four handles: ignored
    b.SolidBrush(0, Rgb(0, 0, 255)).Select(0);  // index 0 is the metafile's own
    b.Select(0x80000063);                       // no such stock object
    b.Rectangle(0, 0, 500, 1000);
    b.Select(0x80000004).Rectangle(500, 0, 1000, 1000);  // BLACK_BRUSH
    b.Record(kDeleteObject, {int32_t(0x80000004)});
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 50), kRed));
    EXPECT_TRUE(Near(At(image, 75, 50), QColor(Qt::black)));
}

TEST(EmfState, RestoreDcWithABadIndexChangesNothing) {
    EmfBuilder b = RedBrush();
    b.Record(kSaveDc, {}).SolidBrush(2, Rgb(0, 0, 255)).Select(2);
    b.Record(kRestoreDc, {-3}).Record(kRestoreDc, {0}).Record(kRestoreDc, {5});
    b.Rectangle(0, 0, 500, 1000);
    b.Record(kRestoreDc, {-1}).Rectangle(500, 0, 1000, 1000);
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 50), kBlue));
    EXPECT_TRUE(Near(At(image, 75, 50), kRed));
}

TEST(EmfPaths, FilledPathAndClipPath) {
    EmfBuilder b = RedBrush();
    b.Record(kBeginPath, {});
    b.Record(kPolygon, {0, 0, 0, 0, 3, 0, 0, 1000, 0, 0, 1000});  // triangle, top left
    b.Record(kEndPath, {});
    b.Record(kFillPath, {0, 0, 0, 0});
    // Clip to an ellipse in the lower right, then fill everything blue.
    b.Record(kBeginPath, {}).Record(kEllipse, {500, 500, 1000, 1000}).Record(kEndPath, {});
    b.Record(kSelectClipPath, {5});
    b.SolidBrush(2, Rgb(0, 0, 255)).Select(2).Rectangle(0, 0, 1000, 1000);
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 20, 20), kRed));
    EXPECT_TRUE(Near(At(image, 75, 75), kBlue));
    EXPECT_TRUE(Near(At(image, 55, 52), kWhite));  // outside both
    EXPECT_TRUE(Near(At(image, 95, 55), kWhite));  // outside the ellipse's curve
}

TEST(EmfPaths, ClipRegionReplacedAndRemoved) {
    EmfBuilder b = RedBrush();
    // RGNDATA: header (size 32, type 1, one rectangle, 16 bytes, bounds) and
    // the rectangle (0, 0)-(500, 500), in device pixels.
    b.Record(kExtSelectClipRgn, {48, 5, 32, 1, 1, 16, 0, 0, 500, 500, 0, 0, 500, 500});
    b.Rectangle(0, 0, 1000, 1000);
    b.Record(kExtSelectClipRgn, {0, 5});  // no region: the clip is removed
    b.SolidBrush(2, Rgb(0, 0, 255)).Select(2).Rectangle(0, 900, 1000, 1000);
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 25), kRed));
    EXPECT_TRUE(Near(At(image, 75, 25), kWhite));
    EXPECT_TRUE(Near(At(image, 75, 95), kBlue));
}

TEST(EmfPaths, ClipRectanglesFarBeyondThePictureAreCutBack) {
    EmfBuilder b = RedBrush();
    b.Record(kIntersectClipRect, {-2000000000, -2000000000, 500, 2000000000});
    b.Record(kExcludeClipRect, {-2000000000, 900, 2000000000, 2000000000});
    b.Rectangle(0, 0, 1000, 1000);
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 50), kRed));
    EXPECT_TRUE(Near(At(image, 75, 50), kWhite));
    EXPECT_TRUE(Near(At(image, 25, 95), kWhite));
}

TEST(EmfDamage, BadRecordsAreSkippedAndABrokenChainEndsThePicture) {
    EmfBuilder b = RedBrush();
    b.Record(kPolygon, {0, 0, 0, 0, 100000000, 0, 0});             // count beyond the record
    b.Record(kPolyPolygon, {0, 0, 0, 0, 2, 6, 3, 4, 0, 0, 9, 9});  // counts disagree
    b.Record(kPolyPolygon, {0, 0, 0, 0, -1, 0});                   // 4 billion polygons
    b.Record(84,
             {0, 0, 0, 0, 1, 0, 0, 0, 0, 50, 4000, 0, 0, 0, 0, 0, 0});  // text outside the record
    b.Record(81, {0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 4000, 40, 4100, 4, 0, 0xCC0020, 10,
                  10});                   // bitmap outside
    b.Record(36, {0, 0, 0, 0, 0, 0, 4});  // singular world transform
    b.Rectangle(0, 0, 500, 1000);
    b.RawRecord(43, 400000, {500, 0, 1000, 1000});  // size beyond the file
    b.Rectangle(500, 0, 1000, 1000);
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 50), kRed));
    EXPECT_TRUE(Near(At(image, 75, 50), kWhite));
}

TEST(EmfDamage, ZeroSizedRecordEndsThePicture) {
    EmfBuilder b = RedBrush();
    b.Rectangle(0, 0, 500, 1000).RawRecord(43, 0, {}).Rectangle(500, 0, 1000, 1000);
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 50), kRed));
    EXPECT_TRUE(Near(At(image, 75, 50), kWhite));
}

TEST(EmfDamage, LettersFarLargerThanThePictureAreNotDrawn) {
    // A font a million units high: tens of thousands of pixels here. Such
    // glyphs would only fill the font engine's cache.
    EmfBuilder b;
    QByteArray font(96, '\0');
    font[0] = 1;
    const qint32 height = -1000000;
    std::memcpy(font.data() + 4, &height, 4);
    b.RecordBytes(82, font).Select(1).Record(18, {1});
    b.TextW(0, 0, QStringLiteral("WW"));
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_EQ(test::InkIn(image, image.rect()), 0);
}

TEST(EmfLimits, PlaybackStopsAtTheRecordLimit) {
    EmfBuilder b = RedBrush();  // three records
    b.Rectangle(0, 0, 500, 1000).Rectangle(500, 0, 1000, 1000);
    MetafileLimits limits;
    limits.maxRecords = 4;
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100), {}, limits);
    EXPECT_TRUE(Near(At(image, 25, 50), kRed));
    EXPECT_TRUE(Near(At(image, 75, 50), kWhite));
}

TEST(EmfLimits, PlaybackStopsWhenThePixelBudgetIsSpent) {
    EmfBuilder b = RedBrush();
    for (int i = 0; i < 50; ++i) b.Rectangle(0, 0, 1000, 1000);
    b.SolidBrush(2, Rgb(0, 0, 255)).Select(2).Rectangle(0, 0, 1000, 1000);
    MetafileLimits limits;
    limits.maxOverdraw = 10;
    limits.maxPixelsExtra = 0;
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100), {}, limits);
    EXPECT_TRUE(Near(At(image, 50, 50), kRed));
    // With the default budget the last fill shows.
    EXPECT_TRUE(Near(At(Render(*LoadEmf(b.Bytes()), QSize(100, 100)), 50, 50), kBlue));
}

TEST(EmfText, ExtTextOutWAtItsReferenceWithAnOpaqueBox) {
    EmfBuilder b;
    // A 300-unit font (30 pixels here), text in blue.
    QByteArray font(104 - 8, '\0');
    font[0] = 1;  // handle 1
    qint32 height = -300;
    std::memcpy(font.data() + 4, &height, 4);
    b.RecordBytes(82, font).Select(1);
    b.Record(24, {int32_t(Rgb(0, 0, 255))});  // text colour
    b.Record(25, {int32_t(Rgb(255, 0, 0))});  // background colour
    b.Record(18, {1});                        // transparent background
    b.TextW(500, 100, QStringLiteral("HH"), 0x0002, QRect(QPoint(0, 600), QPoint(399, 999)));
    const QImage image = Render(*LoadEmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 20, 80), kRed));
    int blue = 0;
    for (int y = 10; y < 45; ++y)
        for (int x = 50; x < 100; ++x) blue += Near(At(image, x, y), kBlue, 80) ? 1 : 0;
    EXPECT_GT(blue, 40);
    EXPECT_EQ(test::InkIn(image, QRect(0, 0, 45, 55)), 0);
}

}  // namespace
}  // namespace tamarind
