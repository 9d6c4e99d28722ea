// Fitting pictures into slots, size captions and the next-slot rule.
#include <gtest/gtest.h>

#include "app/Geometry.h"
#include "app/SlotFitting.h"

using namespace tamarind;

TEST(SlotFitting, WorkedExamplesInTheTwoByTwoCell) {
    const float cw = 472, ch = 290, aspect = cw / ch;
    EXPECT_EQ(FitPictureBox({1600, 1200}, cw, ch, aspect), QSize(386, 290));
    EXPECT_EQ(FitPictureBox({3000, 1000}, cw, ch, aspect), QSize(472, 157));
    EXPECT_EQ(FitPictureBox({200, 100}, cw, ch, aspect), QSize(200, 100));  // never enlarged
    EXPECT_EQ(FitPictureBox({100, 400}, cw, ch, aspect), QSize(72, 290));
    EXPECT_EQ(FitPictureBox({472, 290}, cw, ch, aspect), QSize(472, 290));  // exactly the cell
    EXPECT_EQ(FitPictureBox({1200, 1600}, cw, ch, aspect), QSize(217, 290));
}

TEST(SlotFitting, DegeneratePicturesAndCellsGiveEmptyBoxes) {
    EXPECT_EQ(FitPictureBox({0, 100}, 472, 290, 1.6f), QSize(0, 0));
    EXPECT_EQ(FitPictureBox({100, 0}, 472, 290, 1.6f), QSize(0, 0));
    // A cell squeezed to nothing (tiny window): no negative or huge sizes.
    const GridGeometry tiny = ComputeGrid(10, 60, 40);
    const float aspect = tiny.imageHeight != 0 ? float(tiny.imageWidth) / tiny.imageHeight : 0;
    const QSize box = FitPictureBox({640, 480}, tiny.imageWidth, tiny.imageHeight, aspect);
    EXPECT_EQ(box, QSize(0, 0));
}

TEST(SizeCaptions, PixelMillimetreAndInchWithLocaleSeparators) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(SizeCaptionText(0, 72, 1600, 1200, us), QStringLiteral("W= 1600, H= 1200 [Pixel]"));
    EXPECT_EQ(SizeCaptionText(1, 72, 1600, 1200, us), QStringLiteral("W= 564.4, H= 423.3 [mm]"));
    EXPECT_EQ(SizeCaptionText(1, 300, 1600, 1200, us), QStringLiteral("W= 135.5, H= 101.6 [mm]"));
    EXPECT_EQ(SizeCaptionText(2, 300, 1600, 1200, us), QStringLiteral("W= 5.33, H= 4.00 [inch]"));
    EXPECT_EQ(SizeCaptionText(1, 72, 4000, 3000, us), QStringLiteral("W= 1,411.1, H= 1,058.3 [mm]"));
    // Pixel sizes are never grouped; other locales use their own marks.
    EXPECT_EQ(SizeCaptionText(0, 72, 12000, 9000, us), QStringLiteral("W= 12000, H= 9000 [Pixel]"));
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(SizeCaptionText(1, 72, 4000, 3000, de), QStringLiteral("W= 1.411,1, H= 1.058,3 [mm]"));
}

TEST(NextSlotRule, WrapsAndSkipsTheProtectedSlot) {
    // 2 x 2 with slot 2 protected: 1, 3, 4, 1, 3, 4 ...
    int slot = 1;
    std::vector<int> order{slot};
    for (int i = 0; i < 5; ++i) order.push_back(slot = NextSlotAfter(slot, 4, 2));
    EXPECT_EQ(order, (std::vector<int>{1, 3, 4, 1, 3, 4}));
    EXPECT_EQ(NextSlotAfter(8, 9, 9), 1);  // 3 x 3, slot 9 protected
    EXPECT_EQ(NextSlotAfter(1, 1, 0), 1);  // one-slot layout
    EXPECT_EQ(NextSlotAfter(4, 4, 1), 2);  // wraps onto the protected slot, skips it
}
