// Filling the grid with large JPEGs, as a user's click on the file list does,
// until every slot's thumbnail is ready to paint, side by side with libjpeg
// alone decoding the same files at full size (each into a fresh buffer).
//
//  - continuous 4 x 4: sixteen files, one click; time against libjpeg's
//    sequential full decode of the sixteen (target at most 0.30 x), and the
//    peak resident size of the program during and after the fill (target at
//    most 250 MB);
//  - individual 1 x 1: one click on one file; time against libjpeg's full
//    decode of that file (target at most 0.60 x);
//  - fidelity: every slot's drawn pixels against ImageMagick's Lanczos
//    reduction of the file to the same box (`convert f.jpg -resize WxH!`),
//    in both layouts (target at least 40 dB PSNR).
//
// Each fill runs in a child process of this program on Qt's offscreen
// platform with a 1024 x 768 screen, so its peak resident size is the
// program's own, as `ps` would show it. Runs alternate with the libjpeg
// runs; medians are reported with the machine's load.
//
//   bench_fill_grid [runs] [width height]
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

#include "ProcessStatus.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/PictureBox.h"
#include "app/ViewerState.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"

using namespace tamarind;
using tamarind::test::StatusKb;

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
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int i = 0; i < x.width(); ++i) {
            const int d[3] = {qRed(p[i]) - qRed(q[i]), qGreen(p[i]) - qGreen(q[i]),
                              qBlue(p[i]) - qBlue(q[i])};
            for (int v : d) sum += double(v) * v;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Processor time of this process so far, all threads, in milliseconds.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

QString LoadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2)
                                       : QString();
}

// The child: one click in `folder` with the given layout and mode, then every
// shown slot's drawn picture saved beside the files as slotN.png. Prints
// "fill_ms before_kb peak_kb after_kb box_w box_h cpu_ms".
int RunFill(int argc, char** argv, const QString& folder, int layout, bool continuous) {
    QTemporaryDir runtime;
    const QString config = runtime.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(R"({"synchronousWindowSystemEvents": true, "windowFrameMargins": false,
            "screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1024, "height": 768,
            "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    }
    QApplication app(argc, argv);
    CreateForms({QString::number(layout), continuous ? QStringLiteral("1") : QStringLiteral("0")});
    RunGuarded([&] { Form1->ShowFolder(folder); });
    const long before = StatusKb("VmRSS:");
    QElapsedTimer timer;
    const double cpu = CpuMs();
    timer.start();
    Form1->FileListBox1->SelectRow(0);
    RunGuarded([&] { Form1->FLB1_Click(); });
    const int shown = continuous ? Viewer.LayoutSlotCount : 1;
    for (int slot = 1; slot <= shown; ++slot) Form1->SlotImage(slot)->ScaledImage();
    const double ms = timer.nsecsElapsed() / 1e6;
    const double cpuMs = CpuMs() - cpu;
    const long peak = StatusKb("VmHWM:");
    const long after = StatusKb("VmRSS:");
    for (int slot = 1; slot <= shown; ++slot) {
        if (!Form1->SlotImage(slot)->HasPicture()) return 3;
        Form1->SlotImage(slot)->ScaledImage().save(
            QDir(folder).filePath(QStringLiteral("slot%1.png").arg(slot)));
    }
    const QSize box = Form1->SlotImage(1)->size();
    std::printf("%.1f %ld %ld %ld %d %d %.1f\n", ms, before, peak, after, box.width(), box.height(),
                cpuMs);
    DestroyForms();
    return 0;
}

struct FillResult {
    double ms = 0;
    double cpuMs = 0;
    long beforeKb = 0, peakKb = 0, afterKb = 0;
    QSize box;
};

bool Fill(const QString& folder, int layout, bool continuous, FillResult* result) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--fill"), folder, QString::number(layout),
                 continuous ? QStringLiteral("1") : QStringLiteral("0")});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) return false;
    const QStringList f = QString::fromLatin1(child.readAllStandardOutput()).split(u' ');
    if (f.size() < 7) return false;
    result->cpuMs = f[6].trimmed().toDouble();
    result->ms = f[0].toDouble();
    result->beforeKb = f[1].toLong();
    result->peakKb = f[2].toLong();
    result->afterKb = f[3].toLong();
    result->box = QSize(f[4].toInt(), f[5].trimmed().toInt());
    return true;
}

// The lowest PSNR of the saved slot pictures against ImageMagick's Lanczos
// reduction of `jpeg` to the box.
double LowestPsnr(const QString& folder, const QString& jpeg, QSize box, int slotCount) {
    const QString reference = QDir(folder).filePath(QStringLiteral("reference.png"));
    const int rc =
        QProcess::execute(QStringLiteral("convert"),
                          {jpeg, QStringLiteral("-resize"),
                           QStringLiteral("%1x%2!").arg(box.width()).arg(box.height()), reference});
    if (rc != 0) return -1;
    const QImage ref(reference);
    double lowest = 99;
    for (int slot = 1; slot <= slotCount; ++slot)
        lowest = std::min(
            lowest,
            Psnr(QImage(QDir(folder).filePath(QStringLiteral("slot%1.png").arg(slot))), ref));
    return lowest;
}

