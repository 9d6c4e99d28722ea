// The millimetre arithmetic of the print layout: conversions, rounding, the
// scroll-bar chain of sizing, placing, centring and filling, and the way back
// to printer dots.
#include <gtest/gtest.h>

#include <QLocale>

#include "print/Placement.h"

using namespace tamarind;

namespace {

// A sheet with a printable area of exactly 200.0 x 280.0 mm: at 254 dpi a
// dot is a tenth of a millimetre.
PrinterMetrics Printer254() {
    PrinterMetrics p;
    p.deviceName = QStringLiteral("Test 254");
    p.dpiX = p.dpiY = 254;
    p.paperWidthDots = 2100;
    p.paperLengthDots = 2970;
    p.printableWidthDots = 2000;
    p.printableLengthDots = 2800;
    p.offsetX = 40;
    p.offsetY = 70;
    return p;
}

// An A4 sheet at 600 dpi with margins of about 4 mm.
PrinterMetrics A4At600() {
    PrinterMetrics p;
    p.deviceName = QStringLiteral("A4 600");
    p.dpiX = p.dpiY = 600;
    p.paperWidthDots = 4960;
    p.paperLengthDots = 7016;
    p.printableWidthDots = 4760;
    p.printableLengthDots = 6816;
    p.offsetX = 100;
    p.offsetY = 100;
    return p;
}

// The PDF printer's A4 sheet: 600 dpi, no margins.
PrinterMetrics PdfA4() {
    PrinterMetrics p;
    p.deviceName = QStringLiteral("PDF");
    p.writesPdf = true;
    p.dpiX = p.dpiY = 600;
    p.paperWidthDots = p.printableWidthDots = 4961;
    p.paperLengthDots = p.printableLengthDots = 7016;
    return p;
}

class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(QLocale::c()); }
};

}  // namespace

TEST(PrintArithmetic, DotsToMillimetres) {
    EXPECT_FLOAT_EQ(DotsToMm(1200, 600, 100), 50.8f);
    EXPECT_FLOAT_EQ(DotsToMm(900, 600, 100), 38.1f);
    EXPECT_FLOAT_EQ(DotsToMm(4960, 600, 100), 209.97333f);
    // A driver scale of 50 % doubles the millimetres; a scale of 0 is taken as 100.
    EXPECT_FLOAT_EQ(DotsToMm(1200, 600, 50), 101.6f);
    EXPECT_FLOAT_EQ(DotsToMm(1200, 600, 0), 50.8f);
}

TEST(PrintArithmetic, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(2.5001), 3);
    EXPECT_EQ(RoundHalfEven(-0.7), -1);
    EXPECT_EQ(RoundHalfEven(1234567.5), 1234568);
}

TEST(PrintArithmetic, PlacementToDeviceDots) {
    EXPECT_EQ(DeviceRectFor({1000, 2000, 6080, 5810}, 600, 600, 100),
              (EdgeRect{236, 472, 1436, 1372}));
    EXPECT_EQ(HundredthsToDots(20000, 1200, 100), 9448);
    // Different resolutions across and down.
    EXPECT_EQ(DeviceRectFor({1000, 1000, 2540, 2540}, 300, 600, 100),
              (EdgeRect{118, 236, 300, 600}));
    // The product v x dpi x 100 goes past 32 bits long before the result does.
    EXPECT_EQ(HundredthsToDots(2000000, 4800, 100), 3779527);
    // The divisions truncate, scale first: 2539 hundredths at 100 dpi is 99.96 dots.
    EXPECT_EQ(HundredthsToDots(2539, 100, 100), 99);
    EXPECT_EQ(HundredthsToDots(2540, 100, 200), 50);
}

