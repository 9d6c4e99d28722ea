// The print layout window and the main window's print commands, with a
// scripted printer of fixed measurements that paints pages into images.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include "ScriptedDialogs.h"
#include "ScriptedPrinter.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/Controls.h"
#include "platform/FileIo.h"
#include "platform/Guard.h"
#include "print/CalibrationWindow.h"
#include "print/PrintJob.h"
#include "print/Set_Prt.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::A4Printer600;
using tamarind::test::ScriptedDialogs;
using tamarind::test::ScriptedPrinter;

namespace {

const QRgb kTopLeft = qRgb(255, 0, 0);
const QRgb kTopRight = qRgb(0, 255, 0);
const QRgb kBottomLeft = qRgb(0, 0, 255);
const QRgb kBottomRight = qRgb(255, 255, 0);

// A picture of four coloured quarters.
Bitmap Quarters(int w, int h) {
    Bitmap b(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uchar* row = b.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const QRgb c = y < h / 2 ? (x < w / 2 ? kTopLeft : kTopRight)
                                     : (x < w / 2 ? kBottomLeft : kBottomRight);
            row[3 * x] = uchar(qBlue(c));
            row[3 * x + 1] = uchar(qGreen(c));
            row[3 * x + 2] = uchar(qRed(c));
        }
    }
    return b;
}

// A 300 dpi Letter-sized printer with wider margins, for printer changes.
PrinterMetrics Letter300() {
    PrinterMetrics m;
    m.deviceName = QStringLiteral("Letter 300");
    m.dpiX = m.dpiY = 300;
    m.paperWidthDots = 2550;
    m.paperLengthDots = 3300;
    m.printableWidthDots = 2400;
    m.printableLengthDots = 3150;
    m.offsetX = 75;
    m.offsetY = 75;
    return m;
}

class Printing_ : public ::testing::Test {
protected:
    void SetUp() override {
        // Printer corrections go to a settings file of the test's own.
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Viewer = ViewerState{};
        Printing = PrintState{};
        CreateForms({});
        form = Form1;
        layout = Form6;
    }
    void TearDown() override {
        DestroyForms();
        QLocale::setDefault(QLocale::c());
        qputenv("XDG_CONFIG_HOME", oldConfig_);
    }
    QString Put(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    // Puts a file into the next slot as a click in the file list does.
    int Load(const QString& path) {
        const int slot = Viewer.NextSlot;
        const QFileInfo info(path);
        RunGuarded([&] {
            form->ShowFolder(info.absolutePath());
            form->FillSlotFromList(info.absolutePath() + u'/', info.fileName());
        });
        return slot;
    }
    // Hands a picture of this size to the layout window directly.
    void HandOver(int w, int h) {
        Printing.PicturePixelWidth = w;
        Printing.PicturePixelHeight = h;
        ++Viewer.PrintRequestSerial;
        layout->Edit1->setText(QString::number(Viewer.PrintRequestSerial));
    }
    static QColor SheetColour(QWidget* panel) { return BackgroundColor(panel); }

    QTemporaryDir config;
    QByteArray oldConfig_;
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    ScriptedPrinter printer{A4Printer600()};
    TForm1* form = nullptr;
    TForm6* layout = nullptr;
};

}  // namespace

