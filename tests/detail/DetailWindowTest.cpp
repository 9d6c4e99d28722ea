// The detail window in the running program: filled from a slot, its facts
// and buttons, turning into the slot, resizing and saving, in a temporary
// folder of small pictures made here.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QKeyEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtEndian>

#include "ScriptedDialogs.h"
#include "TestData.h"
#include "TmpfsMount.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "detail/Cgrp.h"
#include "detail/DHist.h"
#include "detail/FileFacts.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "platform/Requests.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;
using tamarind::test::ShownDialog;
using tamarind::test::TmpfsMount;

namespace {

int Seed(int y, qsizetype i) { return int((y * 131 + i * 17) & 0xFF); }

// Pixels that differ from row to row and column to column.
Bitmap Filled(int w, int h, int bits) {
    Bitmap b(w, h, bits);
    for (int y = 0; y < h; ++y) {
        uchar* row = b.scanLine(y);
        for (qsizetype i = 0; i < b.stride(); ++i) row[i] = uchar(Seed(y, i));
    }
    if (bits == 32)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) b.scanLine(y)[4 * x + 3] = 0xFF;
    if (bits <= 8) {
        QList<QRgb> palette;
        for (qsizetype i = 0; i < b.palette().size(); ++i) palette << qRgb(int(i * 37 % 256), int(i), 99);
        b.setPalette(palette);
    }
    return b;
}

// A 32 x 32 icon file holding one PNG picture.
QByteArray PngIcon() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(qRgba(10, 200, 30, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QByteArray file("\0\0\1\0\1\0", 6);
    QByteArray entry(16, '\0');
    entry[0] = 32;
    entry[1] = 32;
    qToLittleEndian<quint16>(32, entry.data() + 6);
    qToLittleEndian<quint32>(quint32(png.size()), entry.data() + 8);
    qToLittleEndian<quint32>(22, entry.data() + 12);
    return file + entry + png;
}

class DetailWindow : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        folder = dir.path();
        Viewer = ViewerState{};
        MainRequestSerial = 0;
        CreateForms({});
        main = Form1;
        detail = Form3;
        Viewer.GridWidth = 1000;
        Viewer.GridHeight = 700;
        main->ApplyLayout(4);
    }
    void TearDown() override {
        DestroyForms();
        QLocale::setDefault(QLocale::c());
    }
    QString Put(const QString& name, const QByteArray& bytes) {
        const QString path = folder + u'/' + name;
        WriteFileBytes(path, bytes);
        return path;
    }
    // Loads the file into the next slot and opens the detail window on it.
    int Open(const QString& name, const QString& in = QString()) {
        const QString where = in.isEmpty() ? folder : in;
        const int slot = Viewer.NextSlot;
        RunGuarded([&] {
            main->ShowFolder(where);
            main->FillSlotFromList(where + u'/', name);
            main->OpenDetailWindow(slot);
        });
        return slot;
    }
    int WindowHeight() const { return detail->height(); }
    bool TurnAndResizeEnabled() const {
        for (QPushButton* b : {detail->Button5, detail->Button6, detail->Button7, detail->Button8,
                               detail->Button9, detail->Button11})
            if (!b->isEnabled()) return false;
        return true;
    }
    bool TurnAndResizeDisabled() const {
        for (QPushButton* b : {detail->Button5, detail->Button6, detail->Button7, detail->Button8,
                               detail->Button9, detail->Button11})
            if (b->isEnabled()) return false;
        return true;
    }
    void Click(QPushButton* button) { button->click(); }

    QTemporaryDir dir;
    QString folder;
    TForm1* main = nullptr;
    TForm3* detail = nullptr;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(DetailWindow, StartsWithItsControlsAndSizes) {
    EXPECT_TRUE(detail->isHidden());
    EXPECT_EQ(detail->width(), detail->GroupBox1->width() + 24);
    EXPECT_EQ(detail->GroupBox1->height(), 400);
    EXPECT_EQ(detail->height(), detail->GroupBox1->y() + 400 + 70);
    EXPECT_TRUE(detail->GroupBox2->isHidden());
    EXPECT_EQ(detail->GroupBox2->y(), 250);
    EXPECT_EQ(detail->Memo2->text(), QStringLiteral("70"));
    EXPECT_EQ(detail->ScrollBar1->value(), 70);
    EXPECT_EQ(detail->BitBtn1->text(), QStringLiteral("　戻る"));
    EXPECT_EQ(detail->Button6->text(), QStringLiteral("右９０°回転"));
    EXPECT_EQ(detail->GroupBox1->title(), QStringLiteral("ファイル・画像処理"));
}

