// Calibrating a printer: the sheet's crosses where the user will measure
// them, the correction worked out from the measurements, its use on a
// placed rectangle, and its place in the settings file.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "platform/Settings.h"
#include "print/Calibration.h"

using namespace tamarind;

namespace {

// 254 dpi, so that a dot is a tenth of a millimetre; margins of 4 and 7 mm.
PrinterMetrics Printer254() {
    PrinterMetrics p;
    p.deviceName = QStringLiteral("Office / Room 2");
    p.dpiX = p.dpiY = 254;
    p.paperWidthDots = 2100;
    p.paperLengthDots = 2970;
    p.printableWidthDots = 2020;
    p.printableLengthDots = 2830;
    p.offsetX = 40;
    p.offsetY = 70;
    return p;
}

}  // namespace

TEST(Calibration, SheetHasItsCrossesWhereTheUserMeasures) {
    const PrinterMetrics p = Printer254();
    const std::optional<CalibrationSheet> sheet = CalibrationSheetFor(p);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->crossMm, 20.0);
    EXPECT_EQ(sheet->rulerMm, 100.0);
    QImage page(p.printableWidthDots, p.printableLengthDots, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        DrawCalibrationSheet(painter, p, *sheet);
    }
    // In dots from the printable area's corner: 20 mm from the paper's
    // edges is (160, 130); B is 100 mm right of A, C 100 mm below.
    const auto dark = [&](int x, int y) { return qGray(page.pixel(x, y)) < 128; };
    EXPECT_TRUE(dark(160, 130));
    EXPECT_TRUE(dark(1160, 130));
    EXPECT_TRUE(dark(160, 1130));
    EXPECT_TRUE(dark(160 - 45, 130));  // the cross's arm
    EXPECT_FALSE(dark(160 - 45, 130 - 5));
    EXPECT_FALSE(dark(160 + 25, 130 + 25));  // between ticks
    EXPECT_TRUE(dark(160 + 500, 130 + 20));  // the 50 mm tick

    // Small paper: shorter rulers; too small: no sheet.
    PrinterMetrics small = p;
    small.paperWidthDots = 1050;
    small.printableWidthDots = 950;
    EXPECT_EQ(CalibrationSheetFor(small)->rulerMm, 70.0);
    small.printableWidthDots = 600;
    EXPECT_FALSE(CalibrationSheetFor(small));
}

TEST(Calibration, CorrectionUndoesWhatThePrinterDoes) {
    // A printer that prints 100 mm as 101 mm across and 99.5 mm down and
    // moves everything 1 mm right and 0.5 mm up.
    const CalibrationSheet sheet{20.0, 100.0};
    const auto printed = [](double q, double a, double b) { return a * q + b; };
    CalibrationMeasurements m;
    m.leftMm = printed(20.0, 1.01, 1.0);
    m.topMm = printed(20.0, 0.995, -0.5);
    m.acrossMm = 101.0;
    m.downMm = 99.5;
    const std::optional<PrinterCorrection> c = CorrectionFrom(sheet, m);
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->scaleX, 1 / 1.01, 1e-12);
    EXPECT_NEAR(c->offsetXMm, 1.0, 1e-12);
    EXPECT_NEAR(c->offsetYMm, -0.5, 1e-12);
    EXPECT_EQ(*CorrectionFrom(sheet, NominalMeasurements(sheet)), PrinterCorrection{});

    // The corrected rectangle, printed by that printer, lands where asked.
    const PrinterMetrics p = Printer254();
    const EdgeRect wanted{500, 600, 1500, 1400};
    const EdgeRect asked = CorrectedDeviceRect(wanted, p, *c);
    const auto landsX = [&](int dots) {
        return (printed((p.offsetX + dots) / 10.0, 1.01, 1.0) * 10.0) - p.offsetX;
    };
    const auto landsY = [&](int dots) {
        return (printed((p.offsetY + dots) / 10.0, 0.995, -0.5) * 10.0) - p.offsetY;
    };
    EXPECT_NEAR(landsX(asked.left), wanted.left, 1.0);
    EXPECT_NEAR(landsX(asked.right), wanted.right, 1.0);
    EXPECT_NEAR(landsY(asked.top), wanted.top, 1.0);
    EXPECT_NEAR(landsY(asked.bottom), wanted.bottom, 1.0);

    // Values no printer gives are refused.
    m.acrossMm = 130.0;
    EXPECT_FALSE(CorrectionFrom(sheet, m));
    m.acrossMm = 100.0;
    m.leftMm = 45.0;
    EXPECT_FALSE(CorrectionFrom(sheet, m));
}

TEST(Calibration, CorrectionIsKeptPerPrinterInTheSettingsFile) {
    QTemporaryDir config;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    EXPECT_EQ(SettingsPath(), config.filePath(QStringLiteral("tamarind/tamarind.conf")));

    PrinterMetrics p = Printer254();
    EXPECT_FALSE(LoadPrinterCorrection(p));
    const PrinterCorrection c{0.99, 1.005, 1.25, -0.5};
    SavePrinterCorrection(p.deviceName, c);
    ASSERT_TRUE(QFile::exists(SettingsPath()));
    EXPECT_EQ(LoadPrinterCorrection(p), c);
    // The PDF printer never has one.
    PrinterMetrics pdf = p;
    pdf.writesPdf = true;
    EXPECT_FALSE(LoadPrinterCorrection(pdf));
    // Others' keys in the same file stay.
    {
        QSettings settings(SettingsPath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("View/Upright"), true);
    }
    ClearPrinterCorrection(p.deviceName);
    EXPECT_FALSE(LoadPrinterCorrection(p));
    EXPECT_TRUE(OpenSettings()->value(QStringLiteral("View/Upright")).toBool());

    // Without XDG_CONFIG_HOME: ~/.config.
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(SettingsPath().endsWith(QStringLiteral("/.config/tamarind/tamarind.conf")));
    qputenv("XDG_CONFIG_HOME", old);
    if (old.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
}