TEST_F(Printing_, LayoutWindowMeasuresThePrinterAtTheFirstHandOver) {
    HandOver(1200, 900);
    EXPECT_EQ(printer.measured(), 1);
    EXPECT_EQ(layout->windowTitle(), QStringLiteral("プリンター情報 - Scripted A4"));
    EXPECT_EQ(layout->Memo1->text(), QStringLiteral("4960 ( 210.0)"));
    EXPECT_EQ(layout->Memo2->text(), QStringLiteral("7016 ( 297.0)"));
    EXPECT_EQ(layout->Memo3->text(), QStringLiteral("4760 ( 201.5)"));
    EXPECT_EQ(layout->Memo4->text(), QStringLiteral("6816 ( 288.5)"));
    EXPECT_EQ(layout->Memo5->text(), QStringLiteral("100 ( 4.2)"));
    EXPECT_EQ(layout->Memo9->text(), QStringLiteral("100 ( 4.2)"));
    EXPECT_EQ(layout->Memo6->text(), QStringLiteral("100 ( 4.2)"));
    EXPECT_EQ(layout->Memo15->text(), QStringLiteral("100 ( 4.2)"));
    EXPECT_EQ(layout->Memo7->text(), QStringLiteral("600"));
    EXPECT_EQ(layout->Memo8->text(), QStringLiteral("600"));
    // One picture pixel per printer dot.
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("50.8"));
    EXPECT_EQ(layout->Memo11->text(), QStringLiteral("38.1"));
    EXPECT_EQ(layout->Memo14->text(), QStringLiteral("1.33333"));
    // The position fields count from the sheet's edges.
    EXPECT_EQ(layout->Memo12->text(), QStringLiteral("4.2"));
    EXPECT_EQ(layout->Memo13->text(), QStringLiteral("4.2"));
    EXPECT_EQ(layout->ScrollBar3->value(), 508);
    EXPECT_EQ(layout->ScrollBar4->value(), 381);
    EXPECT_EQ(layout->ScrollBar1->maximum(), 2015);
    EXPECT_EQ(layout->ScrollBar4->maximum(), 2885);
    // The preview: the sheet's longer side is 350 pixels.
    EXPECT_EQ(layout->Panel1->size(), QSize(247, 350));
    EXPECT_EQ(layout->Panel2->geometry(), QRect(5, 5, 237, 340));
    EXPECT_EQ(layout->Image1->geometry(), QRect(0, 0, 60, 45));
    EXPECT_EQ(SheetColour(layout->Panel1), QColor(128, 128, 128));
    // An upright sheet leaves 70 pixels to the right; the height follows the
    // taller of the preview and the printer group.
    EXPECT_EQ(layout->width(), layout->Panel1->x() + 247 + 70);
    EXPECT_EQ(layout->height(),
              std::max(layout->Panel1->y() + 350, layout->GroupBox3->y() + layout->GroupBox3->height()) + 50);
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Printing_, LaterHandOversKeepThePrinterUntilItIsSetUpAgain) {
    HandOver(1200, 900);
    printer.SwitchOnSetup(Letter300());
    HandOver(600, 600);
    EXPECT_EQ(printer.measured(), 1);
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("25.4"));
    // The main window's printer-setup command: dialog, then a new measurement.
    dialogs.AnswerPrinterSetup(true);
    RunGuarded([&] { form->S2Click(); });
    EXPECT_EQ(printer.setups(), 1);
    EXPECT_EQ(printer.measured(), 2);
    EXPECT_EQ(layout->Edit2->text(), QStringLiteral("1"));
    EXPECT_EQ(layout->windowTitle(), QStringLiteral("プリンター情報 - Letter 300"));
    EXPECT_EQ(layout->Memo7->text(), QStringLiteral("300"));
    // W and H wait for the next hand-over, which uses 300 dpi.
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("25.4"));
    HandOver(600, 600);
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("50.8"));
    EXPECT_EQ(printer.measured(), 2);
    EXPECT_EQ(Printing.Printer.dpiX, 300);
}

