// Decodes a 24-megapixel camera-like JPEG (4:2:0, quality 92, a textured
// photograph-like picture) with our decoder and with djpeg, several runs
// each taken in turn, and prints the medians and their ratio. The target:
// ours within 1.1 times djpeg's time. Both read the file from disk; djpeg
// writes its PPM to /dev/null, and its time includes starting the process.
//
//   bench_jpeg_decode [runs] [width height]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchSupport.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"

using namespace tamarind;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const int width = argc > 3 ? atoi(argv[2]) : 6000;
    const int height = argc > 3 ? atoi(argv[3]) : 4000;
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpeg.isEmpty()) {
        std::fprintf(stderr, "djpeg is needed (Debian package libjpeg-turbo-progs)\n");
        return 2;
    }

    QTemporaryDir dir;
    const QString jpeg = dir.filePath(QStringLiteral("picture.jpg"));
    WriteFileBytes(jpeg, bench::CameraLikeJpeg(bench::CameraLikePicture(width, height)));
    std::printf("%d x %d pixels (%.1f megapixels), %lld bytes of JPEG, %d runs each\n", width,
                height, width * double(height) / 1e6, ReadFileBytes(jpeg).size(), runs);

    std::vector<double> ours, theirs;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const Bitmap bitmap = ReadJpegFile(jpeg);
        ours.push_back(timer.nsecsElapsed() / 1e6);
        if (bitmap.width() != width || bitmap.height() != height) return 2;

        const bench::ToolRun tool =
            bench::RunTool(djpeg, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), jpeg});
        if (!tool.ok) return 2;
        theirs.push_back(tool.wallMs);
    }
    const double a = bench::Median(ours), b = bench::Median(theirs);
    // The first decode maps fresh memory for the picture; later ones reuse
    // the block of the picture freed before (as a viewer loading picture
    // after picture does).
    std::printf("ours   median %8.1f ms (min %.1f, first %.1f)\n", a,
                *std::min_element(ours.begin(), ours.end()), ours.front());
    std::printf("djpeg  median %8.1f ms (min %.1f)\n", b,
                *std::min_element(theirs.begin(), theirs.end()));
    std::printf("ratio  %.3f (target <= 1.10): %s\n", a / b, a / b <= 1.10 ? "met" : "NOT met");
    return 0;
}
