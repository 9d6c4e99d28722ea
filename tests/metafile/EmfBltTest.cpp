// Mask and parallelogram transfers (MaskBlt, PlgBlt) on hand-made records:
// the raster operations through the mask, the mapping onto the
// parallelogram, and records whose bitmaps lie outside them. Rendered at
// 1000 × 1000, one logical unit is one pixel.
#include <gtest/gtest.h>

#include <QtEndian>
#include <limits>
#include <utility>

#include "MetafileBuilders.h"
#include "picture/Metafile.h"

namespace tamarind {
namespace {

using test::EmfBuilder;
using test::Near;
using test::Rgb;

constexpr int kMaskBlt = 78, kPlgBlt = 79;
const QColor kCyan(0, 255, 255), kYellow(255, 255, 0), kRed(255, 0, 0);

void Put32(QByteArray& out, uint32_t v) {
    const uint32_t le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 4);
}

// A bitmap as a record carries it: the header (with colour table) and the
// rows, bottom row first.
struct Dib {
    QByteArray info, bits;
};

// 32-bit colour, `pixel(x, y)` giving 0x00RRGGBB.
template <class Pixel>
Dib ColourDib(int width, int height, Pixel pixel) {
    Dib d;
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height), 1u | (32u << 16), 0u, 0u, 0u, 0u,
                       0u, 0u})
        Put32(d.info, v);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) Put32(d.bits, pixel(x, y));
    return d;
}

// Two colours, black (0) and white (1); `set(x, y)` gives the bit.
template <class Bit>
Dib MaskDib(int width, int height, Bit set) {
    Dib d;
    for (uint32_t v : {40u, uint32_t(width), uint32_t(height), 1u | (1u << 16), 0u, 0u, 0u, 0u,
                       2u, 0u})
        Put32(d.info, v);
    Put32(d.info, 0x000000);
    Put32(d.info, 0xFFFFFF);
    const int stride = (width + 31) / 32 * 4;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < width; ++x)
            if (set(x, y)) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        d.bits += row;
    }
    return d;
}

// Appends the four offset/size fields of `dib`, placed at `at` in the record,
// and returns where the next bitmap goes.
uint32_t PlaceDib(QByteArray& fields, const Dib& dib, uint32_t at) {
    Put32(fields, at);
    Put32(fields, uint32_t(dib.info.size()));
    Put32(fields, at + uint32_t(dib.info.size()));
    Put32(fields, uint32_t(dib.bits.size()));
    return at + uint32_t(dib.info.size() + dib.bits.size());
}

void PutTransform(QByteArray& out) {
    for (uint32_t v : {0x3F800000u, 0u, 0u, 0x3F800000u, 0u, 0u}) Put32(out, v);
}

// The payload of an EMR_MASKBLT (after type and size).
QByteArray MaskBlt(QPoint dest, QSize size, uint32_t rop4, QPoint src, const Dib& source,
                   QPoint maskAt, const Dib* mask) {
    QByteArray p;
    for (int i = 0; i < 4; ++i) Put32(p, 0);  // bounds
    for (int v : {dest.x(), dest.y(), size.width(), size.height()}) Put32(p, uint32_t(v));
    Put32(p, rop4);
    Put32(p, uint32_t(src.x()));
    Put32(p, uint32_t(src.y()));
    PutTransform(p);
    Put32(p, 0);  // background colour
    Put32(p, 0);  // usage: colours
    uint32_t at = PlaceDib(p, source, 128);
    Put32(p, uint32_t(maskAt.x()));
    Put32(p, uint32_t(maskAt.y()));
    Put32(p, 0);
    if (mask) {
        PlaceDib(p, *mask, at);
    } else {
        for (int i = 0; i < 4; ++i) Put32(p, 0);
    }
    p += source.info + source.bits;
    if (mask) p += mask->info + mask->bits;
    return p;
}

QByteArray MaskBlt(QRect dest, uint32_t rop4, QPoint src, const Dib& source, QPoint maskAt,
                   const Dib* mask) {
    return MaskBlt(dest.topLeft(), dest.size(), rop4, src, source, maskAt, mask);
}

