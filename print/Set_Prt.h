#pragma once
// The print layout window: the printer's sheet and printable area, a preview
// of the sheet with the picture on it, and the picture's size and place in
// millimetres. The arithmetic lives in PrintLayout (print/Placement.h); the
// window mirrors it into its controls after every handler.

#include <QWidget>

#include "print/Calibration.h"
#include "print/Placement.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace tamarind {

class PictureBox;
class OverflowMarks;
class CalibrationWindow;
class MainWindowLink;

class TForm6 : public QWidget {
public:
    // `main` is the main window the window reports to (none: it reports
    // nowhere).
    explicit TForm6(MainWindowLink* main = nullptr, QWidget* parent = nullptr);

    // Measures the current printer and shows it.
    void RefreshPrinterInfo();

    // A new picture was handed over: lay it out.
    void Edit1Change();
    // The printer was set up again: measure it.
    void Edit2Change();
    void ScrollBar3Change();  // W
    void ScrollBar4Change();  // H
    void ScrollBar1Change();  // X
    void ScrollBar2Change();  // Y
    void CheckBox1Click();    // "縦横比維持"
    void CheckBox3Click();    // "中央に配置"
    void Button3Click();      // "全体に配置"
    void Button1Click();      // "印刷実行"
    void Button2Click();      // "中止"
    void BitBtn1Click();      // "Printer設定"
    void Button4Click();      // "表示サイズ(&C)": the size the slot's caption gives
    void Button5Click();      // the size the file's own density gives
    void Button6Click();      // "較正シート印刷"
    void Button7Click();      // "較正値入力(&K)"

    const PrintLayout& Layout() const { return layout_; }

    QGroupBox *GroupBox1, *GroupBox2, *GroupBox3;
    QCheckBox *CheckBox1, *CheckBox3;
    QPushButton *Button1, *Button2, *Button3, *BitBtn1, *Button4, *Button5, *Button6, *Button7;
    QLineEdit *Memo1, *Memo2, *Memo3, *Memo4, *Memo5, *Memo6, *Memo7, *Memo8, *Memo9, *Memo10,
        *Memo11, *Memo12, *Memo13, *Memo14, *Memo15;
    QScrollBar *ScrollBar1, *ScrollBar2, *ScrollBar3, *ScrollBar4;
    QLabel* Label16;  // "単位：mm"
    QLabel* Label17;  // the effective resolution, "約 300 ppi"
    QLabel* Label18;  // the printer's correction, while one is in force
    CalibrationWindow* Calibration;
    QWidget* Panel1;  // the sheet
    QWidget* Panel2;  // the printable area
    PictureBox* Image1;
    OverflowMarks* Shape1;  // red over the sheet where the printer will cut the picture
    QLineEdit* Edit1;
    QLineEdit* Edit2;

private:
    void LayOutPicture();
    void ShowLayout();
    void ShowPrinter();
    void FitWindow();
    QScrollBar* Bar(PrintLayout::BarId id) const;
    void BarMoved(PrintLayout::BarId id);
    void ApplySize(double w, double h);
    void ShowCalibration();
    std::optional<CalibrationSheet> SheetToCalibrate() const;

    MainWindowLink* main_;
    PrintLayout layout_;
};

extern TForm6* Form6;

}  // namespace tamarind
