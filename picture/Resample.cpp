#include "picture/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tamarind {
namespace {

constexpr int kLobes = 3;
constexpr int kWeightBits = 14;  // weights in 1/16384
constexpr int kAcrossBits = 6;   // rows filtered across in 1/64 of a level
constexpr int kWeightOne = 1 << kWeightBits;

// The kernel sampled 4096 times per lobe, read with linear interpolation:
// far closer than the weights' own precision, and no sine per tap.
constexpr int kKernelSteps = 4096;

double Sinc(double x) {
    if (x == 0.0) return 1.0;
    const double a = 3.14159265358979323846 * x;
    return std::sin(a) / a;
}

double Lanczos(double x) {
    static const std::vector<double> table = [] {
        std::vector<double> t(size_t(kLobes * kKernelSteps + 2), 0.0);
        for (int i = 0; i <= kLobes * kKernelSteps; ++i) {
            const double v = double(i) / kKernelSteps;
            t[size_t(i)] = Sinc(v) * Sinc(v / kLobes);
        }
        return t;
    }();
    x = std::fabs(x) * kKernelSteps;
    if (x >= kLobes * kKernelSteps) return 0.0;
    const int i = int(x);
    const double f = x - i;
    return table[size_t(i)] + (table[size_t(i) + 1] - table[size_t(i)]) * f;
}

}  // namespace

LanczosResampler::Taps LanczosResampler::MakeTaps(int sourceSize, int targetSize) {
    Taps t;
    t.first.resize(size_t(targetSize));
    t.count.resize(size_t(targetSize));
    t.offset.resize(size_t(targetSize));
    const double scale = double(sourceSize) / targetSize;
    const double widen = std::max(1.0, scale);
    const double support = kLobes * widen;
    std::vector<double> w;
    for (int i = 0; i < targetSize; ++i) {
        const double centre = (i + 0.5) * scale;
        int start = std::max(0, int(std::floor(centre - support + 0.5)));
        const int end = std::min(sourceSize, int(std::floor(centre + support + 0.5)));
        w.clear();
        double total = 0.0;
        for (int j = start; j < end; ++j) {
            w.push_back(Lanczos((j + 0.5 - centre) / widen));
            total += w.back();
        }
        if (w.empty() || total == 0.0) {  // no tap reached: take the nearest pixel
            start = std::clamp(int(centre), 0, sourceSize - 1);
            w.assign(1, 1.0);
            total = 1.0;
        }
        // Rounded to 1/16384; what rounding leaves over goes to the largest
        // weight, so that a flat picture stays exactly flat.
        const size_t from = t.weights.size();
        int sum = 0;
        for (double v : w) {
            t.weights.push_back(std::int16_t(std::lround(v / total * kWeightOne)));
            sum += t.weights.back();
        }
        auto largest = std::max_element(t.weights.begin() + qsizetype(from), t.weights.end());
        *largest = std::int16_t(*largest + (kWeightOne - sum));
        if (w.size() % 2) t.weights.push_back(0);
        for (size_t k = from; k < t.weights.size(); k += 2) {
            const std::int32_t pair =
                std::int32_t(std::uint16_t(t.weights[k])) | std::int32_t(t.weights[k + 1]) << 16;
            t.pairs.insert(t.pairs.end(), 4, pair);
        }
        t.first[size_t(i)] = start;
        t.count[size_t(i)] = int(t.weights.size() - from);
        t.offset[size_t(i)] = from;
    }
    return t;
}

