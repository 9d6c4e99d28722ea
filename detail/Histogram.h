#pragma once
// Colour histograms of a picture: how often each value 0 to 255 occurs in
// the red, green and blue channels, and the graphs the histogram window
// draws of them.

#include <QImage>
#include <QRgb>
#include <array>
#include <cstdint>

#include "picture/Bitmap.h"

namespace tamarind {

struct HistogramTables {
    std::array<std::int32_t, 256> HistogramRed{};
    std::array<std::int32_t, 256> HistogramGreen{};
    std::array<std::int32_t, 256> HistogramBlue{};
    std::array<std::int32_t, 256> HistogramSum{};  // red + green + blue per value
    // Divisor of the channel graphs: the largest of the 768 channel entries
    // div 5.
    std::int32_t HistogramPeak = 0;
    // Divisor of the combined graph: 3 x the largest channel entry div 5.
    std::int32_t HistogramSumPeak = 0;
};

// Counts the picture's colours in one pass over its own rows and fills the
// sums and divisors: palette pictures count their indices and give each
// index's count to its colour, 15-, 16- and 32-bit pictures are widened to
// 24 bits a piece at a time. No converted copy of the picture is made.
HistogramTables CountHistogram(const Bitmap& picture);

// Counts 24-bit rows (blue, green, red in memory order) into the three
// channel tables, adding to what they hold.
void CountRows24(const uchar* bits, qsizetype stride, int width, int height, HistogramTables& tables);

// Fills HistogramSum, HistogramPeak and HistogramSumPeak from the channel tables.
void FinishHistogram(HistogramTables& tables);

// --- graphs ---------------------------------------------------------------

inline constexpr int kGraphWidth = 267;
inline constexpr int kGraphHeight = 105;
inline constexpr int kGraphBase = 100;  // the y of every line's foot

// The length of the line of `count` at `scale`: count x scale div divisor,
// the product in 64 bits (every pixel of the largest picture times 200).
std::int64_t HistogramLineLength(std::int32_t count, int scale, std::int32_t divisor);

// The empty graph: white, a black frame from (2, 0) to (265, 102) and the
// ticks below it at the values 0, 32, ..., 224 and at 255. Right and bottom
// edges are exclusive.
void DrawGraphFrame(QImage& graph);

// One vertical line per value 1 to 255 at x = value + 5, from y 100 upwards,
// as long as HistogramLineLength; lines longer than 100 are cut off at the
// top of the picture.
void DrawGraphLines(QImage& graph, const std::array<std::int32_t, 256>& table,
                    std::int32_t divisor, int scale, QRgb colour);

// The value axis: "0", "40", "80", "C0" and "FF" in black on white.
void DrawAxisLabels(QImage& axis);

}  // namespace tamarind
