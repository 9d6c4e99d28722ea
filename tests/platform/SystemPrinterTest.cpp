// The PDF printer of a machine without printers: its measurements and the
// files it writes, which never replace a file that is already there.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QApplication>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/stat.h>

#include "platform/Errors.h"
#include "platform/QtDialogs.h"
#include "platform/SystemPrinter.h"

using namespace tamarind;

TEST(PdfPrinter, MeasuresTheLocalePaperAt600DpiWithoutMargins) {
    // The exact sheet, not Qt's whole points: A4 is 210 x 297 mm (4961 x
    // 7016 dots, where points would give 4958 x 7017), Letter 8.5 x 11 in.
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
    EXPECT_TRUE(m->writesPdf);
    EXPECT_EQ(m->paperWidthDots, letter ? 5100 : 4961);
    EXPECT_EQ(m->paperLengthDots, letter ? 6600 : 7016);
    EXPECT_EQ(m->printableWidthDots, m->paperWidthDots);
    EXPECT_EQ(m->printableLengthDots, m->paperLengthDots);
    EXPECT_EQ(m->offsetX, 0);
    EXPECT_EQ(m->offsetY, 0);
    // Turned sideways, the same sheet.
    printer.qprinter()->setPageOrientation(QPageLayout::Landscape);
    const std::optional<PrinterMetrics> turned = printer.Measure();
    ASSERT_TRUE(turned.has_value());
    EXPECT_EQ(turned->paperWidthDots, m->paperLengthDots);
    EXPECT_EQ(turned->printableLengthDots, m->paperWidthDots);
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
    for (const QString& path : taken) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("keep me"));
    }
    // Nothing else is left behind: the three old files and the new one.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
    // The printer is ready for the next page, still the PDF printer.
    EXPECT_TRUE(printer.WritesPdf());
    EXPECT_TRUE(printer.chosenPdfFile().isEmpty());
}

TEST(PdfPrinter, NewFilesGetTheUsualPermissions) {
    // Like any new document: 0666 less the umask, not the 0600 of a
    // temporary file.
    QTemporaryDir dir;
    SystemPrinter printer(SystemPrinter::Choice::Pdf, dir.path());
    for (const mode_t mask : {mode_t(022), mode_t(007)}) {
        const mode_t old = ::umask(mask);
        const PrintOutcome out = printer.PrintPage(QString(), [](QPainter&) {});
        ::umask(old);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(out.pdfFile).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
    }
}

TEST(PdfPrinter, SetupDialogOffersANewFileAndEachPageStaysANewFile) {
    // Qt's dialog, accepted as it comes up: it shows the PDF printer's next
    // file, not a print.pdf that every later page would replace.
    QTemporaryDir dir;
    SystemPrinter printer(SystemPrinter::Choice::Pdf, dir.path());
    QtDialogs dialogs;
    DialogService* previous = SetDialogs(&dialogs);
    QString offered;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        offered = dialog->printer()->outputFileName();
        dialog->accept();
    });
    EXPECT_TRUE(printer.Setup());
    SetDialogs(previous);
    EXPECT_EQ(QFileInfo(offered).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    EXPECT_TRUE(offered.endsWith(QStringLiteral(".pdf")));
    EXPECT_TRUE(printer.WritesPdf());
    EXPECT_TRUE(printer.chosenPdfFile().isEmpty());
    EXPECT_TRUE(printer.ConfirmPrint());
    const QString first = printer.PrintPage(QString(), [](QPainter&) {}).pdfFile;
    const QString second = printer.PrintPage(QString(), [](QPainter&) {}).pdfFile;
    EXPECT_NE(first, second);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
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