LanczosResampler::LanczosResampler(QSize source, int bitsPerPixel, const QList<QRgb>& palette,
                                   QSize target)
    : source_(source),
      target_(target),
      bitsPerPixel_(bitsPerPixel),
      across_(MakeTaps(source.width(), target.width())),
      down_(MakeTaps(source.height(), target.height())),
      ringWidth_((target.width() + 1) & ~1),
      // A padded tap of weight 0 may read one pixel past the row.
      sourceRow_(size_t(source.width()) + 2, 0),
      pairRow_(size_t(source.width()) * 8 + 8, 0),
      lastRowOf_(size_t(target.height())),
      image_(target, QImage::Format_RGB32) {
    if (image_.isNull()) throw std::bad_alloc();
    if (bitsPerPixel == 8) {
        palette_.assign(256, 0);
        for (int i = 0; i < 256 && i < palette.size(); ++i)
            palette_[size_t(i)] = palette[i] & 0xFFFFFFu;
    }
    // A target row is made as soon as the last source row it needs (or an
    // earlier target row needs) has come; the ring keeps every row that any
    // target row still needs at that moment.
    int last = 0;
    for (int y = 0; y < target.height(); ++y) {
        const int first = down_.first[size_t(y)];
        // (a padded tap of weight 0 may lie past the picture's last row)
        last = std::max(last, std::min(first + down_.count[size_t(y)] - 1, source.height() - 1));
        lastRowOf_[size_t(y)] = last;
        ringRows_ = std::max(ringRows_, last - first + 1);
    }
    ring_.assign(size_t(ringRows_) * size_t(ringWidth_) * 4, 0);
    rowsNeeded_.resize(size_t(ringRows_) + 1);
}

void LanczosResampler::Across(const uchar* bits, qsizetype stride, int to) {
    for (; rowsIn_ < std::min(to, source_.height()); ++rowsIn_) {
        FilterRowAcross(bits + rowsIn_ * stride);
        FilterRowsDown(rowsIn_);
    }
}

void LanczosResampler::FilterRowAcross(const uchar* row) {
    const int sw = source_.width();
    // 8-bit rows as four bytes a pixel (blue, green, red, unused); without
    // SSE2, all rows.
    std::uint32_t* in = sourceRow_.data();
    if (bitsPerPixel_ == 8) {
        for (int x = 0; x < sw; ++x) in[x] = palette_[row[x]];
    }
#if !defined(__SSE2__)
    else if (bitsPerPixel_ == 32) {
        std::memcpy(in, row, size_t(sw) * 4);
    } else {
        const uchar* p = row;
        for (int x = 0; x < sw; ++x, p += 3)
            in[x] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    }
#endif
    std::int16_t* out = ring_.data() + size_t(rowsIn_ % ringRows_) * size_t(ringWidth_) * 4;
    const int tw = target_.width();
    constexpr int shift = kWeightBits - kAcrossBits;
#if defined(__SSE2__)
    // Each pixel beside its right neighbour, channel by channel (blue j,
    // blue j + 1, green j, ...), so that one multiply-and-add takes two taps
    // of all channels. Eight bytes are loaded from each pixel; the last
    // pixels, whose load would leave the row, are put together one by one.
    const int step = bitsPerPixel_ == 24 ? 3 : 4;
    const uchar* bytes = bitsPerPixel_ == 8 ? reinterpret_cast<const uchar*>(in) : row;
    const int safe = bitsPerPixel_ == 8 ? sw : std::max(0, sw - (8 - step + step - 1) / step);
    const __m128i zero = _mm_setzero_si128();
    std::int16_t* pairs = pairRow_.data();
    for (int j = 0; j < safe; ++j) {
        const __m128i two =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + size_t(j) * size_t(step)));
        const __m128i next = step == 3 ? _mm_srli_si128(two, 3) : _mm_srli_si128(two, 4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pairs + size_t(j) * 8),
                         _mm_unpacklo_epi8(_mm_unpacklo_epi8(two, next), zero));
    }
    for (int j = safe; j < sw; ++j)
        for (int c = 0; c < 4; ++c) {
            auto channel = [&](int x) {
                return x < sw && c < step
                           ? std::int16_t(bytes[size_t(x) * size_t(step) + size_t(c)])
                           : std::int16_t(0);
            };
            pairs[size_t(j) * 8 + size_t(c) * 2] = channel(j);
            pairs[size_t(j) * 8 + size_t(c) * 2 + 1] = channel(j + 1);
        }
    const __m128i round = _mm_set1_epi32(1 << (shift - 1));
    for (int x = 0; x < tw; ++x) {
        const std::int32_t* w = across_.pairs.data() + across_.offset[size_t(x)] * 2;
        const int n = across_.count[size_t(x)];
        const std::int16_t* p = pairs + size_t(across_.first[size_t(x)]) * 8;
        __m128i sum = round;
        for (int k = 0; k < n; k += 2, w += 4, p += 16)
            sum = _mm_add_epi32(
                sum, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(w))));
        sum = _mm_srai_epi32(sum, shift);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + size_t(x) * 4),
                         _mm_packs_epi32(sum, sum));
    }
