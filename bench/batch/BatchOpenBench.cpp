// Opens the batch window on a folder of many files (10,000 by default), as
// "連番処理(&R)" does, and sorts its table by each column, next to the bare
// cost of the same work: listing the folder and reading each file's entry
// (statx) without any window, and std::sort of the same rows. The target:
// opening in well under 2 seconds, each sort well under 1 second.
//
//   bench_batch_open [files] [runs]
#include <sys/stat.h>
#include <fcntl.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/Application.h"
#include "app/Cviewer1.h"
#include "batch/FileTable.h"
#include "batch/Renname.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Folders.h"
#include "platform/Guard.h"
#include "shared/ViewerState.h"

using namespace tamarind;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir dir;
    const QString folder = dir.path();
    for (int k = 0; k < files; ++k) {
        // Mixed sizes so that the size sort has real work and some ties.
        const QString name = QStringLiteral("IMG_%1.jpg").arg((k * 7919) % files, 5, 10, QChar(u'0'));
        WriteFileBytes(folder + u'/' + name, QByteArray(k % 97, 'x'));
    }
    Viewer = ViewerState{};
    CreateForms({});
    RunGuarded([&] { Form1->ShowFolder(folder); });
    Form1->FilterComboBox1->setCurrentIndex(1);
    const QStringList names = Form1->FileListBox1->Names();
    std::printf("%d files listed\n", int(names.size()));

    std::vector<double> open, bare;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        const std::vector<FileRow> rows = GatherRows(folder, ListFiles(folder, QStringLiteral("*.jpg")));
        bare.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        RunGuarded([] { Form1->R1Click(); });
        QApplication::processEvents();
        open.push_back(t.nsecsElapsed() / 1e6);
        if (Form7->RowCount != files) std::printf("wrong row count %d\n", Form7->RowCount);
    }
    std::printf("open the batch window:            %8.1f ms (median of %d)\n", Median(open), runs);
    std::printf("  bare listing + entry reads:     %8.1f ms\n", Median(bare));

    struct Column {
        const char* name;
        SortColumn column;
    };
    for (const Column c : {Column{"name", SortColumn::Name}, Column{"size", SortColumn::Size},
                           Column{"created", SortColumn::Created},
                           Column{"updated", SortColumn::Updated}}) {
        std::vector<double> exchange, plain;
        for (int r = 0; r < runs; ++r) {
            std::vector<FileRow> rows = Form7->FileTable;
            QElapsedTimer t;
            t.start();
            SortRows(rows, c.column, r % 2 == 0);
            exchange.push_back(t.nsecsElapsed() / 1e6);
            std::vector<FileRow> copy = Form7->FileTable;
            t.restart();
            std::stable_sort(copy.begin(), copy.end(), [&](const FileRow& a, const FileRow& b) {
                switch (c.column) {
                    case SortColumn::Name: return a.Name.compare(b.Name, Qt::CaseInsensitive) < 0;
                    case SortColumn::Size: return a.Size < b.Size;
                    case SortColumn::Created: return a.Created < b.Created;
                    case SortColumn::Updated: return a.Updated < b.Updated;
                }
                return false;
            });
            plain.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("sort by %-8s exchange order: %8.1f ms   std::stable_sort: %8.1f ms\n", c.name,
                    Median(exchange), Median(plain));
    }
    DestroyForms();
    return 0;
}
