// The table's and the chooser's geometry, and the chooser's shortened path.
#include <gtest/gtest.h>

#include "batch/BatchLayout.h"

using namespace tamarind;

TEST(BatchLayout, TableGrowsByTenthsOfTheWindowGrowth) {
    const TableBase base;  // 150, 76, 152 at 520
    TableLayout t = ComputeTableLayout({520, 691}, 8, 174, base, 16);
    EXPECT_EQ(t.panel, QRect(6, 192, 480, 691 - 348 - 30));
    EXPECT_EQ(t.nameWidth, 150);
    EXPECT_EQ(t.listWidth, 1040);
    EXPECT_EQ(t.scrollBar, QRect(486, 192, 16, t.panel.height()));
    // Widening by 100: name +60, size +20, created +10; the updated cell takes
    // the remaining 10 of the panel's +100.
    t = ComputeTableLayout({620, 691}, 8, 174, base, 16);
    EXPECT_EQ(t.nameWidth, 210);
    EXPECT_EQ(t.sizeWidth, 96);
    EXPECT_EQ(t.createdWidth, 162);
    // Narrower: the tenths truncate toward zero (-15 / 10 = -1).
    t = ComputeTableLayout({505, 691}, 8, 174, base, 16);
    EXPECT_EQ(t.nameWidth, 144);
    EXPECT_EQ(t.sizeWidth, 74);
    EXPECT_EQ(t.createdWidth, 151);
    EXPECT_EQ(PageRowsFor(120, 12), 9);
    EXPECT_EQ(PageRowsFor(120, 13), 8);
    EXPECT_EQ(PageRowsFor(11, 12), -1);
}

TEST(BatchLayout, ChooserFollowsItsWidth) {
    const ChooserLayout a = ComputeChooserLayout({341, 452}, 26, 39);
    EXPECT_EQ(a.button1Left, 225);
    EXPECT_EQ(a.button2Top, 75);
    EXPECT_EQ(a.listWidth, 201);
    EXPECT_EQ(a.listHeight, 342);
    EXPECT_EQ(a.imageLeft, 257);
    const ChooserLayout b = ComputeChooserLayout({441, 452}, 26, 39);
    EXPECT_EQ(b.button1Left - a.button1Left, 100);
    EXPECT_EQ(b.button2Left - a.button2Left, 100);
    EXPECT_EQ(b.imageLeft - a.imageLeft, 100);
    EXPECT_EQ(b.listWidth - a.listWidth, 100);
}

TEST(BatchLayout, PathLineShortensFolderByFolder) {
    auto within = [](int n) { return [n](const QString& s) { return s.size() <= n; }; };
    EXPECT_EQ(ShortenPath("/a/b/c", within(20)), "/a/b/c");
    EXPECT_EQ(ShortenPath("/alpha/beta/gamma", within(16)), "/.../beta/gamma");
    EXPECT_EQ(ShortenPath("/alpha/beta/gamma", within(11)), "/.../gamma");
    EXPECT_EQ(ShortenPath("/alpha/beta/gamma", within(9)), ".../gamma");
    EXPECT_EQ(ShortenPath("/alpha/beta/gamma", within(1)), ".../gamma");  // the last part stays
    EXPECT_EQ(ShortenPath("/", within(0)), "/");
}