#else
    for (int x = 0; x < tw; ++x) {
        const std::int16_t* w = across_.weights.data() + across_.offset[size_t(x)];
        const int n = across_.count[size_t(x)];
        const std::uint32_t* p = in + across_.first[size_t(x)];
        int sum[4] = {1 << (shift - 1), 1 << (shift - 1), 1 << (shift - 1), 1 << (shift - 1)};
        for (int k = 0; k < n; ++k)
            for (int c = 0; c < 4; ++c) sum[c] += w[k] * int((p[k] >> (8 * c)) & 0xFF);
        for (int c = 0; c < 4; ++c)
            out[size_t(x) * 4 + size_t(c)] =
                std::int16_t(std::clamp(sum[c] >> shift, -32768, 32767));
    }
#endif
}

void LanczosResampler::FilterRowsDown(int lastRow) {
    constexpr int shift = kWeightBits + kAcrossBits;
    const size_t rowLanes = size_t(ringWidth_) * 4;
    for (; rowsOut_ < target_.height() && lastRowOf_[size_t(rowsOut_)] <= lastRow; ++rowsOut_) {
        [[maybe_unused]] const std::int16_t* w =
            down_.weights.data() + down_.offset[size_t(rowsOut_)];
        [[maybe_unused]] const std::int32_t* pairWeights =
            down_.pairs.data() + down_.offset[size_t(rowsOut_)] * 2;
        const int n = down_.count[size_t(rowsOut_)];
        const int first = down_.first[size_t(rowsOut_)];
        // A padded tap of weight 0 reads a row that is there, whatever it holds.
        for (int k = 0; k < n; ++k)
            rowsNeeded_[size_t(k)] =
                ring_.data() + size_t(std::min(first + k, lastRow) % ringRows_) * rowLanes;
        auto* out = reinterpret_cast<std::uint32_t*>(image_.scanLine(rowsOut_));
#if defined(__SSE2__)
        // Two target pixels (eight channels) at a time; two rows per
        // multiply-and-add, their values interleaved.
        const __m128i round = _mm_set1_epi32(1 << (shift - 1));
        const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
        for (size_t lane = 0; lane < rowLanes; lane += 8) {
            __m128i low = round, high = round;
            for (int k = 0; k < n; k += 2) {
                const __m128i a = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(rowsNeeded_[size_t(k)] + lane));
                const __m128i b = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(rowsNeeded_[size_t(k) + 1] + lane));
                const __m128i weights =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairWeights + k * 2));
                low = _mm_add_epi32(low, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), weights));
                high = _mm_add_epi32(high, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), weights));
            }
            low = _mm_srai_epi32(low, shift);
            high = _mm_srai_epi32(high, shift);
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(low, high), _mm_setzero_si128());
            const __m128i pixels = _mm_or_si128(bytes, opaque);
            const size_t x = lane / 4;
            if (x + 1 < size_t(target_.width()))
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), pixels);
            else
                out[x] = std::uint32_t(_mm_cvtsi128_si32(pixels));
        }
#else
        for (int x = 0; x < target_.width(); ++x) {
            int c[3];
            for (int ch = 0; ch < 3; ++ch) {
                int sum = 1 << (shift - 1);
                for (int k = 0; k < n; ++k)
                    sum += w[k] * rowsNeeded_[size_t(k)][size_t(x) * 4 + size_t(ch)];
                c[ch] = std::clamp(sum >> shift, 0, 255);
            }
            out[x] = qRgb(c[2], c[1], c[0]);
        }
#endif
    }
}

