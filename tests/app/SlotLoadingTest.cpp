// Slots that keep only thumbnails: the full picture behind a slot, a changed
// picture kept in its slot, and continuous runs decoded in parallel but
// committed in list order, also when a later file decodes first or a file in
// the middle is damaged.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <chrono>
#include <mutex>
#include <thread>

#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/SlotLoader.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

Bitmap Shaded(int w, int h) {
    Bitmap b(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uchar* p = b.scanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = uchar(x * 255 / w);
            p[1] = uchar(y * 255 / h);
            p[2] = 90;
        }
    }
    return b;
}

class SlotLoading : public ::testing::Test {
  protected:
    void SetUp() override { folder = dir.path(); }
    void TearDown() override {
        SetSlotDecoder({});
        DestroyForms();
    }
    void Start(const QStringList& args) {
        Viewer = ViewerState{};
        CreateForms(args);
        form = Form1;
        RunGuarded([&] { form->ShowFolder(folder); });
    }
    void PutJpeg(const QString& name, int w = 40, int h = 30) {
        WriteFileBytes(folder + u'/' + name, EncodeJpeg(Shaded(w, h), 80));
    }
    void ClickFile(int row) {
        form->FileListBox1->SelectRow(row);
        RunGuarded([&] { form->FLB1_Click(); });
    }

    QTemporaryDir dir;
    QString folder;
    TForm1* form = nullptr;
    ScriptedDialogs dialogs;
};

TEST_F(SlotLoading, ASlotKeepsItsThumbnailAndGivesTheFullPictureOnDemand) {
    PutJpeg(QStringLiteral("a.jpg"), 1600, 1200);
    Start({"4"});
    Viewer.GridWidth = 1000;
    Viewer.GridHeight = 700;
    form->ApplyLayout(4);
    ClickFile(0);
    PictureBox* box = form->SlotImage(1);
    ASSERT_TRUE(box->HasPicture());
    EXPECT_FALSE(box->HasFullPicture());  // no full-size picture held
    EXPECT_EQ(box->NaturalSize(), QSize(1600, 1200));
    EXPECT_EQ(box->ScaledImage().size(), QSize(386, 290));
    EXPECT_EQ(form->Image17->NaturalSize(), QSize(1600, 1200));
    // Clipboard, detail window, printing: the file decoded at full size now.
    const Picture full = form->SlotFullPicture(1);
    EXPECT_EQ(full.size(), QSize(1600, 1200));
    EXPECT_EQ(full.bitmap().bitsPerPixel(), 24);
    EXPECT_TRUE(form->SlotFullPicture(2).isNull());  // an empty slot
    // A file gone since the slot was filled: the decoder's error, not a stale picture.
    QFile::remove(folder + QStringLiteral("/a.jpg"));
    EXPECT_THROW(form->SlotFullPicture(1), std::exception);
}

TEST_F(SlotLoading, ATurnedPictureStaysInItsSlot) {
    PutJpeg(QStringLiteral("a.jpg"), 1600, 1200);
    PutJpeg(QStringLiteral("b.jpg"), 320, 200);
    Start({"4"});
    Viewer.GridWidth = 1000;
    Viewer.GridHeight = 700;
    form->ApplyLayout(4);
    ClickFile(0);
    // The detail window turned slot 1's picture by 90 degrees.
    Viewer.WorkSlot = 1;
    const Picture turned = Picture::FromBitmap(Shaded(1200, 1600));
    form->SetSlotFullPicture(1, turned);
    form->Edit1->setText(QStringLiteral("1"));
    EXPECT_EQ(form->SlotImage(1)->size(), QSize(217, 290));
    EXPECT_EQ(form->SizeCaption(1)->text(), QStringLiteral("W= 1200, H= 1600 [Pixel]"));
    EXPECT_EQ(Viewer.SlotPixelWidth[1], 1200);
    // Other loads go on; the slot keeps the changed picture, not its file's.
    ClickFile(1);
    ClickFile(1);
    EXPECT_TRUE(form->SlotImage(1)->HasFullPicture());
    EXPECT_EQ(form->SlotFullPicture(1).size(), QSize(1200, 1600));
    EXPECT_EQ(form->SlotImage(1)->ScaledImage().size(), QSize(217, 290));
    EXPECT_EQ(form->SlotFullPicture(2).size(), QSize(320, 200));
}

