// The two picture options in the windows: the eight Exif orientations seen
// in a slot, the full-size view and on the clipboard with the option on and
// off, the caption's mark, the detail window's image line; pictures of the
// other formats listed, loaded and refused; the menu items kept in the
// settings file and the command-line switches that turn them on for one run.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "PictureFiles.h"
#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "detail/Cgrp.h"
#include "exif/Exif.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "platform/Hints.h"
#include "platform/Settings.h"
#include "print/PrintJob.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

// Larger than a 4 x 4 cell, so the thumbnails are reduced.
constexpr QSize kStored(480, 240);

class PictureOptionsInWindows : public ::testing::Test {
  protected:
    void SetUp() override { folder = dir.path(); }
    void TearDown() override {
        DestroyForms();
        // The next test starts without a settings file, as a new user does.
        QFile::remove(SettingsPath());
        SetPictureOptions({});
    }
    void Start(const QStringList& args) {
        Viewer = ViewerState{};
        CreateForms(args);
        form = Form1;
        RunGuarded([&] { form->ShowFolder(folder); });
    }
    void Put(const QString& name, const QByteArray& bytes) {
        WriteFileBytes(folder + u'/' + name, bytes);
    }
    int Row(const QString& name) const { return form->FileListBox1->Names().indexOf(name); }
    // Loads the named file into the next slot; returns the slot.
    int Load(const QString& name) {
        const int slot = Viewer.NextSlot;
        form->FileListBox1->SelectRow(Row(name));
        RunGuarded([&] { form->FLB1_Click(); });
        return slot;
    }
    QImage Clipboard(int slot) {
        QGuiApplication::clipboard()->clear();
        RunGuarded([&] { form->CopySlotToClipboard(slot); });
        return QGuiApplication::clipboard()->image();
    }