QImage LanczosResampler::Down() {
    // Rows that never came count as black.
    const size_t rowLanes = size_t(ringWidth_) * 4;
    for (; rowsIn_ < source_.height(); ++rowsIn_) {
        std::int16_t* row = ring_.data() + size_t(rowsIn_ % ringRows_) * rowLanes;
        std::fill(row, row + rowLanes, std::int16_t(0));
        FilterRowsDown(rowsIn_);
    }
    return image_;
}

QImage ResampleLanczos(const Bitmap& bitmap, QSize target) {
    if (bitmap.isEmpty() || target.width() <= 0 || target.height() <= 0) return {};
    const int bpp = bitmap.bitsPerPixel();
    if (bpp != 8 && bpp != 24 && bpp != 32) return ResampleLanczos(bitmap.ConvertTo24(), target);
    LanczosResampler resampler(bitmap.size(), bpp, bitmap.palette(), target);
    resampler.Across(bitmap.constBits(), bitmap.stride(), bitmap.height());
    return resampler.Down();
}

AreaReducer::AreaReducer(QSize source, QSize target)
    : source_(source.isEmpty() ? QSize() : source),
      target_(source.isEmpty() || target.isEmpty() ? QSize() : target),
      sums_(size_t(std::max(0, target_.width())) * size_t(std::max(0, target_.height())) * 4) {}

std::int64_t AreaReducer::SpanOf(int t, int sourceSize, int targetSize) {
    // Source position s falls into floor(s * targetSize / sourceSize).
    auto firstOf = [&](std::int64_t k) { return (k * sourceSize + targetSize - 1) / targetSize; };
    return std::min<std::int64_t>(sourceSize, firstOf(t + 1)) - firstOf(t);
}

void AreaReducer::AddPixels(int y, int x0, const QRgb* colours, int n) {
    if (target_.isEmpty() || y < 0 || y >= source_.height() || x0 < 0) return;
    n = std::min(n, source_.width() - x0);
    if (n <= 0) return;
    const std::int64_t sw = source_.width(), tw = target_.width();
    const int ty = int(std::int64_t(y) * target_.height() / source_.height());
    std::uint64_t* row = sums_.data() + size_t(ty) * size_t(tw) * 4;
    // The target column and the first source column of the next one.
    std::int64_t tx = std::int64_t(x0) * tw / sw;
    std::int64_t next = ((tx + 1) * sw + tw - 1) / tw;
    std::uint64_t* s = row + tx * 4;
    for (int i = 0; i < n; ++i) {
        const std::int64_t x = x0 + i;
        while (x >= next) {
            ++tx;
            next = ((tx + 1) * sw + tw - 1) / tw;
            s += 4;
        }
        const QRgb c = colours[i];
        s[0] += std::uint64_t(qRed(c));
        s[1] += std::uint64_t(qGreen(c));
        s[2] += std::uint64_t(qBlue(c));
        s[3] += 1;
    }
}

QImage AreaReducer::Finish(QRgb missing) const {
    if (target_.isEmpty()) return {};
    QImage image(target_, QImage::Format_RGB32);
    if (image.isNull()) throw std::bad_alloc();
    const int tw = target_.width(), th = target_.height();
    const std::uint64_t fill[3] = {std::uint64_t(qRed(missing)), std::uint64_t(qGreen(missing)),
                                   std::uint64_t(qBlue(missing))};
    for (int ty = 0; ty < th; ++ty) {
        const std::int64_t rows = SpanOf(ty, source_.height(), th);
        const std::uint64_t* s = sums_.data() + size_t(ty) * size_t(tw) * 4;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(ty));
        for (int tx = 0; tx < tw; ++tx, s += 4) {
            const std::uint64_t all =
                std::uint64_t(std::max<std::int64_t>(1, rows * SpanOf(tx, source_.width(), tw)));
            const std::uint64_t absent = all > s[3] ? all - s[3] : 0;
            int c[3];
            for (int i = 0; i < 3; ++i) c[i] = int((s[i] + absent * fill[i] + all / 2) / all);
            out[tx] = qRgb(c[0], c[1], c[2]);
        }
    }
    return image;
}

}  // namespace tamarind
