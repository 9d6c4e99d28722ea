// The batch window over a folder the test makes: the table and its counts,
// the extension check, sorting (also while scrolled), paging, selection,
// the header widths after a resize, and the naming group.
#include <sys/stat.h>

#include <QGroupBox>
#include <QRadioButton>
#include <QScrollBar>

#include "BatchSupport.h"
#include "batch/UpDown.h"
#include "platform/Controls.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

class BatchWindow : public BatchFixture {};

TEST_F(BatchWindow, OpensOnTheMainWindowsListWithDetailsAndCounts) {
    Put("b.jpg", QByteArray(1234567, 'x'));
    Put("a.jpg", "12");
    Put("c.jpg", "");
    Start(1);
    Open();
    EXPECT_TRUE(batch->isVisible());
    EXPECT_EQ(batch->windowTitle(), "連番処理");
    EXPECT_EQ(batch->RowCount, 3);
    EXPECT_EQ(batch->Memo7->text(), "3");
    EXPECT_EQ(batch->Memo12->text(), "0");
    EXPECT_EQ(batch->SourceFolder, folder + u'/');
    // The main window's order, each name after one space.
    EXPECT_EQ(batch->ListBox1->item(0)->text(), " a.jpg");
    EXPECT_EQ(Page(), QStringList({"a.jpg", "b.jpg", "c.jpg"}));
    EXPECT_EQ(Lines(batch->Memo8), QStringList({"2 ", "1,234,567 ", "0 "}));
    EXPECT_EQ(Lines(batch->Memo9), QStringList({"", "", ""}));
    const QString updated = Lines(batch->Memo11)[0];
    EXPECT_TRUE(updated.startsWith(u' ')) << updated.toStdString();
    EXPECT_EQ(updated.mid(20, 2), " (");  // " yyyy/mm/dd hh:mm:ss (曜)"
    const QString created = Lines(batch->Memo10)[0];
    EXPECT_TRUE(created == " 不明" || created.mid(20, 1) == "(") << created.toStdString();
    EXPECT_EQ(batch->Memo5->text(), "jpg");
    EXPECT_EQ(batch->Memo6->text(), "A0000.jpg");
    EXPECT_TRUE(batch->BitBtn3->isEnabled());
    EXPECT_FALSE(batch->BitBtn2->isEnabled());
    EXPECT_TRUE(dialogs.messages().empty());

    // A file that vanished after the main window listed it: a row with its
    // name and nothing else; the window opens all the same.
    ::unlink(EncodePath(folder + "/b.jpg").constData());
    Open();
    EXPECT_EQ(Page(), QStringList({"a.jpg", "b.jpg", "c.jpg"}));
    EXPECT_EQ(Lines(batch->Memo8)[1], "");
    EXPECT_EQ(Lines(batch->Memo11)[1], "");

    // The cancel button hides the window; the next opening reloads.
    Click(batch->BitBtn1);
    EXPECT_FALSE(batch->isVisible());
}

TEST_F(BatchWindow, MixedExtensionsDisableTheAllFilesButton) {
    Put("a.jpg", "1");
    Put("b.bmp", "2");
    Start(0);  // all picture files
    Open();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0],
              "ファイル種類（拡張子）が同一でありません。\n\rファイル・フィルターで揃えてください。");
    EXPECT_FALSE(batch->BitBtn3->isEnabled());
    EXPECT_EQ(batch->Memo5->text(), "*");
    EXPECT_EQ(batch->Memo6->text(), "A0000.*");
    EXPECT_EQ(batch->RowCount, 2);
}

TEST_F(BatchWindow, LetterCaseOfExtensionsIsNoDifference) {
    Put("a.JPG", "1");
    Put("b.jpg", "2");
    Put("x.jpeg2000", "3");
    Start(8);  // all files: a.JPG, b.jpg, x.jpeg2000
    Open();
    EXPECT_EQ(dialogs.messages().size(), 1u);  // x.jpeg2000 differs
    dialogs.clear();
    // Only the JPEGs.
    ::unlink(EncodePath(folder + "/x.jpeg2000").constData());
    RunGuarded([&] { main->RefreshFileLists(); });
    Open();
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(batch->Memo5->text(), "JPG");
    EXPECT_TRUE(batch->BitBtn3->isEnabled());
}