TEST(PrintArithmetic, NumbersInTheUsersLocale) {
    {
        LocaleScope japanese(QLocale(QLocale::Japanese, QLocale::Japan));
        EXPECT_EQ(FormatDotsRow(4960, DotsToMm(4960, 600, 100)), QStringLiteral("4960 ( 210.0)"));
        EXPECT_EQ(FormatMm(12345.64), QStringLiteral("12,345.6"));
        EXPECT_EQ(FormatAspect(50.8f / 38.1f), QStringLiteral("1.33333"));
        EXPECT_EQ(FormatDotsRow(123456, 5226.7f), QStringLiteral("123456 ( 5,226.7)"));
    }
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatMm(1234.5f + 0.01), QStringLiteral("1.234,5"));
}

TEST(PrintLayoutTest, MeasuresTheSheetAndThePreview) {
    PrintLayout layout;
    layout.Measure(A4At600());
    EXPECT_FLOAT_EQ(layout.paperWidthMm(), 209.97333f);
    EXPECT_FLOAT_EQ(layout.paperLengthMm(), 297.01068f);
    EXPECT_FLOAT_EQ(layout.offsetLeftMm(), 4.2333333f);
    EXPECT_FLOAT_EQ(layout.offsetRightMm(), 4.2333333f);
    EXPECT_FLOAT_EQ(layout.offsetBottomMm(), 4.2333333f);
    EXPECT_TRUE(layout.upright());
    // The longer side is 350 preview pixels.
    EXPECT_EQ(layout.sheetSize(), QSize(247, 350));
    EXPECT_EQ(layout.printableRect(), QRect(5, 5, 237, 340));
    EXPECT_EQ(layout.bar(PrintLayout::BarX).maximum, 2015);
    EXPECT_EQ(layout.bar(PrintLayout::BarW).maximum, 2015);
    EXPECT_EQ(layout.bar(PrintLayout::BarY).maximum, 2885);
    EXPECT_EQ(layout.bar(PrintLayout::BarH).maximum, 2885);

    // A landscape sheet: the width is the 350 pixels.
    PrinterMetrics wide = Printer254();
    std::swap(wide.paperWidthDots, wide.paperLengthDots);
    std::swap(wide.printableWidthDots, wide.printableLengthDots);
    layout.Measure(wide);
    EXPECT_FALSE(layout.upright());
    EXPECT_EQ(layout.sheetSize(), QSize(350, 247));
}

TEST(PrintLayoutTest, OnePicturePixelPerPrinterDotAtFirst) {
    PrintLayout layout;
    layout.Measure(A4At600());
    layout.HandOver(1200, 900);
    EXPECT_FLOAT_EQ(layout.W(), 50.8f);
    EXPECT_FLOAT_EQ(layout.H(), 38.1f);
    EXPECT_EQ(FormatAspect(layout.aspect()), QStringLiteral("1.33333"));
    EXPECT_EQ(layout.bar(PrintLayout::BarW).position, 508);
    EXPECT_EQ(layout.bar(PrintLayout::BarH).position, 381);
    EXPECT_FALSE(layout.overflow());
    const float s = layout.previewScale();
    EXPECT_EQ(layout.pictureRect(), QRect(0, 0, RoundHalfEven(50.8 * s), RoundHalfEven(38.1 * s)));

    // The thumbnail sheet of an 800 x 600 grid.
    layout.HandOver(800, 600);
    EXPECT_EQ(FormatMm(layout.W()), QStringLiteral("33.9"));
    EXPECT_EQ(FormatMm(layout.H()), QStringLiteral("25.4"));
}

TEST(PrintLayoutTest, LargePictureIsCutDownToThePrintableArea) {
    PrintLayout layout;
    layout.Measure(Printer254());
    layout.HandOver(6000, 4000);  // 600 x 400 mm at 254 dpi
    // W is clamped to 200.0; H follows in tenths, and W follows H back.
    EXPECT_EQ(layout.bar(PrintLayout::BarW).position, 2000);
    EXPECT_NEAR(layout.W(), 200.0f, 0.051f);
    EXPECT_NEAR(layout.H(), 133.3f, 0.05f);
    EXPECT_EQ(layout.bar(PrintLayout::BarH).position, 1333);
    EXPECT_FALSE(layout.overflow());

    // Handed over again, the bars are already at the clamp: the size must
    // still follow them rather than stay at 600 mm.
    layout.HandOver(6000, 4000);
    EXPECT_NEAR(layout.W(), 200.0f, 0.051f);
    EXPECT_NEAR(layout.H(), 133.3f, 0.05f);

    // Without the aspect kept only the too-long side is cut.
    layout.SetKeepAspect(false);
    layout.HandOver(1000, 3500);
    EXPECT_FLOAT_EQ(layout.W(), 100.0f);
    EXPECT_FLOAT_EQ(layout.H(), 280.0f);
}

