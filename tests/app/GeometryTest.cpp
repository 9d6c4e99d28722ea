// The window size modes, the ten grid layouts and the command line, checked
// against the worked figures of the main window.
#include <gtest/gtest.h>

#include <vector>

#include "app/CommandLine.h"
#include "app/Geometry.h"

using namespace tamarind;

TEST(SizeModes, WorkedFiguresOnTwoScreens) {
    struct Row {
        QSize screen;
        int mode, ww, wh, left, top, panel, grid, selector, label17, memo1;
    };
    const Row rows[] = {
        {{1024, 768}, 0, 1024, 743, 0, 0, 160, 852, 144, 21, 57},
        {{1024, 768}, 1, 886, 665, 69, 51, 145, 729, 129, 14, 50},
        {{1024, 768}, 2, 723, 542, 150, 113, 130, 581, 114, 6, 42},
        {{1024, 768}, 3, 512, 384, 256, 192, 115, 385, 99, -1, 35},
        {{1280, 1024}, 0, 1280, 990, 0, 0, 160, 1108, 144, 21, 57},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.screen.width() << "x" << r.screen.height() << " mode "
                                        << r.mode);
        const SizeModeGeometry g = ComputeSizeMode(r.mode, r.screen, r.screen.height(), {});
        EXPECT_EQ(g.windowWidth, r.ww);
        EXPECT_EQ(g.windowHeight, r.wh);
        EXPECT_EQ(g.left, r.left);
        EXPECT_EQ(g.top, r.top);
        EXPECT_EQ(g.panelWidth, r.panel);
        EXPECT_EQ(g.gridWidth, r.grid);
        EXPECT_EQ(g.selectorWidth, r.selector);
        EXPECT_EQ(g.label17Left, r.label17);
        EXPECT_EQ(g.memo1Left, r.memo1);
    }
}

TEST(SizeModes, FullModeUsesTheScreenHeightOfNowAndOddModesKeepTheWindow) {
    // The subtracted part follows the current screen height; the rest the start-up size.
    EXPECT_EQ(ComputeSizeMode(0, {1024, 768}, 1024, {}).windowHeight, 768 - 34);
    const SizeModeGeometry odd = ComputeSizeMode(7, {1024, 768}, 768, {600, 400});
    EXPECT_EQ(odd.windowWidth, 600);
    EXPECT_EQ(odd.windowHeight, 400);
}

TEST(SizeModes, SplitterDragFigures) {
    EXPECT_EQ(GridWidthFor(1024, 300), 712);
    EXPECT_EQ(SelectorWidthFor(10), -6);
    EXPECT_EQ(Label17LeftFor(115), -1);  // truncation toward zero, not floor
    EXPECT_EQ(GridHeightFor(743, 20, 25), 698);
}

TEST(GridLayouts, WorkedTableForA1000By700Grid) {
    struct Row {
        int layout, fw, fh;
        std::vector<int> lefts, tops;
        int iw, ih;
    };
    const Row rows[] = {
        {1, 984, 684, {8}, {8}, 968, 636},
        {2, 488, 688, {8, 504}, {8}, 472, 640},
        {3, 988, 338, {8}, {8, 354}, 972, 290},
        {4, 488, 338, {8, 504}, {8, 354}, 472, 290},
        {5, 321, 338, {8, 337, 666}, {8, 354}, 305, 290},
        {6, 488, 221, {8, 504}, {8, 237, 466}, 472, 173},
        {7, 321, 221, {8, 337, 666}, {8, 237, 466}, 305, 173},
        {8, 238, 221, {8, 254, 500, 746}, {8, 237, 466}, 222, 173},
        {9, 321, 163, {8, 337, 666}, {8, 179, 350, 521}, 305, 115},
        {10, 238, 163, {8, 254, 500, 746}, {8, 179, 350, 521}, 222, 115},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.layout);
        const GridGeometry g = ComputeGrid(r.layout, 1000, 700);
        EXPECT_EQ(g.frameWidth, r.fw);
        EXPECT_EQ(g.frameHeight, r.fh);
        EXPECT_EQ(g.imageWidth, r.iw);
        EXPECT_EQ(g.imageHeight, r.ih);
        ASSERT_EQ(g.shape.columns, int(r.lefts.size()));
        ASSERT_EQ(g.shape.rows, int(r.tops.size()));
        EXPECT_EQ(g.shape.slotCount, g.shape.columns * g.shape.rows);
        // Slots are numbered row by row from the top left.
        for (int row = 0; row < g.shape.rows; ++row)
            for (int col = 0; col < g.shape.columns; ++col) {
                const QRect f = g.FrameRect(row * g.shape.columns + col + 1);
                EXPECT_EQ(f.left(), r.lefts[col]);
                EXPECT_EQ(f.top(), r.tops[row]);
                EXPECT_EQ(f.size(), QSize(r.fw, r.fh));
            }
    }
    // The last 3 x 2 frame ends at 987.
    EXPECT_EQ(ComputeGrid(5, 1000, 700).FrameRect(3).left() + 321, 987);
}

TEST(GridLayouts, RoundingTinyGridsAndInvalidLayouts) {
    EXPECT_EQ(ComputeGrid(4, 1001, 700).frameWidth, 488);
    EXPECT_EQ(ComputeGrid(3, 1000, 703).frameHeight, 339);
    const GridGeometry tiny = ComputeGrid(10, 40, 30);
    EXPECT_LE(tiny.imageWidth, 0);
    EXPECT_LE(tiny.imageHeight, 0);
    for (int bad : {0, -1, 11, 100}) {
        EXPECT_FALSE(IsValidLayout(bad));
        EXPECT_EQ(ComputeGrid(bad, 1000, 700).shape.slotCount, 0);
    }
}

TEST(CommandLine, NumbersPathsAndFallbacks) {
    struct Case {
        QStringList args;
        int layout;
        bool continuous;
        int unit;
        QString file;
    };
    const Case cases[] = {
        {{}, 4, false, 0, {}},
        {{"12", "1", "1"}, 10, true, 1, {}},
        {{"3"}, 3, false, 0, {}},
        {{"9", "0", "2"}, 9, false, 2, {}},
        {{"100"}, 1, false, 0, "100"},
        {{"/tmp/a.jpg", "1", "2"}, 1, false, 0, "/tmp/a.jpg"},
        {{"7", "01"}, 7, false, 0, {}},      // only the exact text "1" means continuous
        {{"5", "1", "7"}, 5, true, 0, {}},   // any other unit number is Pixel
        {{"x"}, 4, false, 0, {}},            // not a number: default layout
        {{"0", "1"}, 4, true, 0, {}},        // below 1: default layout
        {{"-3"}, 4, false, 0, {}},
        {{"6", "1", "mm"}, 6, true, 0, {}},  // a unit that is not a number: Pixel
        {{"2", "1", ""}, 2, true, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const StartupOptions o = ParseCommandLine(c.args);
        EXPECT_EQ(o.layout, c.layout);
        EXPECT_EQ(o.continuous, c.continuous);
        EXPECT_EQ(o.displayUnit, c.unit);
        EXPECT_EQ(o.startFile, c.file);
    }
}