TEST_F(Printing_, ScrollBarsCheckBoxesAndTheSheetColour) {
    HandOver(1200, 900);
    // X moved by the user: the field shows X plus the left offset.
    layout->ScrollBar1->setValue(100);
    EXPECT_EQ(layout->Memo12->text(), QStringLiteral("14.2"));
    const float s = layout->Layout().previewScale();
    EXPECT_EQ(layout->Image1->x(), RoundHalfEven(10.0 * s));
    // Beyond the right edge: red.
    layout->ScrollBar1->setValue(1600);
    EXPECT_EQ(SheetColour(layout->Panel1), QColor(255, 0, 0));
    layout->ScrollBar1->setValue(0);
    EXPECT_EQ(SheetColour(layout->Panel1), QColor(128, 128, 128));
    // W with the aspect kept carries H along.
    layout->ScrollBar3->setValue(1016);
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("101.6"));
    EXPECT_EQ(layout->Memo11->text(), QStringLiteral("76.2"));
    EXPECT_EQ(layout->ScrollBar4->value(), 762);
    // Without it, H stays.
    layout->CheckBox1->click();
    EXPECT_FALSE(layout->Layout().keepAspect());
    layout->ScrollBar3->setValue(508);
    EXPECT_EQ(layout->Memo11->text(), QStringLiteral("76.2"));
    // Centre: X and Y follow the size and come back when moved.
    layout->CheckBox3->click();
    EXPECT_EQ(layout->ScrollBar1->value(), (2015 - 508) / 2);
    EXPECT_EQ(layout->ScrollBar2->value(), (2885 - 762) / 2);
    layout->ScrollBar1->setValue(5);
    EXPECT_EQ(layout->ScrollBar1->value(), (2015 - 508) / 2);
    // Fill: the whole printable area, stretched, centred at 0.
    layout->Button3->click();
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("201.5"));
    EXPECT_EQ(layout->Memo11->text(), QStringLiteral("288.5"));
    EXPECT_EQ(layout->ScrollBar1->value(), 0);
    EXPECT_EQ(layout->Image1->geometry(), QRect(QPoint(0, 0), layout->Panel2->size()));
}

TEST_F(Printing_, CancelHidesAndKeepsEverything) {
    HandOver(1200, 900);
    layout->show();
    layout->ScrollBar1->setValue(100);
    layout->Button2->click();
    EXPECT_FALSE(layout->isVisible());
    EXPECT_EQ(Printing.PrintJobSerial, 0);
    EXPECT_TRUE(printer.pages().empty());
    EXPECT_EQ(layout->ScrollBar1->value(), 100);
    // The next hand-over resets W and H but keeps X.
    HandOver(600, 300);
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("25.4"));
    EXPECT_EQ(layout->ScrollBar1->value(), 100);
}

TEST_F(Printing_, PrinterSettingsButtonMeasuresAgainAndResetsTheSize) {
    HandOver(1200, 900);
    layout->ScrollBar3->setValue(1000);
    layout->ScrollBar1->setValue(100);
    printer.SwitchOnSetup(Letter300());
    dialogs.AnswerPrinterSetup(true);
    layout->BitBtn1->click();
    EXPECT_EQ(printer.measured(), 2);
    EXPECT_EQ(layout->Memo7->text(), QStringLiteral("300"));
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("101.6"));  // 1200 dots at 300 dpi
    EXPECT_EQ(layout->ScrollBar1->value(), 0);
    EXPECT_EQ(layout->width(), layout->Panel1->x() + layout->Panel1->width() + 70);
    // Cancelled, the same printer is measured again all the same.
    dialogs.AnswerPrinterSetup(false);
    layout->BitBtn1->click();
    EXPECT_EQ(printer.measured(), 3);
    // A sheet wider than long leaves 30 pixels to the right.
    PrinterMetrics landscape = Letter300();
    std::swap(landscape.paperWidthDots, landscape.paperLengthDots);
    std::swap(landscape.printableWidthDots, landscape.printableLengthDots);
    printer.SwitchOnSetup(landscape);
    dialogs.AnswerPrinterSetup(true);
    layout->BitBtn1->click();
    EXPECT_EQ(layout->Panel1->size(), QSize(350, 270));
    EXPECT_EQ(layout->width(), layout->Panel1->x() + 350 + 30);
}

