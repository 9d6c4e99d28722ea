// Turning and mirroring pictures of every pixel format: each result pixel is
// checked against the plain mapping of its operation (also across the tiles
// the quarter turns work in), operations undo each other exactly, and row
// padding and palettes come through untouched.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "detail/Rotate.h"

using namespace tamarind;

namespace {

const int kFormats[] = {1, 4, 8, 15, 16, 24, 32};
const int kModes[] = {kTurnLeft, kTurnRight, kHalfTurn, kMirror, kFlip};

int StorageBits(int bits) { return bits == 15 ? 16 : bits; }

// Pixel (x, y) as a number, read bit by bit from the packed row.
quint32 PixelAt(const Bitmap& b, int x, int y) {
    const int bits = StorageBits(b.bitsPerPixel());
    const uchar* row = b.constScanLine(y);
    quint32 v = 0;
    for (int i = 0; i < bits; ++i) {
        const qint64 bit = qint64(x) * bits + i;
        v = (v << 1) | ((row[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return v;
}

// Random pixels; row padding is left zero, as every bitmap has it.
Bitmap Random(int w, int h, int bits, quint32 seed) {
    QRandomGenerator random(seed);
    Bitmap b(w, h, bits);
    const qint64 used = (qint64(w) * StorageBits(bits) + 7) / 8;
    for (int y = 0; y < h; ++y) {
        uchar* row = b.scanLine(y);
        for (qint64 i = 0; i < used; ++i) row[i] = uchar(random.bounded(256));
        // Bits beyond the last pixel of a sub-byte row stay clear.
        const int spare = int(used * 8 - qint64(w) * StorageBits(bits));
        if (spare > 0) row[used - 1] &= uchar(0xFF << spare);
    }
    QList<QRgb> palette;
    for (qsizetype i = 0; i < b.palette().size(); ++i) palette << (random.generate() | 0xFF000000);
    b.setPalette(palette);
    return b;
}

QPoint Target(int mode, int x, int y, int w, int h) {
    switch (mode) {
        case kTurnRight: return {h - 1 - y, x};
        case kTurnLeft: return {y, w - 1 - x};
        case kHalfTurn: return {w - 1 - x, h - 1 - y};
        case kMirror: return {w - 1 - x, y};
        default: return {x, h - 1 - y};
    }
}

::testing::AssertionResult FollowsMapping(const Bitmap& src, const Bitmap& dst, int mode) {
    const int w = src.width(), h = src.height();
    const bool quarter = mode == kTurnLeft || mode == kTurnRight;
    if (dst.size() != (quarter ? QSize(h, w) : QSize(w, h)))
        return ::testing::AssertionFailure() << "size " << dst.width() << "x" << dst.height();
    if (dst.bitsPerPixel() != src.bitsPerPixel()) return ::testing::AssertionFailure() << "format";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QPoint t = Target(mode, x, y, w, h);
            if (PixelAt(src, x, y) != PixelAt(dst, t.x(), t.y()))
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ")";
        }
    return ::testing::AssertionSuccess();
}

// Whole rows including padding: the padding must stay zero.
bool SameRows(const Bitmap& a, const Bitmap& b) {
    if (a.size() != b.size() || a.bitsPerPixel() != b.bitsPerPixel()) return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.stride())) != 0) return false;
    return a.palette() == b.palette();
}

}  // namespace

// Odd sizes in every format, small ones and ones spanning several tiles with
// ragged edges.
TEST(RotateBitmap, EveryModeAndFormatFollowsThePixelMapping) {
    const QSize sizes[] = {{1, 1}, {3, 2}, {9, 4}, {13, 7}, {7, 13}, {70, 45}, {33, 97}, {263, 9}, {21, 1031}};
    quint32 seed = 1;
    for (int bits : kFormats)
        for (QSize size : sizes) {
            const Bitmap src = Random(size.width(), size.height(), bits, seed++);
            for (int mode : kModes) {
                SCOPED_TRACE(::testing::Message() << bits << " bits " << size.width() << "x"
                                                  << size.height() << " mode " << mode);
                const Bitmap dst = RotateBitmap(src, mode);
                EXPECT_TRUE(FollowsMapping(src, dst, mode));
                EXPECT_EQ(dst.palette(), src.palette());
            }
        }
}

