// Counting colour values and drawing their graphs, pixel by pixel.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <cstring>

#include "TestData.h"
#include "detail/Histogram.h"
#include "picture/Bmp.h"

using namespace tamarind;

namespace {

struct Rgb {
    uchar r, g, b;
};

// A 24-bit picture of `width` x `height` whose pixel i (row by row) is colour(i).
template <typename F>
Bitmap Picture24(int width, int height, F colour) {
    Bitmap bmp(width, height, 24);
    int i = 0;
    for (int y = 0; y < height; ++y) {
        uchar* p = bmp.scanLine(y);
        for (int x = 0; x < width; ++x, ++i) {
            const Rgb c = colour(i);
            *p++ = c.b;
            *p++ = c.g;
            *p++ = c.r;
        }
    }
    return bmp;
}

TEST(HistogramCounting, MatchesAPlainCountForEveryRowWidth) {
    // Widths around the four-pixel steps, with row padding, random pixels.
    for (int width = 1; width <= 13; ++width) {
        QRandomGenerator random(width);
        std::vector<Rgb> pixels;
        const Bitmap bmp = Picture24(width, 7, [&](int) {
            const quint32 v = random.generate();
            pixels.push_back({uchar(v), uchar(v >> 8), uchar(v >> 16)});
            return pixels.back();
        });
        std::array<int, 256> r{}, g{}, b{};
        for (const Rgb& p : pixels) ++r[p.r], ++g[p.g], ++b[p.b];
        const HistogramTables t = CountHistogram(bmp);
        for (int v = 0; v < 256; ++v) {
            ASSERT_EQ(t.HistogramRed[v], r[v]) << width << " " << v;
            ASSERT_EQ(t.HistogramGreen[v], g[v]) << width << " " << v;
            ASSERT_EQ(t.HistogramBlue[v], b[v]) << width << " " << v;
            ASSERT_EQ(t.HistogramSum[v], r[v] + g[v] + b[v]);
        }
    }
}

TEST(HistogramCounting, EveryFormatCountsAsItsColoursDo) {
    // Random pixels and palettes; widths that end inside a byte of 1- and
    // 4-bit rows, and rows long enough for the four-byte steps. The count at
    // the picture's own depth must equal the count of its 24-bit colours.
    for (int bits : {1, 4, 8, 15, 16, 32})
        for (int width : {1, 3, 9, 17, 70}) {
            QRandomGenerator random(quint32(bits * 100 + width));
            Bitmap bmp(width, 5, bits);
            for (int y = 0; y < 5; ++y) {
                uchar* row = bmp.scanLine(y);
                for (qsizetype i = 0; i < bmp.stride(); ++i) row[i] = uchar(random.generate());
            }
            QList<QRgb> palette;
            for (int i = 0; i < (bits <= 8 ? 1 << bits : 0); ++i)
                palette << QRgb(random.generate());
            bmp.setPalette(palette);
            const HistogramTables own = CountHistogram(bmp);
            const HistogramTables wide = CountHistogram(bmp.ConvertTo24());
            ASSERT_EQ(own.HistogramRed, wide.HistogramRed) << bits << " " << width;
            ASSERT_EQ(own.HistogramGreen, wide.HistogramGreen) << bits << " " << width;
            ASSERT_EQ(own.HistogramBlue, wide.HistogramBlue) << bits << " " << width;
            ASSERT_EQ(own.HistogramPeak, wide.HistogramPeak);
        }
}

TEST(HistogramCounting, SingleColourAllBlackAndTinyPictures) {
    HistogramTables t = CountHistogram(Picture24(7, 3, [](int) { return Rgb{10, 200, 77}; }));
    EXPECT_EQ(t.HistogramRed[10], 21);
    EXPECT_EQ(t.HistogramGreen[200], 21);
    EXPECT_EQ(t.HistogramBlue[77], 21);
    EXPECT_EQ(t.HistogramSum[10] + t.HistogramSum[200] + t.HistogramSum[77], 63);
    EXPECT_EQ(t.HistogramPeak, 4);      // 21 div 5
    EXPECT_EQ(t.HistogramSumPeak, 12);  // 63 div 5

    t = CountHistogram(Bitmap(10, 10, 24));
    EXPECT_EQ(t.HistogramRed[0], 100);
    EXPECT_EQ(t.HistogramSum[0], 300);
    EXPECT_EQ(t.HistogramPeak, 20);
    EXPECT_EQ(t.HistogramSumPeak, 60);

    t = CountHistogram(Picture24(2, 2, [](int i) { return Rgb{uchar(i), 9, 9}; }));
    EXPECT_EQ(t.HistogramPeak, 0);  // 4 div 5: the graphs stay empty
    EXPECT_EQ(t.HistogramSumPeak, 2);
    EXPECT_EQ(t.HistogramRed[3], 1);

    t = CountHistogram(Bitmap());
    EXPECT_EQ(t.HistogramPeak, 0);
    EXPECT_EQ(t.HistogramSum[0], 0);
}

TEST(HistogramCounting, TwoColourBmpFilesCountAtTheirPaletteColours) {
    REQUIRE_TESTDATA();
    for (const char* name : {"bmpsuite/g/pal1.bmp", "bmpsuite/g/pal1wb.bmp"}) {
        const Bitmap bmp = ReadBmpFile(test::TestDataPath(QString::fromLatin1(name)));
        ASSERT_EQ(bmp.bitsPerPixel(), 1) << name;
        const HistogramTables t = CountHistogram(bmp);
        const int pixels = bmp.width() * bmp.height();
        EXPECT_EQ(t.HistogramRed[0] + t.HistogramRed[255], pixels) << name;
        EXPECT_GT(t.HistogramRed[0], 0);
        EXPECT_GT(t.HistogramRed[255], 0);
        EXPECT_EQ(t.HistogramGreen, t.HistogramRed);
        EXPECT_EQ(t.HistogramBlue, t.HistogramRed);
        EXPECT_EQ(t.HistogramPeak, std::max(t.HistogramRed[0], t.HistogramRed[255]) / 5);
    }
}

TEST(HistogramCounting, AGreyPictureGivesTheSameCombinedShape) {
    // 100 pixels: value 30 x 50, value 90 x 35, value 250 x 15; the peak 50
    // is a multiple of 5, so the heights agree too.
    const Bitmap bmp = Picture24(10, 10, [](int i) {
        const uchar v = i < 50 ? 30 : i < 85 ? 90 : 250;
        return Rgb{v, v, v};
    });
    const HistogramTables t = CountHistogram(bmp);
    EXPECT_EQ(t.HistogramPeak, 10);
    EXPECT_EQ(t.HistogramSumPeak, 30);
    for (int scale : {1, 20, 40, 77, 200}) {
        for (int v = 1; v < 256; ++v) {
            EXPECT_EQ(HistogramLineLength(t.HistogramSum[v], scale, t.HistogramSumPeak),
                      HistogramLineLength(t.HistogramRed[v], scale, t.HistogramPeak))
                << scale << " " << v;
        }
    }
}

TEST(HistogramCounting, LineLengthsAreFormedIn64Bits) {
    const std::int32_t everyPixel = std::int32_t(Bitmap::kMaxPixels);
    EXPECT_EQ(HistogramLineLength(everyPixel, 200, 1), std::int64_t(everyPixel) * 200);
    EXPECT_EQ(HistogramLineLength(everyPixel, 200, everyPixel / 5), 1000);
    EXPECT_EQ(HistogramLineLength(7, 20, 0), 0);
}

// --- drawing ---------------------------------------------------------------

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);

