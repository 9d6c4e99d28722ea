// Browsing in the main window: the left panel's lists, loading and fitting
// pictures into the slots, the slot cursor, marks and requests, and the start
// file — in a temporary folder of small pictures made here.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <unistd.h>

#include "Deadline.h"
#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "batch/Renname.h"
#include "detail/Cgrp.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/Controls.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "shared/PictureBox.h"
#include "shared/Thumbnail.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kTeal(0, 128, 128);
const QColor kRed(255, 0, 0);

Bitmap Grey(int w, int h) {
    Bitmap b(w, h, 8);
    b.setPalette(GreyPalette());
    return b;
}

// A JPEG whose first segment is an Exif block with Make = "Canon".
QByteArray JpegWithMake(const Bitmap& bitmap) {
    const QByteArray jpeg = EncodeJpeg(bitmap, 70);
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray("\x01\x00", 2);                                  // one entry
    tiff += QByteArray("\x0f\x01\x02\x00\x06\x00\x00\x00\x1a\x00\x00\x00", 12);  // Make, ASCII, 6, @26
    tiff += QByteArray(4, '\0');                                        // no IFD1
    tiff += QByteArray("Canon\0", 6);
    QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    const int len = app1.size() + 2;
    QByteArray segment("\xff\xe1", 2);
    segment += char(len >> 8);
    segment += char(len & 0xff);
    return jpeg.left(2) + segment + app1 + jpeg.mid(2);
}

class Browsing : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        folder = dir.path();
    }
    void TearDown() override {
        DestroyForms();
        QLocale::setDefault(QLocale::c());
    }
    void Start(const QStringList& args = {}) {
        Viewer = ViewerState{};
        CreateForms(args);
        form = Form1;
    }
    QString Put(const QString& name, const QByteArray& bytes) {
        const QString path = folder + u'/' + name;
        WriteFileBytes(path, bytes);
        return path;
    }
    void PutJpeg(const QString& name, int w = 40, int h = 30) { Put(name, EncodeJpeg(Grey(w, h), 70)); }
    void ShowTestFolder() { RunGuarded([&] { form->ShowFolder(folder); }); }
    // A click on entry `row` of the file list, as the user makes it.
    void ClickFile(int row) {
        form->FileListBox1->SelectRow(row);
        RunGuarded([&] { form->FLB1_Click(); });
    }
    int RowOf(const QString& name) const { return form->FileListBox1->Names().indexOf(name); }
    std::vector<int> FilledWith(const QStringList& names) const {
        std::vector<int> found;
        for (const QString& n : names)
            for (int s = 1; s <= kSlotCount; ++s)
                if (form->Frame(s)->title() == n) found.push_back(s);
        return found;
    }
    bool MarkerIs(int slot, const QColor& c) const {
        return form->Marker(slot)->autoFillBackground() && BackgroundColor(form->Marker(slot)) == c;
    }
    // A 1000 x 700 grid in the given layout.
    void Grid1000x700(int layout) {
        Viewer.GridWidth = 1000;
        Viewer.GridHeight = 700;
        form->ApplyLayout(layout);
    }

    QTemporaryDir dir;
    QString folder;
    TForm1* form = nullptr;
    ScriptedDialogs dialogs;
};

TEST_F(Browsing, FilterEntriesAndTheCountLine) {
    for (const char* n : {"a.jpg", "b.png", "c.gif", "d.JPG", "e.txt", "f.wmf", "g.ico"})
        Put(QString::fromLatin1(n), "x");
    Start();
    ShowTestFolder();
    // All picture files, with the commas of the mask taken as separators.
    EXPECT_EQ(form->FileListBox1->Names(),
              (QStringList{"a.jpg", "b.png", "c.gif", "d.JPG", "f.wmf", "g.ico"}));
    EXPECT_EQ(form->Memo1->text(), QStringLiteral("6 ﾌｧｲﾙ"));
    EXPECT_EQ(Form7->Edit3->text(), folder);
    form->FilterComboBox1->setCurrentIndex(1);  // JPGファイル(*.jpg)
    EXPECT_EQ(Viewer.FilterIndex, 1);
    EXPECT_EQ(form->FileListBox1->Names(), (QStringList{"a.jpg", "d.JPG"}));
    EXPECT_EQ(form->Memo1->text(), QStringLiteral("2 ﾌｧｲﾙ"));
    form->FilterComboBox1->setCurrentIndex(8);
    EXPECT_EQ(form->Memo1->text(), QStringLiteral("7 ﾌｧｲﾙ"));
    EXPECT_TRUE(dialogs.messages().empty());
}

