// Filling the grid with camera JPEGs, as a user's click on the file list does,
// until every slot's thumbnail is ready to paint, side by side with djpeg
// decoding the very same files at full size (`djpeg -outfile /dev/null`,
// libjpeg-turbo's own tool) in the same runs.
//
//  - continuous 4 x 4, cold: sixteen 24-megapixel files, one click, with an
//    empty thumbnail cache; time against djpeg decoding the sixteen (target
//    at most 0.30 x), and the program's peak resident size (target at most
//    250 MB);
//  - continuous 4 x 4, warm: the same click again, the cache now holding
//    the entries the cold fill wrote (target at most 0.05 x the cold fill);
//  - individual 1 x 1: one click on one file, cold, against djpeg decoding
//    that file (target at most 0.45 x), and warm;
//  - the first picture on screen: when the first slot first paints
//    something, counted from the click (with the files' Exif thumbnails and
//    a cold cache: target at most 50 ms);
//  - the floor: djpeg decoding the files at the DCT scale the program
//    decodes them at, which still reads and decodes every coefficient;
//  - fidelity: every slot's drawn pixels against ImageMagick's Lanczos
//    reduction of the file to the same box (`convert f.jpg -resize WxH!`),
//    cold in both layouts (target at least 40 dB PSNR) and warm.
//
// The files look like a camera's: a photograph-like picture with texture
// and edges at every scale, 4:2:0 at quality 92, with an Exif block and a
// 160-pixel thumbnail. Each fill runs in a child process of this program on
// Qt's offscreen platform with a 1024 x 768 screen and a thumbnail cache of
// its own (XDG_CACHE_HOME), so its peak resident size is the program's own,
// as `ps` would show it. Runs alternate with the djpeg runs; medians are
// reported with the machine's load. A second reference line shows libjpeg
// called in this process decoding into a freshly allocated buffer, which
// costs about three times djpeg: first touching the new buffer costs more
// than the decoding.
//
//   bench_fill_grid [runs] [width height]
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "ProcessStatus.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/SlotCache.h"
#include "picture/ThumbnailLoad.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using bench::Median;
using tamarind::test::StatusKb;

namespace {

// libjpeg called in this process: read the file, decode every row into a
// new buffer.
size_t DecodeIntoNewBuffer(const QString& path) {
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
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Notes when a slot first paints a picture, counted from `timer`'s start.
class FirstPaintWatch : public QObject {
  public:
    explicit FirstPaintWatch(const QElapsedTimer& timer) : timer_(timer) {}
    double ms = -1;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (ms < 0 && event->type() == QEvent::Paint && timer_.isValid()) {
            const auto* box = static_cast<PictureBox*>(watched);
            if (box->HasPicture() || box->ShowsPlaceholder())
                ms = double(timer_.nsecsElapsed()) / 1e6;
        }
        return false;
    }

  private:
    const QElapsedTimer& timer_;
};

// The child: one click in `folder` with the given layout and mode, then every
// shown slot's drawn picture saved into `out` as slotN.png. Prints
// "fill_ms before_kb peak_kb after_kb box_w box_h cpu_ms first_paint_ms".
int RunFill(int argc, char** argv, const QString& folder, int layout, bool continuous,
            const QString& out) {
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
    // Shown, so that slots painting during the click reach the screen.
    Form1->show();
    RunGuarded([&] { Form1->ShowFolder(folder); });
    QElapsedTimer timer;
    FirstPaintWatch watch(timer);
    for (int slot = 1; slot <= kSlotCount; ++slot)
        Form1->SlotImage(slot)->installEventFilter(&watch);
    QApplication::processEvents();
    const long before = StatusKb("VmRSS:");
    const double cpu = CpuMs();
    timer.start();
    Form1->FileListBox1->SelectRow(0);
    RunGuarded([&] { Form1->FLB1_Click(); });
    const int shown = continuous ? Viewer.LayoutSlotCount : 1;
    for (int slot = 1; slot <= shown; ++slot) Form1->SlotImage(slot)->ScaledImage();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const double cpuMs = CpuMs() - cpu;
    const long peak = StatusKb("VmHWM:");
    const long after = StatusKb("VmRSS:");
    // A slot painted only after the click counts from when it could first be.
    if (watch.ms < 0) watch.ms = ms;
    for (int slot = 1; slot <= shown; ++slot) {
        if (!Form1->SlotImage(slot)->HasPicture()) return 3;
        Form1->SlotImage(slot)->ScaledImage().save(
            QDir(out).filePath(QStringLiteral("slot%1.png").arg(slot)));
    }
    const QSize box = Form1->SlotImage(1)->size();
    std::printf("%.1f %ld %ld %ld %d %d %.1f %.1f\n", ms, before, peak, after, box.width(),
                box.height(), cpuMs, watch.ms);
    DestroyForms();
    return 0;
}

struct FillResult {
    double ms = 0;
    double cpuMs = 0;
    double firstPaintMs = 0;
    long beforeKb = 0, peakKb = 0, afterKb = 0;
    QSize box;
};

bool Fill(const QString& folder, int layout, bool continuous, const QString& cache,
          const QString& out, FillResult* result) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--fill"), folder, QString::number(layout),
                 continuous ? QStringLiteral("1") : QStringLiteral("0"), out});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) return false;
    const QStringList f = QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(u' ');
    if (f.size() < 8) return false;
    result->ms = f[0].toDouble();
    result->beforeKb = f[1].toLong();
    result->peakKb = f[2].toLong();
    result->afterKb = f[3].toLong();
    result->box = QSize(f[4].toInt(), f[5].toInt());
    result->cpuMs = f[6].toDouble();
    result->firstPaintMs = f[7].toDouble();
    return true;
}

