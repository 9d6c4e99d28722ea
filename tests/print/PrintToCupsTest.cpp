// Printing through the real components to a CUPS queue. Run by
// private_cupsd.sh, which starts a scheduler of its own with a raw queue as
// the default printer: the job must reach the queue, and its document must
// render with the picture where the layout window placed it.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "PrintTestSupport.h"
#include "PrintedPage.h"
#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "platform/SystemPrinter.h"
#include "print/PrintJob.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

// True when the queue has no job waiting or printing.
// Runs a CUPS command line tool against the private scheduler.
void RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    ASSERT_TRUE(process.waitForFinished(10000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

bool QueueIdle() {
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-o")});
    return lpstat.waitForFinished(10000) && lpstat.exitCode() == 0 &&
           lpstat.readAllStandardOutput().trimmed().isEmpty();
}

QStringList SpooledDocuments(const QString& spool) {
    return QDir(spool).entryList({QStringLiteral("d*-001")}, QDir::Files, QDir::Name);
}

}  // namespace

TEST(PrintToCups, JobReachesTheDefaultQueueWithThePictureInPlace) {
    const QString spool = qEnvironmentVariable("TAMARIND_CUPS_SPOOL");
    ASSERT_FALSE(spool.isEmpty()) << "run through private_cupsd.sh";
    ASSERT_TRUE(SpooledDocuments(spool).isEmpty());

    ScriptedDialogs dialogs;
    SystemPrinter printer;  // the CUPS default
    ASSERT_FALSE(printer.WritesPdf());
    const std::optional<PrinterMetrics> measured = printer.Measure();
    ASSERT_TRUE(measured.has_value());
    EXPECT_EQ(measured->deviceName, QStringLiteral("TamarindTest"));
    PrinterService* previous = SetPrinter(&printer);
    Viewer = ViewerState{};
    Printing = PrintState{};
    CreateForms({});

    QTemporaryDir folder;
    PrintSlotPictureCentred(WriteQuartersBmp(folder.path(), 1200, 900));
    // A printer queue, not a file: nothing to say.
    EXPECT_TRUE(dialogs.messages().empty());
    const PrinterMetrics m = Printing.Printer;
    const EdgeRect d = DeviceRectFor(Printing.PlacementRect, m.dpiX, m.dpiY, m.scalePercent);
    DestroyForms();
    SetPrinter(previous);

    QElapsedTimer timer;
    timer.start();
    while ((SpooledDocuments(spool).isEmpty() || !QueueIdle()) && timer.elapsed() < 30000)
        QThread::msleep(200);
    const QStringList documents = SpooledDocuments(spool);
    ASSERT_EQ(documents.size(), 1) << "the queue received no job";
    EXPECT_TRUE(QueueIdle()) << "the job did not finish";
    const QString document = QDir(spool).filePath(documents[0]);
    QFile file(document);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.read(5) == "%PDF-");
    ExpectQuartersAt(document, m.dpiX,
                     QRect(m.offsetX + d.left, m.offsetY + d.top, d.width(), d.height()));
}

TEST(PrintToCups, AJobTheQueueRefusesIsReportedInJapanese) {
    const QString spool = qEnvironmentVariable("TAMARIND_CUPS_SPOOL");
    ASSERT_FALSE(spool.isEmpty()) << "run through private_cupsd.sh";
    const qsizetype before = SpooledDocuments(spool).size();
    RunTool(QStringLiteral("cupsreject"), {QStringLiteral("TamarindTest")});

    ScriptedDialogs dialogs;
    SystemPrinter printer;
    PrinterService* previous = SetPrinter(&printer);
    Viewer = ViewerState{};
    Printing = PrintState{};
    CreateForms({});
    QTemporaryDir folder;
    // The window stays open for another try.
    PrintSlotPictureCentred(WriteQuartersBmp(folder.path(), 120, 90), true);
    DestroyForms();
    SetPrinter(previous);
    RunTool(QStringLiteral("cupsaccept"), {QStringLiteral("TamarindTest")});

    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].icon, BoxIcon::Error);
    EXPECT_EQ(dialogs.messages()[0].toStdString(),
              QStringLiteral("プリンター TamarindTest は印刷ジョブを受け付けませんでした。\n"
                             "プリンターは印刷ジョブの受け付けを止めています。")
                  .toStdString());
    EXPECT_EQ(SpooledDocuments(spool).size(), before);
}
