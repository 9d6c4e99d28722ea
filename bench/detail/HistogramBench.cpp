// Counts the histogram of a 6000 x 4000 24-bit picture and copies the same
// bytes with memcpy, several runs each taken in turn, and prints the medians
// and their ratio. The target: counting within 3 times memcpy. The picture
// is photograph-like (smooth shading, texture, noise), made in memory; the
// decoding of a file is not part of this.
//
//   bench_histogram [runs] [width height]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "detail/Histogram.h"
#include "picture/Bitmap.h"

using namespace tamarind;

namespace {

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Bitmap MakePicture(int width, int height) {
    Bitmap bmp(width, height, 24);
    quint32 noise = 1;
    for (int y = 0; y < height; ++y) {
        uchar* p = bmp.scanLine(y);
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525 + 1013904223;
            const int n = int(noise >> 29) - 4;
            const double shade = 0.5 + 0.5 * std::sin(x * 0.0021) * std::cos(y * 0.0017);
            const int texture = ((x * 7 + y * 3) % 23) + ((x / 40 + y / 40) % 2) * 30;
            *p++ = uchar(std::clamp(int(90 + 60 * shade) + n, 0, 255));
            *p++ = uchar(std::clamp(int(160 * (1 - shade)) + texture / 2 + n, 0, 255));
            *p++ = uchar(std::clamp(int(200 * shade) + texture + n, 0, 255));
        }
    }
    return bmp;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    const int width = argc > 3 ? std::atoi(argv[2]) : 6000;
    const int height = argc > 3 ? std::atoi(argv[3]) : 4000;
    const Bitmap picture = MakePicture(width, height);
    const size_t bytes = size_t(picture.sizeInBytes());
    std::vector<uchar> copy(bytes);
    std::memset(copy.data(), 1, bytes);  // fault the pages in before timing

    // Wall-clock time, and the thread's processor time, which other programs
    // sharing the machine disturb less.
    std::vector<double> countMs, copyMs, countCpuMs, copyCpuMs;
    std::int64_t check = 0;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        double cpu = CpuMs();
        timer.start();
        HistogramTables t;
        CountRows24(picture.constBits(), picture.stride(), width, height, t);
        FinishHistogram(t);
        countMs.push_back(timer.nsecsElapsed() / 1e6);
        countCpuMs.push_back(CpuMs() - cpu);
        check += t.HistogramPeak;

        cpu = CpuMs();
        timer.start();
        std::memcpy(copy.data(), picture.constBits(), bytes);
        copyMs.push_back(timer.nsecsElapsed() / 1e6);
        copyCpuMs.push_back(CpuMs() - cpu);
        check += copy[run % bytes];
    }
    const double c = Median(countMs), m = Median(copyMs);
    const double cc = Median(countCpuMs), mc = Median(copyCpuMs);
    std::printf("%d x %d, 24 bits, %zu bytes, median of %d runs (check %lld)\n", width, height, bytes,
                runs, static_cast<long long>(check));
    std::printf("wall clock:     histogram counting %.1f ms, memcpy %.1f ms, ratio %.2f\n", c, m, c / m);
    std::printf("processor time: histogram counting %.1f ms, memcpy %.1f ms, ratio %.2f\n", cc, mc,
                cc / mc);
    std::printf("target: counting within 3 x memcpy\n");
    return 0;
}
