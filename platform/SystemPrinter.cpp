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
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cups/cups.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/FileOps.h"
#include "platform/OpenFile.h"
#include "platform/SafeWrite.h"

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

[[noreturn]] void FailFile(const QString& text, const QString& path, int error) {
    throw TamarindError(text.arg(path, SystemErrorText(error)));
}

void SyncFile(const QString& path) {
    const FileHandle file = OpenRegularFile(path);
    if (::fsync(file.get()) != 0)
        FailFile(QStringLiteral("ファイル %1 を書き込めません (%2)"), path, errno);
}

// Millimetres in one unit of a page size's own definition.
double MmPerUnit(QPageSize::Unit unit) {
    switch (unit) {
        case QPageSize::Millimeter: return 1.0;
        case QPageSize::Point: return 25.4 / 72.0;
        case QPageSize::Inch: return 25.4;
        case QPageSize::Pica: return 25.4 / 6.0;
        case QPageSize::Didot: return 0.375;
        case QPageSize::Cicero: return 4.5;
    }
    return 1.0;
}

int MmToDots(double mm, int dpi) { return qRound(mm * dpi / 25.4); }

// The file Qt writes a PDF page into before it gets its final name: hidden,
// beside the final name (so the rename stays on one file system), created
// like any new document (0666 less the umask, which the kernel applies).
class PartFile {
public:
    explicit PartFile(const QString& folder) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString name = QStringLiteral(".tamarind-%1.part")
                                     .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
            path_ = QDir(folder).filePath(name);
            const int fd = ::open(EncodePath(path_).constData(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
                return;
            }
            if (errno != EEXIST) break;
        }
        const int error = errno;
        path_.clear();
        FailFile(QStringLiteral("フォルダー %1 に PDF ファイルを作れません (%2)"), folder, error);
    }
    ~PartFile() {
        if (!path_.isEmpty()) ::unlink(EncodePath(path_).constData());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const QString& path() const { return path_; }
    // The file now has its final name; nothing to remove.
    void Placed() { path_.clear(); }

private:
    QString path_;
};

// Gives the finished part file the name `target` unless a file of that name
// exists: no check-then-rename window. Returns errno, 0 when done.
int PlaceWithoutReplacing(const QString& part, const QString& target) {
    const QByteArray from = EncodePath(part);
    const QByteArray to = EncodePath(target);
    int result = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the no-replace rename: a hard link refuses
        // an existing name just the same.
        result = ::link(from.constData(), to.constData());
        if (result == 0) ::unlink(from.constData());
    }
    return result == 0 ? 0 : errno;
}