// The payload of an EMR_PLGBLT.
QByteArray PlgBlt(QPoint p0, QPoint p1, QPoint p2, QPoint src, QSize size, const Dib& source,
                  QPoint maskAt, const Dib* mask) {
    QByteArray p;
    for (int i = 0; i < 4; ++i) Put32(p, 0);
    for (QPoint q : {p0, p1, p2}) {
        Put32(p, uint32_t(q.x()));
        Put32(p, uint32_t(q.y()));
    }
    for (int v : {src.x(), src.y(), size.width(), size.height()}) Put32(p, uint32_t(v));
    PutTransform(p);
    Put32(p, 0);
    Put32(p, 0);
    const uint32_t at = PlaceDib(p, source, 140);
    Put32(p, uint32_t(maskAt.x()));
    Put32(p, uint32_t(maskAt.y()));
    Put32(p, 0);
    if (mask) {
        PlaceDib(p, *mask, at);
    } else {
        for (int i = 0; i < 4; ++i) Put32(p, 0);
    }
    p += source.info + source.bits;
    if (mask) p += mask->info + mask->bits;
    return p;
}

QByteArray PlgBlt(QPoint p0, QPoint p1, QPoint p2, QRect src, const Dib& source, const Dib* mask) {
    return PlgBlt(p0, p1, p2, src.topLeft(), src.size(), source, QPoint(0, 0), mask);
}

// A cyan page, null pen: what each transfer combines with.
EmfBuilder CyanPage() {
    EmfBuilder b;
    b.SolidBrush(1, Rgb(0, 255, 255)).Select(1).Select(0x80000008).Rectangle(0, 0, 1001, 1001);
    return b;
}

QImage Draw(const EmfBuilder& b) {
    return test::Render(*LoadEmf(b.Bytes()), QSize(1000, 1000));
}

constexpr uint32_t MakeRop4(uint32_t fore, uint32_t back) {
    return ((back << 8) & 0xFF000000) | fore;
}
constexpr uint32_t kSrcCopy = 0x00CC0020, kSrcAnd = 0x008800C6, kSrcPaint = 0x00EE0086,
                   kSrcInvert = 0x00660046, kDstCopy = 0x00AA0029;

// A yellow 40 × 40 source through a mask whose upper half is set: the
// foreground operation shows above, the background one below.
TEST(EmfMaskBlt, ForegroundAndBackgroundOperationsThroughTheMask) {
    const Dib yellow = ColourDib(40, 40, [](int, int) { return 0xFFFF00u; });
    const Dib upper = MaskDib(40, 40, [](int, int y) { return y < 20; });
    struct Case {
        uint32_t rop4;
        QColor above, below;
    } cases[] = {
        {MakeRop4(kSrcCopy, kDstCopy), kYellow, kCyan},
        {kSrcCopy, kYellow, Qt::black},  // a background of 0 is BLACKNESS
        {MakeRop4(kSrcAnd, kDstCopy), QColor(0, 255, 0), kCyan},
        {MakeRop4(kSrcPaint, kDstCopy), Qt::white, kCyan},
        {MakeRop4(kSrcInvert, kSrcCopy), QColor(255, 0, 255), kYellow},
        {MakeRop4(kDstCopy, kSrcAnd), kCyan, QColor(0, 255, 0)},
    };
    EmfBuilder b = CyanPage();
    for (int i = 0; i < int(std::size(cases)); ++i)
        b.RecordBytes(kMaskBlt, MaskBlt(QRect(100 + 100 * i, 100, 40, 40), cases[i].rop4,
                                        QPoint(0, 0), yellow, QPoint(0, 0), &upper));
    const QImage image = Draw(b);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const int x = 120 + 100 * i;
        EXPECT_TRUE(Near(image.pixelColor(x, 110), cases[i].above, 8))
            << i << ": " << image.pixelColor(x, 110).name().toStdString();
        EXPECT_TRUE(Near(image.pixelColor(x, 130), cases[i].below, 8))
            << i << ": " << image.pixelColor(x, 130).name().toStdString();
        EXPECT_TRUE(Near(image.pixelColor(x, 150), kCyan, 0)) << i;  // nothing beyond
    }
}