TEST_F(BatchWindow, EmptyListOpensWithZeroCounts) {
    Start(1);
    Open();
    EXPECT_EQ(batch->RowCount, 0);
    EXPECT_EQ(batch->Memo7->text(), "0");
    EXPECT_EQ(batch->ListBox1->count(), 0);
    EXPECT_EQ(batch->Memo5->text(), "jpg");
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(BatchWindow, HeaderClicksSortAndKeepTheirOwnDirection) {
    Put("a.jpg", QByteArray(10, 'x'));
    Put("z.jpg", QByteArray(30, 'x'));
    Put("m.jpg", QByteArray(20, 'x'));
    Start(1);
    Open();
    RunGuarded([&] { batch->Panel3Click(); });  // first click: descending
    EXPECT_EQ(Page(), QStringList({"z.jpg", "m.jpg", "a.jpg"}));
    RunGuarded([&] { batch->Panel3Click(); });
    EXPECT_EQ(Page(), QStringList({"a.jpg", "m.jpg", "z.jpg"}));
    RunGuarded([&] { batch->Panel4Click(); });  // size's own first click: descending
    EXPECT_EQ(Page(), QStringList({"z.jpg", "m.jpg", "a.jpg"}));
    EXPECT_EQ(Lines(batch->Memo8), QStringList({"30 ", "20 ", "10 "}));
    RunGuarded([&] { batch->Panel4Click(); });
    EXPECT_EQ(Page(), QStringList({"a.jpg", "m.jpg", "z.jpg"}));
    // The flags last across openings.
    Open();
    RunGuarded([&] { batch->Panel3Click(); });
    EXPECT_EQ(Page(), QStringList({"z.jpg", "m.jpg", "a.jpg"}));
}

TEST_F(BatchWindow, EqualSizesEndAsTheExchangeSortLeavesThem) {
    Put("A.jpg", QByteArray(10, 'x'));
    Put("B.jpg", QByteArray(10, 'x'));
    Put("C.jpg", QByteArray(20, 'x'));
    Start(1);
    Open();
    RunGuarded([&] { batch->Panel4Click(); });
    EXPECT_EQ(Page(), QStringList({"C.jpg", "B.jpg", "A.jpg"}));
}

TEST_F(BatchWindow, PagingSortingWhileScrolledAndSelectionCounts) {
    for (int k = 0; k < 70; ++k) Put(QStringLiteral("f%1.jpg").arg(k, 3, 10, QChar(u'0')), "x");
    Start(1);
    Open();
    ASSERT_GT(batch->PageRows, 5);
    EXPECT_EQ(batch->ListBox1->count(), batch->PageRows);
    EXPECT_EQ(batch->ScrollBar1->maximum(), 69);

    batch->ScrollBar1->setValue(40);
    EXPECT_EQ(batch->TopRow, 40);
    EXPECT_EQ(Page().first(), "f040.jpg");
    SelectRows({1, 2});
    ReleaseMouseOverList();
    EXPECT_EQ(batch->Memo12->text(), "2");
    EXPECT_TRUE(batch->BitBtn2->isEnabled());

    // Sorting keeps the page at row 40, now showing the sorted rows, and
    // clears the selection.
    RunGuarded([&] { batch->Panel3Click(); });
    EXPECT_EQ(batch->TopRow, 40);
    EXPECT_EQ(Page().first(), "f029.jpg");  // 69 - 40
    EXPECT_EQ(batch->Memo12->text(), "0");
    EXPECT_FALSE(batch->BitBtn2->isEnabled());
    EXPECT_TRUE(batch->ListBox1->selectedItems().isEmpty());

    // One scroll step clears the selection too.
    SelectRows({0});
    EXPECT_EQ(batch->Memo12->text(), "1");
    batch->ScrollBar1->setValue(41);
    EXPECT_EQ(batch->Memo12->text(), "0");
    EXPECT_FALSE(batch->BitBtn2->isEnabled());

    // A release with nothing selected: "0" and the button enabled.
    ReleaseMouseOverList();
    EXPECT_EQ(batch->Memo12->text(), "0");
    EXPECT_TRUE(batch->BitBtn2->isEnabled());
}

TEST_F(BatchWindow, KeyboardSelectionIsCountedAtOnce) {
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) Put(QString::fromLatin1(n), "x");
    Start(1);
    Open();
    batch->show();
    batch->ListBox1->setFocus();
    batch->ListBox1->setCurrentRow(0);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
    QApplication::sendEvent(batch->ListBox1, &down);
    QApplication::sendEvent(batch->ListBox1, &down);
    EXPECT_EQ(batch->ListBox1->selectedItems().size(), 3);
    EXPECT_EQ(batch->SelectedCount, 3);
    EXPECT_EQ(batch->Memo12->text(), "3");
    EXPECT_TRUE(batch->BitBtn2->isEnabled());
}