// The lowest PSNR of the saved slot pictures in `out` against ImageMagick's
// Lanczos reduction of `jpeg` to the box.
double LowestPsnr(const QString& out, const QString& jpeg, QSize box, int slotCount) {
    const QString reference = QDir(out).filePath(QStringLiteral("reference.png"));
    if (!bench::RunTool(QStringLiteral("convert"),
                        {jpeg, QStringLiteral("-resize"),
                         QStringLiteral("%1x%2!").arg(box.width()).arg(box.height()), reference})
             .ok)
        return -1;
    const QImage ref(reference);
    double lowest = 99;
    for (int slot = 1; slot <= slotCount; ++slot)
        lowest = std::min(
            lowest, Psnr(QImage(QDir(out).filePath(QStringLiteral("slot%1.png").arg(slot))), ref));
    return lowest;
}

// djpeg decoding each of the files in turn, with `options` (such as a
// scale), its output thrown away: the sum of the runs' times.
bool Djpeg(const QStringList& files, const QStringList& options, bench::ToolRun* sum) {
    *sum = bench::ToolRun{true, 0, 0};
    for (const QString& f : files) {
        const bench::ToolRun r = bench::RunTool(
            QStringLiteral("djpeg"),
            options + QStringList{QStringLiteral("-outfile"), QStringLiteral("/dev/null"), f});
        if (!r.ok) return false;
        sum->wallMs += r.wallMs;
        sum->cpuMs += r.cpuMs;
    }
    return true;
}

// djpeg's option for the DCT scale at which the program decodes a picture
// of `natural` pixels for a slot of `box` (and the cache's entry for it).
QStringList ScaleOption(QSize natural, QSize box) {
    const int n = JpegThumbnailScale(natural, box.expandedTo(ThumbnailEntryCover(natural, box)));
    return {QStringLiteral("-scale"), QStringLiteral("%1/8").arg(n)};
}

const char* Verdict(bool met) {
    return met ? "met" : "NOT met";
}

