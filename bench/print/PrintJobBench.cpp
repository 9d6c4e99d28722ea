// Prints a 2592 x 1944 picture (a 5-megapixel camera's) from a 256-colour
// bitmap across the printable width of the 600 dpi PDF printer, as the print
// job does: one conversion to a 24-bit buffer, one stretch onto the page,
// the file flushed and named. Beside it, in the same runs: the conversion
// alone, Qt's PDF writer drawing the ready 24-bit image into the same
// rectangle (the stretch alone, stored losslessly as the job stores it, and
// stored as JPEG, as Qt does by default and the job once did), and Qt's PDF
// writer drawing the 256-colour picture as it is. The job should cost about
// the lossless stretch plus the conversion: the picture converted once and
// sent once. Runs alternate; medians are reported, with the files' sizes.
//
//   bench_print_job [runs] [width height]
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/SystemPrinter.h"
#include "print/PrintJob.h"

using namespace tamarind;

namespace {

// A palette picture with shading and texture, so the conversion has work.
Bitmap MakePicture(int width, int height) {
    Bitmap b(width, height, 8);
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i) palette << qRgb(i, (i * 7) & 255, 255 - i);
    b.setPalette(palette);
    for (int y = 0; y < height; ++y) {
        uchar* p = b.scanLine(y);
        for (int x = 0; x < width; ++x) p[x] = uchar((x / 3 + y / 5 + ((x * y) >> 9)) & 255);
    }
    return b;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int width = argc > 3 ? atoi(argv[2]) : 2592;
    const int height = argc > 3 ? atoi(argv[3]) : 1944;

    QTemporaryDir dir;
    SystemPrinter printer(SystemPrinter::Choice::Pdf, dir.path());
    const PrinterMetrics m = *printer.Measure();
    const Bitmap picture = MakePicture(width, height);
    const int w = m.printableWidthDots;
    const int h = int(qint64(w) * height / width);
    const EdgeRect rect{0, 0, w, h};

    const QImage indexed = picture.ToQImage();  // Indexed8, shared pixels
    qint64 jpegBytes = 0, losslessBytes = 0, jobBytes = 0;
    const QString reference = dir.filePath(QStringLiteral("reference.pdf"));
    const auto drawWithQt = [&](const QImage& image, bool lossless) {
        QElapsedTimer timer;
        timer.start();
        {
            QPdfWriter writer(reference);
            writer.setResolution(600);
            writer.setPageSize(QPageSize(QPageSize::A4));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            QPainter painter(&writer);
            painter.setRenderHint(QPainter::LosslessImageRendering, lossless);
            painter.drawImage(QRect(0, 0, w, h), image);
        }
        return timer.nsecsElapsed() / 1e6;
    };

    std::vector<double> job, conversion, stretch, jpeg, palette;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        const PrintOutcome out = printer.PrintPage(PrintJobTitle(), [&](QPainter& painter) {
            DrawPrintPage(painter, rect, picture);
        });
        job.push_back(timer.nsecsElapsed() / 1e6);
        jobBytes = QFileInfo(out.pdfFile).size();
        QFile::remove(out.pdfFile);

        timer.restart();
        const Bitmap converted = picture.ConvertTo24();
        conversion.push_back(timer.nsecsElapsed() / 1e6);
        stretch.push_back(drawWithQt(converted.ToQImage(), true));
        losslessBytes = QFileInfo(reference).size();
        jpeg.push_back(drawWithQt(converted.ToQImage(), false));
        jpegBytes = QFileInfo(reference).size();
        palette.push_back(drawWithQt(indexed, true));
    }
    std::printf("picture %d x %d (8-bit), printed %d x %d dots at %d dpi, %d runs (medians)\n",
                width, height, w, h, m.dpiX, runs);
    std::printf("24-bit buffer: %.1f MB\n",
                double(Bitmap::StrideFor(width, 24) * height) / (1024.0 * 1024.0));
    const double a = Median(job), c = Median(conversion), s24 = Median(stretch);
    const auto mb = [](qint64 bytes) { return double(bytes) / (1024.0 * 1024.0); };
    std::printf("print job to the PDF printer:          %8.1f ms  %6.1f MB\n", a, mb(jobBytes));
    std::printf("  conversion to 24 bits alone:         %8.1f ms\n", c);
    std::printf("  Qt PDF writer, 24-bit image lossless:%8.1f ms  %6.1f MB\n", s24, mb(losslessBytes));
    std::printf("  conversion + stretch:                %8.1f ms  (job / this = %.2f)\n", c + s24,
                a / (c + s24));
    std::printf("Qt PDF writer, 24-bit image as JPEG:   %8.1f ms  %6.1f MB  (the job before it kept pixels)\n",
                Median(jpeg), mb(jpegBytes));
    std::printf("Qt PDF writer, the 8-bit picture as is: %7.1f ms\n", Median(palette));
    return 0;
}
