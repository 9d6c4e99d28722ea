// The WMF player on hand-made files: measuring, mapping, the object table,
// saved states, clipping, text and damaged records.

#include <gtest/gtest.h>

#include "MetafileBuilders.h"
#include "picture/Metafile.h"
#include "platform/Errors.h"

namespace tamarind {
namespace {

using test::Near;
using test::Render;
using test::Rgb;
using test::WmfBuilder;

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kWhite(255, 255, 255);

// A 100 × 100 unit picture, one inch square (96 pixels) at 100 units per inch.
WmfBuilder Square() {
    WmfBuilder b;
    b.Placeable(0, 0, 100, 100, 96).Objects(8).SetWindow(0, 0, 100, 100).Pen(5, 0, 0).Select(0);
    return b;
}

QColor At(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

TEST(WmfSize, PlaceableBoxInUnitsPerInch) {
    auto pic = LoadWmf(WmfBuilder().Placeable(0, 0, 1440, 720, 1440).Bytes());
    EXPECT_EQ(pic->NaturalSize(), QSize(96, 48));
    // Corners in any order, away from the origin.
    pic = LoadWmf(WmfBuilder().Placeable(2000, 900, 560, 180, 1440).Bytes());
    EXPECT_EQ(pic->NaturalSize(), QSize(96, 48));
}

TEST(WmfSize, WithoutPlaceableHeaderTheRecordsWindow) {
    auto pic = LoadWmf(WmfBuilder().SetWindow(-50, 10, 300, 200).Rectangle(0, 0, 10, 10).Bytes());
    EXPECT_EQ(pic->NaturalSize(), QSize(300, 200));
    // A window set only after drawing began still counts when nothing else does.
    pic = LoadWmf(WmfBuilder().Rectangle(0, 0, 10, 10).SetWindow(0, 0, 40, 30).Bytes());
    EXPECT_EQ(pic->NaturalSize(), QSize(40, 30));
}

TEST(WmfSize, WithoutAnyWindowTheExtentOfTheDrawing) {
    auto pic = LoadWmf(WmfBuilder().Rectangle(10, 20, 110, 70).Rectangle(30, 40, 60, 90).Bytes());
    EXPECT_EQ(pic->NaturalSize(), QSize(100, 70));
}

TEST(WmfSize, DamagedHeadersAreRefused) {
    QByteArray good = WmfBuilder().SetWindow(0, 0, 10, 10).Bytes();
    QByteArray badType = good;
    badType[0] = 7;
    QByteArray badHeaderSize = good;
    badHeaderSize[2] = 8;
    const QByteArray placeableOnly = WmfBuilder().Placeable(0, 0, 10, 10, 96).Bytes().left(22);
    const QByteArray cases[] = {
        QByteArray(),
        good.left(17),
        badType,
        badHeaderSize,
        placeableOnly,
        WmfBuilder().Bytes(),                                   // nothing gives a size
        WmfBuilder().Placeable(0, 0, 30000, 30000, 1).Bytes(),  // 2.9 million pixels wide
    };
    for (const QByteArray& bytes : cases) {
        try {
            LoadWmf(bytes);
            ADD_FAILURE() << "accepted " << bytes.toHex().left(80).constData();
        } catch (const TamarindError& e) {
            EXPECT_EQ(e.text(), QStringLiteral("メタファイルが不正です"));
        }
    }
}

TEST(WmfMapping, WindowIsStretchedOntoTheTarget) {
    auto pic =
        LoadWmf(Square().SolidBrush(Rgb(255, 0, 0)).Select(1).Rectangle(50, 0, 100, 50).Bytes());
    const QImage image = Render(*pic, QSize(200, 200));
    EXPECT_TRUE(Near(At(image, 150, 50), kRed));
    EXPECT_TRUE(Near(At(image, 50, 50), kWhite));
    EXPECT_TRUE(Near(At(image, 150, 150), kWhite));
    // Drawn into part of a bigger image it stays inside its target.
    const QImage part = Render(*pic, QSize(300, 300), QRectF(100, 100, 100, 100));
    EXPECT_TRUE(Near(At(part, 175, 125), kRed));
    EXPECT_TRUE(Near(At(part, 250, 50), kWhite));
}

TEST(WmfMapping, NegativeWindowExtentFlipsThePicture) {
    WmfBuilder b;
    b.Placeable(0, 0, 100, 100, 96).Objects(4);
    b.Record(0x020B, {100, 0});               // window origin (0, 100)
    b.Record(0x020C, {uint16_t(-100), 100});  // extent (100, -100): y up
    b.SolidBrush(Rgb(255, 0, 0)).Select(0).Rectangle(0, 0, 50, 50);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 75), kRed));
    EXPECT_TRUE(Near(At(image, 25, 25), kWhite));
}