// Results of several megabytes whose rows all start on 16-byte boundaries
// are written with non-temporal stores. Result widths 2048 and 2053 both
// give such rows (row lengths 6144 and 6160 bytes), but in the second the
// turn right's runs do not start on a boundary. The source width leaves
// ragged columns.
TEST(RotateBitmap, LargeQuarterTurnsFollowThePixelMapping) {
    for (int height : {2048, 2053}) {
        const Bitmap src = Random(1367, height, 24, quint32(height));
        for (int mode : {kTurnLeft, kTurnRight}) {
            SCOPED_TRACE(::testing::Message() << "height " << height << " mode " << mode);
            EXPECT_TRUE(FollowsMapping(src, RotateBitmap(src, mode), mode));
        }
    }
}

TEST(RotateBitmap, OperationsUndoEachOtherAndKeepThePadding) {
    quint32 seed = 100;
    for (int bits : kFormats)
        for (QSize size : {QSize(1, 1), QSize(9, 5), QSize(37, 34), QSize(5, 66)}) {
            SCOPED_TRACE(::testing::Message() << bits << " bits " << size.width() << "x" << size.height());
            const Bitmap src = Random(size.width(), size.height(), bits, seed++);
            EXPECT_TRUE(SameRows(RotateBitmap(RotateBitmap(src, kTurnLeft), kTurnRight), src));
            EXPECT_TRUE(SameRows(RotateBitmap(RotateBitmap(src, kTurnRight), kTurnLeft), src));
            EXPECT_TRUE(SameRows(RotateBitmap(RotateBitmap(src, kHalfTurn), kHalfTurn), src));
            EXPECT_TRUE(SameRows(RotateBitmap(RotateBitmap(src, kFlip), kFlip), src));
            EXPECT_TRUE(SameRows(RotateBitmap(RotateBitmap(src, kMirror), kMirror), src));
            // Four quarter turns one way come back too.
            Bitmap b = src;
            for (int i = 0; i < 4; ++i) b = RotateBitmap(b, kTurnRight);
            EXPECT_TRUE(SameRows(b, src));
        }
}

TEST(RotateBitmap, ThreeByTwoTurnedRightReadsTheLeftColumnUpwards) {
    Bitmap src(3, 2, 24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uchar* p = src.scanLine(y) + x * 3;
            p[0] = uchar(10 * y + x);  // blue names the pixel
            p[1] = 0x55;
            p[2] = 0xAA;
        }
    const Bitmap dst = RotateBitmap(src, kTurnRight);
    ASSERT_EQ(dst.size(), QSize(2, 3));
    // Top row: source (0,1) then (0,0).
    EXPECT_EQ(dst.constScanLine(0)[0], 10);
    EXPECT_EQ(dst.constScanLine(0)[3], 0);
    EXPECT_EQ(dst.constScanLine(2)[0], 12);
    EXPECT_EQ(dst.constScanLine(2)[3], 2);
    EXPECT_EQ(dst.constScanLine(1)[1], 0x55);
    EXPECT_EQ(dst.constScanLine(1)[5], 0xAA);
}

// A clear source pixel must clear only its own result bit.
TEST(RotateBitmap, AlternatingOneBitPatternKeepsEveryBit) {
    Bitmap src(16, 16, 1);
    for (int y = 0; y < 16; ++y) {
        src.scanLine(y)[0] = (y & 1) ? 0x55 : 0xAA;
        src.scanLine(y)[1] = (y & 1) ? 0xAA : 0x55;
    }
    for (int mode : kModes) {
        const Bitmap dst = RotateBitmap(src, mode);
        EXPECT_TRUE(FollowsMapping(src, dst, mode)) << mode;
    }
    const Bitmap turned = RotateBitmap(src, kTurnRight);
    // Every result row alternates too: half its sixteen pixels are set.
    int set = 0;
    for (int x = 0; x < 16; ++x) set += PixelAt(turned, x, 3);
    EXPECT_EQ(set, 8);
}

TEST(RotateBitmap, RefusesAnEmptyPictureAndAnUnknownMode) {
    for (const Bitmap& empty : {Bitmap(), Bitmap(0, 5, 24), Bitmap(5, 0, 8)}) {
        try {
            RotateBitmap(empty, kTurnRight);
            ADD_FAILURE() << "no error";
        } catch (const ERotateError& e) {
            EXPECT_EQ(e.text(), QStringLiteral("Bitmap Size Error"));
        }
    }
    EXPECT_THROW(RotateBitmap(Bitmap(2, 2, 24), 7), std::invalid_argument);
}

TEST(RotateBitmap, LeavesTheSourceUnchanged) {
    const Bitmap src = Random(40, 40, 24, 7);
    Bitmap copy = src;
    copy.bits();  // a private copy of the pixels to compare with
    for (int mode : kModes) RotateBitmap(src, mode);
    EXPECT_TRUE(SameRows(src, copy));
}