// The columns of a box's drawing, inside its frame, that carry dark ink.
std::pair<int, int> InkColumns(QWidget* box) {
    const QImage image = box->grab().toImage();
    constexpr int kFrame = 2;
    int first = -1, last = -1;
    for (int x = kFrame; x < image.width() - kFrame; ++x)
        for (int y = kFrame; y < image.height() - kFrame; ++y)
            if (qGray(image.pixel(x, y)) < 110) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

TEST_F(Browsing, TheCountOfThousandsOfFilesIsReadableWhole) {
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("few")));
    for (int i = 0; i < 5000; ++i) {
        QFile f(folder + QStringLiteral("/p%1.jpg").arg(i));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (i < 7) QFile(folder + QStringLiteral("/few/p%1.jpg").arg(i)).open(QIODevice::WriteOnly);
    }
    Start();
    form->show();
    for (const int count : {5000, 7}) {
        SCOPED_TRACE(count);
        RunGuarded([&] { form->ShowFolder(count == 7 ? folder + QStringLiteral("/few") : folder); });
        EXPECT_EQ(form->Memo1->text(), QStringLiteral("%1 ﾌｧｲﾙ").arg(count));
        EXPECT_EQ(form->Memo1->size(), QSize(67, 20));
        // Drawn whole: the ink keeps clear of both inner edges, nothing is cut off.
        const auto [first, last] = InkColumns(form->Memo1);
        ASSERT_GE(first, 0) << "nothing drawn";
        EXPECT_GT(first, 3);
        EXPECT_LT(last, form->Memo1->width() - 4);
        EXPECT_GE(form->Memo1->font().pixelSize(), count == 7 ? 15 : 9);
    }
}

TEST_F(Browsing, FolderTreeShowsTheChainAndSubfoldersAndRefusesUnreadableOnes) {
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("sub/deeper")));
    PutJpeg(QStringLiteral("sub/in-sub.jpg"));
    Start();
    ShowTestFolder();
    DirectoryListBox* tree = form->DirectoryListBox1;
    EXPECT_EQ(tree->EntryFolder(0), QStringLiteral("/"));
    EXPECT_EQ(tree->EntryFolder(tree->count() - 1), folder + QStringLiteral("/sub"));
    // Activating the subfolder makes it current; the file list follows.
    emit tree->itemActivated(tree->item(tree->count() - 1));
    EXPECT_EQ(tree->Directory(), folder + QStringLiteral("/sub"));
    EXPECT_EQ(form->FileListBox1->Names(), QStringList{"in-sub.jpg"});
    EXPECT_EQ(Form7->Edit3->text(), folder + QStringLiteral("/sub"));
    // A folder that cannot be opened: a message, and tree and list stay together.
    RunGuarded([&] { tree->SetDirectory(folder + QStringLiteral("/missing")); });
    EXPECT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(tree->Directory(), form->FileListBox1->Directory());
}

