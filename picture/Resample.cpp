#include "picture/Resample.h"

#include <algorithm>
#include <cmath>

namespace tamarind {
namespace {

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

uchar Clamp255(float v) {
    return uchar(std::clamp(int(std::lround(v)), 0, 255));
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
      acrossRows_(size_t(target.width()) * 3 * size_t(source.height())) {
    // The colours of 8-bit pictures come from their palette.
    for (int i = 0; i < 256 && bitsPerPixel == 8; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        table_[i][0] = float(qBlue(c));
        table_[i][1] = float(qGreen(c));
        table_[i][2] = float(qRed(c));
    }
}

void LanczosResampler::Across(const uchar* bits, qsizetype stride, int from, int to) {
    const int tw = target_.width();
    const int step = bitsPerPixel_ / 8;
    for (int y = std::max(0, from); y < std::min(to, source_.height()); ++y) {
        const uchar* row = bits + y * stride;
        float* out = acrossRows_.data() + size_t(y) * tw * 3;
        for (int x = 0; x < tw; ++x) {
            const float* w = across_.weights.data() + across_.offset[size_t(x)];
            const int n = across_.count[size_t(x)];
            const int first = across_.first[size_t(x)];
            float b = 0, g = 0, r = 0;
            if (bitsPerPixel_ == 8) {
                for (int k = 0; k < n; ++k) {
                    const float* c = table_[row[first + k]];
                    b += w[k] * c[0];
                    g += w[k] * c[1];
                    r += w[k] * c[2];
                }
            } else {
                const uchar* p = row + size_t(first) * step;
                for (int k = 0; k < n; ++k, p += step) {
                    b += w[k] * p[0];
                    g += w[k] * p[1];
                    r += w[k] * p[2];
                }
            }
            out[3 * x] = b;
            out[3 * x + 1] = g;
            out[3 * x + 2] = r;
        }
    }
}

QImage LanczosResampler::Down() const {
    const int tw = target_.width(), th = target_.height();
    QImage image(tw, th, QImage::Format_RGB32);
    if (image.isNull()) throw std::bad_alloc();
    std::vector<float> sum(size_t(tw) * 3);
    for (int y = 0; y < th; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        const float* w = down_.weights.data() + down_.offset[size_t(y)];
        const int n = down_.count[size_t(y)];
        const int first = down_.first[size_t(y)];
        for (int k = 0; k < n; ++k) {
            const float* in = acrossRows_.data() + size_t(first + k) * tw * 3;
            const float wk = w[k];
            for (size_t i = 0; i < sum.size(); ++i) sum[i] += wk * in[i];
        }
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < tw; ++x)
            out[x] = qRgb(Clamp255(sum[3 * x + 2]), Clamp255(sum[3 * x + 1]), Clamp255(sum[3 * x]));
    }
    return image;
}

QImage ResampleLanczos(const Bitmap& bitmap, QSize target) {
    if (bitmap.isEmpty() || target.width() <= 0 || target.height() <= 0) return {};
    const int bpp = bitmap.bitsPerPixel();
    if (bpp != 8 && bpp != 24 && bpp != 32) return ResampleLanczos(bitmap.ConvertTo24(), target);
    LanczosResampler resampler(bitmap.size(), bpp, bitmap.palette(), target);
    resampler.Across(bitmap.constBits(), bitmap.stride(), 0, bitmap.height());
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
