// A folder of 1,000 camera JPEGs (by default), renamed by the batch run as
// the batch window does it, journal included:
//   - the plan of a rename of every file, against the 100 ms it may take;
//   - the run renaming every file in reverse order to the names the files
//     already carry (every file through a temporary name), against the plain
//     run renaming them to free names, file by file; the first may take at
//     most 1.3 times the second;
//   - undo of a 1,000-file rename, against the 2 s it may take;
//   - bare rename(2) calls for every file, as the floor.
// All figures come from the same run, medians of several.
//
//   bench_batch_plan [files] [runs]
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <vector>

#include "BenchSupport.h"
#include "batch/BatchRun.h"
#include "batch/Journal.h"
#include "batch/RunPlan.h"
#include "batch/Undo.h"
#include "platform/FileIo.h"

using namespace tamarind;
using namespace tamarind::bench;

namespace {

QString Name(const QString& prefix, int k) { return prefix + QStringLiteral("%1.jpg").arg(k, 4, 10, QChar(u'0')); }

// A rename of every file of `folder` named `from`0000... to `to`0000...;
// `reversed` numbers them backwards (the last file gets the first name).
BatchRun Renames(const QString& folder, int files, const QString& from, const QString& to, bool reversed) {
    BatchRun run;
    run.mode = 1;
    run.sourceFolder = folder + u'/';
    for (int k = 0; k < files; ++k) run.items.push_back({Name(from, k), Name(to, reversed ? files - 1 - k : k)});
    return run;
}

// The run as the batch window makes it: journal first, then the files.
double TimedRun(const BatchRun& run) {
    QElapsedTimer t;
    t.start();
    JournalWriter journal;
    if (!journal.Begin(run)) std::printf("journal cannot be written\n");
    QString target;
    RunBatch(run, target, &journal);
    journal.End();
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir home, dir;
    qputenv("XDG_STATE_HOME", EncodePath(home.path() + "/state"));
    qputenv("XDG_DATA_HOME", EncodePath(home.path() + "/data"));
    const QString folder = dir.path();
    const QByteArray jpeg = CameraLikeJpeg(CameraLikePicture(640, 480));
    for (int k = 0; k < files; ++k) WriteFileBytes(folder + u'/' + Name(QStringLiteral("IMG_"), k), jpeg);
    std::printf("%d files of %lld bytes; load %s\n", files, qlonglong(jpeg.size()), qPrintable(LoadAverage()));

    std::vector<double> plan, plain, chained, undo, bare;
    const BatchRun reverse = Renames(folder, files, QStringLiteral("IMG_"), QStringLiteral("IMG_"), true);
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        const RunPlan made = MakePlan(reverse);
        plan.push_back(t.nsecsElapsed() / 1e6);
        if (made.Count(kPlanChained) < files - 1) std::printf("plan missed chained rows\n");

        // Reversing twice gives every file its name back.
        chained.push_back(TimedRun(reverse));
        TimedRun(reverse);

        // Plain: IMG_ -> B_ file by file; undo takes it back to IMG_.
        plain.push_back(TimedRun(Renames(folder, files, QStringLiteral("IMG_"), QStringLiteral("B_"), false)));
        t.restart();
        Journal journal;
        ReadJournal(LatestJournal(), journal);
        const UndoResult result = UndoRun(journal);
        MarkUndone(journal.path);
        undo.push_back(t.nsecsElapsed() / 1e6);
        if (result.restored != files || !result.leftAlone.isEmpty() || !result.failure.isEmpty())
            std::printf("undo restored %d of %d\n", result.restored, files);

        // The floor: rename(2) of every file, nothing flushed, nothing checked.
        t.restart();
        for (int k = 0; k < files; ++k)
            ::rename(EncodePath(folder + u'/' + Name(QStringLiteral("IMG_"), k)).constData(),
                     EncodePath(folder + u'/' + Name(QStringLiteral("C_"), k)).constData());
        bare.push_back(t.nsecsElapsed() / 1e6);
        for (int k = 0; k < files; ++k)
            ::rename(EncodePath(folder + u'/' + Name(QStringLiteral("C_"), k)).constData(),
                     EncodePath(folder + u'/' + Name(QStringLiteral("IMG_"), k)).constData());
    }
    if (QDir(folder).entryList(QDir::Files).size() != files) std::printf("files lost!\n");
    const double ratio = Median(chained) / Median(plain);
    std::printf("plan of the reversed rename:           %8.1f ms   (target <= 100 ms)\n", Median(plan));
    std::printf("bare rename(2) of every file:          %8.1f ms\n", Median(bare));
    std::printf("plain run (free names, file by file):  %8.1f ms   (each rename flushes its folder)\n",
                Median(plain));
    std::printf("run through temporary names:           %8.1f ms   = %.2f x plain (target <= 1.30)\n",
                Median(chained), ratio);
    std::printf("undo of the %d-file rename:          %8.1f ms   (target <= 2000 ms)\n", files, Median(undo));
    std::printf("medians of %d runs\n", runs);
    return 0;
}
