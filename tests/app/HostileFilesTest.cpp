// Hostile picture files against the windows that decode them, each action
// timed and its memory measured in a child process: a 122-byte RLE4 BMP and
// a small JPEG claiming huge pictures, and a 5 GB sparse file that starts like
// a JPEG and then holds only zeros. The bounds catch gigabytes and tens of
// seconds, not milliseconds.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTemporaryDir>

#include "ChildMeasure.h"
#include "HostileFiles.h"
#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "detail/Cgrp.h"
#include "platform/FileIo.h"
#include "platform/Guard.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

constexpr std::int64_t kMB = std::int64_t(1) << 20;

class HostileFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        Viewer = ViewerState{};
        CreateForms({QStringLiteral("1")});
        folder = dir.path() + u'/';
        RunGuarded([&] { Form1->ShowFolder(dir.path()); });
    }
    void TearDown() override { DestroyForms(); }

    // Puts the file into slot 1 as a click in the file list does.
    void Fill(const QString& name, const QByteArray& bytes) {
        WriteFileBytes(folder + name, bytes);
        RunGuarded([&] {
            Form1->ShowFolder(dir.path());
            Form1->FillSlotFromList(folder, name);
        });
        ASSERT_EQ(Viewer.SlotFileName[1], name);
    }

    QTemporaryDir dir;
    QString folder;
    ScriptedDialogs dialogs;
};

}  // namespace

// Turning, mirroring and counting keep the bomb's 4 bits per pixel: one copy
// of 128 MB at most, where they took 2 GB and the histogram 768 MB.
TEST_F(HostileFiles, DetailWindowWorksOnTheRleBombAtItsOwnDepth) {
    const ChildFigures f = MeasureInChild(
        [&] {
            Fill(QStringLiteral("bomb.bmp"), RleBombBmp(16384, 16384));
            RunGuarded([] { Form1->OpenDetailWindow(1); });
        },
        [&] {
            Form3->Button6->click();  // 右９０°回転
            Form3->Button9->click();  // 左右反転
            Form3->BitBtn2->click();  // ﾋｽﾄｸﾞﾗﾑ, from the file again
            EXPECT_TRUE(dialogs.shown().empty());
            EXPECT_EQ(Form3->DetailBitmap.bitsPerPixel(), 4);
            EXPECT_EQ(Viewer.SlotPixelWidth[1], 16384);
            const qint64 all = qint64(16384) * 16384;
            EXPECT_EQ(Viewer.Histogram.HistogramRed[0x11], 128);
            EXPECT_EQ(Viewer.Histogram.HistogramGreen[0x22], 127);
            EXPECT_EQ(Viewer.Histogram.HistogramBlue[0], all - 255);
        });
    ASSERT_TRUE(f.finished) << f.failure;
    EXPECT_LT(f.grownBytes, 600 * kMB) << Describe(f);
    EXPECT_LT(f.cpuSeconds, 60.0) << Describe(f);
}

// The full-size view decodes at the size it shows, as a thumbnail does.
TEST_F(HostileFiles, FullSizeViewOfTheRleBombIsMadeAtTheShownSize) {
    const ChildFigures f =
        MeasureInChild([&] { Fill(QStringLiteral("bomb.bmp"), RleBombBmp(16384, 16384)); },
                       [&] {
                           RunGuarded([] { Form1->ShowFullSize(1); });
                           EXPECT_TRUE(dialogs.shown().empty());
                           EXPECT_EQ(Form5->Image1->picture().size(), QSize(729, 729));
                           EXPECT_EQ(Form5->Image1->ScaledImage().size(), QSize(729, 729));
                       });
    ASSERT_TRUE(f.finished) << f.failure;
    EXPECT_LT(f.grownBytes, 300 * kMB) << Describe(f);
    EXPECT_LT(f.cpuSeconds, 20.0) << Describe(f);
}

// A JPEG decoded for the clipboard goes straight into the one 32-bit copy
// the clipboard keeps (256 MB here), never through a 24-bit picture first.
TEST_F(HostileFiles, ClipboardHoldsOneTrueColourCopyOfTheJpegBomb) {
    const ChildFigures f = MeasureInChild(
        [&] { Fill(QStringLiteral("bomb.jpg"), JpegBomb(8192)); },
        [&] {
            RunGuarded([] { Form1->CopySlotToClipboard(1); });
            EXPECT_EQ(dialogs.messages(),
                      std::vector<QString>{QStringLiteral("クリップボードにコピーしました。")});
            EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(8192, 8192));
        });
    ASSERT_TRUE(f.finished) << f.failure;
    EXPECT_LT(f.grownBytes, 256 * kMB * 5 / 4 + 48 * kMB) << Describe(f);
    EXPECT_LT(f.cpuSeconds, 60.0) << Describe(f);
}

// A 5 GB sparse file that starts FF D8 FF and then holds zeros ends every
// decode at once with libjpeg's "no image" error (#51), where each took
// some 20 seconds: the thumbnail, and with a good picture in the slot
// replaced by it, the detail window, the histogram, the full-size view, the
// clipboard and the print preparation.
TEST_F(HostileFiles, ASparseJpegEndsEveryDecodeAtOnce) {
    const QString name = QStringLiteral("sparse.jpg");
    auto makeSparse = [&] {
        ASSERT_TRUE(WriteSparseFile(folder + name, "\xFF\xD8\xFF", qint64(5) << 30));
    };
    const ChildFigures f = MeasureInChild({}, [&] {
        makeSparse();
        RunGuarded([&] { Form1->FillSlotFromList(folder, name); });
        Fill(name, JpegBomb(64));
        RunGuarded([] { Form1->OpenDetailWindow(1); });
        makeSparse();
        RunGuarded([] { Form1->OpenDetailWindow(1); });
        RunGuarded([] { Form3->BitBtn2Click(); });
        RunGuarded([] { Form1->ShowFullSize(1); });
        RunGuarded([] { Form1->CopySlotToClipboard(1); });
        RunGuarded([] { Form1->PreparePrintPicture(1); });
        EXPECT_EQ(dialogs.messages(), std::vector<QString>(6, QStringLiteral("JPEG エラー #51.")));
    });
    ASSERT_TRUE(f.finished) << f.failure;
    EXPECT_LT(f.cpuSeconds, 10.0) << Describe(f);
}