TEST_F(BatchWindow, PlacementAndWideningGrowTheHeaderCells) {
    Start(1);
    EXPECT_EQ(batch->width(), 520);
    EXPECT_EQ(batch->height(), 768 * 9 / 10);
    EXPECT_EQ(batch->Base.windowWidth, 520);
    batch->show();
    const int name = batch->Panel3->width();
    const int size = batch->Panel4->width();
    const int created = batch->Panel6->width();
    const int updated = batch->Panel8->width();
    EXPECT_EQ(name, 150);
    EXPECT_EQ(batch->Panel1->geometry(), QRect(6, 192, 480, 691 - 378));
    EXPECT_EQ(batch->ScrollBar1->x(), 486);
    batch->resize(620, batch->height());
    EXPECT_EQ(batch->Panel3->width() - name, 60);
    EXPECT_EQ(batch->Panel4->width() - size, 20);
    EXPECT_EQ(batch->Panel6->width() - created, 10);
    EXPECT_EQ(batch->Panel8->width() - updated, 10);
    // The text columns follow their header cells.
    EXPECT_EQ(batch->Memo8->x(), batch->Panel4->x());
    EXPECT_EQ(batch->Memo10->width(), batch->Panel6->width());
    EXPECT_EQ(batch->ListBox1->width(), 2 * 620);

    // A dragged header splitter re-bases the widths on the window of now.
    batch->Splitter4->DragBy(-20);
    EXPECT_EQ(batch->Base.nameWidth, 190);
    EXPECT_EQ(batch->Base.windowWidth, 620);
    EXPECT_EQ(batch->Panel3->width(), 190);
    batch->resize(720, batch->height());
    EXPECT_EQ(batch->Panel3->width(), 250);
}