TEST_F(DetailWindow, ShowsTheFactsOfTheFile) {
    const QString path = Put(QStringLiteral("a.bmp"), EncodeBmp(Filled(7, 5, 24)));
    // Sunday 2004/05/02 14:07:09 UTC.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "UTC");
    tzset();
    struct timespec times[2] = {{1083506829, 0}, {1083506829, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, EncodePath(path).constData(), times, 0), 0);
    Open(QStringLiteral("a.bmp"));
    EXPECT_TRUE(detail->isVisible());
    EXPECT_EQ(detail->windowTitle(), QStringLiteral("a.bmp"));
    EXPECT_EQ(detail->DetailPath, folder + QStringLiteral("/a.bmp"));
    EXPECT_EQ(detail->Memo9->text(), QString());
    EXPECT_EQ(detail->Memo4->text(), QStringLiteral("2004/05/02 14:07:09(日)"));
    EXPECT_FALSE(detail->Memo8->text().isEmpty());  // a birth time or 不明
    EXPECT_EQ(detail->Memo3->text(), FormatByteCount(QFile(path).size()));
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 7×5 ) 16.8Ｍ色"));

    // A huge sparse file keeps its 64-bit length.
    const QString big = folder + QStringLiteral("/.big.bin");
    WriteFileBytes(big, QByteArray());
    ASSERT_EQ(::truncate(EncodePath(big).constData(), 5000000000LL), 0);
    detail->ShowFileFacts(big);
    EXPECT_EQ(detail->Memo3->text(), QStringLiteral("5,000,000,000 バイト"));
    EXPECT_EQ(detail->Memo9->text(), QStringLiteral("H"));
    // A file that has gone keeps the texts.
    detail->ShowFileFacts(folder + QStringLiteral("/gone.bmp"));
    EXPECT_EQ(detail->Memo3->text(), QStringLiteral("5,000,000,000 バイト"));
    if (zone.isEmpty()) qunsetenv("TZ"); else qputenv("TZ", zone);
    tzset();
}

TEST_F(DetailWindow, ReadOnlyFileShowsR) {
    TmpfsMount disk(QStringLiteral("1m"));
    REQUIRE_MOUNT(disk);
    WriteFileBytes(disk.path() + QStringLiteral("/r.bmp"), EncodeBmp(Filled(3, 3, 8)));
    ASSERT_TRUE(disk.MakeReadOnly());
    Open(QStringLiteral("r.bmp"), disk.path());
    EXPECT_EQ(detail->Memo9->text(), QStringLiteral("R"));
}

