// Copies a 1 GB file with CopyFile and with cp on the same disk, several
// runs each taken in turn, and prints the medians and their ratio. The
// target: a copy to a new name within 1.2 times cp's time. A copy that
// replaces a file flushes it to disk before renaming it over the old one, so
// it is shown next to cp followed by "sync <file>". Between runs the targets
// are deleted and the disk flushed, so no run pays for the write-back of
// another.
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

    std::vector<double> oursMs, cpMs, replacingMs, cpSyncMs;
    QElapsedTimer timer;
    auto settle = [](const QString& path) {
        DeleteFile(path);
        ::sync();
    };
    for (int run = 0; run < runs; ++run) {
        timer.start();
        FileOpResult r = CopyFile(source, ours, Replace::No);
        oursMs.push_back(timer.nsecsElapsed() / 1e6);
        if (!r.ok()) {
            std::printf("CopyFile failed: %s\n", qPrintable(r.text));
            return 1;
        }
        settle(ours);

        timer.start();
        if (!Run(QStringLiteral("cp"), {source, theirs})) return 1;
        cpMs.push_back(timer.nsecsElapsed() / 1e6);
        settle(theirs);

        WriteFileBytes(ours, "old");
        ::sync();
        timer.start();
        r = CopyFile(source, ours, Replace::Yes);
        replacingMs.push_back(timer.nsecsElapsed() / 1e6);
        if (!r.ok()) {
            std::printf("CopyFile failed: %s\n", qPrintable(r.text));
            return 1;
        }
        settle(ours);

        timer.start();
        if (!Run(QStringLiteral("cp"), {source, theirs}) || !Run(QStringLiteral("sync"), {theirs}))
            return 1;
        cpSyncMs.push_back(timer.nsecsElapsed() / 1e6);
        settle(theirs);
        std::printf("run %d: new copy %.0f ms, cp %.0f ms; replacing copy %.0f ms, cp + sync %.0f ms\n",
                    run + 1, oursMs.back(), cpMs.back(), replacingMs.back(), cpSyncMs.back());
    }
    DeleteFile(source);
    const double o = Median(oursMs), c = Median(cpMs), ro = Median(replacingMs), cs = Median(cpSyncMs);
    std::printf("median of %d runs: new copy %.0f ms, cp %.0f ms: ratio %.2f (target <= 1.2): %s\n",
                runs, o, c, o / c, o / c <= 1.2 ? "met" : "NOT met");
    std::printf("median of %d runs: replacing copy %.0f ms, cp + sync %.0f ms: ratio %.2f\n", runs,
                ro, cs, ro / cs);
    return 0;
}
