#include "ScriptedPrinter.h"

#include <QPainter>

#include "platform/Dialogs.h"

namespace tamarind::test {

ScriptedPrinter::ScriptedPrinter(const PrinterMetrics& metrics)
    : previous_(SetPrinter(this)), metrics_(metrics) {}

ScriptedPrinter::~ScriptedPrinter() { SetPrinter(previous_); }

std::optional<PrinterMetrics> ScriptedPrinter::Measure() {
    ++measured_;
    return metrics_;
}

bool ScriptedPrinter::Setup() {
    ++setups_;
    const bool confirmed = Dialogs().PrinterSetup(nullptr);
    if (confirmed && !next_.empty()) {
        metrics_ = next_.front();
        next_.pop_front();
    }
    return confirmed;
}

PrintOutcome ScriptedPrinter::PrintPage(const QString& title,
                                        const std::function<void(QPainter&)>& draw) {
    if (!metrics_) throw std::runtime_error("no printer");
    const PrinterMetrics& m = *metrics_;
    QImage sheet(m.paperWidthDots, m.paperLengthDots, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    {
        QPainter painter(&sheet);
        painter.translate(m.offsetX, m.offsetY);
        painter.setClipRect(0, 0, m.printableWidthDots, m.printableLengthDots);
        draw(painter);
    }
    pages_.push_back(sheet);
    titles_.push_back(title);
    return {};
}

PrinterMetrics A4Printer600() {
    PrinterMetrics m;
    m.deviceName = QStringLiteral("Scripted A4");
    m.dpiX = m.dpiY = 600;
    m.paperWidthDots = 4960;
    m.paperLengthDots = 7016;
    m.printableWidthDots = 4760;
    m.printableLengthDots = 6816;
    m.offsetX = 100;
    m.offsetY = 100;
    return m;
}

}  // namespace tamarind::test
