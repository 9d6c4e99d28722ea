#include "detail/DHist.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include "detail/Cgrp.h"
#include "detail/Histogram.h"
#include "platform/Controls.h"
#include "platform/Fonts.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "platform/WindowFrame.h"
#include "shared/MainWindowLink.h"
#include "shared/ViewerState.h"

namespace tamarind {

TForm4* Form4 = nullptr;

namespace {
const QColor kTeal(0, 128, 128);
constexpr int kImageLeft = 10;
}  // namespace

CanvasBox::CanvasBox(int width, int height, QWidget* parent)
    : QWidget(parent), canvas_(width, height, QImage::Format_RGB32) {
    canvas_.fill(Qt::white);
    resize(width, height);
}

void CanvasBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
}

TForm4::TForm4(MainWindowLink* main, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint), main_(main) {
    Form4 = this;
    setObjectName(QStringLiteral("Form4"));
    MarkAsToolWindow(this);  // no title-bar buttons: "戻る" closes it
    setWindowTitle(QStringLiteral("ヒストグラム"));
    setFont(UiFont(kGothic, 15));
    SetBackgroundColor(this, kTeal);

    Edit3 = MakeBox(this, "Edit3", {kImageLeft, 8, 267, 24});
    Edit1 = MakeBox(this, "Edit1", {kImageLeft, 38, 267, 24});
    ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(kImageLeft, 74, 170, 17);
    ScrollBar1->setRange(1, 200);
    ScrollBar1->setValue(40);
    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("戻る"), {kImageLeft + 182, 68, 85, 28});
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));

    const int heights[] = {105, 105, 105, 113, 25};
    CanvasBox** images[] = {&Image1, &Image2, &Image3, &Image4, &Image5};
    for (int i = 0; i < 5; ++i) {
        *images[i] = new CanvasBox(kGraphWidth, heights[i], this);
        (*images[i])->setObjectName(QStringLiteral("Image%1").arg(i + 1));
        (*images[i])->move(kImageLeft, 104 + 112 * i);
    }
    Edit2 = MakeRequestField(this, QStringLiteral("Edit2"), [this] { Edit2Change(); });

    Connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] { ScrollBar1_Change(); });
    Connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    CloseLikeBackButton(this, [this] { BitBtn1Click(); });
    Form4_Create();
}

void TForm4::Form4_Create() {
    HistogramScale = 40;
    ScrollBar1->setValue(40);
    setFixedSize(Image1->width() + 28, 620);
}

void TForm4::Edit2Change() {
    DrawHistogramFrames();
    DrawHistograms();
}

void TForm4::ScrollBar1_Change() {
    HistogramScale = ScrollBar1->value();
    DrawHistogramFrames();
    DrawHistograms();
}

void TForm4::BitBtn1Click() {
    // The detail window writes the same request when it closes: one counter
    // for both, or the second of two equal texts would never reach the main
    // window and the slot's frame would stay lit.
    ++MainRequestSerial;
    if (main_) main_->RequestFrameReset(QString::number(MainRequestSerial));
    hide();
}

void TForm4::DrawHistogramFrames() {
    CanvasBox* graphs[] = {Image1, Image2, Image3, Image4};
    const int tops[] = {104, 216, 328, 440, 552};
    for (int i = 0; i < 4; ++i) {
        graphs[i]->move(graphs[i]->x(), tops[i]);
        DrawGraphFrame(graphs[i]->Canvas());
        graphs[i]->update();
    }
    Image5->move(Image5->x(), tops[4]);
    DrawAxisLabels(Image5->Canvas());
    Image5->update();
}

void TForm4::DrawHistograms() {
    const HistogramTables& t = Viewer.Histogram;
    if (t.HistogramPeak < 1) return;  // the frames stay empty
    DrawGraphLines(Image1->Canvas(), t.HistogramRed, t.HistogramPeak, HistogramScale, qRgb(255, 0, 0));
    DrawGraphLines(Image2->Canvas(), t.HistogramGreen, t.HistogramPeak, HistogramScale, qRgb(0, 128, 0));
    DrawGraphLines(Image3->Canvas(), t.HistogramBlue, t.HistogramPeak, HistogramScale, qRgb(0, 0, 255));
    DrawGraphLines(Image4->Canvas(), t.HistogramSum, t.HistogramSumPeak, HistogramScale, qRgb(0, 0, 0));
    for (CanvasBox* graph : {Image1, Image2, Image3, Image4}) graph->update();
}

}  // namespace tamarind