TEST(EmfMaskBlt, SourceAndMaskPositionsAndNoMask) {
    // Left half yellow, right half red; the mask is read from (10, 0) on, so
    // its set columns 10..29 select source columns 0..19.
    const Dib halves = ColourDib(40, 40, [](int x, int) { return x < 20 ? 0xFFFF00u : 0xFF0000u; });
    const Dib columns = MaskDib(60, 40, [](int x, int) { return x >= 10 && x < 30; });
    EmfBuilder b = CyanPage();
    b.RecordBytes(kMaskBlt, MaskBlt(QRect(100, 100, 40, 40), MakeRop4(kSrcCopy, kDstCopy),
                                    QPoint(0, 0), halves, QPoint(10, 0), &columns));
    // From source column 20 on: red where the mask is set.
    b.RecordBytes(kMaskBlt, MaskBlt(QRect(200, 100, 20, 40), MakeRop4(kSrcCopy, kDstCopy),
                                    QPoint(20, 0), halves, QPoint(10, 0), &columns));
    // Without a mask: a plain transfer with the foreground operation.
    b.RecordBytes(kMaskBlt, MaskBlt(QRect(300, 100, 40, 40), MakeRop4(kSrcCopy, kDstCopy),
                                    QPoint(0, 0), halves, QPoint(0, 0), nullptr));
    // A destination larger than the source transfers what the source holds.
    b.RecordBytes(kMaskBlt, MaskBlt(QRect(400, 100, 4000, 4000), MakeRop4(kSrcCopy, kDstCopy),
                                    QPoint(0, 0), halves, QPoint(0, 0), &columns));
    const QImage image = Draw(b);
    EXPECT_TRUE(Near(image.pixelColor(110, 120), kYellow, 8));
    EXPECT_TRUE(Near(image.pixelColor(130, 120), kCyan, 0));
    EXPECT_TRUE(Near(image.pixelColor(210, 120), kRed, 8));
    EXPECT_TRUE(Near(image.pixelColor(310, 120), kYellow, 8));
    EXPECT_TRUE(Near(image.pixelColor(330, 120), kRed, 8));
    EXPECT_TRUE(Near(image.pixelColor(405, 120), kCyan, 0));    // mask column 5: not set
    EXPECT_TRUE(Near(image.pixelColor(415, 120), kYellow, 8));  // column 15: set
    EXPECT_TRUE(Near(image.pixelColor(425, 120), kRed, 8));
    EXPECT_TRUE(Near(image.pixelColor(415, 145), kCyan, 0));    // below the source
}

// The source's corners go to the three points: here turned a quarter and
// ten times larger, so source column x, row y lands at
// (500 - 10 y, 100 + 10 x).
TEST(EmfPlgBlt, SourceMappedOntoTheParallelogramThroughTheMask) {
    const Dib halves = ColourDib(8, 8, [](int x, int) { return x < 4 ? 0xFFFF00u : 0xFF0000u; });
    const Dib upper = MaskDib(8, 8, [](int, int y) { return y < 4; });
    EmfBuilder b = CyanPage();
    b.RecordBytes(kPlgBlt, PlgBlt(QPoint(500, 100), QPoint(500, 180), QPoint(420, 100),
                                  QRect(0, 0, 8, 8), halves, &upper));
    // Unmasked and sheared: x grows along y as well.
    b.RecordBytes(kPlgBlt, PlgBlt(QPoint(100, 400), QPoint(180, 400), QPoint(140, 480),
                                  QRect(0, 0, 8, 8), halves, nullptr));
    const QImage image = Draw(b);
    EXPECT_TRUE(Near(image.pixelColor(475, 115), kYellow, 16));  // row 2, column 1
    EXPECT_TRUE(Near(image.pixelColor(475, 165), kRed, 16));     // row 2, column 6
    EXPECT_TRUE(Near(image.pixelColor(435, 115), kCyan, 16));    // row 6: masked out
    EXPECT_TRUE(Near(image.pixelColor(505, 140), kCyan, 0));     // outside
    EXPECT_TRUE(Near(image.pixelColor(120, 405), kYellow, 16));  // top row, left
    EXPECT_TRUE(Near(image.pixelColor(170, 405), kRed, 16));     // top row, right
    EXPECT_TRUE(Near(image.pixelColor(158, 475), kYellow, 16));  // bottom row, shifted right
    EXPECT_TRUE(Near(image.pixelColor(110, 475), kCyan, 0));     // left of the slant
}