TEST_F(Browsing, IndividualModeLoadsOneFilePerClickAndCaptionsIt) {
    PutJpeg(QStringLiteral("a.jpg"), 1600, 1200);
    Put(QStringLiteral("b.jpg"), JpegWithMake(Grey(320, 200)));
    Start();
    ShowTestFolder();
    Grid1000x700(4);
    ClickFile(0);
    EXPECT_TRUE(form->SlotImage(1)->HasPicture());
    EXPECT_EQ(form->SlotImage(1)->size(), QSize(386, 290));
    EXPECT_EQ(form->SizeCaption(1)->text(), QStringLiteral("W= 1600, H= 1200 [Pixel]"));
    EXPECT_EQ(form->Frame(1)->title(), QStringLiteral("a.jpg"));
    EXPECT_EQ(Viewer.SlotFolder[1], folder + u'/');
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("a.jpg"));
    EXPECT_EQ(Viewer.SlotPixelWidth[1], 1600);
    EXPECT_EQ(Viewer.SelectedSlot, 1);
    EXPECT_EQ(Viewer.NextSlot, 2);
    EXPECT_TRUE(MarkerIs(1, kRed));
    EXPECT_TRUE(MarkerIs(2, kTeal));
    EXPECT_EQ(HintOf(form->SlotImage(1)), QStringLiteral("Not Exif 形式"));

    // mm at 300 dpi shows on the next load; the same name twice fills two slots.
    form->mmM1Click();
    form->N3001Click();
    EXPECT_EQ(form->N4800dpi1->text(), QStringLiteral("[300 dpi]"));
    EXPECT_EQ(form->SizeCaption(1)->text(), QStringLiteral("W= 1600, H= 1200 [Pixel]"));
    ClickFile(0);
    EXPECT_EQ(form->SizeCaption(2)->text(), QStringLiteral("W= 135.5, H= 101.6 [mm]"));
    form->inchI1Click();
    ClickFile(0);
    EXPECT_EQ(form->SizeCaption(3)->text(), QStringLiteral("W= 5.33, H= 4.00 [inch]"));

    // The Exif summary is the picture's hint, shown in the status bar on one line.
    ClickFile(1);
    EXPECT_EQ(HintOf(form->SlotImage(4)), QStringLiteral("Canon\n\r"));
    form->ShowHintFor(form->SlotImage(4));
    EXPECT_EQ(form->StatusText(), QStringLiteral("Canon"));
    EXPECT_EQ(form->SlotImage(4)->size(), QSize(320, 200));  // never enlarged
    EXPECT_EQ(Viewer.NextSlot, 1);                            // wrapped
}

TEST_F(Browsing, FittingKeepsProportionsWithinTheCell) {
    PutJpeg(QStringLiteral("wide.jpg"), 3000, 1000);
    PutJpeg(QStringLiteral("tall.jpg"), 100, 400);
    PutJpeg(QStringLiteral("cell.jpg"), 472, 290);
    Start();
    ShowTestFolder();
    Grid1000x700(4);
    ClickFile(RowOf(QStringLiteral("wide.jpg")));
    ClickFile(RowOf(QStringLiteral("tall.jpg")));
    ClickFile(RowOf(QStringLiteral("cell.jpg")));
    EXPECT_EQ(form->SlotImage(1)->size(), QSize(472, 157));
    EXPECT_EQ(form->SlotImage(2)->size(), QSize(72, 290));
    EXPECT_EQ(form->SlotImage(3)->size(), QSize(472, 290));
    EXPECT_EQ(form->SlotImage(2)->pos(), QPoint(6, 32));  // top-left corner kept
    // The drawn copy is made at the box's size.
    EXPECT_EQ(form->SlotImage(1)->ScaledImage().size(), QSize(472, 157));
}

