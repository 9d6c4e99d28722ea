#include "platform/Printer.h"

#include "platform/Errors.h"

namespace tamarind {
namespace {

class NoPrinter final : public PrinterService {
public:
    std::optional<PrinterMetrics> Measure() override { return std::nullopt; }
    bool Setup() override { return false; }
    PrintOutcome PrintPage(const QString&, const std::function<void(QPainter&)>&) override {
        throw TamarindError(QStringLiteral("プリンターがありません"));
    }
};

NoPrinter gNone;
PrinterService* gPrinter = nullptr;

}  // namespace

PrinterService& Printer() { return gPrinter ? *gPrinter : gNone; }

PrinterService* SetPrinter(PrinterService* service) {
    PrinterService* previous = gPrinter;
    gPrinter = service;
    return previous;
}

}  // namespace tamarind
