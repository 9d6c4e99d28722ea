#pragma once
// The histogram window: red, green, blue and combined value counts, drawn
// from the tables the detail window counted (Viewer.Histogram), with a
// scroll bar that stretches the graphs vertically.
//
// How the detail window opens it: count into Viewer.Histogram
// (CountHistogram in detail/Histogram.h), put the folder and the file name
// into Edit3 and Edit1, write a new DetailRequestSerial into Edit2 (the
// window draws at once), then show the window.

#include <QImage>
#include <QWidget>

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace tamarind {

class MainWindowLink;

// A picture box the window draws into: it shows its canvas unscaled.
class CanvasBox : public QWidget {
public:
    CanvasBox(int width, int height, QWidget* parent);
    QImage& Canvas() { return canvas_; }
    const QImage& Canvas() const { return canvas_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage canvas_;
};

class TForm4 : public QWidget {
public:
    // `main` is the main window the window reports to (none: it reports
    // nowhere).
    explicit TForm4(MainWindowLink* main = nullptr, QWidget* parent = nullptr);

    void Form4_Create();
    // Draw request from the detail window.
    void Edit2Change();
    void ScrollBar1_Change();
    // "戻る": tells the main window to reset its slot frames, then hides.
    void BitBtn1Click();

    void DrawHistogramFrames();
    void DrawHistograms();

    int HistogramScale = 40;  // the scroll bar's position

    QLineEdit* Edit3;  // folder of the file
    QLineEdit* Edit1;  // file name
    QScrollBar* ScrollBar1;
    QPushButton* BitBtn1;
    CanvasBox* Image1;  // red
    CanvasBox* Image2;  // green
    CanvasBox* Image3;  // blue
    CanvasBox* Image4;  // red + green + blue
    CanvasBox* Image5;  // value axis labels
    QLineEdit* Edit2;   // hidden request field

private:
    MainWindowLink* main_;
};

extern TForm4* Form4;

}  // namespace tamarind