TEST_F(DetailWindow, ImageLineDepthAndButtonsForEachKindOfFile) {
    struct Case { const char* name; int bits; const char* line; };
    const Case bmps[] = {{"d1.bmp", 1, " ( 9×4 ) ２色"},        {"d4.bmp", 4, " ( 9×4 ) 16色"},
                         {"d8.bmp", 8, " ( 9×4 ) 256色"},       {"d16.bmp", 16, " ( 9×4 ) 32k/64k色"},
                         {"d15.bmp", 15, " ( 9×4 ) 32k/64k色"}, {"d24.bmp", 24, " ( 9×4 ) 16.8Ｍ色"},
                         {"d32.bmp", 32, " ( 9×4 ) 4.3G色"}};
    for (const Case& c : bmps) {
        Put(QString::fromLatin1(c.name), EncodeBmp(Filled(9, 4, c.bits)));
        Open(QString::fromLatin1(c.name));
        EXPECT_EQ(detail->Memo5->text(), QString::fromUtf8(c.line)) << c.name;
        EXPECT_EQ(detail->DetailBitmap.bitsPerPixel(), c.bits);
        EXPECT_TRUE(TurnAndResizeEnabled());
        EXPECT_FALSE(detail->SpeedButton1->isEnabled());
        EXPECT_TRUE(detail->SpeedButton2->isEnabled());
        EXPECT_EQ(detail->GroupBox1->height(), 250);
        EXPECT_EQ(WindowHeight(), detail->GroupBox1->y() + 250 + 50);
    }
    REQUIRE_TESTDATA();
    Bitmap grey(12, 10, 8);
    grey.setPalette(GreyPalette());
    Put(QStringLiteral("grey.jpg"), EncodeJpeg(grey, 70));
    Open(QStringLiteral("grey.jpg"));
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 12×10 ) 16.8Ｍ色"));  // saved as colour
    Put(QStringLiteral("GREY.JPG"), ReadFileBytes(tamarind::test::TestDataPath(QStringLiteral("jpeg/hopper_gray.jpg"))));
    Open(QStringLiteral("GREY.JPG"));
    EXPECT_TRUE(detail->Memo5->text().endsWith(QStringLiteral(" ) 256色")));
    EXPECT_TRUE(detail->SpeedButton2->isEnabled());

    Put(QStringLiteral("icon.ico"), PngIcon());
    Open(QStringLiteral("icon.ico"));
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 32×32 ) －"));
    EXPECT_TRUE(TurnAndResizeDisabled());
    EXPECT_FALSE(detail->SpeedButton1->isEnabled());
    EXPECT_FALSE(detail->SpeedButton2->isEnabled());
    EXPECT_EQ(detail->GroupBox1->height(), 224);
    EXPECT_EQ(WindowHeight(), detail->GroupBox1->y() + 224 + 50);
    EXPECT_TRUE(dialogs.messages().empty());

    // Not taken: a beep, the message, the empty image line; the facts still shown.
    Put(QStringLiteral("photo.jpeg"), EncodeJpeg(grey, 70));
    detail->Memo3->clear();
    detail->Edit2->setText(folder + u'/');
    detail->Memo1->setText(QStringLiteral("photo.jpeg"));
    SendRequest(detail->Edit1, QStringLiteral("99"));
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("Not Convert to Bitmap File")});
    EXPECT_EQ(dialogs.beeps(), std::vector<BeepKind>{BeepKind::Warning});
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 0×0 ) －"));
    EXPECT_FALSE(detail->Memo3->text().isEmpty());
    EXPECT_TRUE(TurnAndResizeDisabled());
    EXPECT_FALSE(detail->SpeedButton2->isEnabled());

    // An empty name changes only the title.
    detail->Memo1->setText(QString());
    SendRequest(detail->Edit1, QStringLiteral("100"));
    EXPECT_EQ(detail->windowTitle(), QString());
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 0×0 ) －"));
}

