// A screen scaled to 200 % (device-pixel ratio 2, 1024 x 768 logical
// pixels): the window and grid keep the sizes they have at 100 %, slot
// thumbnails are made with twice the pixels across and down and keep detail
// a 100 % thumbnail cannot hold, and the full-size view shows a picture one
// picture pixel per device pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "app/Geometry.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"
#include "picture/Bmp.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

// Black and white: one-pixel squares, or vertical stripes `stripe` pixels wide.
Bitmap Pattern(int w, int h, int stripe) {
    Bitmap b(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uchar* p = b.scanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            const bool white = stripe > 0 ? (x / stripe) % 2 == 1 : (x + y) % 2 == 1;
            p[0] = p[1] = p[2] = white ? 255 : 0;
        }
    }
    return b;
}

class HiDpi : public ::testing::Test {
  protected:
    void TearDown() override { DestroyForms(); }
    int Load(const QString& name, const Bitmap& picture) {
        WriteBmpFile(dir.filePath(name), picture);
        RunGuarded([&] { form->ShowFolder(dir.path()); });
        const int slot = Viewer.NextSlot;
        RunGuarded([&] { form->FillSlotFromList(dir.path() + u'/', name); });
        return slot;
    }
    void Start(const QStringList& args) {
        Viewer = ViewerState{};
        CreateForms(args);
        form = Form1;
        form->show();
        QApplication::processEvents();
        ASSERT_EQ(form->devicePixelRatioF(), 2.0);
    }
    QTemporaryDir dir;
    TForm1* form = nullptr;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(HiDpi, GridKeepsItsLogicalSizesWhileThumbnailsGetTheDevicePixels) {
    Start({"10"});
    // The full mode of a 1024 x 768 screen, as at 100 %.
    EXPECT_EQ(form->geometry(), QRect(0, 0, 1024, 743));
    EXPECT_EQ(Viewer.GridWidth, 852);
    const GridGeometry grid = ComputeGrid(10, Viewer.GridWidth, Viewer.GridHeight);
    EXPECT_EQ(form->Frame(16)->geometry(), grid.FrameRect(16));

    // Stripes two pixels wide in a picture four times the cell's width: the
    // box is half as wide as the picture in device pixels, so the stripes
    // survive there, where a thumbnail of the box's logical size would have
    // averaged them away.
    const int cell = int(Viewer.CellImageWidth);
    const QSize natural(4 * cell, 4 * cell / 3);
    const int slot = Load(QStringLiteral("stripes.bmp"), Pattern(natural.width(), natural.height(), 2));
    PictureBox* box = form->SlotImage(slot);
    EXPECT_EQ(box->width(), cell);
    const QImage shown = box->ScaledImage();
    EXPECT_EQ(shown.size(), box->size() * 2);
    EXPECT_EQ(shown.devicePixelRatio(), 2.0);
    const int y = shown.height() / 2;
    long step = 0;
    for (int x = 1; x < shown.width(); ++x)
        step += std::abs(qGray(shown.pixel(x, y)) - qGray(shown.pixel(x - 1, y)));
    EXPECT_GT(step / (shown.width() - 1), 100) << "the stripes were averaged away";
    // The caption tells the picture's own size.
    EXPECT_EQ(form->SizeCaption(slot)->text(),
              QStringLiteral("W= %1, H= %2 [Pixel]").arg(natural.width()).arg(natural.height()));
}

TEST_F(HiDpi, FullSizeViewShowsOnePicturePixelPerDevicePixel) {
    Start({});
    const Bitmap board = Pattern(301, 201, 0);  // odd: half a logical pixel over
    const int slot = Load(QStringLiteral("board.bmp"), board);
    RunGuarded([&] { form->ShowFullSize(slot); });
    ASSERT_TRUE(Form5->isVisible());
    EXPECT_EQ(Form5->Image1->size(), QSize(151, 101));
    EXPECT_EQ(Form5->Edit1->text(), QStringLiteral("301"));
    EXPECT_EQ(Form5->Edit2->text(), QStringLiteral("201"));
    const QImage grabbed = Form5->Image1->grab().toImage();
    ASSERT_EQ(grabbed.devicePixelRatio(), 2.0);
    ASSERT_GE(grabbed.width(), 301);
    ASSERT_GE(grabbed.height(), 201);
    int wrong = 0;
    for (int y = 0; y < 201; ++y)
        for (int x = 0; x < 301; ++x)
            if (qGray(grabbed.pixel(x, y)) != ((x + y) % 2 ? 255 : 0)) ++wrong;
    EXPECT_EQ(wrong, 0);
}
