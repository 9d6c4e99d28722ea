// Turns a 6000 x 4000 24-bit picture a quarter turn left and right, half-turns,
// flips and mirrors it, and times each next to memcpy of the same bytes into a
// buffer already in memory. Runs alternate; medians are reported. Times are
// the thread's CPU time, so that a busy machine taking the processor away
// in the middle of a run does not count; the wall times are printed too.
// Each result is checked pixel by pixel against the plain mapping of the
// operation.
// Targets: a quarter turn at most 4 times memcpy, flips and mirrors at most 2.
//
//   bench_rotate [runs] [width height]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "detail/Rotate.h"

using namespace tamarind;

namespace {

Bitmap MakePicture(int width, int height) {
    Bitmap b = Bitmap::ForOverwrite(width, height, 24);
    quint32 seed = 12345;
    for (int y = 0; y < height; ++y) {
        uchar* p = b.scanLine(y);
        for (int x = 0; x < width * 3; ++x) {
            seed = seed * 1664525 + 1013904223;
            p[x] = uchar(seed >> 24);
        }
    }
    return b;
}

// Whether every pixel landed where the operation's mapping puts it.
bool MatchesMapping(const Bitmap& src, const Bitmap& dst, int mode) {
    const int w = src.width(), h = src.height();
    for (int y = 0; y < h; ++y) {
        const uchar* s = src.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            int dx = x, dy = y;
            switch (mode) {
                case kTurnRight: dx = h - 1 - y; dy = x; break;
                case kTurnLeft: dx = y; dy = w - 1 - x; break;
                case kHalfTurn: dx = w - 1 - x; dy = h - 1 - y; break;
                case kMirror: dx = w - 1 - x; break;
                case kFlip: dy = h - 1 - y; break;
            }
            if (std::memcmp(s + x * 3, dst.constScanLine(dy) + dx * 3, 3) != 0) return false;
        }
    }
    return true;
}

// Milliseconds of CPU time this thread has used, and of wall time.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
double WallMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int width = argc > 3 ? std::atoi(argv[2]) : 6000;
    const int height = argc > 3 ? std::atoi(argv[3]) : 4000;
    const Bitmap picture = MakePicture(width, height);
    const size_t bytes = size_t(picture.sizeInBytes());
    std::vector<uchar> copy(bytes, 1);  // touched once, as the turned picture's memory is reused

    struct Op { const char* name; int mode; double limit; };
    const Op ops[] = {{"quarter turn left", kTurnLeft, 4}, {"quarter turn right", kTurnRight, 4},
                      {"half turn", kHalfTurn, 2}, {"top-bottom flip", kFlip, 2},
                      {"left-right mirror", kMirror, 2}};
    std::printf("picture %d x %d, 24 bits, %.1f MB; %d runs, medians\n", width, height,
                bytes / 1e6, runs);
    bool allOk = true;
    for (const Op& op : ops) {
        std::vector<double> turn, plain, turnWall, plainWall;
        {
            Bitmap result = RotateBitmap(picture, op.mode);  // warm-up, and the check
            if (!MatchesMapping(picture, result, op.mode)) {
                std::printf("%-20s WRONG PIXELS\n", op.name);
                allOk = false;
                continue;
            }
        }
        for (int r = 0; r < runs; ++r) {
            double c = CpuMs(), w = WallMs();
            std::memcpy(copy.data(), picture.constBits(), bytes);
            plain.push_back(CpuMs() - c);
            plainWall.push_back(WallMs() - w);
            c = CpuMs();
            w = WallMs();
            {
                Bitmap result = RotateBitmap(picture, op.mode);
                turn.push_back(CpuMs() - c);
                turnWall.push_back(WallMs() - w);
            }
        }
        const double a = Median(turn), m = Median(plain);
        const bool ok = a <= op.limit * m;
        allOk = allOk && ok;
        std::printf("%-20s %7.1f ms   memcpy %6.1f ms   ratio %5.2f (target <= %.0f) %-6s"
                    " wall %6.1f / %5.1f ms\n",
                    op.name, a, m, a / m, op.limit, ok ? "ok" : "MISSED", Median(turnWall),
                    Median(plainWall));
    }
    return allOk ? 0 : 1;
}
