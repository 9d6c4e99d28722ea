#include "detail/Histogram.h"

#include <QPainter>
#include <QtEndian>
#include <algorithm>
#include <vector>

#include "platform/Fonts.h"

namespace tamarind {

void CountRows24(const uchar* bits, qsizetype stride, int width, int height, HistogramTables& tables) {
    // Two increments per pixel instead of three: blue and green are counted
    // as pairs in one table of 65536 counters (small enough for the level-2
    // cache, and neighbouring pixels mostly hit the same lines), red in four
    // sets of 256 that take the pixels in turn, so that runs of equal values
    // do not wait on each other's increments. A pair's index is green | blue
    // << 8: with green in the low byte, the greens of one blue share cache
    // lines, and the blues, which in photographs mostly change less, pick
    // the line. The pairs are split into their blue and green counts at the
    // end.
    std::vector<std::uint32_t> blueGreen(65536, 0);
    alignas(64) std::uint32_t red[4][256] = {};
    std::uint32_t* pairs = blueGreen.data();
    for (int y = 0; y < height; ++y) {
        const uchar* p = bits + y * stride;
        int x = 0;
        // Four pixels are twelve bytes: three 32-bit words B G R B | G R B G | R B G R.
        for (; x + 4 <= width; x += 4, p += 12) {
            const std::uint32_t w0 = qFromLittleEndian<std::uint32_t>(p);
            const std::uint32_t w1 = qFromLittleEndian<std::uint32_t>(p + 4);
            const std::uint32_t w2 = qFromLittleEndian<std::uint32_t>(p + 8);
            ++pairs[((w0 >> 8) & 255) | ((w0 & 255) << 8)];
            ++red[0][(w0 >> 16) & 255];
            ++pairs[(w1 & 255) | ((w0 >> 24) << 8)];
            ++red[1][(w1 >> 8) & 255];
            ++pairs[(w1 >> 24) | (w1 >> 8 & 0xFF00)];
            ++red[2][w2 & 255];
            ++pairs[((w2 >> 16) & 255) | (w2 & 0xFF00)];
            ++red[3][w2 >> 24];
        }
        for (; x < width; ++x, p += 3) {
            ++pairs[p[1] | (p[0] << 8)];
            ++red[0][p[2]];
        }
    }
    for (int blue = 0; blue < 256; ++blue) {
        std::uint32_t sum = 0;
        for (int green = 0; green < 256; ++green) {
            const std::uint32_t n = pairs[(blue << 8) | green];
            tables.HistogramGreen[green] += std::int32_t(n);
            sum += n;
        }
        tables.HistogramBlue[blue] += std::int32_t(sum);
    }
    for (int v = 0; v < 256; ++v)
        tables.HistogramRed[v] += std::int32_t(red[0][v] + red[1][v] + red[2][v] + red[3][v]);
}

void FinishHistogram(HistogramTables& t) {
    std::int32_t peak = 0;
    for (int v = 0; v < 256; ++v) {
        peak = std::max({peak, t.HistogramRed[v], t.HistogramGreen[v], t.HistogramBlue[v]});
        t.HistogramSum[v] = t.HistogramRed[v] + t.HistogramGreen[v] + t.HistogramBlue[v];
    }
    t.HistogramSumPeak = std::int32_t(std::int64_t(3) * peak / 5);
    t.HistogramPeak = peak / 5;
}

HistogramTables CountHistogram(const Bitmap& picture) {
    HistogramTables tables;
    const Bitmap rgb = picture.ConvertTo24();
    if (!rgb.isEmpty()) CountRows24(rgb.constBits(), rgb.stride(), rgb.width(), rgb.height(), tables);
    FinishHistogram(tables);
    return tables;
}

std::int64_t HistogramLineLength(std::int32_t count, int scale, std::int32_t divisor) {
    if (divisor < 1) return 0;
    return std::int64_t(count) * scale / divisor;
}

namespace {

// A line from (x, y0) to (x, y1) with y1 exclusive, in either direction,
// cut to the picture.
void VerticalLine(QImage& image, int x, int y0, std::int64_t y1, QRgb colour) {
    if (x < 0 || x >= image.width() || y1 == y0) return;
    std::int64_t top = y1 < y0 ? y1 + 1 : y0;
    std::int64_t bottom = y1 < y0 ? y0 : y1 - 1;  // inclusive
    top = std::max<std::int64_t>(top, 0);
    bottom = std::min<std::int64_t>(bottom, image.height() - 1);
    for (std::int64_t y = top; y <= bottom; ++y) image.setPixel(x, int(y), colour);
}

void HorizontalLine(QImage& image, int x0, int x1, int y, QRgb colour) {
    if (y < 0 || y >= image.height()) return;
    for (int x = std::max(x0, 0); x < std::min(x1, image.width()); ++x) image.setPixel(x, y, colour);
}

void FillRect(QImage& image, int left, int top, int right, int bottom, QRgb colour) {
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
        HorizontalLine(image, left, right, y, colour);
}

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

}  // namespace

void DrawGraphFrame(QImage& graph) {
    FillRect(graph, 0, 0, kGraphWidth, kGraphHeight, kWhite);
    // The frame rectangle (2, 0) - (265, 102): its outline is the outermost
    // ring of pixels inside those exclusive edges, the inside stays white.
    HorizontalLine(graph, 2, 265, 0, kBlack);
    HorizontalLine(graph, 2, 265, 101, kBlack);
    VerticalLine(graph, 2, 0, 102, kBlack);
    VerticalLine(graph, 264, 0, 102, kBlack);
    for (int v = 0; v < 256; v += 32) VerticalLine(graph, v + 5, kGraphBase, 105, kBlack);
    VerticalLine(graph, 260, kGraphBase, 105, kBlack);
}

void DrawGraphLines(QImage& graph, const std::array<std::int32_t, 256>& table,
                    std::int32_t divisor, int scale, QRgb colour) {
    if (divisor < 1) return;
    for (int v = 1; v < 256; ++v) {
        const std::int64_t h = HistogramLineLength(table[v], scale, divisor);
        VerticalLine(graph, v + 5, kGraphBase, kGraphBase - h, colour);
    }
}

void DrawAxisLabels(QImage& axis) {
    FillRect(axis, 1, 0, 265, 12, kWhite);
    QPainter painter(&axis);
    QFont font = UiFont(kGothic, 11);  // 8 points at 96 dots per inch
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackground(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    const QFontMetrics metrics(font);
    const struct {
        int x;
        const char* text;
    } labels[] = {{2, "0"}, {64, "40"}, {127, "80"}, {191, "C0"}, {255, "FF"}};
    for (const auto& label : labels)
        painter.drawText(label.x, 1 + metrics.ascent(), QString::fromLatin1(label.text));
}

}  // namespace tamarind