TEST_F(Browsing, ContinuousModeFillsALayoutsWorth) {
    for (int i = 1; i <= 10; ++i) PutJpeg(QStringLiteral("f%1.jpg").arg(i));
    Start({"4", "1"});
    ShowTestFolder();
    ClickFile(2);  // the third of ten files
    EXPECT_EQ(FilledWith({"f3.jpg", "f4.jpg", "f5.jpg", "f6.jpg"}), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(form->FileListBox1->SelectedName(), QStringLiteral("f6.jpg"));
    EXPECT_EQ(Viewer.SelectedSlot, 4);
    EXPECT_TRUE(MarkerIs(4, kRed));
    EXPECT_EQ(Viewer.NextSlot, 1);
    EXPECT_TRUE(MarkerIs(1, kTeal));

    // Slot 2 protected, from slot 1: files 1-4 go to 1, 3, 4 and 1 again.
    form->D2Click();
    form->N2Click();  // individual: f1 into slot 1, f2 into slot 2
    ClickFile(0);
    ClickFile(1);
    RunGuarded([&] { form->ToggleProtectedSlot(2); });
    form->SetNextSlot(1);
    form->N2Click();  // continuous again
    ClickFile(0);
    EXPECT_EQ(form->Frame(1)->title(), QStringLiteral("f4.jpg"));
    EXPECT_EQ(form->Frame(2)->title(), QStringLiteral("f2.jpg"));  // protected, untouched
    EXPECT_EQ(form->Frame(3)->title(), QStringLiteral("f2.jpg"));
    EXPECT_EQ(form->Frame(4)->title(), QStringLiteral("f3.jpg"));
    EXPECT_EQ(TextColor(form->Frame(2)), kRed);
}

TEST_F(Browsing, ContinuousRunStopsAtTheEndOfTheList) {
    for (int i = 1; i <= 4; ++i) PutJpeg(QStringLiteral("f%1.jpg").arg(i));
    Start({"4", "1"});
    ShowTestFolder();
    ClickFile(2);
    EXPECT_EQ(FilledWith({"f3.jpg", "f4.jpg"}), (std::vector<int>{1, 2}));
    EXPECT_EQ(Viewer.NextSlot, 3);
    EXPECT_FALSE(form->SlotImage(3)->HasPicture());
}

TEST_F(Browsing, FailedLoadsLeaveTheSlotAsItWas) {
    PutJpeg(QStringLiteral("good.jpg"));
    Put(QStringLiteral("bad.jpg"), QByteArray("\xff\xd8\xff\xdb garbage", 12));
    Put(QStringLiteral("pic.TIF"), "II*\0");
    Start();
    ShowTestFolder();
    form->FilterComboBox1->setCurrentIndex(8);
    ClickFile(RowOf(QStringLiteral("good.jpg")));
    form->SetNextSlot(1);
    ClickFile(RowOf(QStringLiteral("pic.TIF")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0], QStringLiteral("拡張子 .TIF の画像形式は処理できません."));
    EXPECT_EQ(form->Frame(1)->title(), QStringLiteral("good.jpg"));
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("good.jpg"));  // the file the slot shows
    EXPECT_TRUE(form->SlotImage(1)->HasPicture());
    EXPECT_EQ(Viewer.NextSlot, 1);
    EXPECT_TRUE(MarkerIs(1, kRed));

    ClickFile(RowOf(QStringLiteral("bad.jpg")));
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_TRUE(dialogs.messages()[1].startsWith(QStringLiteral("JPEG エラー #")));
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("good.jpg"));
    EXPECT_EQ(form->SizeCaption(1)->text(), QStringLiteral("W= 40, H= 30 [Pixel]"));
}

TEST_F(Browsing, ProtectionRefusalsAndToggle) {
    PutJpeg(QStringLiteral("a.jpg"));
    Start();
    ShowTestFolder();
    ClickFile(0);  // slot 1 filled, cursor on 2
    RunGuarded([&] { form->ToggleProtectedSlot(2); });
    RunGuarded([&] { form->ToggleProtectedSlot(3); });
    EXPECT_EQ(dialogs.messages(), (std::vector<QString>{QStringLiteral("次表示位置は指定できません。"),
                                                        QStringLiteral("未表示位置は指定できません。")}));
    EXPECT_EQ(dialogs.beeps(), (std::vector<BeepKind>{BeepKind::System, BeepKind::System}));
    EXPECT_EQ(Viewer.ProtectedSlot, 0);

    RunGuarded([&] { form->ToggleProtectedSlot(1); });
    EXPECT_EQ(Viewer.ProtectedSlot, 1);
    EXPECT_EQ(TextColor(form->Frame(1)), kRed);
    RunGuarded([&] { form->ToggleProtectedSlot(1); });
    EXPECT_EQ(Viewer.ProtectedSlot, 0);
    EXPECT_EQ(TextColor(form->Frame(1)), QColor(Qt::black));
}

TEST_F(Browsing, MouseClicksOnFramesAndMarkers) {
    PutJpeg(QStringLiteral("a.jpg"));
    Start();
    ShowTestFolder();
    ClickFile(0);
    auto click = [](QWidget* w, QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    };
    click(form->Frame(1), QPoint(form->Frame(1)->width() - 3, 5));  // the frame itself
    EXPECT_EQ(Viewer.ProtectedSlot, 1);
    click(form->SizeCaption(1), QPoint(2, 2));  // the caption is not the frame
    EXPECT_EQ(Viewer.ProtectedSlot, 1);
    click(form->Marker(3), QPoint(2, 2));
    EXPECT_EQ(Viewer.NextSlot, 3);
    EXPECT_TRUE(MarkerIs(3, kTeal));
    EXPECT_TRUE(MarkerIs(2, kSilver));
    form->J1Click();
    click(form->Marker(5), QPoint(2, 2));  // markers 5 to 16 do not react
    EXPECT_EQ(Viewer.NextSlot, 1);
}

