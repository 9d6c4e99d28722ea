#include "detail/Histogram.h"

#include <QPainter>
#include <QtEndian>
#include <algorithm>

#include "platform/Fonts.h"

namespace tamarind {

namespace {

// Counters of one pass. Four sets of tables take the pixels in turn, so
// that runs of equal values (the common case in photographs) do not wait on
// each other's increments.
struct PassCounters {
    // [set][channel * 256 + value], channel 0 blue, 1 green, 2 red
    alignas(64) std::uint32_t c[4][768];
};

inline void Count(std::uint32_t* set, unsigned blue, unsigned green, unsigned red) {
    ++set[blue];
    ++set[256 + green];
    ++set[512 + red];
}

}  // namespace

void CountRows24(const uchar* bits, qsizetype stride, int width, int height, HistogramTables& tables) {
    PassCounters pass{};
    std::uint32_t* s0 = pass.c[0];
    std::uint32_t* s1 = pass.c[1];
    std::uint32_t* s2 = pass.c[2];
    std::uint32_t* s3 = pass.c[3];
    for (int y = 0; y < height; ++y) {
        const uchar* p = bits + y * stride;
        int x = 0;
        // Four pixels are twelve bytes: three 32-bit words.
        for (; x + 4 <= width; x += 4, p += 12) {
            const std::uint32_t w0 = qFromLittleEndian<std::uint32_t>(p);
            const std::uint32_t w1 = qFromLittleEndian<std::uint32_t>(p + 4);
            const std::uint32_t w2 = qFromLittleEndian<std::uint32_t>(p + 8);
            Count(s0, w0 & 255, (w0 >> 8) & 255, (w0 >> 16) & 255);
            Count(s1, w0 >> 24, w1 & 255, (w1 >> 8) & 255);
            Count(s2, (w1 >> 16) & 255, w1 >> 24, w2 & 255);
            Count(s3, (w2 >> 8) & 255, (w2 >> 16) & 255, w2 >> 24);
        }
        for (; x < width; ++x, p += 3) Count(s0, p[0], p[1], p[2]);
    }
    for (int v = 0; v < 256; ++v) {
        auto total = [&](int channel) {
            const int i = channel * 256 + v;
            return std::int32_t(pass.c[0][i] + pass.c[1][i] + pass.c[2][i] + pass.c[3][i]);
        };
        tables.HistogramBlue[v] += total(0);
        tables.HistogramGreen[v] += total(1);
        tables.HistogramRed[v] += total(2);
    }
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
