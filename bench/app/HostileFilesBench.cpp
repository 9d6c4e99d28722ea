// Hostile picture files against the windows that decode them: a 122-byte
// RLE4 BMP and a JPEG of a few hundred bytes that both claim 16384 x 16384
// pixels, an RLE4 BMP claiming 2^28 x 1 pixels, and a 5 GB sparse file that
// starts like a JPEG and then holds only zeros.
//
// Each action runs in a child process of this program, on Qt's offscreen
// platform with a 1024 x 768 screen, as a user would start it: the file is
// put into slot 1 by a click on the file list, the detail window is opened
// where the action needs it, and then the action is timed (wall clock and
// the child's processor time, which a busy machine disturbs less), with the
// peak resident size of the child during the action (the peak is reset just
// before it) over the resident size before it. Every action is reported
// next to the same action on a camera-sized picture (6000 x 4000) of the
// same kind, in the same run.
//
//   bench_hostile_files [scenario...]
//
// Scenarios: slot, detail, turn, mirror, histogram, fullsize, clipboard,
// print (the print layout window's preparation).
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

#include "HostileFiles.h"
#include "OffscreenScreen.h"
#include "ProcessStatus.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "detail/Cgrp.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/Dialogs.h"
#include "platform/FileIo.h"
#include "platform/Guard.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;

namespace {

// Processor time of this process so far, all threads.
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Messages go to the report instead of a box nobody can close.
class QuietDialogs : public DialogService {
  public:
    QStringList shown;
    void Message(const QString& text, BoxIcon) override { shown << text; }
    BoxAnswer Ask(const QString&, const QString&, BoxIcon, BoxButtons) override {
        return BoxAnswer::Cancel;
    }
    QString InputBox(const QString&, const QString&, const QString& proposed) override {
        return proposed;
    }
    std::optional<QString> SavePicture(const SaveDialogRequest&) override { return {}; }
    bool PrinterSetup(QPrinter*) override { return false; }
    void Beep(BeepKind) override {}
};

// A camera-sized picture of some texture, for the comparison.
Bitmap Camera(int bits) {
    Bitmap b(6000, 4000, bits);
    for (int y = 0; y < b.height(); ++y) {
        uchar* row = b.scanLine(y);
        for (qsizetype i = 0; i < b.stride(); ++i) row[i] = uchar((i * 7) ^ (y * 3));
    }
    if (bits <= 8) {
        QList<QRgb> colours;
        for (int i = 0; i < (1 << bits); ++i) colours << qRgb(i * 13, 255 - i, i * 7);
        b.setPalette(colours);
    }
    return b;
}

// The child: puts `name` of `folder` into slot 1, prepares the scenario and
// times it. With `sparse`, the file is replaced by the 5 GB sparse JPEG once
// it is in the slot. Prints "ms before_kb peak_kb messages".
int RunChild(int argc, char** argv, const QString& scenario, const QString& folder,
             const QString& name, bool sparse) {
    QTemporaryDir runtime;
    test::UseOffscreenScreen(runtime.path());
    QApplication app(argc, argv);
    QuietDialogs dialogs;
    SetDialogs(&dialogs);
    CreateForms({QStringLiteral("1")});
    const QString path = folder + u'/' + name;
    const QString slotFolder = folder + u'/';
    RunGuarded([&] { Form1->ShowFolder(folder); });
    auto fill = [&] { Form1->FillSlotFromList(slotFolder, name); };
    auto makeSparse = [&] { test::WriteSparseFile(path, "\xFF\xD8\xFF", qint64(5) << 30); };
    std::function<void()> action;
    if (scenario == u"slot") {
        if (sparse) makeSparse();
        action = fill;
    } else {
        RunGuarded(fill);
        if (Viewer.SlotFileName[1] != name) return 3;
        if (scenario == u"detail") {
            if (sparse) makeSparse();
            action = [] { Form1->OpenDetailWindow(1); };
        } else if (scenario == u"turn" || scenario == u"mirror" || scenario == u"histogram") {
            RunGuarded([] { Form1->OpenDetailWindow(1); });
            if (sparse) makeSparse();
            QPushButton* button = scenario == u"turn"     ? Form3->Button6
                                  : scenario == u"mirror" ? Form3->Button9
                                                          : Form3->BitBtn2;
            action = [button] { button->click(); };
        } else {
            if (sparse) makeSparse();
            if (scenario == u"fullsize")
                action = [] { Form1->ShowFullSize(1); };
            else if (scenario == u"clipboard")
                action = [] { Form1->CopySlotToClipboard(1); };
            else if (scenario == u"print")
                action = [] { Form1->PreparePrintPicture(1); };
            else
                return 2;
        }
    }
    dialogs.shown.clear();
    const long before = test::StatusKb("VmRSS:");
    test::ResetPeakResident();
    QElapsedTimer timer;
    const double cpu = CpuSeconds();
    timer.start();
    RunGuarded(action);
    // What the next repaint of the changed windows costs belongs to the action.
    Form1->SlotImage(1)->ScaledImage();
    if (Form5->isVisible()) Form5->Image1->ScaledImage();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const double cpuMs = (CpuSeconds() - cpu) * 1000;
    const long peak = test::StatusKb("VmHWM:");
    std::printf("%.0f %.0f %ld %ld %s\n", ms, cpuMs, before, peak,
                dialogs.shown.join(QStringLiteral(" / ")).toUtf8().constData());
    std::fflush(stdout);
    DestroyForms();
    SetDialogs(nullptr);
    return 0;
}

struct Figures {
    bool ok = false;
    double ms = 0;
    double cpuMs = 0;
    long beforeKb = 0, peakKb = 0;
    QString messages;
};

Figures Measure(const QString& scenario, const QString& folder, const QString& name, bool sparse) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{QStringLiteral("--child"), scenario, folder, name};
    if (sparse) args << QStringLiteral("--sparse");
    child.start(QCoreApplication::applicationFilePath(), args);
    Figures f;
    if (!child.waitForFinished(600000) || child.exitCode() != 0) return f;
    const QString out = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    const QStringList fields = out.split(u' ');
    if (fields.size() < 4) return f;
    f.ok = true;
    f.ms = fields[0].toDouble();
    f.cpuMs = fields[1].toDouble();
    f.beforeKb = fields[2].toLong();
    f.peakKb = fields[3].toLong();
    f.messages = out.section(u' ', 4);
    return f;
}