TEST(PrintLayoutTest, PlacementInHundredthsOfAMillimetre) {
    PrintLayout layout;
    layout.Measure(A4At600());
    layout.HandOver(1200, 900);
    layout.SetBar(PrintLayout::BarX, 100);
    layout.SetBar(PrintLayout::BarY, 200);
    EXPECT_EQ(layout.Placement(), (EdgeRect{1000, 2000, 6080, 5810}));
    EXPECT_EQ(DeviceRectFor(layout.Placement(), 600, 600, 100), (EdgeRect{236, 472, 1436, 1372}));
    const float s = layout.previewScale();
    EXPECT_EQ(layout.pictureRect().topLeft(), QPoint(RoundHalfEven(10 * s), RoundHalfEven(20 * s)));

    // A new measurement puts the picture back at the printable area's corner.
    layout.Measure(A4At600());
    EXPECT_EQ(layout.X(), 0.0f);
    EXPECT_EQ(layout.Y(), 0.0f);
    EXPECT_EQ(layout.bar(PrintLayout::BarX).position, 0);
    EXPECT_EQ(layout.Placement(), (EdgeRect{0, 0, 5080, 3810}));
}

TEST(PrintLayoutTest, CentredPictureStaysCentred) {
    PrintLayout layout;
    layout.Measure(Printer254());
    layout.HandOver(1000, 500);  // 100 x 50 mm
    layout.SetCentre(true);
    EXPECT_EQ(layout.bar(PrintLayout::BarX).position, 500);
    EXPECT_EQ(layout.bar(PrintLayout::BarY).position, 1150);
    // Dragging X or Y puts it straight back.
    layout.SetBar(PrintLayout::BarX, 30);
    EXPECT_EQ(layout.bar(PrintLayout::BarX).position, 500);
    EXPECT_FLOAT_EQ(layout.X(), 50.0f);
    layout.SetBar(PrintLayout::BarY, 2000);
    EXPECT_FLOAT_EQ(layout.Y(), 115.0f);
    // A new size is centred again. 150.1 mm wide at aspect 2 is 75.05 mm
    // high (a hair above in single precision), rounded to 75.1, and W
    // follows H to 150.2.
    layout.SetBar(PrintLayout::BarW, 1501);
    EXPECT_FLOAT_EQ(layout.W(), 150.2f);
    EXPECT_FLOAT_EQ(layout.H(), 75.1f);
    EXPECT_EQ(layout.bar(PrintLayout::BarX).position, 249);   // (2000 - 1502) / 2
    EXPECT_EQ(layout.bar(PrintLayout::BarY).position, 1024);  // (2800 - 751) / 2
    // Without the aspect kept, an odd difference is halved toward zero.
    layout.SetKeepAspect(false);
    layout.SetBar(PrintLayout::BarW, 1001);
    EXPECT_EQ(layout.bar(PrintLayout::BarX).position, 499);
    // Unchecking keeps the place; a picture larger than the area is centred at 0.
    layout.SetCentre(false);
    layout.SetBar(PrintLayout::BarX, 0);
    EXPECT_FLOAT_EQ(layout.X(), 0.0f);
}

