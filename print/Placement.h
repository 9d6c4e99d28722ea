#pragma once
// The millimetre arithmetic of the print layout window as plain code: the
// printer's measurements in millimetres, the four scroll bars (tenths of a
// millimetre) that size and place the picture with the handlers they run,
// the preview geometry, and the conversion of the placed rectangle back to
// printer dots. Everything here is tested without widgets; the window only
// mirrors these values into its controls.

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <array>

#include "platform/Printer.h"

namespace tamarind {

// A rectangle by its four edges (right and bottom are the edges, not the
// last pixel inside, unlike QRect).
struct EdgeRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const EdgeRect&, const EdgeRect&) = default;
};

// Dots to millimetres: dots x 2540 / dpi / scale percent, in single
// precision. A scale of 0 or less counts as 100.
float DotsToMm(int dots, int dpi, int scalePercent);

// To the nearest whole number, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2), whatever the floating-point rounding mode.
int RoundHalfEven(double value);

// One edge in hundredths of a millimetre to printer dots:
// v x dpi x 100 / scale / 2540, the product in 64 bits, each division
// truncating toward zero, in that order. A scale of 0 or less counts as 100.
int HundredthsToDots(int hundredths, int dpi, int scalePercent);
// The placed rectangle (hundredths of a millimetre from the printable
// area's top-left corner) in printer dots from the same corner.
EdgeRect DeviceRectFor(const EdgeRect& placement, int dpiX, int dpiY, int scalePercent);

// Numbers as the layout window shows them, in the user's locale: one
// decimal with thousands separators ("%.01n"), five decimals ("%.05n"), and
// a printer row: the plain number of dots, then " ( mm)".
QString FormatMm(double value);
QString FormatAspect(double value);
QString FormatDotsRow(int dots, float mm);

// Pixels per inch of `pixels` printed across `mm` millimetres; 0 for no size.
double EffectivePpi(int pixels, double mm);
// The effective resolution as the layout window shows it: "約 300 ppi", or
// "約 300 × 150 ppi" where across and down differ.
QString FormatPpi(double x, double y);
// Too coarse for a sharp print: below 150 ppi as shown (rounded).
bool PpiTooLow(double x, double y);
inline constexpr int kSharpPpi = 150;

// The layout of one picture on the sheet. The four scroll bars count in
// tenths of a millimetre from 0; setting one clamps the value into its range
// and runs its change handler only when the position really changes, and
// the handlers set each other just as the window's scroll bars do.
class PrintLayout {
public:
    enum BarId { BarX = 1, BarY = 2, BarW = 3, BarH = 4 };
    struct Bar {
        int position = 0;
        int maximum = 100;
    };

    // Measures the printer: millimetres, preview scale and panels, the
    // scroll bars' ranges; X and Y back to 0.
    void Measure(const PrinterMetrics& printer);
    // A new picture of this many pixels: W and H at one pixel per printer
    // dot, cut down to the printable area by the scroll bars.
    void HandOver(int pixelWidth, int pixelHeight);

    // Sets a scroll bar as a user or the program does.
    void SetBar(BarId id, int position);
    const Bar& bar(BarId id) const { return bars_[id]; }

    // The change handlers of the scroll bars (X, Y, W, H).
    void ScrollBar1Change();
    void ScrollBar2Change();
    void ScrollBar3Change();
    void ScrollBar4Change();
    // "中央に配置" clicked (either way) or re-applied while checked.
    void SetCentre(bool checked);
    void CheckBox3Click();
    // "全体に配置".
    void Button3Click();
    void SetKeepAspect(bool checked) { keepAspect_ = checked; }
    // W and H set to these millimetres exactly, not to the scroll bars'
    // tenths (which show the nearest tenth), with their proportion as the
    // new aspect; X and Y stay, or the picture is centred when centring is
    // on. A size larger than the printable area is brought down to the
    // largest of the same proportion that fits, and false returned.
    bool SetSizeMm(double w, double h);

    // Where "印刷実行" places the picture, in hundredths of a millimetre.
    EdgeRect Placement() const;

    const PrinterMetrics& printer() const { return printer_; }
    bool keepAspect() const { return keepAspect_; }
    bool centre() const { return centre_; }
    float W() const { return w_; }
    float H() const { return h_; }
    float X() const { return x_; }
    float Y() const { return y_; }
    float aspect() const { return aspect_; }
    // The picture's pixels per inch at its size on paper, across and down.
    double PpiX() const { return EffectivePpi(pixelWidth_, w_); }
    double PpiY() const { return EffectivePpi(pixelHeight_, h_); }
    // True while the sheet is marked red (the last handler's overflow test).
    bool overflow() const { return overflow_; }

    float paperWidthMm() const { return paperWidthMm_; }
    float paperLengthMm() const { return paperLengthMm_; }
    float printableWidthMm() const { return printableWidthMm_; }
    float printableLengthMm() const { return printableLengthMm_; }
    float offsetLeftMm() const { return offsetLeftMm_; }
    float offsetTopMm() const { return offsetTopMm_; }
    float offsetRightMm() const { return offsetRightMm_; }
    float offsetBottomMm() const { return offsetBottomMm_; }
    float previewScale() const { return scale_; }
    // True when the sheet is taller than wide.
    bool upright() const { return paperLengthMm_ > paperWidthMm_; }

    // The preview: the sheet's size, the printable area inside the sheet,
    // the picture inside the printable area (preview pixels).
    QSize sheetSize() const { return sheet_; }
    QRect printableRect() const { return printable_; }
    QRect pictureRect() const;
    // Where the picture runs over the printable area and the printer will
    // cut it, in preview pixels of the sheet: the part beyond the printable
    // area (as far as the sheet reaches), and a band along the sheet's right
    // or bottom edge beside the cut part, which shows also where the
    // printable area reaches the sheet's edge. Empty while nothing is cut.
    QList<QRect> OverflowMarks() const;

private:
    int Scaled(float mm) const;  // rounded mm x preview scale
    void RunHandler(BarId id);
    void SetMaximum(BarId id, int maximum);

    PrinterMetrics printer_;
    std::array<Bar, 5> bars_{};
    bool keepAspect_ = true;
    bool centre_ = false;
    bool overflow_ = false;
    int depth_ = 0;
    int pixelWidth_ = 0, pixelHeight_ = 0;
    float w_ = 0, h_ = 0, x_ = 0, y_ = 0, aspect_ = 0;
    float paperWidthMm_ = 0, paperLengthMm_ = 0;
    float printableWidthMm_ = 0, printableLengthMm_ = 0;
    float offsetLeftMm_ = 0, offsetTopMm_ = 0, offsetRightMm_ = 0, offsetBottomMm_ = 0;
    float scale_ = 0;
    QSize sheet_;
    QRect printable_;
};

}  // namespace tamarind