QString Describe(const Figures& f) {
    if (!f.ok) return QStringLiteral("(failed)");
    return QStringLiteral("%1 s (processor %2 s), peak %3 MB over %4 MB before%5")
        .arg(f.ms / 1000, 0, 'f', 2)
        .arg(f.cpuMs / 1000, 0, 'f', 2)
        .arg((f.peakKb - f.beforeKb) / 1024)
        .arg(f.beforeKb / 1024)
        .arg(f.messages.isEmpty() ? QString() : QStringLiteral(" [") + f.messages + u']');
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argc, argv, QString::fromLocal8Bit(argv[2]),
                        QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]),
                        argc >= 6);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    QCoreApplication app(argc, argv);
    QStringList scenarios;
    for (int i = 1; i < argc; ++i) scenarios << QString::fromLocal8Bit(argv[i]);
    if (scenarios.isEmpty())
        scenarios = QStringList{"slot",      "detail",   "turn",      "mirror",
                                "histogram", "fullsize", "clipboard", "print"};

    QTemporaryDir dir;
    const QString folder = dir.path();
    WriteFileBytes(folder + QStringLiteral("/bomb.bmp"), test::RleBombBmp(16384, 16384));
    WriteFileBytes(folder + QStringLiteral("/bomb.jpg"), test::JpegBomb(16384));
    WriteFileBytes(folder + QStringLiteral("/strip.bmp"), test::RleBombBmp(1 << 28, 1));
    WriteFileBytes(folder + QStringLiteral("/camera4.bmp"), EncodeBmp(Camera(4)));
    WriteFileBytes(folder + QStringLiteral("/camera.jpg"), EncodeJpeg(Camera(24), 80));
    std::printf("bomb.bmp %lld bytes, bomb.jpg %lld bytes, both claiming 16384 x 16384\n",
                QFileInfo(folder + QStringLiteral("/bomb.bmp")).size(),
                QFileInfo(folder + QStringLiteral("/bomb.jpg")).size());
    std::printf("strip.bmp: RLE4, 268435456 x 1; sparse.jpg: 5 GB, FF D8 FF then zeros "
                "(a small JPEG while in the slot)\n");
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        std::printf("load average at the start: %s\n", load.readAll().trimmed().constData());

    for (const QString& scenario : scenarios) {
        std::printf("%s\n", qPrintable(scenario));
        const struct {
            const char* name;
            bool sparse;
        } cases[] = {{"bomb.bmp", false}, {"camera4.bmp", false}, {"strip.bmp", false},
                     {"bomb.jpg", false}, {"camera.jpg", false},  {"sparse.jpg", true}};
        for (const auto& c : cases) {
            // The child leaves the sparse file behind; each run starts from the small JPEG.
            if (c.sparse)
                WriteFileBytes(folder + u'/' + QString::fromLatin1(c.name), test::JpegBomb(64));
            const Figures f = Measure(scenario, folder, QString::fromLatin1(c.name), c.sparse);
            std::printf("  %-12s %s\n", c.name, qPrintable(Describe(f)));
            std::fflush(stdout);
        }
    }
    return 0;
}
