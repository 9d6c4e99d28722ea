#include "platform/SystemPrinter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/FileOps.h"
#include "platform/OpenFile.h"

namespace tamarind {

namespace {

const QString kPdfPrinterName = QStringLiteral("PDF");

// A4 everywhere but where Letter is the custom (the US and the countries
// that measure like it).
QPageSize LocalePaper() {
    const QLocale locale = QLocale::system();
    if (locale.measurementSystem() == QLocale::ImperialUSSystem) return QPageSize(QPageSize::Letter);
    return QPageSize(QPageSize::A4);
}

void SyncFile(const QString& path) {
    const FileHandle file = OpenRegularFile(path);
    const int result = ::fsync(file.get());
    const int error = errno;
    if (result != 0)
        throw TamarindError(QStringLiteral("ファイル %1 を書き込めません (%2)")
                                .arg(path, SystemErrorText(error)));
}

}  // namespace

QString DefaultPdfFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

QString PdfFileNameFor(const QDateTime& when, int attempt) {
    QString name = when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    if (attempt > 1) name += u'_' + QString::number(attempt);
    return name + QStringLiteral(".pdf");
}

SystemPrinter::SystemPrinter(Choice choice, const QString& pdfFolder) : pdfFolder_(pdfFolder) {
    if (choice == Choice::Auto) {
        QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
            if (!all.isEmpty()) info = all.first();
        }
        if (!info.isNull()) {
            printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
            // Pictures print in colour unless the user chooses otherwise in
            // the setup dialog; queues without a driver description would
            // otherwise start in grey.
            printer_->setColorMode(QPrinter::Color);
            return;
        }
    }
    MakePdfPrinter();
}

SystemPrinter::~SystemPrinter() = default;

void SystemPrinter::MakePdfPrinter() {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setPrinterName(QString());
    printer_->setResolution(600);
    printer_->setPageLayout(QPageLayout(LocalePaper(), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                        QPageLayout::Millimeter, QMarginsF(0, 0, 0, 0)));
    printer_->setFullPage(false);
    printer_->setOutputFileName(QString());
}

bool SystemPrinter::WritesPdf() const {
    return printer_->outputFormat() == QPrinter::PdfFormat;
}

std::optional<PrinterMetrics> SystemPrinter::Measure() {
    if (!printer_ || !printer_->isValid()) return std::nullopt;
    PrinterMetrics m;
    m.deviceName = WritesPdf() && printer_->outputFileName().isEmpty() ? kPdfPrinterName
                                                                      : printer_->printerName();
    if (m.deviceName.isEmpty()) m.deviceName = kPdfPrinterName;
    m.dpiX = printer_->logicalDpiX();
    m.dpiY = printer_->logicalDpiY();
    m.scalePercent = 100;  // CUPS drivers have no scale setting
    // Sheets are measured in points; a dot more or less is what rounding gives.
    const QRectF paper = printer_->paperRect(QPrinter::DevicePixel);
    const QRectF page = printer_->pageRect(QPrinter::DevicePixel);
    m.paperWidthDots = qRound(paper.width());
    m.paperLengthDots = qRound(paper.height());
    m.printableWidthDots = qRound(page.width());
    m.printableLengthDots = qRound(page.height());
    m.offsetX = qRound(page.left() - paper.left());
    m.offsetY = qRound(page.top() - paper.top());
    if (!m.IsUsable()) return std::nullopt;
    return m;
}

bool SystemPrinter::Setup() { return Dialogs().PrinterSetup(printer_.get()); }

PrintOutcome SystemPrinter::PrintPage(const QString& title,
                                      const std::function<void(QPainter&)>& draw) {
    PrintOutcome outcome;
    printer_->setDocName(title);

    // A file the user named in the setup dialog is theirs to have written;
    // otherwise the PDF printer writes a new file beside the final name and
    // only then gives it that name, never over an existing file.
    const bool ownFile = WritesPdf() && printer_->outputFileName().isEmpty();
    std::unique_ptr<QTemporaryFile> part;
    QString folder;
    if (ownFile) {
        folder = pdfFolder_.isEmpty() ? DefaultPdfFolder() : pdfFolder_;
        part = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral(".tamarind-XXXXXX.part")));
        part->setAutoRemove(true);
        if (!part->open())
            throw TamarindError(QStringLiteral("フォルダー %1 に PDF ファイルを作れません").arg(folder));
        part->close();
        printer_->setOutputFileName(part->fileName());
    }
    struct ResetName {
        QPrinter* printer;
        bool active;
        ~ResetName() {
            if (active) printer->setOutputFileName(QString());
        }
    } resetName{printer_.get(), ownFile};

    QPainter painter;
    if (!painter.begin(printer_.get())) throw TamarindError(QStringLiteral("印刷を開始できません"));
    try {
        draw(painter);
    } catch (...) {
        painter.end();
        throw;
    }
    if (!painter.end()) throw TamarindError(QStringLiteral("印刷を終了できません"));

    if (ownFile) {
        // A new document like any other: 0666 less the umask (the temporary
        // file was made private).
        ::chmod(EncodePath(part->fileName()).constData(), NewFileMode());
        SyncFile(part->fileName());
        const QDateTime now = QDateTime::currentDateTime();
        for (int attempt = 1;; ++attempt) {
            const QString target = QDir(folder).filePath(PdfFileNameFor(now, attempt));
            const QByteArray from = EncodePath(part->fileName());
            const QByteArray to = EncodePath(target);
            int result = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(),
                                     RENAME_NOREPLACE);
            if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
                // A file system without the no-replace rename: a hard link
                // refuses an existing name just the same.
                result = ::link(from.constData(), to.constData());
                if (result == 0) ::unlink(from.constData());
            }
            if (result == 0) {
                part->setAutoRemove(false);
                outcome.pdfFile = target;
                break;
            }
            const int error = errno;
            if (error != EEXIST || attempt >= 1000)
                throw TamarindError(QStringLiteral("ファイル %1 を作れません (%2)")
                                        .arg(target, SystemErrorText(error)));
        }
    } else if (WritesPdf()) {
        outcome.pdfFile = printer_->outputFileName();
    }
    return outcome;
}

}  // namespace tamarind