TEST(PrintLayoutTest, SheetColourFollowsTheLastHandlersOneTest) {
    PrintLayout layout;
    layout.Measure(Printer254());
    layout.HandOver(1000, 1000);  // 100 x 100 mm
    layout.SetKeepAspect(false);
    layout.SetBar(PrintLayout::BarX, 1000);  // X = 100, X + W = 200: fits
    EXPECT_FALSE(layout.overflow());
    // W to 150: the W handler tests only the vertical extent.
    layout.SetBar(PrintLayout::BarW, 1500);
    EXPECT_FLOAT_EQ(layout.W(), 150.0f);
    EXPECT_FALSE(layout.overflow());
    // One step of X: the X handler sees X + W > 200.
    layout.SetBar(PrintLayout::BarX, 1001);
    EXPECT_TRUE(layout.overflow());
    // Y moves test the vertical extent, which fits: grey again though still too wide.
    layout.SetBar(PrintLayout::BarY, 10);
    EXPECT_FALSE(layout.overflow());
    // H pushing Y + H past 280 is not seen by the H handler (it tests X + W)...
    layout.SetBar(PrintLayout::BarX, 0);
    layout.SetBar(PrintLayout::BarH, 500);
    layout.SetBar(PrintLayout::BarY, 2000);
    EXPECT_FALSE(layout.overflow());
    layout.SetBar(PrintLayout::BarH, 1000);
    EXPECT_FALSE(layout.overflow());
    // ...but by the next Y move.
    layout.SetBar(PrintLayout::BarY, 1999);
    EXPECT_TRUE(layout.overflow());
}

TEST(PrintLayoutTest, FillTheWholePrintableArea) {
    struct Case {
        int pixelWidth, pixelHeight;
        bool keep, centre;
        float w, h, x, y;
    };
    const Case cases[] = {
        // Wider than the 200 x 280 area: full width.
        {1200, 900, true, false, 200.0f, 150.0f, 0.0f, 0.0f},
        {900, 1200, true, false, 200.0f, 266.7f, 0.0f, 0.0f},
        // Taller: full length.
        {500, 1000, true, false, 140.0f, 280.0f, 0.0f, 0.0f},
        {500, 1000, true, true, 140.0f, 280.0f, 30.0f, 0.0f},
        {1200, 900, true, true, 200.0f, 150.0f, 0.0f, 65.0f},
        // Stretched over the whole area.
        {1200, 900, false, false, 200.0f, 280.0f, 0.0f, 0.0f},
        {10, 10, false, true, 200.0f, 280.0f, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pixelWidth << "x" << c.pixelHeight << " keep "
                                        << c.keep << " centre " << c.centre);
        PrintLayout layout;
        layout.Measure(Printer254());
        layout.SetKeepAspect(c.keep);
        layout.SetCentre(c.centre);
        layout.HandOver(c.pixelWidth, c.pixelHeight);
        layout.SetBar(PrintLayout::BarX, 77);
        layout.Button3Click();
        EXPECT_NEAR(layout.W(), c.w, 0.051f);
        EXPECT_NEAR(layout.H(), c.h, 0.051f);
        EXPECT_NEAR(layout.X(), c.x, 0.001f);
        EXPECT_NEAR(layout.Y(), c.y, 0.001f);
        EXPECT_EQ(layout.bar(PrintLayout::BarW).position, RoundHalfEven(layout.W() * 10.0));
        EXPECT_EQ(layout.bar(PrintLayout::BarH).position, RoundHalfEven(layout.H() * 10.0));
    }
}