TEST_F(Browsing, DetailHandOverMarksTheFrameAndEmptySlotsAreRefused) {
    PutJpeg(QStringLiteral("a.jpg"));
    Start();
    ShowTestFolder();
    ClickFile(0);
    form->ImageMouseDown(3, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("画像がありません。")});
    EXPECT_EQ(dialogs.beeps(), std::vector<BeepKind>{BeepKind::Message});
    EXPECT_EQ(BackgroundColor(form->Frame(3)), QColor(0, 255, 255));

    form->ImageMouseDown(1, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(Viewer.WorkSlot, 1);
    EXPECT_EQ(Form3->Edit2->text(), folder + u'/');
    EXPECT_EQ(Form3->Memo1->text(), QStringLiteral("a.jpg"));
    EXPECT_EQ(Form3->Edit1->text(), QString::number(Viewer.DetailRequestSerial));
    EXPECT_EQ(BackgroundColor(form->Frame(1)), QColor(0, 255, 255));
    EXPECT_EQ(BackgroundColor(form->Frame(3)), ButtonFaceColor());  // only the last one
    form->Edit5->setText(QStringLiteral("1"));
    EXPECT_EQ(BackgroundColor(form->Frame(1)), ButtonFaceColor());
}

TEST_F(Browsing, SlotChangeRequestAndRereadsAfterChangesBehindTheList) {
    PutJpeg(QStringLiteral("a.jpg"));
    PutJpeg(QStringLiteral("b.jpg"));
    Start();
    ShowTestFolder();
    ClickFile(0);
    Viewer.WorkSlot = 1;
    // The detail window deleted the file: an empty name empties the slot.
    QFile::remove(folder + QStringLiteral("/a.jpg"));
    form->Edit3->setText(QString());
    form->Edit4->setText(QString());
    form->Edit2->setText(QStringLiteral("1"));
    EXPECT_TRUE(Viewer.SlotFileName[1].isEmpty());
    EXPECT_FALSE(form->SlotImage(1)->HasPicture());
    EXPECT_TRUE(form->SizeCaption(1)->text().isEmpty());
    EXPECT_EQ(form->FileListBox1->Names(), QStringList{"b.jpg"});
    EXPECT_EQ(form->DirectoryListBox1->Directory(), folder);

    // A batch run renamed files elsewhere: the main window shows that folder, read afresh.
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("out")));
    PutJpeg(QStringLiteral("out/A0000.jpg"));
    BatchTargetPath = folder + QStringLiteral("/out/A0000.jpg");
    form->Edit7->setText(QStringLiteral("1"));
    EXPECT_EQ(form->DirectoryListBox1->Directory(), folder + QStringLiteral("/out"));
    EXPECT_EQ(form->FileListBox1->Names(), QStringList{"A0000.jpg"});
    PutJpeg(QStringLiteral("out/A0001.jpg"));
    form->Edit7->setText(QStringLiteral("2"));  // same folder: still read again
    EXPECT_EQ(form->FileListBox1->Names(), (QStringList{"A0000.jpg", "A0001.jpg"}));
    EXPECT_EQ(form->Memo1->text(), QStringLiteral("2 ﾌｧｲﾙ"));
    BatchTargetPath.clear();
}