TEST_F(Printing_, NoUsablePrinterIsSaidAndNothingIsPrinted) {
    printer.SetMetrics(std::nullopt);
    const QString path = Put(QStringLiteral("q.bmp"), EncodeBmp(Quarters(40, 30)));
    const int slot = Load(path);
    RunGuarded([&] { form->ImageDoubleClick(slot); });
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("使用できるプリンターがありません。")});
    RunGuarded([&] { layout->Button1->click(); });
    EXPECT_TRUE(printer.pages().empty());
    // Once a printer is there, the next hand-over measures it.
    printer.SetMetrics(A4Printer600());
    RunGuarded([&] { form->ImageDoubleClick(slot); });
    EXPECT_EQ(layout->Memo7->text(), QStringLiteral("600"));
}

TEST_F(Printing_, DoubleClickPreparesTheSlotsPictureAndPrintPlacesIt) {
    const QString path = Put(QStringLiteral("q.bmp"), EncodeBmp(Quarters(1200, 900)));
    const int slot = Load(path);
    RunGuarded([&] { form->ImageDoubleClick(slot); });
    EXPECT_TRUE(layout->isVisible());
    EXPECT_EQ(Viewer.WorkSlot, slot);
    EXPECT_EQ(Viewer.PrintRequestSerial, 1);
    EXPECT_EQ(layout->Edit1->text(), QStringLiteral("1"));
    EXPECT_TRUE(layout->windowTitle().startsWith(QStringLiteral("プリンター情報 - ")));
    EXPECT_TRUE(layout->Image1->HasPicture());
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("50.8"));

    layout->ScrollBar1->setValue(100);
    layout->ScrollBar2->setValue(200);
    layout->Button1->click();
    EXPECT_FALSE(layout->isVisible());
    EXPECT_EQ(Printing.PrintJobSerial, 1);
    EXPECT_EQ(form->Edit6->text(), QStringLiteral("1"));
    EXPECT_EQ(Printing.PlacementRect, (EdgeRect{1000, 2000, 6080, 5810}));
    ASSERT_EQ(printer.pages().size(), 1u);
    EXPECT_TRUE(printer.titles()[0].isEmpty());
    // DeviceRect (236, 472, 1436, 1372) from the printable area's corner at (100, 100).
    const QImage& page = printer.pages()[0];
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(page.pixel(335, 800), white);
    EXPECT_EQ(page.pixel(336, 572), kTopLeft);
    EXPECT_EQ(page.pixel(336, 571), white);
    EXPECT_EQ(page.pixel(1535, 572), kTopRight);
    EXPECT_EQ(page.pixel(1536, 572), white);
    EXPECT_EQ(page.pixel(336, 1471), kBottomLeft);
    EXPECT_EQ(page.pixel(1535, 1471), kBottomRight);
    EXPECT_EQ(page.pixel(1535, 1472), white);
    EXPECT_TRUE(dialogs.messages().empty());
    // "印刷実行" again prints the same picture again.
    layout->Button1->click();
    EXPECT_EQ(printer.pages().size(), 2u);
    EXPECT_EQ(form->Edit6->text(), QStringLiteral("2"));
}

TEST_F(Printing_, StretchedPrintRepeatsPixelsWithoutSmoothing) {
    const QString path = Put(QStringLiteral("q.bmp"), EncodeBmp(Quarters(4, 2)));
    RunGuarded([&] { form->ImageDoubleClick(Load(path)); });
    layout->CheckBox1->click();  // aspect off
    layout->ScrollBar3->setValue(1000);  // 100 mm = 2362 dots
    layout->ScrollBar4->setValue(500);
    layout->Button1->click();
    ASSERT_EQ(printer.pages().size(), 1u);
    const QImage& page = printer.pages()[0];
    const EdgeRect d = DeviceRectFor(Printing.PlacementRect, 600, 600, 100);
    // Every dot is one of the four colours, with the colour change in the
    // middle: no blended colours at the seam.
    const int midX = 100 + d.left + d.width() / 2;
    const int row = 100 + d.top + d.height() / 4;
    for (int x = midX - 3; x <= midX + 3; ++x) {
        const QRgb c = page.pixel(x, row);
        EXPECT_TRUE(c == kTopLeft || c == kTopRight) << x << " " << std::hex << c;
    }
    EXPECT_EQ(page.pixel(100 + d.left, 100 + d.bottom - 1), kBottomLeft);
    EXPECT_EQ(page.pixel(100 + d.right - 1, 100 + d.top), kTopRight);
}

