#pragma once
// The small window that takes what the user measured on a printed
// calibration sheet and stores the printer's correction.

#include <QWidget>
#include <functional>

#include "platform/Printer.h"
#include "print/Calibration.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tamarind {

class CalibrationWindow : public QWidget {
public:
    // `changed` runs after the stored correction changed.
    CalibrationWindow(QWidget* parent, std::function<void()> changed);

    // Shows the window for this printer and sheet, the fields holding what
    // a perfect printer would give.
    void Open(const PrinterMetrics& printer, const CalibrationSheet& sheet);

    void Button1Click();  // "保存"
    void Button2Click();  // "較正値を消す"
    void Button3Click();  // "閉じる"

    QLabel* Label1;  // the printer
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;  // the four measurements, mm
    QPushButton *Button1, *Button2, *Button3;

private:
    std::function<void()> changed_;
    PrinterMetrics printer_;
    CalibrationSheet sheet_;
};

}  // namespace tamarind
