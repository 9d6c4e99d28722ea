// The PDF printer of a machine without printers: its measurements and the
// files it writes, which never replace a file that is already there.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include "platform/Errors.h"
#include "platform/SystemPrinter.h"

using namespace tamarind;

TEST(PdfPrinter, MeasuresTheLocalePaperAt600DpiWithoutMargins) {
    // A4 is 595 x 842 points in a PDF file, Letter 612 x 792.
    QTemporaryDir dir;
    SystemPrinter printer(SystemPrinter::Choice::Pdf, dir.path());
    ASSERT_TRUE(printer.WritesPdf());
    const std::optional<PrinterMetrics> m = printer.Measure();
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->deviceName, QStringLiteral("PDF"));
    EXPECT_EQ(m->dpiX, 600);
    EXPECT_EQ(m->dpiY, 600);
    EXPECT_EQ(m->scalePercent, 100);
    const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
    EXPECT_EQ(m->paperWidthDots, letter ? 5100 : 4958);
    EXPECT_EQ(m->paperLengthDots, letter ? 6600 : 7017);
    EXPECT_EQ(m->printableWidthDots, m->paperWidthDots);
    EXPECT_EQ(m->printableLengthDots, m->paperLengthDots);
    EXPECT_EQ(m->offsetX, 0);
    EXPECT_EQ(m->offsetY, 0);
}

TEST(PdfPrinter, WritesANewFileNamedAfterTheTime) {
    EXPECT_EQ(PdfFileNameFor(QDateTime(QDate(2026, 12, 8), QTime(3, 4, 5)), 1),
              QStringLiteral("2026-12-08_03-04-05.pdf"));
    EXPECT_EQ(PdfFileNameFor(QDateTime(QDate(2026, 12, 8), QTime(13, 4, 5)), 3),
              QStringLiteral("2026-12-08_13-04-05_3.pdf"));

    QTemporaryDir dir;
    // Files already there under the names of this second and the next few
    // keep their contents; the page goes to a name of its own.
    const QDateTime now = QDateTime::currentDateTime();
    QStringList taken;
    for (int s = 0; s < 3; ++s) {
        const QString path = dir.filePath(PdfFileNameFor(now.addSecs(s), 1));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        taken << path;
    }
    SystemPrinter printer(SystemPrinter::Choice::Pdf, dir.path());
    const PrintOutcome outcome = printer.PrintPage(QString(), [](QPainter& p) {
        p.fillRect(QRect(0, 0, 600, 600), Qt::black);
    });
    ASSERT_FALSE(outcome.pdfFile.isEmpty());
    EXPECT_FALSE(taken.contains(outcome.pdfFile));
    EXPECT_EQ(QFileInfo(outcome.pdfFile).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    QFile pdf(outcome.pdfFile);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    // Open to others as any new document is (the files above), not private.
    EXPECT_EQ(pdf.permissions(), QFile::permissions(taken[0]));
    for (const QString& path : taken) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("keep me"));
    }
    // Nothing else is left behind: the three old files and the new one.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    // The printer is ready for the next page.
    EXPECT_TRUE(printer.qprinter()->outputFileName().isEmpty());
}

TEST(PdfPrinter, FailedDrawingEndsTheJobAndLeavesNoFile) {
    QTemporaryDir dir;
    SystemPrinter printer(SystemPrinter::Choice::Pdf, dir.path());
    EXPECT_THROW(printer.PrintPage(QString(),
                                   [](QPainter&) { throw TamarindError(QStringLiteral("x")); }),
                 TamarindError);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    // A missing folder is an error, not a file somewhere else.
    SystemPrinter nowhere(SystemPrinter::Choice::Pdf, dir.filePath(QStringLiteral("missing")));
    EXPECT_THROW(nowhere.PrintPage(QString(), [](QPainter&) {}), TamarindError);
}
