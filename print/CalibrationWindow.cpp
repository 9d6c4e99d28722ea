#include "print/CalibrationWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Fonts.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"

namespace tamarind {

namespace {

QString Mm(double value) { return QLocale().toString(value, 'f', 1); }

// A measurement as typed: the user's decimal point or a plain dot.
std::optional<double> ParseMm(const QString& text) {
    bool ok = false;
    double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok) value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !(value > 0)) return std::nullopt;
    return value;
}

}  // namespace

CalibrationWindow::CalibrationWindow(QWidget* parent, std::function<void()> changed)
    : QWidget(parent, Qt::Window), changed_(std::move(changed)) {
    setObjectName(QStringLiteral("CalibrationWindow"));
    setWindowTitle(QStringLiteral("プリンターの較正"));
    setFont(UiFont(kGothic, 12));
    Label1 = MakeLabel(this, QString(), QString(), {10, 8, 380, 20});
    const char* captions[] = {"① 用紙の左端から十字 A まで", "② 用紙の上端から十字 A まで",
                              "③ 十字 A から十字 B まで", "④ 十字 A から十字 C まで"};
    QLineEdit** fields[] = {&Edit1, &Edit2, &Edit3, &Edit4};
    for (int i = 0; i < 4; ++i) {
        MakeLabel(this, QString(), QString::fromUtf8(captions[i]), {10, 38 + 28 * i, 230, 22});
        QLineEdit* field =
            MakeBox(this, QStringLiteral("Edit%1").arg(i + 1), {250, 36 + 28 * i, 80, 22});
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        *fields[i] = field;
        MakeLabel(this, QString(), QStringLiteral("mm"), {336, 38 + 28 * i, 40, 22});
    }
    Button1 = MakeButton(this, QString(), QStringLiteral("保存"), {10, 156, 110, 28},
                         [this] { Button1Click(); });
    Button2 = MakeButton(this, QString(), QStringLiteral("較正値を消す"), {128, 156, 130, 28},
                         [this] { Button2Click(); });
    Button3 = MakeButton(this, QString(), QStringLiteral("閉じる"), {266, 156, 110, 28},
                         [this] { Button3Click(); });
    setFixedSize(390, 194);
    CloseLikeBackButton(this, [this] { Button3Click(); });
}

void CalibrationWindow::Open(const PrinterMetrics& printer, const CalibrationSheet& sheet) {
    printer_ = printer;
    sheet_ = sheet;
    Label1->setText(QStringLiteral("プリンター: ") + printer.deviceName);
    const CalibrationMeasurements nominal = NominalMeasurements(sheet);
    Edit1->setText(Mm(nominal.leftMm));
    Edit2->setText(Mm(nominal.topMm));
    Edit3->setText(Mm(nominal.acrossMm));
    Edit4->setText(Mm(nominal.downMm));
    ShowInFront(this);
}

void CalibrationWindow::Button1Click() {
    const std::optional<double> values[] = {ParseMm(Edit1->text()), ParseMm(Edit2->text()),
                                            ParseMm(Edit3->text()), ParseMm(Edit4->text())};
    for (const auto& v : values)
        if (!v) {
            Dialogs().Message(QStringLiteral("測った長さを mm の数で入れてください。"));
            return;
        }
    const std::optional<PrinterCorrection> correction =
        CorrectionFrom(sheet_, {*values[0], *values[1], *values[2], *values[3]});
    if (!correction) {
        Dialogs().Message(QStringLiteral("測った値が大きく外れています。較正シートを測り直してください。"));
        return;
    }
    SavePrinterCorrection(printer_.deviceName, *correction);
    hide();
    if (changed_) changed_();
}

void CalibrationWindow::Button2Click() {
    ClearPrinterCorrection(printer_.deviceName);
    hide();
    if (changed_) changed_();
}

void CalibrationWindow::Button3Click() { hide(); }

}  // namespace tamarind