// Nothing the table and the naming fields show is cut off in the font the
// window is drawn in: whole rows with their underscores, and the longest
// padded number.
TEST_F(BatchWindow, RowsAndFieldsFitTheFontInUse) {
    Put("IMG_4340_523.jpg", "x");
    Put("IMG_4341_524.jpg", "y");
    Start(1);
    Open();
    const QFontMetrics table(batch->ListBox1->font());
    const int row = batch->ListBox1->visualItemRect(batch->ListBox1->item(0)).height();
    EXPECT_GE(row, 12);
    EXPECT_GE(row, table.height());
    EXPECT_GE(row, table.ascent() + table.tightBoundingRect(QStringLiteral("_")).bottom() + 1);
    // The text columns keep to the rows of the name list, and a page holds
    // what fits of them.
    EXPECT_EQ(batch->Memo8->visualItemRect(batch->Memo8->item(1)).top(),
              batch->ListBox1->visualItemRect(batch->ListBox1->item(1)).top());
    EXPECT_EQ(batch->PageRows, batch->ListBox1->height() / row - 1);

    // The largest digit setting with an initial value of 10.
    while (batch->UpDown1->Position() < 9) batch->UpDown1->Click(+1);
    batch->UpDown4->Click(+1);
    ASSERT_EQ(batch->Memo2->text(), "00000010");
    const QFontMetrics digits(batch->Memo2->font());
    EXPECT_LT(digits.horizontalAdvance(QStringLiteral("00000000")), TextRoomOf(batch->Memo2));
    // The row of the naming group still lines up without overlaps.
    EXPECT_LE(batch->Memo2->geometry().right(), batch->UpDown1->x());
    EXPECT_LT(batch->GroupBox9->geometry().right(), batch->Label2->x());
    EXPECT_LT(batch->Label2->geometry().right(), batch->GroupBox10->x());
    EXPECT_LE(batch->GroupBox10->geometry().right(), batch->GroupBox5->width());
    EXPECT_LT(QFontMetrics(batch->Memo5->font()).horizontalAdvance(QStringLiteral("jpeg2")),
              TextRoomOf(batch->Memo5));
}

TEST_F(BatchWindow, NamingGroupRangesAndPreview) {
    Put("a.jpg", "x");
    Start(1);
    Open();
    EXPECT_EQ(batch->Memo2->text(), "0000");
    EXPECT_EQ(batch->Memo3->text(), "0");
    EXPECT_EQ(batch->Memo4->text(), "1");
    // The ones of the initial value go to 10, its tens to 90; increment tens to 9.
    for (int k = 0; k < 20; ++k) batch->UpDown2->Click(+1);
    EXPECT_EQ(batch->UpDown2->Position(), 10);
    EXPECT_EQ(batch->Memo3->text(), "10");
    for (int k = 0; k < 100; ++k) batch->UpDown4->Click(+1);
    EXPECT_EQ(batch->Memo3->text(), "910");
    for (int k = 0; k < 20; ++k) batch->UpDown5->Click(+1);
    for (int k = 0; k < 20; ++k) batch->UpDown3->Click(+1);
    EXPECT_EQ(batch->Memo4->text(), "100");
    for (int k = 0; k < 20; ++k) batch->UpDown3->Click(-1);
    EXPECT_EQ(batch->UpDown3->Position(), 1);  // the increment's ones stop at 1
    EXPECT_EQ(batch->Memo6->text(), "A0910.jpg");
    for (int k = 0; k < 20; ++k) batch->UpDown1->Click(-1);
    EXPECT_EQ(batch->UpDown1->Position(), 1);
    EXPECT_EQ(batch->Memo6->text(), "A910.jpg");

    // The fixed part is one line: a pasted second line goes; it is not trimmed.
    batch->Memo1->setText(QStringLiteral("写真 \nsecond line"));
    EXPECT_EQ(batch->Memo1->text(), "写真 ");
    EXPECT_EQ(batch->Memo6->text(), "写真 910.jpg");
    EXPECT_EQ(batch->SequenceName(2), "写真 1092.jpg");
    // The settings last across openings.
    Open();
    EXPECT_EQ(batch->Memo6->text(), "写真 910.jpg");
}

TEST_F(BatchWindow, ModesShowAndHideTheNamingGroup) {
    Start(1);
    Open();
    batch->show();
    EXPECT_EQ(TextColor(batch->RadioButton1), QColor(Qt::red));
    batch->RadioButton4->click();
    EXPECT_EQ(batch->BatchMode, kModeDelete);
    EXPECT_FALSE(batch->GroupBox5->isVisible());
    EXPECT_EQ(TextColor(batch->RadioButton4), QColor(Qt::red));
    EXPECT_EQ(TextColor(batch->RadioButton1), QColor(Qt::black));
    batch->RadioButton2->click();
    EXPECT_TRUE(batch->GroupBox5->isVisible());
    batch->RadioButton6->click();
    EXPECT_FALSE(batch->GroupBox5->isVisible());
}

}  // namespace
