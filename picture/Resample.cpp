#include "picture/Resample.h"

#include <algorithm>
#include <cmath>

namespace tamarind {
namespace {

// Four ints, for converting between bytes and the resampler's float pixels.
using Ints = int __attribute__((vector_size(16)));

constexpr double kLobes = 3.0;
constexpr double kPi = 3.14159265358979323846;

double Sinc(double x) {
    if (x == 0.0) return 1.0;
    const double a = kPi * x;
    return std::sin(a) / a;
}

double Lanczos(double x) {
    x = std::fabs(x);
    return x < kLobes ? Sinc(x) * Sinc(x / kLobes) : 0.0;
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
    for (int i = 0; i < targetSize; ++i) {
        const double centre = (i + 0.5) * scale;
        const int start = std::max(0, int(std::floor(centre - support + 0.5)));
        const int end = std::min(sourceSize, int(std::floor(centre + support + 0.5)));
        t.first[size_t(i)] = start;
        t.offset[size_t(i)] = t.weights.size();
        double total = 0.0;
        const size_t from = t.weights.size();
        for (int j = start; j < end; ++j) {
            const double w = Lanczos((j + 0.5 - centre) / widen);
            t.weights.push_back(float(w));
            total += w;
        }
        int n = end - start;
        if (n <= 0 || total == 0.0) {  // no tap reached: take the nearest pixel
            t.weights.resize(from);
            t.first[size_t(i)] = std::clamp(int(centre), 0, sourceSize - 1);
            t.weights.push_back(1.0f);
            n = 1;
            total = 1.0;
        }
        for (size_t k = from; k < t.weights.size(); ++k) t.weights[k] = float(t.weights[k] / total);
        t.count[size_t(i)] = n;
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
      sourceRow_(size_t(source.width())),
      lastRowOf_(size_t(target.height())),
      sum_(size_t(target.width())),
      image_(target, QImage::Format_RGB32) {
    if (image_.isNull()) throw std::bad_alloc();
    // The colours of 8-bit pictures come from their palette.
    if (bitsPerPixel == 8) {
        palette_.resize(256, Pixel{});
        for (int i = 0; i < 256 && i < palette.size(); ++i) {
            const QRgb c = palette[i];
            palette_[size_t(i)] = Pixel{float(qBlue(c)), float(qGreen(c)), float(qRed(c)), 0.0f};
        }
    }
    // A target row is made as soon as the last source row it needs (or an
    // earlier target row needs) has come; the ring keeps every row that any
    // target row still needs at that moment.
    int last = 0;
    for (int y = 0; y < target.height(); ++y) {
        const int first = down_.first[size_t(y)];
        last = std::max(last, first + down_.count[size_t(y)] - 1);
        lastRowOf_[size_t(y)] = last;
        ringRows_ = std::max(ringRows_, last - first + 1);
    }
    ring_.resize(size_t(ringRows_) * size_t(target.width()));
}

void LanczosResampler::Across(const uchar* bits, qsizetype stride, int to) {
    for (; rowsIn_ < std::min(to, source_.height()); ++rowsIn_) {
        FilterRowAcross(bits + rowsIn_ * stride);
        FilterRowsDown(rowsIn_);
    }
}

void LanczosResampler::FilterRowAcross(const uchar* row) {
    Pixel* in = sourceRow_.data();
    const int sw = source_.width();
    if (bitsPerPixel_ == 8) {
        for (int x = 0; x < sw; ++x) in[x] = palette_[row[x]];
    } else {
        const int step = bitsPerPixel_ / 8;
        const uchar* p = row;
        for (int x = 0; x < sw; ++x, p += step)
            in[x] = __builtin_convertvector((Ints{p[0], p[1], p[2], 0}), Pixel);
    }
    const int tw = target_.width();
    Pixel* out = ring_.data() + size_t(rowsIn_ % ringRows_) * size_t(tw);
    for (int x = 0; x < tw; ++x) {
        const float* w = across_.weights.data() + across_.offset[size_t(x)];
        const int n = across_.count[size_t(x)];
        const Pixel* p = in + across_.first[size_t(x)];
        // Four running sums, so the additions need not wait on each other.
        Pixel a0{}, a1{}, a2{}, a3{};
        int k = 0;
        for (; k + 4 <= n; k += 4) {
            a0 += w[k] * p[k];
            a1 += w[k + 1] * p[k + 1];
            a2 += w[k + 2] * p[k + 2];
            a3 += w[k + 3] * p[k + 3];
        }
        for (; k < n; ++k) a0 += w[k] * p[k];
        out[x] = (a0 + a1) + (a2 + a3);
    }
}

void LanczosResampler::FilterRowsDown(int lastRow) {
    const int tw = target_.width();
    for (; rowsOut_ < target_.height() && lastRowOf_[size_t(rowsOut_)] <= lastRow; ++rowsOut_) {
        const float* w = down_.weights.data() + down_.offset[size_t(rowsOut_)];
        const int n = down_.count[size_t(rowsOut_)];
        const int first = down_.first[size_t(rowsOut_)];
        std::fill(sum_.begin(), sum_.end(), Pixel{});
        for (int k = 0; k < n; ++k) {
            const Pixel* in = ring_.data() + size_t((first + k) % ringRows_) * size_t(tw);
            const float wk = w[k];
            for (int x = 0; x < tw; ++x) sum_[size_t(x)] += wk * in[x];
        }
        // Rounded to the nearest level, halves up, within 0..255.
        const Pixel low{}, high = Pixel{} + 255.5f;
        auto* out = reinterpret_cast<QRgb*>(image_.scanLine(rowsOut_));
        for (int x = 0; x < tw; ++x) {
            Pixel c = sum_[size_t(x)] + 0.5f;
            c = c < low ? low : c;
            c = c > high ? high : c;
            const Ints v = __builtin_convertvector(c, Ints);
            out[x] = qRgb(v[2], v[1], v[0]);
        }
    }
}

QImage LanczosResampler::Down() {
    // Rows that never came count as black.
    const int tw = target_.width();
    for (; rowsIn_ < source_.height(); ++rowsIn_) {
        Pixel* row = ring_.data() + size_t(rowsIn_ % ringRows_) * size_t(tw);
        std::fill(row, row + tw, Pixel{});
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