TEST_F(Printing_, OnlyBmpAndJpgFilesArePrinted) {
    const QString jpeg = Put(QStringLiteral("upper.JPG"), EncodeJpeg(Quarters(64, 48), 90));
    const QString longName = Put(QStringLiteral("long.jpeg"), EncodeJpeg(Quarters(64, 48), 90));
    const int upper = Load(jpeg);
    const int refused = Load(longName);
    RunGuarded([&] { form->ImageDoubleClick(upper); });
    EXPECT_TRUE(layout->isVisible());
    EXPECT_EQ(Printing.PicturePixelWidth, 64);
    EXPECT_EQ(layout->windowTitle(), QStringLiteral("プリンター情報 - Scripted A4"));
    layout->hide();
    // The caption given with a picture stays once the printer is measured.
    RunGuarded([&] { form->ImageDoubleClick(upper); });
    EXPECT_EQ(layout->windowTitle(), QStringLiteral("(64×48) ") + jpeg);
    layout->hide();

    RunGuarded([&] { form->ImageDoubleClick(refused); });
    EXPECT_FALSE(layout->isVisible());
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("その画像タイプは印刷できません。")});
    EXPECT_EQ(dialogs.beeps(), std::vector<BeepKind>{BeepKind::Warning});
    EXPECT_EQ(Viewer.WorkSlot, refused);
}

TEST_F(Printing_, PrintAfterAFailedPreparationPrintsNothing) {
    const QString good = Put(QStringLiteral("good.bmp"), EncodeBmp(Quarters(40, 30)));
    const QString refused = Put(QStringLiteral("x.jpeg"), EncodeJpeg(Quarters(40, 30), 90));
    const QString broken = Put(QStringLiteral("broken.bmp"), EncodeBmp(Quarters(40, 30)));
    const int goodSlot = Load(good);
    const int refusedSlot = Load(refused);
    const int brokenSlot = Load(broken);
    WriteFileBytes(broken, "BM broken");
    for (int slot : {refusedSlot, brokenSlot, 16}) {
        SCOPED_TRACE(slot);
        RunGuarded([&] { form->ImageDoubleClick(goodSlot); });
        ASSERT_TRUE(layout->isVisible());
        // The window is still open from the good picture when this one fails.
        RunGuarded([&] { form->ImageDoubleClick(slot); });
        RunGuarded([&] { layout->Button1->click(); });
        EXPECT_TRUE(printer.pages().empty());
        EXPECT_TRUE(Printing.PrintBitmap.isEmpty());
    }
    // The menu command prints the selected (last filled) slot: the broken one.
    dialogs.clear();
    RunGuarded([&] { form->B2Click(); });
    EXPECT_EQ(Viewer.WorkSlot, brokenSlot);
    EXPECT_EQ(dialogs.messages().size(), 1u);  // the loading error
}

TEST_F(Printing_, ThumbnailSheetIsTheGridAsItLooks) {
    const QString path = Put(QStringLiteral("q.bmp"), EncodeBmp(Quarters(120, 90)));
    Load(path);
    RunGuarded([&] { form->B3Click(); });
    ASSERT_TRUE(layout->isVisible());
    EXPECT_EQ(Printing.PicturePixelWidth, Viewer.GridWidth);
    EXPECT_EQ(Printing.PicturePixelHeight, Viewer.GridHeight);
    EXPECT_EQ(Printing.PrintBitmap.bitsPerPixel(), 24);
    // The grid as the widgets draw it, also where the window lies on screen.
    const QImage expected = form->Panel2->grab(QRect(0, 0, Viewer.GridWidth, Viewer.GridHeight))
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
    const QImage sheet = Printing.PrintBitmap.ToQImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(sheet, expected);
    // The slot's picture is in it.
    PictureBox* image = form->SlotImage(1);
    const QPoint inside = image->mapTo(form->Panel2, QPoint(image->width() / 4, image->height() / 4));
    EXPECT_EQ(sheet.pixel(inside), kTopLeft);
    // Printed like any picture; the slots are untouched.
    layout->Button1->click();
    EXPECT_EQ(printer.pages().size(), 1u);
    EXPECT_EQ(Viewer.WorkSlot, 0);
    // The caption names only the size.
    layout->hide();
    RunGuarded([&] { form->B3Click(); });
    EXPECT_EQ(layout->windowTitle(),
              QStringLiteral("(%1×%2)").arg(Viewer.GridWidth).arg(Viewer.GridHeight));
}

