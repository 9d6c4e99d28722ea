#include "print/Calibration.h"

#include <QFont>
#include <QPainter>
#include <QSettings>
#include <QUrl>
#include <cmath>

#include "platform/Errors.h"
#include "platform/Settings.h"

namespace tamarind {

namespace {

constexpr double kPreferredRulerMm = 100.0;
constexpr double kSmallestRulerMm = 50.0;
constexpr double kArmMm = 5.0;  // half a cross

double Mm(int dots, int dpi) { return dots * 25.4 / dpi; }

// The settings group of one printer. Printer names may hold characters
// that QSettings reads as group separators.
QString GroupFor(const QString& printer) {
    return QStringLiteral("PrinterCorrection/") +
           QString::fromLatin1(QUrl::toPercentEncoding(printer, QByteArray(" ()")));
}

// A correction no working printer needs: a scale off by more than 20 % or
// a shift of more than 20 mm.
bool Plausible(const PrinterCorrection& c) {
    const auto sane = [](double scale, double offset) {
        return scale >= 0.8 && scale <= 1.25 && std::abs(offset) <= 20.0;
    };
    return sane(c.scaleX, c.offsetXMm) && sane(c.scaleY, c.offsetYMm);
}

void Check(QSettings& settings) {
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw TamarindError(QStringLiteral("設定ファイル %1 に書き込めません").arg(settings.fileName()));
}

}  // namespace

std::optional<CalibrationSheet> CalibrationSheetFor(const PrinterMetrics& p) {
    if (!p.IsUsable()) return std::nullopt;
    const double left = Mm(p.offsetX, p.dpiX), top = Mm(p.offsetY, p.dpiY);
    const double right = left + Mm(p.printableWidthDots, p.dpiX);
    const double bottom = top + Mm(p.printableLengthDots, p.dpiY);
    CalibrationSheet sheet;
    // A whole number of millimetres, at least 20 and clear of the margins.
    sheet.crossMm = std::max(20.0, std::ceil(std::max(left, top) + kArmMm + 1.0));
    const double room = std::min(right, bottom) - sheet.crossMm - kArmMm - 1.0;
    sheet.rulerMm = std::min(kPreferredRulerMm, std::floor(room / 10.0) * 10.0);
    if (sheet.rulerMm < kSmallestRulerMm) return std::nullopt;
    return sheet;
}

void DrawCalibrationSheet(QPainter& painter, const PrinterMetrics& p, const CalibrationSheet& s) {
    const double left = Mm(p.offsetX, p.dpiX), top = Mm(p.offsetY, p.dpiY);
    // Millimetres from the paper's edges to the painter's dots.
    const auto at = [&](double x, double y) {
        return QPointF((x - left) * p.dpiX / 25.4, (y - top) * p.dpiY / 25.4);
    };
    const auto line = [&](double x1, double y1, double x2, double y2) {
        painter.drawLine(at(x1, y1), at(x2, y2));
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(Qt::black);
    pen.setWidthF(0.15 * p.dpiX / 25.4);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);

    const double a = s.crossMm, end = s.crossMm + s.rulerMm;
    for (const QPointF& c : {QPointF(a, a), QPointF(end, a), QPointF(a, end)}) {
        line(c.x() - kArmMm, c.y(), c.x() + kArmMm, c.y());
        line(c.x(), c.y() - kArmMm, c.x(), c.y() + kArmMm);
    }
    // The rulers run from A to B and from A to C, ticks every millimetre
    // on the inner side.
    line(a, a, end, a);
    line(a, a, a, end);
    const int ticks = int(std::lround(s.rulerMm));
    for (int i = 1; i < ticks; ++i) {
        const double length = i % 10 == 0 ? 4.0 : i % 5 == 0 ? 3.0 : 1.5;
        line(a + i, a, a + i, a + length);
        line(a, a + i, a + length, a + i);
    }

    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(int(std::lround(2.5 * p.dpiY / 25.4)));
    painter.setFont(font);
    for (int i = 10; i < ticks; i += 10) {
        painter.drawText(at(a + i - 1.5, a + 8.0), QString::number(i));
        painter.drawText(at(a + 5.0, a + i + 1.0), QString::number(i));
    }
    painter.drawText(at(a + 1.5, a - 1.5), QStringLiteral("A"));
    painter.drawText(at(end + 1.5, a - 1.5), QStringLiteral("B"));
    painter.drawText(at(a + 1.5, end + 4.0), QStringLiteral("C"));

    const QString mm = QString::number(s.crossMm, 'f', 0), ruler = QString::number(s.rulerMm, 'f', 0);
    const QString text =
        QStringLiteral("Tamarind 較正シート  %1\n\n"
                       "拡大・縮小せずに印刷したこの用紙で、次の四つを 0.1 mm まで測ってください。\n"
                       "① 用紙の左端から十字 A の中心まで (%2 mm のはず)\n"
                       "② 用紙の上端から十字 A の中心まで (%2 mm のはず)\n"
                       "③ 十字 A の中心から十字 B の中心まで (%3 mm のはず)\n"
                       "④ 十字 A の中心から十字 C の中心まで (%3 mm のはず)")
            .arg(p.deviceName, mm, ruler);
    const QPointF from = at(a + 12.0, a + 14.0);
    const QPointF to = at(left + Mm(p.printableWidthDots, p.dpiX) - 3.0, end - 3.0);
    painter.drawText(QRectF(from, to), Qt::TextWordWrap, text);
    painter.restore();
}

CalibrationMeasurements NominalMeasurements(const CalibrationSheet& s) {
    return {s.crossMm, s.crossMm, s.rulerMm, s.rulerMm};
}

std::optional<PrinterCorrection> CorrectionFrom(const CalibrationSheet& s,
                                                const CalibrationMeasurements& m) {
    if (!(m.acrossMm > 0) || !(m.downMm > 0) || !(s.rulerMm > 0)) return std::nullopt;
    const double ax = m.acrossMm / s.rulerMm, ay = m.downMm / s.rulerMm;
    PrinterCorrection c;
    c.scaleX = 1.0 / ax;
    c.scaleY = 1.0 / ay;
    c.offsetXMm = m.leftMm - ax * s.crossMm;
    c.offsetYMm = m.topMm - ay * s.crossMm;
    if (!Plausible(c)) return std::nullopt;
    return c;
}

EdgeRect CorrectedDeviceRect(const EdgeRect& d, const PrinterMetrics& p,
                             const PrinterCorrection& c) {
    // Each edge from the paper's edge, corrected, and back to the printable
    // area's corner.
    const auto edge = [](int dots, int offset, int dpi, double scale, double shiftMm) {
        const double mm = Mm(offset + dots, dpi);
        return int(std::lround((mm - shiftMm) * scale * dpi / 25.4)) - offset;
    };
    return {edge(d.left, p.offsetX, p.dpiX, c.scaleX, c.offsetXMm),
            edge(d.top, p.offsetY, p.dpiY, c.scaleY, c.offsetYMm),
            edge(d.right, p.offsetX, p.dpiX, c.scaleX, c.offsetXMm),
            edge(d.bottom, p.offsetY, p.dpiY, c.scaleY, c.offsetYMm)};
}

QString FormatCorrection(const PrinterCorrection& c) {
    const auto signedMm = [](double v) {
        return (v >= 0 ? QStringLiteral("+") : QString()) + QString::number(v, 'f', 2);
    };
    return QStringLiteral("較正値を適用中: 倍率 横 %1% 縦 %2%、ずれ 横 %3 mm 縦 %4 mm")
        .arg(QString::number(c.scaleX * 100.0, 'f', 2), QString::number(c.scaleY * 100.0, 'f', 2),
             signedMm(c.offsetXMm), signedMm(c.offsetYMm));
}

std::optional<PrinterCorrection> LoadPrinterCorrection(const PrinterMetrics& printer) {
    if (printer.writesPdf || printer.deviceName.isEmpty()) return std::nullopt;
    const auto settings = OpenSettings();
    settings->beginGroup(GroupFor(printer.deviceName));
    if (!settings->contains(QStringLiteral("ScaleX"))) return std::nullopt;
    bool ok[4] = {};
    PrinterCorrection c;
    c.scaleX = settings->value(QStringLiteral("ScaleX")).toDouble(&ok[0]);
    c.scaleY = settings->value(QStringLiteral("ScaleY")).toDouble(&ok[1]);
    c.offsetXMm = settings->value(QStringLiteral("OffsetXMm")).toDouble(&ok[2]);
    c.offsetYMm = settings->value(QStringLiteral("OffsetYMm")).toDouble(&ok[3]);
    // A damaged entry is no correction rather than a wild one.
    if (!(ok[0] && ok[1] && ok[2] && ok[3]) || !Plausible(c)) return std::nullopt;
    return c;
}

void SavePrinterCorrection(const QString& printer, const PrinterCorrection& c) {
    const auto settings = OpenSettings();
    settings->beginGroup(GroupFor(printer));
    settings->setValue(QStringLiteral("ScaleX"), c.scaleX);
    settings->setValue(QStringLiteral("ScaleY"), c.scaleY);
    settings->setValue(QStringLiteral("OffsetXMm"), c.offsetXMm);
    settings->setValue(QStringLiteral("OffsetYMm"), c.offsetYMm);
    settings->endGroup();
    Check(*settings);
}

void ClearPrinterCorrection(const QString& printer) {
    const auto settings = OpenSettings();
    settings->remove(GroupFor(printer));
    Check(*settings);
}

}  // namespace tamarind
