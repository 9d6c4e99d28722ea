#pragma once
// A printer of fixed measurements for tests: installs itself for its
// lifetime, answers the setup dialog from a script (switching to the next
// measurements when asked), and paints every page into an image of the
// whole sheet, white, with the painter's origin at the printable area's
// top-left corner and clipped to it as a real printer would.

#include <QImage>
#include <QString>
#include <deque>
#include <vector>

#include "platform/Printer.h"

namespace tamarind::test {

class ScriptedPrinter final : public PrinterService {
public:
    explicit ScriptedPrinter(const PrinterMetrics& metrics);
    ~ScriptedPrinter() override;

    // The measurements that the next setup dialog switches to.
    void SwitchOnSetup(const PrinterMetrics& metrics) { next_.push_back(metrics); }
    void SetMetrics(const std::optional<PrinterMetrics>& metrics) { metrics_ = metrics; }

    std::optional<PrinterMetrics> Measure() override;
    bool Setup() override;
    PrintOutcome PrintPage(const QString& title,
                           const std::function<void(QPainter&)>& draw) override;

    int measured() const { return measured_; }
    int setups() const { return setups_; }
    const std::vector<QImage>& pages() const { return pages_; }
    const std::vector<QString>& titles() const { return titles_; }

private:
    PrinterService* previous_;
    std::optional<PrinterMetrics> metrics_;
    std::deque<PrinterMetrics> next_;
    int measured_ = 0;
    int setups_ = 0;
    std::vector<QImage> pages_;
    std::vector<QString> titles_;
};

// A 600 dpi A4 sheet (4960 x 7016 dots) with a printable area 100 dots in
// from each edge.
PrinterMetrics A4Printer600();

}  // namespace tamarind::test