const char* Verdict(bool met) {
    return met ? "met" : "NOT met";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && qstrcmp(argv[1], "--fill") == 0)
        return RunFill(argc, argv, QString::fromLocal8Bit(argv[2]), atoi(argv[3]),
                       atoi(argv[4]) != 0);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int width = argc > 3 ? atoi(argv[2]) : 6000;
    const int height = argc > 3 ? atoi(argv[3]) : 4000;
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        std::printf(
            "ImageMagick's convert is missing (tools/deps.sh --bench): no fidelity figures\n");

    // Sixteen copies of one photograph for the grid, one for the single click.
    QTemporaryDir gridDir, singleDir;
    std::printf("making sixteen %d x %d JPEGs ...\n", width, height);
    QByteArray jpeg = EncodeJpeg(MakePicture(width, height), 90);
    QStringList files;
    for (int i = 1; i <= 16; ++i) {
        files << QDir(gridDir.path())
                     .filePath(QStringLiteral("photo%1.jpg").arg(i, 2, 10, QChar(u'0')));
        WriteFileBytes(files.back(), jpeg);
    }
    const QString single = QDir(singleDir.path()).filePath(QStringLiteral("photo.jpg"));
    WriteFileBytes(single, jpeg);
    std::printf("file size %.1f MB\n", jpeg.size() / 1e6);
    jpeg.clear();

    std::vector<double> fill, libjpeg16, click, libjpeg1, peak, after;
    std::vector<double> fillCpu, libjpeg16Cpu, clickCpu, libjpeg1Cpu;
    FillResult grid, one;
    QElapsedTimer timer;
    QStringList loads;
    for (int run = 0; run < runs; ++run) {
        loads << LoadAverage();
        timer.start();
        double cpu = CpuMs();
        size_t total = 0;
        for (const QString& f : files) total += DecodeWithLibjpeg(f);
        libjpeg16.push_back(timer.nsecsElapsed() / 1e6);
        libjpeg16Cpu.push_back(CpuMs() - cpu);
        if (total == 0) return 2;
        if (!Fill(gridDir.path(), 10, true, &grid)) return 3;
        fill.push_back(grid.ms);
        fillCpu.push_back(grid.cpuMs);
        peak.push_back(grid.peakKb / 1024.0);
        after.push_back(grid.afterKb / 1024.0);

        timer.start();
        cpu = CpuMs();
        DecodeWithLibjpeg(single);
        libjpeg1.push_back(timer.nsecsElapsed() / 1e6);
        libjpeg1Cpu.push_back(CpuMs() - cpu);
        if (!Fill(singleDir.path(), 1, false, &one)) return 4;
        click.push_back(one.ms);
        clickCpu.push_back(one.cpuMs);
        std::printf(
            "run %d: fill %.0f ms, libjpeg x16 %.0f ms; click %.0f ms, libjpeg x1 %.0f ms; "
            "peak %.0f MB\n",
            run + 1, fill.back(), libjpeg16.back(), click.back(), libjpeg1.back(), peak.back());
    }

    const double a = Median(fill), b = Median(libjpeg16), c = Median(click), d = Median(libjpeg1);
    std::printf("\nload averages at the runs: %s\n", qPrintable(loads.join(QStringLiteral("; "))));
    std::printf(
        "4 x 4 continuous fill  median %8.1f ms, libjpeg full x16 median %8.1f ms: "
        "ratio %.3f (target <= 0.30): %s\n",
        a, b, a / b, Verdict(a / b <= 0.30));
    std::printf(
        "1 x 1 individual click median %8.1f ms, libjpeg full x1  median %8.1f ms: "
        "ratio %.3f (target <= 0.60): %s\n",
        c, d, c / d, Verdict(c / d <= 0.60));
    std::printf(
        "processor time (all threads): fill %.0f ms against libjpeg x16 %.0f ms (%.3f); "
        "click %.0f ms against libjpeg x1 %.0f ms (%.3f)\n",
        Median(fillCpu), Median(libjpeg16Cpu), Median(fillCpu) / Median(libjpeg16Cpu),
        Median(clickCpu), Median(libjpeg1Cpu), Median(clickCpu) / Median(libjpeg1Cpu));
    std::printf(
        "peak resident size during the fill: median %.0f MB, max %.0f MB; after: %.0f MB "
        "(before the click %.0f MB) (target <= 250): %s\n",
        Median(peak), *std::max_element(peak.begin(), peak.end()), Median(after),
        grid.beforeKb / 1024.0, Verdict(*std::max_element(peak.begin(), peak.end()) <= 250));
    const double psnrGrid = LowestPsnr(gridDir.path(), files[0], grid.box, 16);
    const double psnrOne = LowestPsnr(singleDir.path(), single, one.box, 1);
    std::printf(
        "fidelity against convert -resize (Lanczos): 4 x 4 box %dx%d lowest %.1f dB, "
        "1 x 1 box %dx%d %.1f dB (target >= 40): %s\n",
        grid.box.width(), grid.box.height(), psnrGrid, one.box.width(), one.box.height(), psnrOne,
        Verdict(psnrGrid >= 40 && psnrOne >= 40));
    return 0;
}