TEST(WmfMapping, ViewportExtentScalesWithinTheFrame) {
    WmfBuilder b = Square();
    b.Record(0x020E, {50, 50});  // viewport extent: half the frame
    b.SolidBrush(Rgb(255, 0, 0)).Select(1).Rectangle(0, 0, 100, 100);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(200, 200));
    EXPECT_TRUE(Near(At(image, 50, 50), kRed));
    EXPECT_TRUE(Near(At(image, 150, 150), kWhite));
}

TEST(WmfObjects, NewObjectsTakeTheLowestFreeSlot) {
    WmfBuilder b = Square();       // the null pen is in slot 0
    b.SolidBrush(Rgb(255, 0, 0));  // slot 1
    b.SolidBrush(Rgb(0, 0, 255));  // slot 2
    b.Delete(1);
    b.SolidBrush(Rgb(0, 255, 0));  // slot 1 again
    b.Select(1).Rectangle(0, 0, 50, 100).Select(2).Rectangle(50, 0, 100, 100);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 50), kGreen));
    EXPECT_TRUE(Near(At(image, 75, 50), kBlue));
}

TEST(WmfObjects, BadIndicesAndAFullTableChangeNothing) {
    WmfBuilder b;
    b.Placeable(0, 0, 100, 100, 96).Objects(3).SetWindow(0, 0, 100, 100);
    b.Pen(5, 0, 0).Select(0);
    b.SolidBrush(Rgb(255, 0, 0)).Select(1);  // slot 1
    b.SolidBrush(Rgb(0, 0, 255));            // slot 2
    b.SolidBrush(Rgb(0, 255, 0));            // no room: dropped
    b.Select(3).Select(9).Select(0xFFFF);    // outside the table
    b.Delete(2).Select(2);                   // deleted
    b.Delete(40);
    b.Rectangle(0, 0, 100, 100);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(50, 50));
    EXPECT_TRUE(Near(At(image, 25, 25), kRed));
}

TEST(WmfObjects, DeletingTheSelectedBrushKeepsDrawingWithIt) {
    WmfBuilder b = Square();
    b.SolidBrush(Rgb(255, 0, 0)).Select(1).Delete(1).Rectangle(0, 0, 100, 100);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(50, 50));
    EXPECT_TRUE(Near(At(image, 25, 25), kRed));
}

TEST(WmfState, RestoreDcReturnsToTheSavedStateAndIgnoresBadIndices) {
    WmfBuilder b = Square();
    b.SolidBrush(Rgb(255, 0, 0)).SolidBrush(Rgb(0, 0, 255)).Select(1);
    b.Record(0x001E, {});  // SaveDC
    b.Select(2);
    b.Record(0x0416, {50, 50, 0, 0});  // IntersectClipRect (0, 0, 50, 50)
    b.Record(0x0127, {uint16_t(-1)});  // RestoreDC(-1): red, no clip
    b.Record(0x0127, {uint16_t(-5)});  // nothing saved any more
    b.Record(0x0127, {7});
    b.Rectangle(0, 0, 100, 100);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 75, 75), kRed));
}

TEST(WmfState, ClipRectanglesLimitDrawing) {
    WmfBuilder b = Square();
    b.SolidBrush(Rgb(255, 0, 0)).Select(1);
    b.Record(0x0416, {100, 50, 0, 0});   // IntersectClipRect: left half
    b.Record(0x0415, {60, 40, 40, 10});  // ExcludeClipRect: a hole
    b.Rectangle(0, 0, 100, 100);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 5, 90), kRed));
    EXPECT_TRUE(Near(At(image, 75, 50), kWhite));
    EXPECT_TRUE(Near(At(image, 25, 50), kWhite));
}

TEST(WmfDamage, ARecordRunningPastTheFileEndsThePicture) {
    WmfBuilder b = Square();
    b.SolidBrush(Rgb(255, 0, 0)).Select(1).Rectangle(0, 0, 50, 100);
    b.SolidBrush(Rgb(0, 0, 255)).Select(2);
    b.RawRecord(5000, 0x041B, {100, 100, 0, 50});  // claims 10,000 bytes
    auto pic = LoadWmf(b.Bytes(false));
    const QImage image = Render(*pic, QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 50), kRed));
    EXPECT_TRUE(Near(At(image, 75, 50), kWhite));
}