TEST(PrintLayoutTest, OverflowIsMarkedWhateverTheMargins) {
    // No margins: the printable area covers the sheet, so the cut part lies
    // outside it and a band along the sheet's edge marks it.
    PrintLayout l;
    l.Measure(PdfA4());
    l.HandOver(1200, 900);  // 50.8 x 38.1 mm
    EXPECT_TRUE(l.OverflowMarks().isEmpty());
    l.SetBar(PrintLayout::BarX, 1792 + 200);  // clamped to 210.0: 20 mm past the edge
    const QList<QRect> marks = l.OverflowMarks();
    ASSERT_FALSE(marks.isEmpty());
    const QRect sheet(QPoint(0, 0), l.sheetSize());
    const QRect picture = l.pictureRect().translated(l.printableRect().topLeft());
    bool band = false;
    for (const QRect& r : marks) {
        EXPECT_TRUE(sheet.contains(r)) << r.x() << "," << r.y();
        if (r.right() == sheet.right() && r.top() == picture.top() && r.bottom() == std::min(picture.bottom(), sheet.bottom()))
            band = true;
    }
    EXPECT_TRUE(band);
    // Down too: marks along the bottom edge as well; filling marks nothing.
    l.SetBar(PrintLayout::BarY, 2970);
    bool bottom = false;
    for (const QRect& r : l.OverflowMarks()) bottom |= r.bottom() == sheet.bottom() && r.width() > 4;
    EXPECT_TRUE(bottom);
    l.Button3Click();
    EXPECT_TRUE(l.OverflowMarks().isEmpty());

    // With margins the part beyond the printable area shows as well.
    PrintLayout m;
    m.Measure(A4At600());
    m.HandOver(1200, 900);
    m.SetBar(PrintLayout::BarX, 2015 - 508 + 30);  // 3 mm into the right margin
    const QList<QRect> beyond = m.OverflowMarks();
    ASSERT_FALSE(beyond.isEmpty());
    EXPECT_EQ(beyond[0].left(), m.printableRect().right() + 1);
    EXPECT_EQ(beyond[0].top(), m.pictureRect().top() + m.printableRect().top());
}

TEST(PrintLayoutTest, SizeInMillimetresPrintsWithinAHalfTenth) {
    // 3000 x 2000 pixels at 300 dpi: 254.0 x 169.33 mm, on A4 turned sideways.
    PrinterMetrics sideways = PdfA4();
    std::swap(sideways.paperWidthDots, sideways.paperLengthDots);
    std::swap(sideways.printableWidthDots, sideways.printableLengthDots);
    PrintLayout l;
    l.Measure(sideways);
    l.HandOver(3000, 2000);
    l.SetBar(PrintLayout::BarX, 123);
    EXPECT_TRUE(l.SetSizeMm(254.0, 2000 * 25.4 / 300));
    EXPECT_EQ(l.bar(PrintLayout::BarW).position, 2540);
    EXPECT_EQ(l.bar(PrintLayout::BarH).position, 1693);
    EXPECT_FLOAT_EQ(l.X(), 12.3f);
    const EdgeRect d = DeviceRectFor(l.Placement(), 600, 600, 100);
    EXPECT_NEAR(d.width() * 25.4 / 600, 254.0, 0.05);
    EXPECT_NEAR(d.height() * 25.4 / 600, 169.333, 0.05);
    EXPECT_NEAR(l.PpiX(), 300.0, 1e-3);
    // The kept aspect is the new size's: H follows W from there.
    l.SetBar(PrintLayout::BarW, 1270);
    EXPECT_NEAR(l.H(), 84.7, 0.05);

    // Upright, 254 mm is wider than the sheet: the largest that fits.
    PrintLayout upright;
    upright.Measure(PdfA4());
    upright.HandOver(3000, 2000);
    upright.SetCentre(true);
    EXPECT_FALSE(upright.SetSizeMm(254.0, 169.333));
    EXPECT_NEAR(upright.W(), 210.0, 0.01);
    EXPECT_NEAR(upright.H(), 140.0, 0.01);
    EXPECT_EQ(upright.bar(PrintLayout::BarX).position, 0);
    EXPECT_TRUE(upright.OverflowMarks().isEmpty());
}

TEST(PrintArithmetic, EffectiveResolutionReadout) {
    EXPECT_DOUBLE_EQ(EffectivePpi(3000, 254.0), 300.0);
    EXPECT_EQ(EffectivePpi(3000, 0.0), 0.0);
    EXPECT_EQ(FormatPpi(299.6, 300.4), QStringLiteral("約 300 ppi"));
    EXPECT_EQ(FormatPpi(300.0, 150.0), QStringLiteral("約 300 × 150 ppi"));
    // Red below 150 as shown: 149.5 reads 150 and is not red, 149.4 is.
    EXPECT_FALSE(PpiTooLow(149.5, 300.0));
    EXPECT_TRUE(PpiTooLow(300.0, 149.4));
}