TEST_F(Printing_, OverflowShowsOnASheetWithoutMargins) {
    PrinterMetrics pdf = A4Printer600();
    pdf.printableWidthDots = pdf.paperWidthDots;
    pdf.printableLengthDots = pdf.paperLengthDots;
    pdf.offsetX = pdf.offsetY = 0;
    printer.SetMetrics(pdf);
    HandOver(1200, 900);
    const auto redDots = [&] {
        const QImage sheet = layout->Panel1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int red = 0;
        for (int y = 0; y < sheet.height(); ++y)
            for (int x = sheet.width() - 4; x < sheet.width(); ++x) red += sheet.pixel(x, y) == qRgb(255, 0, 0);
        return red;
    };
    EXPECT_EQ(redDots(), 0);
    layout->ScrollBar1->setValue(layout->ScrollBar1->maximum());  // 50 mm past the right edge
    EXPECT_GT(redDots(), 4 * (layout->Image1->height() - 1));
    layout->ScrollBar1->setValue(0);
    EXPECT_EQ(redDots(), 0);
}

namespace {

// A BMP whose header records `ppm` pixels per metre (0: none).
QByteArray BmpWithDensity(const Bitmap& b, qint32 ppm) {
    QByteArray bytes = EncodeBmp(b);
    for (int at : {38, 42})
        for (int i = 0; i < 4; ++i) bytes[at + i] = char((ppm >> (8 * i)) & 0xFF);
    return bytes;
}

// The left edge of the first picture dot on a row of a printed page.
int FirstDot(const QImage& page, int row) {
    for (int x = 0; x < page.width(); ++x)
        if (page.pixel(x, row) != qRgb(255, 255, 0) && page.pixel(x, row) != qRgb(255, 255, 255))
            return x;
    return -1;
}

}  // namespace

