// Fills the 4 x 4 grid with sixteen large JPEGs in continuous mode, as one
// click on the file list does, until every slot's thumbnail is ready to paint,
// and compares the time with libjpeg alone decoding the same sixteen files
// (each into a fresh buffer, as any viewer holding sixteen pictures must).
// Runs alternate; medians are reported. The target: at most 1.2 times
// libjpeg's time.
//
//   bench_fill_grid [runs] [width height]
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/PictureBox.h"
#include "app/ViewerState.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"

using namespace tamarind;

namespace {

// A photograph-like picture: smooth shading, fine texture and a little noise.
Bitmap MakePicture(int width, int height) {
    Bitmap b(width, height, 24);
    quint32 noise = 1;
    for (int y = 0; y < height; ++y) {
        uchar* p = b.scanLine(y);
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
    return b;
}

// libjpeg on its own: read the file, decode every row into a new buffer.
size_t DecodeWithLibjpeg(const QString& path) {
    const QByteArray bytes = ReadFileBytes(path);
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    const size_t stride = (size_t(cinfo.output_width) * 3 + 3) & ~size_t(3);
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.get() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return stride * cinfo.output_height;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int width = argc > 3 ? atoi(argv[2]) : 6000;
    const int height = argc > 3 ? atoi(argv[3]) : 4000;

    QTemporaryDir dir;
    std::printf("making sixteen %d x %d JPEGs ...\n", width, height);
    const QByteArray jpeg = EncodeJpeg(MakePicture(width, height), 90);
    QStringList files;
    for (int i = 1; i <= 16; ++i) {
        files << JoinPath(dir.path(), QStringLiteral("photo%1.jpg").arg(i, 2, 10, QChar(u'0')));
        WriteFileBytes(files.back(), jpeg);
    }
    std::printf("file size %.1f MB\n", jpeg.size() / 1e6);

    std::vector<double> ours, libjpeg;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        size_t total = 0;
        for (const QString& f : files) total += DecodeWithLibjpeg(f);
        libjpeg.push_back(timer.nsecsElapsed() / 1e6);
        if (total == 0) return 2;

        Viewer = ViewerState{};
        CreateForms({QStringLiteral("10"), QStringLiteral("1")});
        RunGuarded([&] { Form1->ShowFolder(dir.path()); });
        timer.start();
        Form1->FileListBox1->SelectRow(0);
        RunGuarded([&] { Form1->FLB1_Click(); });
        for (int slot = 1; slot <= 16; ++slot) Form1->SlotImage(slot)->ScaledImage();
        ours.push_back(timer.nsecsElapsed() / 1e6);
        for (int slot = 1; slot <= 16; ++slot)
            if (!Form1->SlotImage(slot)->HasPicture()) return 3;
        DestroyForms();
    }
    const double a = Median(ours), b = Median(libjpeg);
    std::printf("grid fill  median %8.1f ms (min %.1f)\n", a, *std::min_element(ours.begin(), ours.end()));
    std::printf("libjpeg    median %8.1f ms (min %.1f)\n", b,
                *std::min_element(libjpeg.begin(), libjpeg.end()));
    std::printf("ratio  %.3f (target <= 1.20): %s\n", a / b, a / b <= 1.20 ? "met" : "NOT met");
    return 0;
}
