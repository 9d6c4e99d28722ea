// Decodes a 24-megapixel JPEG with our decoder and with djpeg, several runs
// each taken in turn, and prints the medians and their ratio. The target:
// ours within 1.1 times djpeg's time. Both read the file from disk; djpeg
// writes its PPM to /dev/null, and its time includes starting the process.
//
//   bench_jpeg_decode [runs] [width height]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "picture/Jpeg.h"
#include "platform/FileIo.h"

using namespace tamarind;

namespace {

// A photograph-like picture: smooth shading, fine texture and a little noise,
// as a binary PPM for cjpeg.
QByteArray MakePpm(int width, int height) {
    QByteArray ppm = QStringLiteral("P6\n%1 %2\n255\n").arg(width).arg(height).toLatin1();
    const qsizetype header = ppm.size();
    ppm.resize(header + qsizetype(width) * height * 3);
    uchar* p = reinterpret_cast<uchar*>(ppm.data()) + header;
    quint32 noise = 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525 + 1013904223;
            const int n = int(noise >> 29) - 4;
            const double shade = 0.5 + 0.5 * std::sin(x * 0.0021) * std::cos(y * 0.0017);
            const int texture = ((x * 7 + y * 3) % 23) + ((x / 40 + y / 40) % 2) * 30;
            *p++ = uchar(std::clamp(int(200 * shade) + texture + n, 0, 255));
            *p++ = uchar(std::clamp(int(160 * (1 - shade)) + texture / 2 + n, 0, 255));
            *p++ = uchar(std::clamp(int(90 + 60 * shade) + n, 0, 255));
        }
    }
    return ppm;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const int width = argc > 3 ? atoi(argv[2]) : 6000;
    const int height = argc > 3 ? atoi(argv[3]) : 4000;
    const QString cjpeg = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
    const QString djpeg = QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (cjpeg.isEmpty() || djpeg.isEmpty()) {
        std::fprintf(stderr, "cjpeg and djpeg are needed (Debian package libjpeg-turbo-progs)\n");
        return 2;
    }

    QTemporaryDir dir;
    const QString ppm = dir.filePath(QStringLiteral("picture.ppm"));
    const QString jpeg = dir.filePath(QStringLiteral("picture.jpg"));
    WriteFileBytes(ppm, MakePpm(width, height));
    if (QProcess::execute(cjpeg, {"-quality", "90", "-outfile", jpeg, ppm}) != 0) {
        std::fprintf(stderr, "cjpeg failed\n");
        return 2;
    }
    std::printf("%d x %d pixels (%.1f megapixels), %lld bytes of JPEG, %d runs each\n", width,
                height, width * double(height) / 1e6, ReadFileBytes(jpeg).size(), runs);

    std::vector<double> ours, theirs;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const Bitmap bitmap = ReadJpegFile(jpeg);
        ours.push_back(timer.nsecsElapsed() / 1e6);
        if (bitmap.width() != width || bitmap.height() != height) return 2;

        timer.start();
        if (QProcess::execute(djpeg, {"-outfile", "/dev/null", jpeg}) != 0) return 2;
        theirs.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double a = Median(ours), b = Median(theirs);
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
