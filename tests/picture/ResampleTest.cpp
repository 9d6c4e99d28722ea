// The Lanczos reduction against a plain two-dimensional evaluation of the
// same filter in double precision, for the pixel layouts a thumbnail meets,
// reductions and enlargements, and rows given in uneven bands.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <vector>

#include "PictureTestUtil.h"
#include "picture/Bitmap.h"
#include "picture/Resample.h"

using namespace tamarind;
using tamarind::test::MaxColourDifference;

namespace {

double Lanczos3(double x) {
    const double pi = 3.14159265358979323846;
    auto sinc = [&](double v) { return v == 0 ? 1.0 : std::sin(pi * v) / (pi * v); };
    x = std::fabs(x);
    return x < 3 ? sinc(x) * sinc(x / 3) : 0;
}

// Weights of the source pixels for target pixel t: the kernel widened by the
// reduction factor, centred on the target pixel, cut at the picture's edges
// and renormalised.
std::vector<std::pair<int, double>> Weights(int t, int sourceSize, int targetSize) {
    const double scale = double(sourceSize) / targetSize;
    const double widen = std::max(1.0, scale);
    const double centre = (t + 0.5) * scale;
    std::vector<std::pair<int, double>> w;
    double total = 0;
    for (int s = 0; s < sourceSize; ++s) {
        const double v = Lanczos3((s + 0.5 - centre) / widen);
        if (v == 0) continue;
        w.emplace_back(s, v);
        total += v;
    }
    for (auto& [s, v] : w) v /= total;
    return w;
}

// The colour (blue, green, red) of pixel (x, y) of a bitmap.
void ColourAt(const Bitmap& b, int x, int y, double c[3]) {
    const uchar* row = b.constScanLine(y);
    if (b.bitsPerPixel() == 8) {
        const QRgb p = b.palette()[row[x]];
        c[0] = qBlue(p), c[1] = qGreen(p), c[2] = qRed(p);
        return;
    }
    const uchar* p = row + x * (b.bitsPerPixel() / 8);
    c[0] = p[0], c[1] = p[1], c[2] = p[2];
}

QImage Reference(const Bitmap& b, QSize target) {
    QImage out(target, QImage::Format_RGB32);
    for (int ty = 0; ty < target.height(); ++ty) {
        const auto wy = Weights(ty, b.height(), target.height());
        for (int tx = 0; tx < target.width(); ++tx) {
            const auto wx = Weights(tx, b.width(), target.width());
            double sum[3] = {};
            for (const auto& [y, vy] : wy)
                for (const auto& [x, vx] : wx) {
                    double c[3];
                    ColourAt(b, x, y, c);
                    for (int i = 0; i < 3; ++i) sum[i] += vy * vx * c[i];
                }
            int v[3];
            for (int i = 0; i < 3; ++i) v[i] = std::clamp(int(std::lround(sum[i])), 0, 255);
            out.setPixel(tx, ty, qRgb(v[2], v[1], v[0]));
        }
    }
    return out;
}

// A picture with sharp edges (which ring and overshoot) and fine detail.
Bitmap Pattern(int width, int height, int bitsPerPixel) {
    Bitmap b(width, height, bitsPerPixel);
    if (bitsPerPixel == 8) {
        QList<QRgb> palette;
        for (int i = 0; i < 256; ++i) palette << qRgb(i, 255 - i, (i * 37) & 255);
        b.setPalette(palette);
    }
    for (int y = 0; y < height; ++y) {
        uchar* p = b.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const int v = ((x / 5 + y / 3) % 2 ? 250 : 5) ^ ((x * 13 + y * 7) & 15);
            if (bitsPerPixel == 8) {
                p[x] = uchar(v);
            } else {
                uchar* q = p + x * (bitsPerPixel / 8);
                q[0] = uchar(v), q[1] = uchar(255 - v), q[2] = uchar((x * 255) / width);
            }
        }
    }
    return b;
}

}  // namespace

TEST(ResampleLanczos, AgreesWithTheFilterEvaluatedInTwoDimensions) {
    struct Case {
        QSize source, target;
    };
    const Case cases[] = {
        {{97, 61}, {20, 13}},    // uneven reduction
        {{50, 400}, {31, 13}},   // many rows per target row
        {{160, 100}, {40, 25}},  // exact factor of four
        {{7, 5}, {30, 17}},      // enlargement
        {{1, 1}, {3, 2}},        // one pixel
        {{64, 48}, {64, 48}},    // same size
    };
    for (const Case& c : cases)
        for (int bpp : {8, 24, 32}) {
            SCOPED_TRACE(QStringLiteral("%1x%2 -> %3x%4, %5 bits")
                             .arg(c.source.width())
                             .arg(c.source.height())
                             .arg(c.target.width())
                             .arg(c.target.height())
                             .arg(bpp)
                             .toStdString());
            const Bitmap picture = Pattern(c.source.width(), c.source.height(), bpp);
            const QImage made = ResampleLanczos(picture, c.target);
            ASSERT_EQ(made.size(), c.target);
            EXPECT_LE(MaxColourDifference(made, Reference(picture, c.target)), 1);
        }
    EXPECT_TRUE(ResampleLanczos(Bitmap(), {4, 4}).isNull());
    EXPECT_TRUE(ResampleLanczos(Pattern(8, 8, 24), {0, 4}).isNull());
}

TEST(LanczosResampler, RowsGivenInUnevenBandsMakeTheSamePicture) {
    const Bitmap picture = Pattern(300, 211, 24);
    const QSize target(83, 47);
    const QImage whole = ResampleLanczos(picture, target);
    LanczosResampler banded(picture.size(), 24, {}, target);
    for (int to : {1, 2, 2, 17, 50, 51, 130, 211, 400})
        banded.Across(picture.constBits(), picture.stride(), to);
    EXPECT_EQ(MaxColourDifference(banded.Down(), whole), 0);
    // Rows that never come count as black: the bottom of the picture goes
    // dark, the top stays as it is.
    LanczosResampler half(picture.size(), 24, {}, target);
    half.Across(picture.constBits(), picture.stride(), 100);
    const QImage cut = half.Down();
    EXPECT_EQ(MaxColourDifference(cut.copy(0, 0, 83, 15), whole.copy(0, 0, 83, 15)), 0);
    for (int x = 0; x < target.width(); ++x) EXPECT_EQ(cut.pixel(x, 46), qRgb(0, 0, 0));
}