TEST_F(Browsing, StartFileOpensInSlotOneAndIsSelected) {
    PutJpeg(QStringLiteral("x.jpg"));
    PutJpeg(QStringLiteral("photo.JPG"), 64, 48);
    const QString path = folder + QStringLiteral("/photo.JPG");
    Start({path});
    EXPECT_EQ(Viewer.LayoutIndex, 1);
    EXPECT_EQ(form->Frame(1)->title(), path);
    EXPECT_TRUE(form->SlotImage(1)->HasPicture());
    EXPECT_EQ(form->SizeCaption(1)->text(), QStringLiteral("W= 64, H= 48 [Pixel]"));
    EXPECT_EQ(Viewer.SlotFolder[1], folder + u'/');
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("photo.JPG"));
    EXPECT_EQ(form->DirectoryListBox1->Directory(), folder);
    EXPECT_EQ(form->FileListBox1->SelectedName(), QStringLiteral("photo.JPG"));
    EXPECT_TRUE(MarkerIs(1, kTeal));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Browsing, StartFileTheListDoesNotShowStaysLoaded) {
    PutJpeg(QStringLiteral("photo.jpeg"), 50, 40);
    const QString path = folder + QStringLiteral("/photo.jpeg");
    Start({path});
    EXPECT_TRUE(form->FileListBox1->Names().isEmpty());
    EXPECT_TRUE(form->SlotImage(1)->HasPicture());
    EXPECT_EQ(form->Frame(1)->title(), path);
    EXPECT_EQ(form->DirectoryListBox1->Directory(), folder);
}

TEST_F(Browsing, StartFileThatFailsComesUpEmpty) {
    const QString path = folder + QStringLiteral("/broken.bmp");
    Put(QStringLiteral("broken.bmp"), "BM");
    Start({path});
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("ビットマップイメージが不正です.")});
    EXPECT_FALSE(form->SlotImage(1)->HasPicture());
    EXPECT_TRUE(Viewer.SlotFileName[1].isEmpty());
}

// A named pipe blocks an ordinary open until some other process writes to
// it; as the start file it kept the window from ever showing, as a listed
// file it froze the window. Both are refused at once with a message.
TEST_F(Browsing, NamedPipesAreRefusedWithoutBlockingAsStartFileAndAsListedFile) {
    tamarind::test::Deadline limit(std::chrono::seconds(20));
    const QString pipe = folder + QStringLiteral("/x.jpg");
    ASSERT_EQ(::mkfifo(EncodePath(pipe).constData(), 0644), 0);
    Start({pipe});
    EXPECT_EQ(dialogs.messages(),
              std::vector<QString>{
                  QStringLiteral("ファイル %1 を開けません (名前付きパイプです).").arg(pipe)});
    EXPECT_FALSE(form->SlotImage(1)->HasPicture());
    EXPECT_TRUE(Viewer.SlotFileName[1].isEmpty());
    DestroyForms();

    // A listed picture replaced by a pipe after the list was read.
    ASSERT_EQ(::unlink(EncodePath(pipe).constData()), 0);
    PutJpeg(QStringLiteral("good.jpg"));
    PutJpeg(QStringLiteral("x.jpg"));
    dialogs.clear();
    Start();
    ShowTestFolder();
    ClickFile(RowOf(QStringLiteral("good.jpg")));
    ASSERT_EQ(::unlink(EncodePath(pipe).constData()), 0);
    ASSERT_EQ(::mkfifo(EncodePath(pipe).constData(), 0644), 0);
    ClickFile(RowOf(QStringLiteral("x.jpg")));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].endsWith(QStringLiteral("(名前付きパイプです).")));
    EXPECT_EQ(Viewer.NextSlot, 2);
    EXPECT_FALSE(form->SlotImage(2)->HasPicture());
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("good.jpg"));
}

TEST(Thumbnails, BlockAveragingKeepsColoursAndSize) {
    // Left half red, right half blue, 24 bits; scaled far down.
    Bitmap b(800, 600, 24);
    for (int y = 0; y < 600; ++y) {
        uchar* row = b.scanLine(y);
        for (int x = 0; x < 800; ++x) {
            row[x * 3 + 0] = x < 400 ? 0 : 255;
            row[x * 3 + 2] = x < 400 ? 255 : 0;
        }
    }
    const QImage small = ScaledCopy(b, QSize(80, 60));
    ASSERT_EQ(small.size(), QSize(80, 60));
    EXPECT_EQ(small.pixel(10, 30), qRgb(255, 0, 0));
    EXPECT_EQ(small.pixel(70, 30), qRgb(0, 0, 255));
    EXPECT_TRUE(ScaledCopy(b, QSize(0, 10)).isNull());
    EXPECT_EQ(ScaledCopy(Grey(30, 20), QSize(15, 10)).size(), QSize(15, 10));
}

}  // namespace