// Times of one kind of run, wall and processor.
struct Series {
    std::vector<double> wall, cpu;
    void Add(double w, double c) {
        wall.push_back(w);
        cpu.push_back(c);
    }
    double Wall() const { return Median(wall); }
    double Cpu() const { return Median(cpu); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 6 && qstrcmp(argv[1], "--fill") == 0)
        return RunFill(argc, argv, QString::fromLocal8Bit(argv[2]), atoi(argv[3]),
                       atoi(argv[4]) != 0, QString::fromLocal8Bit(argv[5]));

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int width = argc > 3 ? atoi(argv[2]) : 6000;
    const int height = argc > 3 ? atoi(argv[3]) : 4000;
    if (QStandardPaths::findExecutable(QStringLiteral("djpeg")).isEmpty()) {
        std::fprintf(stderr, "djpeg is needed (Debian package libjpeg-turbo-progs)\n");
        return 2;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        std::printf(
            "ImageMagick's convert is missing (tools/deps.sh --bench): no fidelity figures\n");

    // Sixteen copies of one photograph for the grid, one for the single click.
    QTemporaryDir gridDir, singleDir, work;
    std::printf("making sixteen %d x %d camera-like JPEGs ...\n", width, height);
    const QString single = QDir(singleDir.path()).filePath(QStringLiteral("photo.jpg"));
    {
        const Bitmap picture = bench::CameraLikePicture(width, height);
        WriteFileBytes(single, bench::CameraLikeJpeg(picture));
        if (!bench::AddExifWithThumbnail(single, picture))
            std::printf("exiftool is missing or failed: the files have no Exif thumbnail\n");
    }
    const QByteArray jpeg = ReadFileBytes(single);
    QStringList files;
    for (int i = 1; i <= 16; ++i) {
        files << QDir(gridDir.path())
                     .filePath(QStringLiteral("photo%1.jpg").arg(i, 2, 10, QChar(u'0')));
        WriteFileBytes(files.back(), jpeg);
    }
    std::printf("file size %.1f MB (4:2:0, quality 92, Exif thumbnail)\n",
                double(jpeg.size()) / 1e6);

    // Each kind of fill has a folder for its slot pictures; each cold fill
    // starts from an empty cache, the warm fill after it uses what it left.
    auto folder = [&](const char* name) {
        const QString path = QDir(work.path()).filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        return path;
    };
    const QString gridCold = folder("grid-cold"), gridWarm = folder("grid-warm"),
                  oneCold = folder("one-cold"), oneWarm = folder("one-warm");
    const QString gridCache = QDir(work.path()).filePath(QStringLiteral("grid-cache")),
                  oneCache = QDir(work.path()).filePath(QStringLiteral("one-cache"));

    Series djpeg16, djpeg1, scaled16, scaled1, inProcess16, fill, warmFill, click, warmClick;
    std::vector<double> fillPaint, clickPaint, peak, after;
    FillResult grid, gridW, one, oneW;
    QStringList loads;
    for (int run = 0; run < runs; ++run) {
        loads << bench::LoadAverage();
        bench::ToolRun r;
        if (!Djpeg(files, {}, &r)) return 2;
        djpeg16.Add(r.wallMs, r.cpuMs);

        QDir(gridCache).removeRecursively();
        if (!Fill(gridDir.path(), 10, true, gridCache, gridCold, &grid)) return 3;
        fill.Add(grid.ms, grid.cpuMs);
        fillPaint.push_back(grid.firstPaintMs);
        peak.push_back(double(grid.peakKb) / 1024.0);
        after.push_back(double(grid.afterKb) / 1024.0);
        if (!Fill(gridDir.path(), 10, true, gridCache, gridWarm, &gridW)) return 3;
        warmFill.Add(gridW.ms, gridW.cpuMs);
        if (!Djpeg(files, ScaleOption(QSize(width, height), grid.box), &r)) return 2;
        scaled16.Add(r.wallMs, r.cpuMs);

        QElapsedTimer timer;
        timer.start();
        const double cpuStart = CpuMs();
        size_t total = 0;
        for (const QString& f : files) total += DecodeIntoNewBuffer(f);
        if (total == 0) return 2;
        inProcess16.Add(double(timer.nsecsElapsed()) / 1e6, CpuMs() - cpuStart);

        if (!Djpeg({single}, {}, &r)) return 2;
        djpeg1.Add(r.wallMs, r.cpuMs);
        QDir(oneCache).removeRecursively();
        if (!Fill(singleDir.path(), 1, false, oneCache, oneCold, &one)) return 4;
        click.Add(one.ms, one.cpuMs);
        clickPaint.push_back(one.firstPaintMs);
        if (!Fill(singleDir.path(), 1, false, oneCache, oneWarm, &oneW)) return 4;
        warmClick.Add(oneW.ms, oneW.cpuMs);
        if (!Djpeg({single}, ScaleOption(QSize(width, height), one.box), &r)) return 2;
        scaled1.Add(r.wallMs, r.cpuMs);
        std::printf(
            "run %d: fill %.0f ms (warm %.0f), djpeg x16 %.0f ms; click %.0f ms (warm %.0f), "
            "djpeg x1 %.0f ms; first picture %.0f / %.0f ms; peak %.0f MB\n",
            run + 1, fill.wall.back(), warmFill.wall.back(), djpeg16.wall.back(), click.wall.back(),
            warmClick.wall.back(), djpeg1.wall.back(), fillPaint.back(), clickPaint.back(),
            peak.back());
    }

    const double a = fill.Wall(), b = djpeg16.Wall(), c = click.Wall(), d = djpeg1.Wall();
    std::printf("\nload averages at the runs: %s\n", qPrintable(loads.join(QStringLiteral("; "))));
    std::printf(
        "4 x 4 continuous fill  median %.1f ms, djpeg x16 median %.1f ms: ratio %.3f (target <= "
        "0.30)\n",
        a, b, a / b);
    std::printf(
        "1 x 1 individual click median %.1f ms, djpeg x1 median %.1f ms: ratio %.3f (target <= "
        "0.45)\n",
        c, d, c / d);
    std::printf("verdicts: fill %s, click %s\n", Verdict(a / b <= 0.30), Verdict(c / d <= 0.45));
    std::printf(
        "libjpeg in this process into a fresh buffer x16 median %.1f ms (djpeg x16 %.1f ms): "
        "the fill is %.3f of it\n",
        inProcess16.Wall(), b, a / inProcess16.Wall());
    std::printf(
        "warm revisit: 4 x 4 fill median %.1f ms against the cold fill %.1f ms: ratio %.3f "
        "(target <= 0.05): %s; 1 x 1 click %.1f ms against %.1f ms (%.3f)\n",
        warmFill.Wall(), a, warmFill.Wall() / a, Verdict(warmFill.Wall() / a <= 0.05),
        warmClick.Wall(), c, warmClick.Wall() / c);
    std::printf(
        "first picture on screen after the click, cold cache: 4 x 4 median %.1f ms, 1 x 1 "
        "median %.1f ms (target <= 50): %s\n",
        Median(fillPaint), Median(clickPaint),
        Verdict(Median(fillPaint) <= 50 && Median(clickPaint) <= 50));
    // What no decoder of these files can go below: libjpeg must read every
    // coefficient of the file whatever the scale.
    std::printf(
        "djpeg at the program's scale (%s for the fill, %s for the click): x16 median %.1f ms "
        "(%.0f ms processor), x1 median %.1f ms (%.0f ms processor): %.3f and %.3f of the full "
        "decode\n",
        qPrintable(ScaleOption(QSize(width, height), grid.box).last()),
        qPrintable(ScaleOption(QSize(width, height), one.box).last()), scaled16.Wall(),
        scaled16.Cpu(), scaled1.Wall(), scaled1.Cpu(), scaled16.Wall() / b, scaled1.Wall() / d);
    std::printf(
        "processor time (all threads): fill %.0f ms against djpeg x16 %.0f ms (%.3f); click "
        "%.0f ms against djpeg x1 %.0f ms (%.3f); warm fill %.0f ms\n",
        fill.Cpu(), djpeg16.Cpu(), fill.Cpu() / djpeg16.Cpu(), click.Cpu(), djpeg1.Cpu(),
        click.Cpu() / djpeg1.Cpu(), warmFill.Cpu());
    std::printf(
        "peak resident size during the cold fill: median %.0f MB, max %.0f MB; after: %.0f MB "
        "(before the click %.0f MB) (target <= 250): %s\n",
        Median(peak), *std::max_element(peak.begin(), peak.end()), Median(after),
        double(grid.beforeKb) / 1024.0,
        Verdict(*std::max_element(peak.begin(), peak.end()) <= 250));
    const double psnrGrid = LowestPsnr(gridCold, files[0], grid.box, 16);
    const double psnrOne = LowestPsnr(oneCold, single, one.box, 1);
    const double psnrGridWarm = LowestPsnr(gridWarm, files[0], gridW.box, 16);
    const double psnrOneWarm = LowestPsnr(oneWarm, single, oneW.box, 1);
    std::printf(
        "fidelity against convert -resize (Lanczos), cold: 4 x 4 box %dx%d lowest %.1f dB, "
        "1 x 1 box %dx%d %.1f dB (target >= 40): %s; warm: %.1f dB and %.1f dB\n",
        grid.box.width(), grid.box.height(), psnrGrid, one.box.width(), one.box.height(), psnrOne,
        Verdict(psnrGrid >= 40 && psnrOne >= 40), psnrGridWarm, psnrOneWarm);
    return 0;
}