// The format follows the file's extension, not words in its folder names.
TEST_F(DetailWindow, FolderNamesDoNotDecideTheFormat) {
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("JPG photos")));
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("BMP")));
    const QString jpgFolder = folder + QStringLiteral("/JPG photos");
    const QString bmpFolder = folder + QStringLiteral("/BMP");
    WriteFileBytes(jpgFolder + QStringLiteral("/cat.bmp"), EncodeBmp(Filled(6, 3, 8)));
    WriteFileBytes(bmpFolder + QStringLiteral("/dog.jpg"), EncodeJpeg(Filled(5, 4, 24), 70));
    Open(QStringLiteral("cat.bmp"), jpgFolder);
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 6×3 ) 256色"));
    Open(QStringLiteral("dog.jpg"), bmpFolder);
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 5×4 ) 16.8Ｍ色"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(DetailWindow, TurningUpdatesTheSlotAndItsCaption) {
    Put(QStringLiteral("w.bmp"), EncodeBmp(Filled(40, 30, 24)));
    const int slot = Open(QStringLiteral("w.bmp"));
    EXPECT_EQ(Viewer.SlotPixelWidth[slot], 40);
    const QSize before = main->SlotImage(slot)->size();
    Click(detail->Button6);
    EXPECT_EQ(detail->DetailBitmap.size(), QSize(30, 40));
    EXPECT_EQ(main->SlotImage(slot)->picture().size(), QSize(30, 40));
    EXPECT_EQ(main->Image17->picture().size(), QSize(30, 40));
    EXPECT_EQ(Viewer.SlotPixelWidth[slot], 30);
    EXPECT_EQ(Viewer.SlotPixelHeight[slot], 40);
    EXPECT_EQ(main->SizeCaption(slot)->text(), QStringLiteral("W= 30, H= 40 [Pixel]"));
    EXPECT_NE(main->SlotImage(slot)->size(), before);  // refitted upright
    EXPECT_TRUE(detail->SpeedButton1->isEnabled());
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 40×30 ) 16.8Ｍ色"));  // the file as loaded
    const Bitmap turned = detail->DetailBitmap;
    Click(detail->Button5);
    Click(detail->Button7);
    Click(detail->Button8);
    Click(detail->Button9);
    EXPECT_EQ(detail->DetailBitmap.size(), QSize(40, 30));
    EXPECT_EQ(ReadFileBytes(folder + QStringLiteral("/w.bmp")), EncodeBmp(Filled(40, 30, 24)));
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(main->Edit1->text(), QString::number(MainRequestSerial));
    (void)turned;
}

TEST_F(DetailWindow, ResizeProposesProportionalHeightsAndScales) {
    Put(QStringLiteral("p.bmp"), EncodeBmp(Filled(64, 48, 8)));
    const int slot = Open(QStringLiteral("p.bmp"));
    Click(detail->Button6);  // proportions still come from the file as loaded
    Click(detail->Button11);
    EXPECT_TRUE(detail->GroupBox2->isVisible());
    EXPECT_EQ(detail->GroupBox1->height(), 320);
    EXPECT_EQ(WindowHeight(), detail->GroupBox1->y() + 320 + 50);
    EXPECT_EQ(detail->Edit3->text(), QStringLiteral("64"));
    EXPECT_EQ(detail->Edit4->text(), QStringLiteral("48"));
    detail->Edit3->setText(QStringLiteral("10"));
    EXPECT_EQ(detail->Edit4->text(), QStringLiteral("7"));
    detail->Edit3->setText(QString());
    EXPECT_EQ(detail->Edit4->text(), QStringLiteral("0"));

    detail->Edit3->setText(QStringLiteral("320"));
    detail->Edit4->setText(QStringLiteral("240"));
    Click(detail->Button12);
    EXPECT_EQ(detail->DetailBitmap.size(), QSize(320, 240));
    EXPECT_EQ(detail->DetailBitmap.bitsPerPixel(), 32);
    EXPECT_EQ(main->SizeCaption(slot)->text(), QStringLiteral("W=320, H=240"));
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 320×240 ) "));
    EXPECT_TRUE(detail->SpeedButton1->isEnabled());

    // Not a number: the message, and the picture stays.
    detail->Edit4->setText(QStringLiteral("x1"));
    Click(detail->Button12);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(detail->DetailBitmap.size(), QSize(320, 240));
    // A size of 0 empties the picture; a turn then says so.
    dialogs.clear();
    detail->Edit3->setText(QStringLiteral("0"));
    detail->Edit4->setText(QStringLiteral("0"));
    Click(detail->Button12);
    Click(detail->Button6);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("Bitmap Size Error.")});
    // A new filling hides the size group again.
    Open(QStringLiteral("p.bmp"));
    EXPECT_TRUE(detail->GroupBox2->isHidden());
    EXPECT_EQ(detail->GroupBox1->height(), 250);
}