    QTemporaryDir dir;
    QString folder;
    TForm1* form = nullptr;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(PictureOptionsInWindows, EightOrientationsInSlotFullSizeViewAndClipboard) {
    const QByteArray jpeg = EncodeJpeg(QuarterPicture(kStored.width(), kStored.height()), 95);
    for (int o = 1; o <= 8; ++o) Put(QStringLiteral("o%1.jpg").arg(o), WithExifOrientation(jpeg, o));
    Start({"10"});
    for (const bool upright : {false, true}) {
        if (upright) form->Upright1->trigger();
        ASSERT_EQ(form->Upright1->isChecked(), upright);
        for (int o = 1; o <= 8; ++o) {
            SCOPED_TRACE(testing::Message() << "orientation " << o << (upright ? " upright" : ""));
            const int slot = Load(QStringLiteral("o%1.jpg").arg(o));
            const int turn = upright ? o : 1;
            const QSize shown = turn >= 5 ? kStored.transposed() : kStored;
            // The caption gives the size as shown; the mark is there either way.
            const QString mark = QStringList{"", " ⇋", " ↻180", " ⇋↻180", " ⇋↻270", " ↻90",
                                             " ⇋↻90", " ↻270"}[o - 1];
            EXPECT_EQ(form->SizeCaption(slot)->text(),
                      QStringLiteral("W= %1, H= %2 [Pixel]").arg(shown.width()).arg(shown.height()) +
                          mark);
            EXPECT_LT(form->SlotImage(slot)->width(), shown.width());
            EXPECT_TRUE(ShowsQuarters(form->SlotImage(slot)->ScaledImage(), kStored, turn));
            RunGuarded([&] { form->ShowFullSize(slot); });
            EXPECT_EQ(Form5->Image1->size(), shown);
            EXPECT_TRUE(ShowsQuarters(Form5->Image1->ScaledImage(), kStored, turn));
            EXPECT_TRUE(ShowsQuarters(Clipboard(slot), kStored, turn));
            RunGuarded([&] { form->PreparePrintPicture(slot); });
            EXPECT_TRUE(ShowsQuarters(Printing.PrintBitmap.ToQImage(), kStored, turn));
        }
    }
    // The status bar's summary is the file's own, byte for byte, either way.
    EXPECT_EQ(EffectiveHint(form->SlotImage(14)), EffectiveHint(form->SlotImage(6)));
    EXPECT_EQ(EffectiveHint(form->SlotImage(14)), ReadExifSummary(folder + QStringLiteral("/o6.jpg")));
}

TEST_F(PictureOptionsInWindows, DetailWindowStartsFromTheUprightPictureAndNamesTheOrientation) {
    const QByteArray jpeg = EncodeJpeg(QuarterPicture(kStored.width(), kStored.height()), 95);
    Put(QStringLiteral("side.jpg"), WithExifOrientation(jpeg, 6));
    Start({"4"});
    const int slot = Load(QStringLiteral("side.jpg"));
    RunGuarded([&] { form->OpenDetailWindow(slot); });
    EXPECT_EQ(Form3->Memo5->text(), QStringLiteral(" ( 480×240 ) 16.8Ｍ色  向き↻90"));
    form->Upright1->trigger();
    RunGuarded([&] { form->OpenDetailWindow(slot); });
    EXPECT_EQ(Form3->Memo5->text(), QStringLiteral(" ( 240×480 ) 16.8Ｍ色  向き↻90"));
    EXPECT_TRUE(ShowsQuarters(Form3->DetailBitmap.ToQImage(), kStored, 6));
    // A turn starts from the upright picture; the slot is re-fitted to it.
    RunGuarded([&] { Form3->Button6Click(); });
    EXPECT_EQ(Form3->DetailBitmap.size(), kStored);
    EXPECT_EQ(form->SizeCaption(slot)->text(), QStringLiteral("W= 480, H= 240 [Pixel] ↻90"));
    // Saved, it states no orientation: it is stored as it is now shown.
    const QString saved = folder + QStringLiteral("/saved.jpg");
    dialogs.AnswerSave(saved);
    RunGuarded([&] { Form3->SpeedButton1Click(); });
    const QByteArray written = ReadFileBytes(saved);
    ASSERT_FALSE(written.isEmpty());
    EXPECT_FALSE(written.contains("Exif"));
}

TEST_F(PictureOptionsInWindows, OtherFormatsAreListedLoadedCopiedAndRefusedWhenOff) {
    const QImage picture = QuarterPicture(kStored.width(), kStored.height()).ToQImage();
    Put(QStringLiteral("a.png"), QtPictureBytes(picture, "png"));
    Put(QStringLiteral("b.webp"), QtPictureBytes(picture, "webp"));
    Put(QStringLiteral("c.tiff"), QtPictureBytes(picture, "tiff"));
    ASSERT_TRUE(WriteHeifPicture(picture, folder + QStringLiteral("/d.heic"), false));
    Put(QStringLiteral("e.jpg"), EncodeJpeg(QuarterPicture(8, 8), 90));
    Start({"4"});
    EXPECT_EQ(form->FilterComboBox1->count(), 9);
    EXPECT_EQ(form->FileListBox1->Names(), QStringList({"a.png", "e.jpg"}));
    // Off: the design's refusal, the slot untouched.
    dialogs.clear();
    const int before = Viewer.NextSlot;
    Load(QStringLiteral("a.png"));
    EXPECT_EQ(dialogs.messages(),
              std::vector<QString>{QStringLiteral("拡張子 .png の画像形式は処理できません.")});
    EXPECT_EQ(Viewer.NextSlot, before);
    EXPECT_FALSE(form->SlotImage(before)->HasPicture());

    form->OtherFormats1->trigger();
    EXPECT_EQ(form->FilterComboBox1->count(), 13);
    EXPECT_EQ(form->FilterComboBox1->itemText(8), QStringLiteral("全てのファイル(*.*)"));
    EXPECT_EQ(form->FilterComboBox1->itemText(12), QStringLiteral("AVIFファイル(*.avif)"));
    EXPECT_EQ(form->FileListBox1->Names(),
              QStringList({"a.png", "b.webp", "c.tiff", "d.heic", "e.jpg"}));
    for (const char* name : {"a.png", "b.webp", "c.tiff", "d.heic"}) {
        SCOPED_TRACE(name);
        dialogs.clear();
        const int slot = Load(QString::fromLatin1(name));
        EXPECT_TRUE(dialogs.messages().empty());
        EXPECT_EQ(form->SizeCaption(slot)->text(), QStringLiteral("W= 480, H= 240 [Pixel]"));
        EXPECT_TRUE(ShowsQuarters(form->SlotImage(slot)->ScaledImage(), kStored, 1));
        EXPECT_TRUE(ShowsQuarters(Clipboard(slot), kStored, 1));
        RunGuarded([&] { form->OpenDetailWindow(slot); });
        EXPECT_EQ(Form3->Memo5->text(), QStringLiteral(" ( 480×240 ) 16.8Ｍ色"));
        EXPECT_TRUE(Form3->SpeedButton2->isEnabled());
    }
    // A choice among the new entries gives way to the first when they go.
    form->FilterComboBox1->setCurrentIndex(11);
    EXPECT_EQ(form->FileListBox1->Names(), QStringList({"d.heic"}));
    form->OtherFormats1->trigger();
    EXPECT_EQ(form->FilterComboBox1->count(), 9);
    EXPECT_EQ(form->FilterComboBox1->currentIndex(), 0);
    EXPECT_EQ(form->FileListBox1->Names(), QStringList({"a.png", "e.jpg"}));
}

TEST_F(PictureOptionsInWindows, MenuChoicesAreKeptAndSwitchesLastOneRun) {
    Start({});
    EXPECT_FALSE(form->Upright1->isChecked());
    EXPECT_FALSE(form->OtherFormats1->isChecked());
    EXPECT_FALSE(QFile::exists(SettingsPath()));  // nothing written by a plain start
    form->Upright1->trigger();
    DestroyForms();
    Start({});
    EXPECT_TRUE(form->Upright1->isChecked());
    EXPECT_FALSE(form->OtherFormats1->isChecked());
    EXPECT_TRUE(CurrentPictureOptions().upright);
    DestroyForms();

    // Switches for this run: the file keeps what the user chose.
    Start({"--other-formats", "3", "--upright"});
    EXPECT_EQ(Viewer.LayoutIndex, 3);
    EXPECT_TRUE(form->OtherFormats1->isChecked());
    EXPECT_EQ(form->FilterComboBox1->count(), 13);
    form->Upright1->trigger();  // off, and saved so
    EXPECT_FALSE(ReadPictureOptions(*OpenSettings()).upright);
    EXPECT_FALSE(ReadPictureOptions(*OpenSettings()).otherFormats);
    DestroyForms();
    // A file named like a switch opens as a file.
    EXPECT_EQ(ParseCommandLine({QStringLiteral("./--upright")}).startFile,
              QStringLiteral("./--upright"));
    EXPECT_FALSE(ParseCommandLine({QStringLiteral("./--upright")}).upright);
}