QImage Graph(int height = kGraphHeight) {
    QImage image(kGraphWidth, height, QImage::Format_RGB32);
    image.fill(Qt::gray);
    DrawGraphFrame(image);
    return image;
}

// The y range [top, 100] of column x that has `colour`, checked to be one
// unbroken run ending at y 100: its length, 0 for none.
int LineLength(const QImage& graph, int x, QRgb colour) {
    int top = 101;
    while (top > 0 && graph.pixel(x, top - 1) == colour) --top;
    for (int y = 0; y < top; ++y)
        if (graph.pixel(x, y) == colour) return -1;  // a stray pixel above the line
    return 101 - top;
}

TEST(HistogramDrawing, FrameAndTicks) {
    const QImage g = Graph(113);
    EXPECT_EQ(g.pixel(0, 0), kWhite);
    EXPECT_EQ(g.pixel(1, 50), kWhite);
    for (QPoint p : {QPoint(2, 0), QPoint(264, 0), QPoint(2, 101), QPoint(264, 101), QPoint(100, 0),
                     QPoint(100, 101), QPoint(2, 60), QPoint(264, 60)})
        EXPECT_EQ(g.pixel(p), kBlack) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(265, 0), QPoint(3, 1), QPoint(263, 100), QPoint(100, 102), QPoint(266, 104)})
        EXPECT_EQ(g.pixel(p), kWhite) << p.x() << "," << p.y();
    for (int x : {5, 37, 69, 101, 133, 165, 197, 229, 260}) {
        for (int y = 100; y < 105; ++y) EXPECT_EQ(g.pixel(x, y), kBlack) << x << "," << y;
        EXPECT_EQ(g.pixel(x, 99), kWhite) << x;
    }
    EXPECT_EQ(g.pixel(6, 103), kWhite);
    // Below 105 the taller combined graph keeps what it had.
    EXPECT_EQ(g.pixel(100, 105), qRgb(160, 160, 164));
}