TEST(EmfBltDamage, BitmapsOutsideTheRecordDrawNothing) {
    const Dib yellow = ColourDib(8, 8, [](int, int) { return 0xFFFF00u; });
    EmfBuilder b = CyanPage();
    QByteArray mask = MaskBlt(QRect(100, 100, 8, 8), MakeRop4(kSrcCopy, kDstCopy), QPoint(0, 0),
                              yellow, QPoint(0, 0), nullptr);
    mask.replace(84 - 8, 4, QByteArray("\xF0\xFF\xFF\x7F", 4));  // header offset far away
    QByteArray plg = PlgBlt(QPoint(200, 100), QPoint(280, 100), QPoint(200, 180),
                            QRect(0, 0, 8, 8), yellow, nullptr);
    plg.replace(108 - 8, 4, QByteArray("\xFF\xFF\xFF\xFF", 4));  // bits' size past the end
    b.RecordBytes(kMaskBlt, mask).RecordBytes(kPlgBlt, plg);
    // Records cut short, and points that make no parallelogram.
    b.RecordBytes(kMaskBlt, mask.left(60)).RecordBytes(kPlgBlt, plg.left(100));
    b.RecordBytes(kPlgBlt, PlgBlt(QPoint(300, 100), QPoint(380, 100), QPoint(460, 100),
                                  QRect(0, 0, 8, 8), yellow, nullptr));
    const QImage image = Draw(b);
    EXPECT_EQ(test::InkIn(image, QRect(0, 0, 1000, 1000)), 1000 * 1000);  // cyan throughout
    for (QPoint p : {QPoint(104, 104), QPoint(240, 140), QPoint(380, 100)})
        EXPECT_TRUE(Near(image.pixelColor(p), kCyan, 0)) << p.x() << "," << p.y();
}