TEST_F(Printing_, SizesThatMeasureWhatTheMainWindowAndTheFileSay) {
    // 300 x 200 pixels recorded at 150 pixels per inch (5906 per metre).
    const int slot = Load(Put(QStringLiteral("d.bmp"), BmpWithDensity(Quarters(300, 200), 5906)));
    const int plain = Load(Put(QStringLiteral("p.bmp"), BmpWithDensity(Quarters(1200, 900), 0)));
    Viewer.Dpi = 300;
    RunGuarded([&] { form->ImageDoubleClick(slot); });
    layout->Button4->click();  // the caption's size at 300 dpi
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("25.4"));
    EXPECT_EQ(layout->Memo11->text(), QStringLiteral("16.9"));
    EXPECT_EQ(layout->Label17->text(), QStringLiteral("約 300 ppi"));
    EXPECT_NE(layout->Label17->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    // The file's own 150 dpi: twice as large, and not sharp any more.
    ASSERT_TRUE(layout->Button5->isEnabled());
    EXPECT_EQ(layout->Button5->text(), QStringLiteral("ファイル解像度 150 dpi(&F)"));
    layout->Button5->click();
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("50.8"));
    EXPECT_EQ(layout->Memo11->text(), QStringLiteral("33.9"));
    EXPECT_EQ(layout->Label17->text(), QStringLiteral("約 150 ppi"));
    EXPECT_NE(layout->Label17->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    layout->ScrollBar3->setValue(520);  // 52 mm: 147 ppi
    EXPECT_EQ(layout->Label17->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_TRUE(dialogs.messages().empty());

    // A file that records none; a size larger than the printable area is
    // brought down in proportion, and said.
    Viewer.Dpi = 72;
    RunGuarded([&] { form->ImageDoubleClick(plain); });
    EXPECT_FALSE(layout->Button5->isEnabled());
    layout->Button4->click();  // 423.3 x 317.5 mm
    EXPECT_EQ(layout->Memo10->text(), QStringLiteral("201.5"));
    EXPECT_EQ(layout->Memo11->text(), QStringLiteral("151.1"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("423.3 × 317.5 mm は印字範囲 (201.5 × 288.5 mm)")));
}

TEST_F(Printing_, CalibrationSheetAndTheCorrectionItGives) {
    const int slot = Load(Put(QStringLiteral("q.bmp"), EncodeBmp(Quarters(1200, 900))));
    RunGuarded([&] { form->ImageDoubleClick(slot); });
    layout->Button1->click();  // uncorrected, at X = 0: the picture starts at dot 100
    ASSERT_EQ(printer.pages().size(), 1u);
    EXPECT_EQ(FirstDot(printer.pages()[0], 300), 100);
    EXPECT_TRUE(layout->Label18->text().isEmpty());

    // The sheet, then the measurements: cross A 1 mm further right than
    // asked for, the rulers true.
    RunGuarded([&] { form->ImageDoubleClick(slot); });
    layout->Button6->click();
    ASSERT_EQ(printer.pages().size(), 2u);
    EXPECT_EQ(printer.titles()[1], QStringLiteral("較正シート"));
    // Cross A at 20 mm from the paper's edges: dot 472 of the sheet.
    EXPECT_LT(qGray(printer.pages()[1].pixel(472, 472)), 128);
    ASSERT_TRUE(layout->Calibration->isVisible());
    EXPECT_EQ(layout->Calibration->Edit1->text(), QStringLiteral("20.0"));
    EXPECT_EQ(layout->Calibration->Edit3->text(), QStringLiteral("100.0"));
    layout->Calibration->Edit1->setText(QStringLiteral("21.0"));
    layout->Calibration->Button1->click();
    EXPECT_FALSE(layout->Calibration->isVisible());
    EXPECT_EQ(layout->Label18->text(),
              QStringLiteral("較正値を適用中: 倍率 横 100.00% 縦 100.00%、ずれ 横 +1.00 mm 縦 +0.00 mm"));

    // The next print moves 1 mm (23.6 dots) to the left, also after the
    // program started again (the correction is in the settings file).
    DestroyForms();
    CreateForms({});
    form = Form1;
    layout = Form6;
    const int again = Load(Put(QStringLiteral("r.bmp"), EncodeBmp(Quarters(1200, 900))));
    RunGuarded([&] { form->ImageDoubleClick(again); });
    layout->ScrollBar1->setValue(100);  // 10 mm in: 236 dots
    layout->Button1->click();
    ASSERT_EQ(printer.pages().size(), 3u);
    EXPECT_EQ(FirstDot(printer.pages()[2], 300), 100 + 236 - 24);
    EXPECT_FALSE(layout->Label18->text().isEmpty());

    // Values no printer gives are refused; the correction can be removed.
    layout->Button7->click();
    layout->Calibration->Edit3->setText(QStringLiteral("150"));
    layout->Calibration->Button1->click();
    EXPECT_EQ(dialogs.messages().back(),
              QStringLiteral("測った値が大きく外れています。較正シートを測り直してください。"));
    layout->Calibration->Button2->click();
    EXPECT_TRUE(layout->Label18->text().isEmpty());

    // The PDF printer needs none.
    PrinterMetrics pdf = A4Printer600();
    pdf.writesPdf = true;
    printer.SwitchOnSetup(pdf);
    dialogs.AnswerPrinterSetup(true);
    layout->BitBtn1->click();
    EXPECT_FALSE(layout->Button6->isEnabled());
    EXPECT_FALSE(layout->Button7->isEnabled());
}