// Red counts: value 50 x 60 (the peak), 100 x 39, 200 x 1; the divisor is
// 60 div 5 = 12.
TEST(HistogramDrawing, LineHeightsAtScales1To200) {
    std::array<std::int32_t, 256> red{};
    red[50] = 60;
    red[100] = 39;
    red[200] = 1;
    red[0] = 99;  // value 0 never has a line
    const struct {
        int scale, at50, at100, at200;
    } cases[] = {
        {20, 100, 65, 1},    // the peak reaches the top of the frame exactly
        {40, 101, 101, 3},   // cut off at the picture's top edge
        {200, 101, 101, 16},
        {1, 5, 3, 0},
    };
    for (const auto& c : cases) {
        QImage g = Graph();
        DrawGraphLines(g, red, 12, c.scale, kRed);
        EXPECT_EQ(LineLength(g, 55, kRed), c.at50) << c.scale;
        EXPECT_EQ(LineLength(g, 105, kRed), c.at100) << c.scale;
        EXPECT_EQ(LineLength(g, 205, kRed), c.at200) << c.scale;
        EXPECT_EQ(g.pixel(5, 100), kBlack) << "no line for value 0";
        EXPECT_EQ(LineLength(g, 56, kRed), 0);
        EXPECT_EQ(g.pixel(55, 101), kBlack) << "the frame's bottom stays";
    }
    // At scale 20 the line of the peak stops just below the frame's top.
    QImage g = Graph();
    DrawGraphLines(g, red, 12, 20, kRed);
    EXPECT_EQ(g.pixel(55, 0), kBlack);
    EXPECT_EQ(g.pixel(55, 1), kRed);
    // No divisor, no lines.
    g = Graph();
    DrawGraphLines(g, red, 0, 20, kRed);
    EXPECT_EQ(g, Graph());
}

TEST(HistogramDrawing, AxisLabelsAreBlackOnWhite) {
    QImage axis(kGraphWidth, 25, QImage::Format_RGB32);
    axis.fill(Qt::gray);
    DrawAxisLabels(axis);
    EXPECT_EQ(axis.pixel(0, 0), qRgb(160, 160, 164));
    EXPECT_EQ(axis.pixel(1, 0), kWhite);
    EXPECT_EQ(axis.pixel(264, 0), kWhite);
    // Some ink near each label's place, none between the labels.
    for (int left : {2, 64, 127, 191, 255}) {
        int ink = 0;
        for (int y = 1; y < 13; ++y)
            for (int x = left; x < std::min(left + 12, kGraphWidth); ++x) ink += qGray(axis.pixel(x, y)) < 100;
        EXPECT_GT(ink, 3) << left;
    }
    for (int y = 0; y < 12; ++y) EXPECT_EQ(axis.pixel(40, y), kWhite) << y;
}

}  // namespace