// Positions and sizes near the 32-bit limits, as crafted files give them:
// the part that the source and the mask both hold is still found exactly,
// and the rest draws nothing.
TEST(EmfBltDamage, PositionsAndSizesNearTheIntegerLimits) {
    constexpr int kMax = std::numeric_limits<int32_t>::max();
    constexpr int kMin = std::numeric_limits<int32_t>::min();
    const Dib yellow = ColourDib(8, 8, [](int, int) { return 0xFFFF00u; });
    const Dib upper = MaskDib(40, 40, [](int, int y) { return y < 20; });
    const Dib none;  // no source bitmap: the brush through the mask
    constexpr uint32_t kPatCopy = 0x00F00021;
    EmfBuilder b = CyanPage();
    b.SolidBrush(2, Rgb(255, 0, 0)).Select(2);
    // Without a source its position does not matter.
    b.RecordBytes(kMaskBlt, MaskBlt(QRect(100, 100, 40, 40), MakeRop4(kPatCopy, kDstCopy),
                                    QPoint(kMax - 10, kMax - 10), none, QPoint(0, 0), &upper));
    // A size reaching past the limit from a source position of 4: the
    // source's last four columns and rows.
    b.RecordBytes(kMaskBlt,
                  MaskBlt(QPoint(200, 100), QSize(kMax, kMax), MakeRop4(kSrcCopy, kDstCopy),
                          QPoint(4, 4), yellow, QPoint(0, 0), &upper));
    // Nothing that both the source and the mask hold.
    for (const auto& [src, maskAt] : {std::pair{QPoint(kMax, kMin), QPoint(0, 0)},
                                      {QPoint(0, 0), QPoint(kMin, kMax)},
                                      {QPoint(kMin, kMin), QPoint(kMax, kMax)}}) {
        b.RecordBytes(kMaskBlt, MaskBlt(QPoint(300, 100), QSize(kMax, kMax),
                                        MakeRop4(kSrcCopy, kDstCopy), src, yellow, maskAt, &upper));
        b.RecordBytes(kPlgBlt, PlgBlt(QPoint(300, 300), QPoint(380, 300), QPoint(300, 380), src,
                                      QSize(kMax, kMax), yellow, maskAt, &upper));
    }
    // One source column at the far end of a parallelogram beyond the page.
    b.RecordBytes(kPlgBlt,
                  PlgBlt(QPoint(kMin, kMax), QPoint(kMax, kMin), QPoint(kMax, kMax),
                         QPoint(kMin + 2, 0), QSize(kMax, 8), yellow, QPoint(0, 0), nullptr));
    // Playback goes on after them.
    b.RecordBytes(kPlgBlt, PlgBlt(QPoint(500, 100), QPoint(580, 100), QPoint(500, 180),
                                  QRect(0, 0, 8, 8), yellow, nullptr));
    const QImage image = Draw(b);
    EXPECT_TRUE(Near(image.pixelColor(120, 110), kRed, 8));
    EXPECT_TRUE(Near(image.pixelColor(120, 130), kCyan, 0));
    EXPECT_TRUE(Near(image.pixelColor(202, 102), kYellow, 8));
    EXPECT_TRUE(Near(image.pixelColor(206, 102), kCyan, 0));
    EXPECT_TRUE(Near(image.pixelColor(202, 106), kCyan, 0));
    for (QPoint p : {QPoint(301, 101), QPoint(305, 105), QPoint(301, 301), QPoint(340, 340)})
        EXPECT_TRUE(Near(image.pixelColor(p), kCyan, 0)) << p.x() << "," << p.y();
    EXPECT_TRUE(Near(image.pixelColor(540, 140), kYellow, 8));
}

// A few bytes of run-length data claiming `height` rows of 8 pixels: a run
// of red, then the end of the bitmap.
Dib RunLengthDib(int height) {
    Dib d;
    for (uint32_t v : {40u, 8u, uint32_t(height), 1u | (8u << 16), 1u /* BI_RLE8 */, 0u, 0u, 0u,
                       2u, 0u})
        Put32(d.info, v);
    Put32(d.info, 0x000000);
    Put32(d.info, 0xFF0000);
    d.bits = QByteArray("\x08\x01\x00\x01", 4);
    return d;
}

// Such bitmaps cost their pixels before they are decoded, so that a file of
// many of them stops at the budget instead of holding the program for as
// long as decoding them all takes.
TEST(EmfBltDamage, RunLengthBitmapsClaimingMillionsOfPixelsSpendTheBudget) {
    MetafileLimits limits;
    limits.maxPixelsExtra = 0;  // a budget of 1000 times the 100 × 100 target
    const Dib claim = RunLengthDib(1 << 20);  // 8 × 1,048,576 pixels
    auto drawWith = [&](int bitmaps) {
        EmfBuilder b = CyanPage();
        for (int i = 0; i < bitmaps; ++i)
            b.RecordBytes(kMaskBlt, MaskBlt(QRect(10 * i, 0, 10, 10), kSrcCopy, QPoint(0, 0),
                                            claim, QPoint(0, 0), nullptr));
        b.SolidBrush(2, Rgb(255, 0, 0)).Select(2).Rectangle(500, 500, 1000, 1000);
        return test::Render(*LoadEmf(b.Bytes()), QSize(100, 100), {}, limits);
    };
    EXPECT_TRUE(Near(drawWith(1).pixelColor(75, 75), kRed, 8));
    EXPECT_TRUE(Near(drawWith(2).pixelColor(75, 75), kCyan, 0));  // stopped before the square
}

}  // namespace
}  // namespace tamarind
