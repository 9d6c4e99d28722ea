// Printing through the real components on a machine without printers: the
// PDF printer writes a new file into the user's
// documents folder (or home), the program says where, and the page shows the
// picture, or the thumbnail grid, exactly where the layout window placed it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "PrintTestSupport.h"
#include "PrintedPage.h"
#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/Guard.h"
#include "platform/SystemPrinter.h"
#include "print/PrintJob.h"
#include "print/Set_Prt.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

class PrintToPdf : public ::testing::Test {
protected:
    void SetUp() override {
        oldHome_ = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Documents")));
        Viewer = ViewerState{};
        Printing = PrintState{};
    }
    void TearDown() override {
        DestroyForms();
        SetPrinter(previous_);
        qputenv("HOME", oldHome_);
    }
    void Start() {
        printer_ = std::make_unique<SystemPrinter>(SystemPrinter::Choice::Pdf);
        previous_ = SetPrinter(printer_.get());
        CreateForms({});
        Form1->show();
    }
    // The file the program said it printed to.
    QString PrintedFile() {
        EXPECT_EQ(dialogs.messages().size(), 1u);
        if (dialogs.messages().empty()) return QString();
        const QString message = dialogs.messages().back();
        EXPECT_TRUE(message.startsWith(QStringLiteral("PDF ファイルに印刷しました。\n")));
        return message.section(u'\n', 1);
    }
    QRect PlacedOnPage() const {
        const PrinterMetrics& m = Printing.Printer;
        const EdgeRect d = DeviceRectFor(Printing.PlacementRect, m.dpiX, m.dpiY, m.scalePercent);
        return QRect(m.offsetX + d.left, m.offsetY + d.top, d.width(), d.height());
    }

    QTemporaryDir home;
    QTemporaryDir pictures;
    ScriptedDialogs dialogs;

private:
    QByteArray oldHome_;
    std::unique_ptr<SystemPrinter> printer_;
    PrinterService* previous_ = nullptr;
};

}  // namespace

TEST_F(PrintToPdf, CentredPictureLandsWhereTheWindowPlacedIt) {
    Start();
    PrintSlotPictureCentred(WriteQuartersBmp(pictures.path(), 1200, 900));
    const QString pdf = PrintedFile();
    EXPECT_TRUE(QFileInfo(pdf).isFile());
    EXPECT_EQ(QFileInfo(pdf).absolutePath(), QDir(home.path()).filePath(QStringLiteral("Documents")));

    // Centred at one picture pixel per dot: 50.8 x 38.1 mm at 600 dpi.
    const PrinterMetrics& m = Printing.Printer;
    EXPECT_EQ(m.dpiX, 600);
    EXPECT_EQ(Form6->windowTitle(), QStringLiteral("プリンター情報 - PDF"));
    if (QLocale::system().measurementSystem() != QLocale::ImperialUSSystem) {
        // A4 as it is, not as whole points make it (4958 ( 209.9) x 7017 ( 297.1)).
        EXPECT_EQ(Form6->Memo1->text(), QStringLiteral("4961 ( 210.0)"));
        EXPECT_EQ(Form6->Memo2->text(), QStringLiteral("7016 ( 297.0)"));
    }
    const QRect placed = PlacedOnPage();
    EXPECT_EQ(placed.size(), QSize(1200, 900));
    EXPECT_NEAR(placed.center().x(), m.paperWidthDots / 2, 3);
    EXPECT_NEAR(placed.center().y(), m.paperLengthDots / 2, 3);
    ExpectQuartersAt(pdf, m.dpiX, placed);
}