TEST(WmfDamage, ARecordTooShortForItsSizeFieldEndsThePicture) {
    WmfBuilder b = Square();
    b.SolidBrush(Rgb(255, 0, 0)).Select(1).Rectangle(0, 0, 50, 100);
    b.RawRecord(0, 0x041B, {100, 100, 0, 50});  // would loop for ever if trusted
    b.Rectangle(50, 0, 100, 100);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 25, 50), kRed));
    EXPECT_TRUE(Near(At(image, 75, 50), kWhite));
}

TEST(WmfDamage, CountsBeyondTheRecordSkipOnlyThatRecord) {
    WmfBuilder b = Square();
    b.SolidBrush(Rgb(255, 0, 0)).Select(1);
    b.Record(0x0324, {30000, 0, 0, 100, 0, 100, 100});  // polygon of 30,000 points, 3 given
    b.Record(0x0538, {65535, 3, 3});                    // poly-polygon counts without points
    b.Record(0x0325, {uint16_t(-4), 0, 0, 10, 10});     // negative count
    b.Record(0x0521, {500, 0x4141});                    // text longer than its record
    b.Record(0x0A32, {10, 10, 40, 0x0006});             // text options promise a rectangle
    b.Record(0x0F43,
             {0x0020, 0x00CC, 0, 1, 1, 0, 0, 1, 1, 0, 0, 40, 0});  // stretched DIB, bad header
    b.Record(0x06FF, {0, 6, 0, 0, 0, 9000, 0});  // region of 9,000 scans, none given
    b.Record(0x012D, {2});                       // the damaged region (slot 2) is no clip
    b.Rectangle(0, 0, 100, 100);
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 50, 50), kRed));
}

TEST(WmfBitmaps, DeviceBitmapRowsRunTopDown) {
    WmfBuilder b = Square();
    // StretchBlt of a 2 × 2, 24-bit Bitmap16 (rows of 6 bytes, blue-green-red)
    // onto the whole picture: red, green / blue, white.
    b.Record(0x0B23, {0x0020, 0x00CC, 2,      2,      0,      0,
                      100,    100,    0,      0,               // copy, source, destination
                      0,      2,      2,      6,      0x1801,  // type, size, row bytes, 24 bits
                      0x0000, 0x00FF, 0x00FF, 0x00FF, 0xFF00, 0xFFFF});
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(100, 100));
    EXPECT_TRUE(Near(At(image, 20, 20), kRed));
    EXPECT_TRUE(Near(At(image, 80, 20), kGreen));
    EXPECT_TRUE(Near(At(image, 20, 80), kBlue));
    EXPECT_TRUE(Near(At(image, 80, 80), kWhite));
}

TEST(WmfText, OpaqueRectangleAndTextLandAtTheReference) {
    WmfBuilder b;
    b.Placeable(0, 0, 200, 100, 96).Objects(4).SetWindow(0, 0, 200, 100);
    b.Record(0x02FB, {uint16_t(-40), 0, 0, 0, 700, 0, 0, 0, 0});  // 40-unit bold font
    b.Select(0);
    b.Record(0x0201, {0x00FF, 0});  // background colour red
    b.Record(0x0102, {1});          // transparent background for the text itself
    b.Record(0x012E, {0});          // TA_TOP | TA_LEFT
    // ExtTextOut at (110, 10) with an opaque rectangle (0, 60, 100, 100).
    b.Record(0x0A32, {10, 110, 2, 0x0002, 0, 60, 100, 100, 0x4848});
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(200, 100));
    EXPECT_TRUE(Near(At(image, 50, 80), kRed));
    EXPECT_GT(test::InkIn(image, QRect(110, 10, 60, 40)),
              100);  // "HH" below and right of the point
    EXPECT_EQ(test::InkIn(image, QRect(0, 0, 105, 55)), 0);
    EXPECT_EQ(test::InkIn(image, QRect(110, 55, 90, 45)), 0);
}

TEST(WmfText, BaselineAlignmentPutsTheTextAboveThePoint) {
    WmfBuilder b;
    b.Placeable(0, 0, 200, 100, 96).Objects(4).SetWindow(0, 0, 200, 100);
    b.Record(0x02FB, {uint16_t(-40), 0, 0, 0, 700, 0, 0, 0, 0});
    b.Select(0);
    b.Record(0x012E, {24});                 // TA_BASELINE
    b.Record(0x0521, {2, 0x4848, 60, 20});  // TextOut "HH" at (20, 60)
    const QImage image = Render(*LoadWmf(b.Bytes()), QSize(200, 100));
    EXPECT_GT(test::InkIn(image, QRect(20, 25, 60, 34)), 100);
    EXPECT_EQ(test::InkIn(image, QRect(0, 62, 200, 38)), 0);
}

}  // namespace
}  // namespace tamarind