TEST_F(DetailWindow, SavesTheTurnedPictureAsBmpAndJpeg) {
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("out")));
    const Bitmap source = Filled(9, 5, 8);
    Put(QStringLiteral("a.bmp"), EncodeBmp(source));
    Open(QStringLiteral("a.bmp"));
    Click(detail->Button6);
    const QString out = folder + QStringLiteral("/out");
    dialogs.AnswerSave(out + QStringLiteral("/t.bmp"));
    Click(detail->SpeedButton1);
    ASSERT_EQ(dialogs.shown().size(), 1u);
    const SaveDialogRequest& asked = dialogs.shown()[0].save;
    EXPECT_EQ(asked.title, QStringLiteral("BMPファイル保存"));
    EXPECT_EQ(asked.folder, folder + u'/');
    EXPECT_EQ(asked.proposedName, QStringLiteral("a.bmp"));
    EXPECT_EQ(asked.filterIndex, 4);
    EXPECT_TRUE(asked.overwritePrompt && asked.pathMustExist && asked.noReadOnly);
    const Bitmap saved = ReadBmpFile(out + QStringLiteral("/t.bmp"));
    EXPECT_EQ(saved.size(), QSize(5, 9));
    EXPECT_EQ(saved.bitsPerPixel(), 8);
    EXPECT_EQ(saved.palette(), source.palette());
    // The name field shows the saved name, the facts are the saved file's,
    // the main window shows its folder; the window still works on a.bmp.
    EXPECT_EQ(detail->Memo1->text(), QStringLiteral("t.bmp"));
    EXPECT_EQ(detail->Edit2->text(), folder + u'/');
    EXPECT_EQ(detail->Memo3->text(), FormatByteCount(QFile(out + QStringLiteral("/t.bmp")).size()));
    EXPECT_EQ(main->FileListBox1->Directory(), out);
    EXPECT_EQ(detail->DetailPath, folder + QStringLiteral("/a.bmp"));

    // JPEG at the scroll bar's quality: 1 is smaller than 100.
    detail->ScrollBar1->setValue(1);
    EXPECT_EQ(Viewer.JpegQuality, 1);
    EXPECT_EQ(detail->Memo2->text(), QStringLiteral("1"));
    dialogs.AnswerSave(out + QStringLiteral("/low.jpg"));
    Click(detail->SpeedButton2);
    detail->ScrollBar1->setValue(100);
    dialogs.AnswerSave(out + QStringLiteral("/high.jpg"));
    Click(detail->SpeedButton2);
    EXPECT_LT(QFile(out + QStringLiteral("/low.jpg")).size(), QFile(out + QStringLiteral("/high.jpg")).size());
    EXPECT_EQ(ReadJpegFile(out + QStringLiteral("/high.jpg")).size(), QSize(5, 9));

    // ".jpeg" is refused and nothing is written.
    dialogs.clear();
    dialogs.AnswerSave(out + QStringLiteral("/x.jpeg"));
    Click(detail->SpeedButton2);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("JPEG 拡張子？")});
    EXPECT_EQ(dialogs.beeps(), std::vector<BeepKind>{BeepKind::Default});
    EXPECT_FALSE(QFile::exists(out + QStringLiteral("/x.jpeg")));
    EXPECT_EQ(detail->Memo1->text(), QStringLiteral("x.jpeg"));

    // A cancelled dialog changes nothing.
    dialogs.AnswerSave(std::nullopt);
    Click(detail->SpeedButton1);
    EXPECT_EQ(detail->Memo1->text(), QStringLiteral("x.jpeg"));
}

TEST_F(DetailWindow, JpgFileProposesLowerCaseExtension) {
    Put(QStringLiteral("a.JPG"), EncodeJpeg(Filled(8, 8, 24), 70));
    Open(QStringLiteral("a.JPG"));
    dialogs.AnswerSave(std::nullopt);
    Click(detail->SpeedButton2);
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].save.title, QStringLiteral("JPGファイル保存"));
    EXPECT_EQ(dialogs.shown()[0].save.proposedName, QStringLiteral("a.jpg"));
    EXPECT_EQ(dialogs.shown()[0].save.defaultExtension, QStringLiteral("jpg"));
}