TEST_F(PrintToPdf, ThumbnailSheetPrintsTheGridAsItLooks) {
    // Without a documents folder the file goes to the home folder.
    ASSERT_TRUE(QDir(home.path()).rmdir(QStringLiteral("Documents")));
    Start();
    const QString picture = WriteQuartersBmp(pictures.path(), 1200, 900);
    const QFileInfo info(picture);
    RunGuarded([&] {
        Form1->ShowFolder(info.absolutePath());
        Form1->FillSlotFromList(info.absolutePath() + u'/', info.fileName());
    });
    RunGuarded([&] { Form1->B3Click(); });
    ASSERT_TRUE(Form6->isVisible());
    const QImage grid = Printing.PrintBitmap.ToQImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(grid.size(), QSize(Viewer.GridWidth, Viewer.GridHeight));
    Form6->Button3->click();  // the whole printable width, aspect kept
    Form6->Button1->click();
    const QString pdf = PrintedFile();
    EXPECT_EQ(QFileInfo(pdf).absolutePath(), QFileInfo(home.path()).absoluteFilePath());

    // The slot's picture shows in the printed grid where it shows on screen.
    const QRect placed = PlacedOnPage();
    const QImage page = RenderPdfRegion(pdf, Printing.Printer.dpiX, placed);
    ASSERT_EQ(page.size(), placed.size());
    PictureBox* image = Form1->SlotImage(1);
    const QPoint inGrid = image->mapTo(Form1->Panel2, QPoint(image->width() / 4, image->height() / 4));
    EXPECT_EQ(grid.pixel(inGrid), qRgb(255, 0, 0));
    const QPoint onPage(inGrid.x() * placed.width() / grid.width(),
                        inGrid.y() * placed.height() / grid.height());
    const QRgb printed = page.pixel(onPage);
    EXPECT_GE(qRed(printed), 240);
    EXPECT_LE(qGreen(printed), 15);
    EXPECT_LE(qBlue(printed), 15);
}

TEST_F(PrintToPdf, PicturesKeepTheirOwnPixels) {
    // Blue with a one-pixel yellow line and a few colours that a JPEG
    // encoding would shift.
    Bitmap b(10, 8, 24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            QRgb c = y == 3 ? qRgb(255, 255, 0) : qRgb(0, 0, 255);
            if (x == 7 && y == 5) c = qRgb(1, 2, 3);
            if (x == 2 && y == 6) c = qRgb(250, 128, 7);
            uchar* p = b.scanLine(y) + 3 * x;
            p[0] = uchar(qBlue(c));
            p[1] = uchar(qGreen(c));
            p[2] = uchar(qRed(c));
        }
    const QString path = QDir(pictures.path()).filePath(QStringLiteral("colours.bmp"));
    WriteBmpFile(path, b);
    Start();
    const QFileInfo info(path);
    const int slot = Viewer.NextSlot;
    RunGuarded([&] {
        Form1->ShowFolder(info.absolutePath());
        Form1->FillSlotFromList(info.absolutePath() + u'/', info.fileName());
    });
    RunGuarded([&] { Form1->ImageDoubleClick(slot); });
    Form6->Button1->click();
    const QString pdf = PrintedFile();

    // The file stores the picture losslessly, pixel for pixel.
    QString encoding;
    const QImage stored = ExtractPdfImage(pdf, &encoding);
    EXPECT_NE(encoding, QStringLiteral("jpeg"));
    ASSERT_EQ(stored.size(), QSize(10, 8));
    const QImage original = b.ToQImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(stored.pixel(x, y), original.pixel(x, y)) << x << "," << y;
}

