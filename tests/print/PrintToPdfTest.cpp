// Printing through the real components on a machine without printers: the
// PDF printer writes a file, the program says where, and the page shows the
// picture exactly where the layout window placed it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include "PrintTestSupport.h"
#include "PrintedPage.h"
#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/ViewerState.h"
#include "platform/Guard.h"
#include "platform/SystemPrinter.h"
#include "print/PrintJob.h"
#include "print/Set_Prt.h"

using namespace tamarind;
using namespace tamarind::test;

TEST(PrintToPdf, CentredPictureLandsWhereTheWindowPlacedIt) {
    QTemporaryDir documents;
    ScriptedDialogs dialogs;
    SystemPrinter printer(SystemPrinter::Choice::Pdf, documents.path());
    const PrinterService* previous = SetPrinter(&printer);
    Viewer = ViewerState{};
    Printing = PrintState{};
    CreateForms({});

    const QString picture = WriteQuartersBmp(documents.path(), 1200, 900);
    PrintSlotPictureCentred(picture);

    // The program says where the file went.
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const QString message = dialogs.messages()[0];
    ASSERT_TRUE(message.startsWith(QStringLiteral("PDF ファイルに印刷しました。\n")));
    const QString pdf = message.section(u'\n', 1);
    EXPECT_TRUE(QFileInfo(pdf).isFile());
    EXPECT_EQ(QFileInfo(pdf).absolutePath(), QFileInfo(documents.path()).absoluteFilePath());

    // Centred at one picture pixel per dot: 50.8 x 38.1 mm at 600 dpi.
    const PrinterMetrics& m = Printing.Printer;
    EXPECT_EQ(m.dpiX, 600);
    const EdgeRect d = DeviceRectFor(Printing.PlacementRect, m.dpiX, m.dpiY, m.scalePercent);
    EXPECT_NEAR(d.width(), 1200, 1);
    EXPECT_NEAR(d.height(), 900, 1);
    EXPECT_NEAR(d.left + d.width() / 2, m.printableWidthDots / 2, 3);
    EXPECT_NEAR(d.top + d.height() / 2, m.printableLengthDots / 2, 3);
    ExpectQuartersAt(pdf, m.dpiX,
                     QRect(m.offsetX + d.left, m.offsetY + d.top, d.width(), d.height()));

    DestroyForms();
    SetPrinter(const_cast<PrinterService*>(previous));
}
