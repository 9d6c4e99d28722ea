// Copies a 1 GB file with CopyFile and with cp on the same disk, several
// runs each taken in turn, and prints the medians and their ratio. The
// target: ours within 1.2 times cp's time. CopyFile flushes its copy to disk
// before it returns and cp does not, so cp followed by "sync <file>" is
// shown too. Between runs the targets are deleted and the disk flushed, so
// no run pays for the write-back of another.
//
//   bench_file_copy [folder on the disk to test] [size in MB] [runs]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

#include "platform/FileIo.h"
#include "platform/FileOps.h"

using namespace tamarind;

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool Run(const QString& program, const QStringList& args) {
    return QProcess::execute(program, args) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args[1] : QStringLiteral(".");
    const long long megabytes = args.size() > 2 ? args[2].toLongLong() : 1024;
    const int runs = args.size() > 3 ? args[3].toInt() : 5;

    const QString source = folder + QStringLiteral("/bench-copy-source.bin");
    const QString ours = folder + QStringLiteral("/bench-copy-ours.bin");
    const QString theirs = folder + QStringLiteral("/bench-copy-cp.bin");
    std::printf("writing a %lld MB file in %s\n", megabytes, qPrintable(folder));
    {
        QByteArray block(1 << 20, Qt::Uninitialized);
        for (int i = 0; i < block.size(); ++i) block[i] = char(i * 131 + (i >> 9));
        FILE* f = std::fopen(EncodePath(source).constData(), "wb");
        if (!f) return 1;
        for (long long i = 0; i < megabytes; ++i) {
            block[0] = char(i);
            if (std::fwrite(block.constData(), 1, size_t(block.size()), f) != size_t(block.size())) return 1;
        }
        std::fclose(f);
        ::sync();
    }

    std::vector<double> oursMs, cpMs, cpSyncMs;
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        const FileOpResult r = CopyFile(source, ours, Replace::No);
        oursMs.push_back(timer.nsecsElapsed() / 1e6);
        if (!r.ok()) {
            std::printf("CopyFile failed: %s\n", qPrintable(r.text));
            return 1;
        }
        DeleteFile(ours);
        ::sync();

        timer.start();
        if (!Run(QStringLiteral("cp"), {source, theirs})) return 1;
        cpMs.push_back(timer.nsecsElapsed() / 1e6);
        DeleteFile(theirs);
        ::sync();

        timer.start();
        if (!Run(QStringLiteral("cp"), {source, theirs}) || !Run(QStringLiteral("sync"), {theirs}))
            return 1;
        cpSyncMs.push_back(timer.nsecsElapsed() / 1e6);
        DeleteFile(theirs);
        ::sync();
        std::printf("run %d: CopyFile %.0f ms, cp %.0f ms, cp + sync %.0f ms\n", run + 1,
                    oursMs.back(), cpMs.back(), cpSyncMs.back());
    }
    DeleteFile(source);
    const double o = Median(oursMs), c = Median(cpMs), cs = Median(cpSyncMs);
    std::printf("median of %d runs: CopyFile %.0f ms, cp %.0f ms (ratio %.2f), cp + sync %.0f ms (ratio %.2f)\n",
                runs, o, c, o / c, cs, o / cs);
    const double bo = *std::min_element(oursMs.begin(), oursMs.end());
    const double bc = *std::min_element(cpMs.begin(), cpMs.end());
    const double bcs = *std::min_element(cpSyncMs.begin(), cpSyncMs.end());
    std::printf("best of %d runs:   CopyFile %.0f ms, cp %.0f ms (ratio %.2f), cp + sync %.0f ms (ratio %.2f)\n",
                runs, bo, bc, bo / bc, bcs, bo / bcs);
    std::printf("target: CopyFile within 1.2 x cp\n");
    return 0;
}