TEST_F(SlotLoading, AContinuousRunCommitsInListOrderWhenALaterFileDecodesFirst) {
    for (int i = 1; i <= 6; ++i) PutJpeg(QStringLiteral("f%1.jpg").arg(i), 60 + i, 40);
    Start({"4", "1"});
    std::mutex mutex;
    QStringList finished;
    SetSlotDecoder([&](const QString& path, const BoxForSize& boxFor, const SlotPreview&) {
        // The first file of the run takes longest.
        if (path.endsWith(QStringLiteral("f2.jpg")))
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        SlotLoad load;
        load.thumbnail = LoadThumbnail(path, boxFor);
        std::lock_guard lock(mutex);
        finished << QFileInfo(path).fileName();
        return load;
    });
    ClickFile(1);  // f2 to f5 into slots 1 to 4
    ASSERT_EQ(finished.size(), 4);
    EXPECT_NE(finished.first(), QStringLiteral("f2.jpg"));  // decoded after a later one
    for (int slot = 1; slot <= 4; ++slot) {
        EXPECT_EQ(form->Frame(slot)->title(), QStringLiteral("f%1.jpg").arg(slot + 1));
        EXPECT_EQ(Viewer.SlotFileName[slot], QStringLiteral("f%1.jpg").arg(slot + 1));
        EXPECT_EQ(Viewer.SlotPixelWidth[slot], 61 + slot);
    }
    EXPECT_EQ(Viewer.SelectedSlot, 4);
    EXPECT_EQ(Viewer.NextSlot, 1);
    EXPECT_EQ(form->FileListBox1->SelectedName(), QStringLiteral("f5.jpg"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(SlotLoading, ADamagedFileInTheMiddleOfARunEndsItThere) {
    for (int i = 1; i <= 6; ++i) PutJpeg(QStringLiteral("f%1.jpg").arg(i));
    WriteFileBytes(folder + QStringLiteral("/f3.jpg"), QByteArray("\xff\xd8\xff\xdb garbage", 12));
    Start({"4", "1"});
    ClickFile(0);
    // f1 and f2 committed; f3's error shown once; slots 3 and 4 untouched.
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("JPEG エラー #")));
    EXPECT_EQ(form->Frame(1)->title(), QStringLiteral("f1.jpg"));
    EXPECT_EQ(form->Frame(2)->title(), QStringLiteral("f2.jpg"));
    EXPECT_FALSE(form->SlotImage(3)->HasPicture());
    EXPECT_FALSE(form->SlotImage(4)->HasPicture());
    EXPECT_TRUE(Viewer.SlotFileName[3].isEmpty());
    EXPECT_TRUE(Viewer.SlotFileName[4].isEmpty());
    // As the file-by-file run leaves it: the failed file's slot selected, the cursor on it.
    EXPECT_EQ(Viewer.SelectedSlot, 3);
    EXPECT_EQ(Viewer.NextSlot, 3);
    EXPECT_EQ(form->FileListBox1->SelectedName(), QStringLiteral("f2.jpg"));

    // The same run again from f4 after a refill: nothing of the failed run lingers.
    ClickFile(3);
    EXPECT_EQ(form->Frame(3)->title(), QStringLiteral("f4.jpg"));
    EXPECT_EQ(form->Frame(4)->title(), QStringLiteral("f5.jpg"));
    EXPECT_EQ(form->Frame(1)->title(), QStringLiteral("f6.jpg"));
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST(ParallelSlotLoads, NothingStartsAfterAFailedFile) {
    std::mutex mutex;
    QStringList started;
    const SlotDecoder previous =
        SetSlotDecoder([&](const QString& path, const BoxForSize&, const SlotPreview&) {
            {
                std::lock_guard lock(mutex);
                started << path;
            }
            if (path == QStringLiteral("2")) throw std::runtime_error("damaged");
            return SlotLoad{};
        });
    {
        ParallelSlotLoads loads(
            {"1", "2", "3", "4", "5"}, [](QSize s) { return s; }, 1);
        EXPECT_NO_THROW(loads.Take(0));
        EXPECT_THROW(loads.Take(1), std::runtime_error);
    }
    SetSlotDecoder(previous);
    EXPECT_EQ(started, (QStringList{"1", "2"}));
}

}  // namespace