TEST_F(PrintToPdf, AFileNamedInTheSetupDialogIsReplacedOnlyAfterAYes) {
    Start();
    const QString named = QDir(home.path()).filePath(QStringLiteral("print.pdf"));
    WriteFileBytes(named, "keep me");
    ASSERT_EQ(::chmod(QFile::encodeName(named).constData(), 0640), 0);
    dialogs.AnswerPrinterSetup(true, [&](QPrinter* printer) { printer->setOutputFileName(named); });
    RunGuarded([&] { Form1->S2Click(); });
    const QString picture = WriteQuartersBmp(pictures.path(), 120, 90);
    const auto mode = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(named).constData(), &st);
        return st.st_mode & 07777;
    };

    // No: nothing printed, nothing said, the file as it was.
    dialogs.AnswerAsk(BoxAnswer::No);
    PrintSlotPictureCentred(picture);
    ASSERT_EQ(dialogs.shown().size(), 2u);  // the setup dialog, the question
    EXPECT_EQ(dialogs.shown()[1].kind, ShownDialog::Ask);
    EXPECT_EQ(dialogs.shown()[1].text, named + QStringLiteral("　はすでに存在しています。上書きしますか？。"));
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(ReadFileBytes(named), QByteArray("keep me"));

    // Yes: the page replaces it, keeping its permissions; nothing else is written.
    dialogs.AnswerAsk(BoxAnswer::Yes);
    PrintSlotPictureCentred(picture);
    EXPECT_EQ(dialogs.messages(),
              std::vector<QString>{QStringLiteral("PDF ファイルに印刷しました。\n") + named});
    EXPECT_TRUE(ReadFileBytes(named).startsWith("%PDF-"));
    EXPECT_EQ(mode(), 0640u);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("print.pdf")});
    EXPECT_TRUE(QDir(QDir(home.path()).filePath(QStringLiteral("Documents")))
                    .isEmpty(QDir::Files | QDir::Hidden));
}

TEST_F(PrintToPdf, OneClickPrintsTheCaptionsSize) {
    // A 3000 x 2000 JPEG whose caption reads in mm at 300 dpi, on A4 turned
    // sideways: 254.0 x 169.3 mm on paper.
    const QString path = QDir(pictures.path()).filePath(QStringLiteral("camera.jpg"));
    WriteFileBytes(path, EncodeJpeg(QuartersBitmap(3000, 2000), 90));
    Start();
    dialogs.AnswerPrinterSetup(true, [](QPrinter* printer) {
        printer->setPageOrientation(QPageLayout::Landscape);
    });
    RunGuarded([&] { Form1->S2Click(); });
    RunGuarded([&] { Form1->mmM1Click(); });
    Viewer.Dpi = 300;
    const QFileInfo info(path);
    const int slot = Viewer.NextSlot;
    RunGuarded([&] {
        Form1->ShowFolder(info.absolutePath());
        Form1->FillSlotFromList(info.absolutePath() + u'/', info.fileName());
    });
    EXPECT_EQ(Form1->SizeCaption(slot)->text(), QStringLiteral("W= 254.0, H= 169.3 [mm]"));
    RunGuarded([&] { Form1->ImageDoubleClick(slot); });
    Form6->Button4->click();
    EXPECT_EQ(Form6->Memo10->text(), QStringLiteral("254.0"));
    EXPECT_EQ(Form6->Memo11->text(), QStringLiteral("169.3"));
    Form6->Button1->click();
    const QString pdf = PrintedFile();

    // Measured on the page rendered at 1200 dpi, along the picture's middle.
    const QRect placed = PlacedOnPage();
    const auto measure = [&](bool across) {
        const int dpi = 1200, k = dpi / Printing.Printer.dpiX;
        const QRect strip = across ? QRect(k * placed.left() - 40, k * placed.center().y(), k * placed.width() + 80, 1)
                                   : QRect(k * placed.center().x(), k * placed.top() - 40, 1, k * placed.height() + 80);
        const QImage image = RenderPdfRegion(pdf, dpi, strip);
        int first = -1, last = -1;
        const int n = across ? image.width() : image.height();
        for (int i = 0; i < n; ++i) {
            const QRgb c = across ? image.pixel(i, 0) : image.pixel(0, i);
            if (qGray(c) < 230 || qBlue(c) < 200) {
                if (first < 0) first = i;
                last = i;
            }
        }
        return (last - first + 1) * 25.4 / dpi;
    };
    EXPECT_NEAR(measure(true), 254.0, 0.05);
    EXPECT_NEAR(measure(false), 2000 * 25.4 / 300, 0.05);
}