// Saving over the file itself on a disk too small for the new picture: the
// error is shown and the original stays byte for byte, with no stray file.
TEST_F(DetailWindow, AFailedSaveKeepsTheOriginal) {
    TmpfsMount disk(QStringLiteral("96k"));
    REQUIRE_MOUNT(disk);
    const QString path = disk.path() + QStringLiteral("/big.bmp");
    WriteFileBytes(path, EncodeBmp(Filled(100, 100, 8)));
    const QByteArray original = ReadFileBytes(path);
    Open(QStringLiteral("big.bmp"), disk.path());
    detail->Edit3->setText(QStringLiteral("300"));
    Click(detail->Button11);
    detail->Edit3->setText(QStringLiteral("300"));
    detail->Edit4->setText(QStringLiteral("300"));
    Click(detail->Button12);  // 32 bits: far more than the disk holds
    dialogs.AnswerSave(path);
    Click(detail->SpeedButton1);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].contains(QStringLiteral("ディスクがいっぱいです")));
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_EQ(disk.Names(), QStringList{QStringLiteral("big.bmp")});
}

TEST_F(DetailWindow, BackButtonAndCloseBoxResetTheFramesAndHide) {
    Put(QStringLiteral("a.bmp"), EncodeBmp(Filled(4, 4, 24)));
    Open(QStringLiteral("a.bmp"));
    Click(detail->BitBtn1);
    EXPECT_TRUE(detail->isHidden());
    EXPECT_EQ(main->Edit5->text(), QString::number(MainRequestSerial));
    const int serial = MainRequestSerial;
    detail->show();
    detail->close();
    EXPECT_TRUE(detail->isHidden());
    EXPECT_EQ(MainRequestSerial, serial + 1);
    EXPECT_EQ(detail->Memo5->text(), QStringLiteral(" ( 4×4 ) 16.8Ｍ色"));  // kept
    // Enter in a field presses the back button.
    detail->show();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(detail->Memo1, &enter);
    EXPECT_TRUE(detail->isHidden());
    EXPECT_EQ(MainRequestSerial, serial + 2);
}

// The histogram counts the file as stored, chosen by its extension even in a
// folder named "JPG", and opens the histogram window; other files are refused.
TEST_F(DetailWindow, HistogramCountsTheFileAndOpensItsWindow) {
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("JPG")));
    const QString jpgFolder = folder + QStringLiteral("/JPG");
    Bitmap one(6, 4, 24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            uchar* p = one.scanLine(y) + 3 * x;
            p[0] = 30; p[1] = 20; p[2] = 10;  // blue, green, red
        }
    WriteFileBytes(jpgFolder + QStringLiteral("/one.bmp"), EncodeBmp(one));
    Open(QStringLiteral("one.bmp"), jpgFolder);
    Click(detail->Button6);  // dropped from the working picture by the count
    Click(detail->BitBtn2);
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_TRUE(Form4->isVisible());
    EXPECT_EQ(Form4->Edit3->text(), jpgFolder + u'/');
    EXPECT_EQ(Form4->Edit1->text(), QStringLiteral("one.bmp"));
    EXPECT_EQ(Viewer.Histogram.HistogramRed[10], 24);
    EXPECT_EQ(Viewer.Histogram.HistogramGreen[20], 24);
    EXPECT_EQ(Viewer.Histogram.HistogramBlue[30], 24);
    EXPECT_EQ(detail->DetailBitmap.size(), QSize(6, 4));

    // A name typed into the name field is the one counted; an icon is refused
    // and the tables stay.
    Put(QStringLiteral("i.ico"), PngIcon());
    detail->Memo1->setText(QStringLiteral("i.ico"));
    detail->Edit2->setText(folder + u'/');
    Click(detail->BitBtn2);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("Can Not Disp")});
    EXPECT_EQ(dialogs.beeps(), std::vector<BeepKind>{BeepKind::Default});
    EXPECT_EQ(Viewer.Histogram.HistogramRed[10], 24);
    // The shown file stays the one the file operations act on.
    EXPECT_EQ(detail->DetailFileName, QStringLiteral("one.bmp"));
    EXPECT_EQ(detail->DetailPath, jpgFolder + QStringLiteral("/one.bmp"));
}
