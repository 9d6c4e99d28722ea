// The histogram window: created hidden with its scale at 40, drawn on the
// detail window's request, redrawn by its scroll bar, and "戻る" asking the
// main window to reset its frames.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "FakeMainWindow.h"
#include "detail/DHist.h"
#include "detail/Histogram.h"
#include "shared/ViewerState.h"

using namespace tamarind;

namespace {

class HistogramWindow : public ::testing::Test {
protected:
    void SetUp() override {
        Viewer = ViewerState{};
        form = new TForm4(&main);
    }
    void TearDown() override {
        delete form;
        Form4 = nullptr;
    }

    // What the detail window does after counting.
    void Request(const HistogramTables& tables) {
        Viewer.Histogram = tables;
        ++Viewer.DetailRequestSerial;
        form->Edit2->setText(QString::number(Viewer.DetailRequestSerial));
    }
    // Length of the coloured run at the foot of the column of `value`.
    static int Line(const CanvasBox* graph, int value) {
        const QImage& g = graph->Canvas();
        const QRgb colour = g.pixel(value + 5, 100);
        if (colour == qRgb(255, 255, 255)) return 0;
        int top = 100;
        while (top > 0 && g.pixel(value + 5, top - 1) == colour) --top;
        return 101 - top;
    }

    test::FakeMainWindow main;
    TForm4* form = nullptr;
};

TEST_F(HistogramWindow, ComesUpHiddenWithItsControls) {
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ヒストグラム"));
    EXPECT_EQ(form->HistogramScale, 40);
    EXPECT_EQ(form->ScrollBar1->minimum(), 1);
    EXPECT_EQ(form->ScrollBar1->maximum(), 200);
    EXPECT_EQ(form->ScrollBar1->value(), 40);
    EXPECT_EQ(form->width(), 267 + 28);
    EXPECT_EQ(form->height(), 620);
    EXPECT_EQ(form->BitBtn1->text(), QStringLiteral("戻る"));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowCloseButtonHint);
    const CanvasBox* images[] = {form->Image1, form->Image2, form->Image3, form->Image4, form->Image5};
    const int tops[] = {104, 216, 328, 440, 552};
    const int heights[] = {105, 105, 105, 113, 25};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(images[i]->y(), tops[i]) << i;
        EXPECT_EQ(images[i]->size(), QSize(267, heights[i])) << i;
    }
}

TEST_F(HistogramWindow, DrawsFourGraphsAndRedrawsWithTheScrollBar) {
    // A picture of 100 pixels: 60 x (50, 60, 70), 39 x (100, 110, 120), 1 x (200, 210, 220).
    HistogramTables t;
    t.HistogramRed[50] = t.HistogramGreen[60] = t.HistogramBlue[70] = 60;
    t.HistogramRed[100] = t.HistogramGreen[110] = t.HistogramBlue[120] = 39;
    t.HistogramRed[200] = t.HistogramGreen[210] = t.HistogramBlue[220] = 1;
    FinishHistogram(t);
    ASSERT_EQ(t.HistogramPeak, 12);
    ASSERT_EQ(t.HistogramSumPeak, 36);
    Request(t);
    // Scale 40: the peak and 39 are cut off at the top, 1 x 40 div 12 = 3.
    EXPECT_EQ(Line(form->Image1, 50), 101);
    EXPECT_EQ(form->Image1->Canvas().pixel(55, 50), qRgb(255, 0, 0));
    EXPECT_EQ(form->Image2->Canvas().pixel(65, 50), qRgb(0, 128, 0));
    EXPECT_EQ(form->Image3->Canvas().pixel(75, 50), qRgb(0, 0, 255));
    EXPECT_EQ(Line(form->Image1, 200), 3);
    EXPECT_EQ(Line(form->Image2, 210), 3);
    EXPECT_EQ(Line(form->Image3, 220), 3);
    EXPECT_EQ(Line(form->Image1, 60), 0);
    // Combined: 60 x 40 div 36 = 66, 39 x 40 div 36 = 43, 1 x 40 div 36 = 1.
    EXPECT_EQ(Line(form->Image4, 50), 66);
    EXPECT_EQ(Line(form->Image4, 110), 43);
    EXPECT_EQ(Line(form->Image4, 220), 1);
    EXPECT_EQ(form->Image4->Canvas().pixel(55, 99), qRgb(0, 0, 0));

    form->ScrollBar1->setValue(20);
    EXPECT_EQ(form->HistogramScale, 20);
    EXPECT_EQ(Line(form->Image1, 50), 100);
    EXPECT_EQ(Line(form->Image1, 100), 65);
    EXPECT_EQ(Line(form->Image1, 200), 1);
    EXPECT_EQ(Line(form->Image4, 50), 33);

    form->ScrollBar1->setValue(200);
    EXPECT_EQ(Line(form->Image2, 210), 16);
    EXPECT_EQ(Line(form->Image4, 220), 5);
}

TEST_F(HistogramWindow, FewerThanFivePixelsLeaveTheFramesEmpty) {
    HistogramTables t;
    t.HistogramRed[9] = t.HistogramGreen[9] = t.HistogramBlue[9] = 4;
    FinishHistogram(t);
    Request(t);
    for (const CanvasBox* g : {form->Image1, form->Image2, form->Image3, form->Image4})
        EXPECT_EQ(Line(g, 9), 0);
    EXPECT_EQ(form->Image1->Canvas().pixel(2, 0), qRgb(0, 0, 0));  // the frame is drawn
}

TEST_F(HistogramWindow, BackAsksTheMainWindowToResetItsFramesAndHides) {
    form->show();
    form->BitBtn1->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(main.frameReset.isEmpty());
    const QString first = main.frameReset;
    form->BitBtn1Click();
    EXPECT_NE(main.frameReset, first);
}

}  // namespace