// The user's words for a job the spooler did not take.
QString RefusedJobText(const QString& printer) {
    const ipp_status_t status = cupsLastError();
    QString reason;
    switch (status) {
        case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
            reason = QStringLiteral("プリンターは印刷ジョブの受け付けを止めています");
            break;
        case IPP_STATUS_ERROR_NOT_FOUND:
            reason = QStringLiteral("プリンターが見つかりません");
            break;
        case IPP_STATUS_ERROR_FORBIDDEN:
        case IPP_STATUS_ERROR_NOT_AUTHORIZED:
        case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
            reason = QStringLiteral("このプリンターへの印刷は許可されていません");
            break;
        case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
            reason = QStringLiteral("印刷システムに接続できません");
            break;
        default:
            reason = QStringLiteral("印刷システムのエラー %1").arg(QString::fromUtf8(ippErrorString(status)));
            break;
    }
    return QStringLiteral("プリンター %1 は印刷ジョブを受け付けませんでした。\n%2。").arg(printer, reason);
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

QString SystemPrinter::PdfFolder() const {
    return pdfFolder_.isEmpty() ? DefaultPdfFolder() : pdfFolder_;
}

QString SystemPrinter::NewPdfPath() const {
    return QDir(PdfFolder()).filePath(PdfFileNameFor(QDateTime::currentDateTime(), 1));
}

void SystemPrinter::MakePdfPrinter() {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // The PDF printer always holds a file name ending in ".pdf": Qt turns a
    // printer without one into the system's printer as soon as there is one.
    // The name is only what the setup dialog offers; each page still goes to
    // a new file unless the user names another.
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(NewPdfPath());
    printer_->setResolution(600);
    printer_->setPageLayout(QPageLayout(LocalePaper(), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                        QPageLayout::Millimeter, QMarginsF(0, 0, 0, 0)));
    printer_->setFullPage(false);
}

bool SystemPrinter::WritesPdf() const {
    return printer_->outputFormat() == QPrinter::PdfFormat;
}

// Qt measures every sheet in whole points (A4 becomes 209.9 x 297.0 mm, and
// 4958 x 7017 dots at 600 dpi). The PDF printer's pages are what their
// definition says, so they are measured from it: A4 is 210.0 x 297.0 mm.
PrinterMetrics SystemPrinter::PdfMetrics() const {
    PrinterMetrics m;
    m.deviceName = kPdfPrinterName;
    m.writesPdf = true;
    m.dpiX = printer_->logicalDpiX();
    m.dpiY = printer_->logicalDpiY();
    const QPageLayout layout = printer_->pageLayout();
    const QPageSize page = layout.pageSize();
    QSizeF mm = page.definitionSize() * MmPerUnit(page.definitionUnits());
    if (layout.orientation() == QPageLayout::Landscape) mm.transpose();
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    m.paperWidthDots = MmToDots(mm.width(), m.dpiX);
    m.paperLengthDots = MmToDots(mm.height(), m.dpiY);
    m.offsetX = MmToDots(margins.left(), m.dpiX);
    m.offsetY = MmToDots(margins.top(), m.dpiY);
    m.printableWidthDots = MmToDots(mm.width() - margins.left() - margins.right(), m.dpiX);
    m.printableLengthDots = MmToDots(mm.height() - margins.top() - margins.bottom(), m.dpiY);
    return m;
}

std::optional<PrinterMetrics> SystemPrinter::Measure() {
    if (!printer_ || !printer_->isValid()) return std::nullopt;
    PrinterMetrics m;
    if (WritesPdf()) {
        m = PdfMetrics();
    } else {
        m.deviceName = printer_->printerName();
        m.dpiX = printer_->logicalDpiX();
        m.dpiY = printer_->logicalDpiY();
        m.scalePercent = 100;  // CUPS drivers have no scale setting
        // The queue's own sheet, as CUPS describes it in points.
        const QRectF paper = printer_->paperRect(QPrinter::DevicePixel);
        const QRectF page = printer_->pageRect(QPrinter::DevicePixel);
        m.paperWidthDots = qRound(paper.width());
        m.paperLengthDots = qRound(paper.height());
        m.printableWidthDots = qRound(page.width());
        m.printableLengthDots = qRound(page.height());
        m.offsetX = qRound(page.left() - paper.left());
        m.offsetY = qRound(page.top() - paper.top());
    }
    if (!m.IsUsable()) return std::nullopt;
    return m;
}

bool SystemPrinter::Setup() {
    // The PDF printer offers the file the next page would go to; Qt's own
    // proposal (print.pdf in the home folder) would quietly become the one
    // file every later page replaces.
    QString offered;
    if (WritesPdf()) {
        offered = chosenFile_.isEmpty() ? NewPdfPath() : chosenFile_;
        printer_->setOutputFileName(offered);
    }
    const bool confirmed = Dialogs().PrinterSetup(printer_.get());
    if (!WritesPdf()) {
        chosenFile_.clear();
        return confirmed;
    }
    const QString named = printer_->outputFileName();
    if (named.isEmpty()) {
        chosenFile_.clear();
        printer_->setOutputFileName(NewPdfPath());
    } else if (named != offered) {
        chosenFile_ = QFileInfo(named).absoluteFilePath();
    }
    return confirmed;
}

bool SystemPrinter::ConfirmPrint() {
    replaceAgreed_ = false;
    if (!WritesPdf() || chosenFile_.isEmpty() || !PathExists(chosenFile_)) return true;
    replaceAgreed_ = Dialogs().Ask(QStringLiteral("確認"),
                                   chosenFile_ + QStringLiteral("　はすでに存在しています。上書きしますか？。"),
                                   BoxIcon::Information, BoxButtons::YesNo) == BoxAnswer::Yes;
    return replaceAgreed_;
}

// One page: the painter's origin is the printable area's top-left corner as
// Measure() gave it.
void SystemPrinter::PaintPage(const std::function<void(QPainter&)>& draw) {
    QPoint origin;
    if (WritesPdf()) {
        // Qt places the origin at its point-rounded margin; move it to the
        // exact one.
        const PrinterMetrics m = PdfMetrics();
        origin = QPoint(m.offsetX, m.offsetY) -
                 printer_->pageRect(QPrinter::DevicePixel).topLeft().toPoint();
    }
    QPainter painter;
    if (!painter.begin(printer_.get())) throw TamarindError(QStringLiteral("印刷を開始できません"));
    try {
        painter.translate(origin);
        draw(painter);
    } catch (...) {
        painter.end();
        throw;
    }
    if (!painter.end()) throw TamarindError(QStringLiteral("印刷を終了できません"));
}

PrintOutcome SystemPrinter::PrintPage(const QString& title,
                                      const std::function<void(QPainter&)>& draw) {
    printer_->setDocName(title);
    if (WritesPdf()) return PrintToPdf(draw);
    // Qt hands the page to CUPS without looking at the answer; the answer
    // is still libcups' last error on this thread.
    PaintPage(draw);
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
        throw TamarindError(RefusedJobText(printer_->printerName()));
    return {};
}

PrintOutcome SystemPrinter::PrintToPdf(const std::function<void(QPainter&)>& draw) {
    const bool replace = replaceAgreed_;
    replaceAgreed_ = false;  // one agreement, one page
    const QString target = chosenFile_;
    const QString folder = target.isEmpty() ? PdfFolder() : QFileInfo(target).absolutePath();

    // Qt writes the page beside the final name; the name it shows in the
    // setup dialog comes back afterwards.
    PartFile part(folder);
    const QString shown = printer_->outputFileName();
    printer_->setOutputFileName(part.path());
    struct Restore {
        QPrinter* printer;
        QString name;
        ~Restore() { printer->setOutputFileName(name); }
    } restore{printer_.get(), shown};
    PaintPage(draw);

    PrintOutcome outcome;
    if (!target.isEmpty() && replace) {
        // The user agreed to replace the file: written beside it and renamed
        // over it, keeping its permissions, as every replaced file is.
        WriteFileSafely(target, ReadFileBytes(part.path()));
        outcome.pdfFile = target;
        return outcome;
    }
    SyncFile(part.path());
    if (!target.isEmpty()) {
        const int error = PlaceWithoutReplacing(part.path(), target);
        if (error != 0)
            FailFile(QStringLiteral("ファイル %1 を作れません (%2)"), target, error);
        part.Placed();
        outcome.pdfFile = target;
        return outcome;
    }
    const QDateTime now = QDateTime::currentDateTime();
    for (int attempt = 1;; ++attempt) {
        const QString name = QDir(folder).filePath(PdfFileNameFor(now, attempt));
        const int error = PlaceWithoutReplacing(part.path(), name);
        if (error == 0) {
            part.Placed();
            outcome.pdfFile = name;
            return outcome;
        }
        if (error != EEXIST || attempt >= 1000)
            FailFile(QStringLiteral("ファイル %1 を作れません (%2)"), name, error);
    }
}

}  // namespace tamarind
