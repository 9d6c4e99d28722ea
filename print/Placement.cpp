#include "print/Placement.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace tamarind {

namespace {
int SafeScale(int scalePercent) { return scalePercent > 0 ? scalePercent : 100; }
}  // namespace

float DotsToMm(int dots, int dpi, int scalePercent) {
    return float(double(dots) * 2540.0 / double(dpi) / double(SafeScale(scalePercent)));
}

int RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    double result = floor;
    if (fraction > 0.5) {
        result = floor + 1.0;
    } else if (fraction == 0.5) {
        result = std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
    }
    return int(result);
}

int HundredthsToDots(int hundredths, int dpi, int scalePercent) {
    const qint64 product = qint64(hundredths) * dpi * 100;
    return int(product / SafeScale(scalePercent) / 2540);
}

EdgeRect DeviceRectFor(const EdgeRect& placement, int dpiX, int dpiY, int scalePercent) {
    return {HundredthsToDots(placement.left, dpiX, scalePercent),
            HundredthsToDots(placement.top, dpiY, scalePercent),
            HundredthsToDots(placement.right, dpiX, scalePercent),
            HundredthsToDots(placement.bottom, dpiY, scalePercent)};
}

QString FormatMm(double value) { return QLocale().toString(value, 'f', 1); }
QString FormatAspect(double value) { return QLocale().toString(value, 'f', 5); }
QString FormatDotsRow(int dots, float mm) {
    return QString::number(dots) + QStringLiteral(" ( ") + FormatMm(mm) + u')';
}

double EffectivePpi(int pixels, double mm) { return mm > 0 ? pixels * 25.4 / mm : 0.0; }

QString FormatPpi(double x, double y) {
    const long rx = std::lround(x), ry = std::lround(y);
    if (rx == ry) return QStringLiteral("約 %1 ppi").arg(rx);
    return QStringLiteral("約 %1 × %2 ppi").arg(rx).arg(ry);
}

bool PpiTooLow(double x, double y) { return std::lround(std::min(x, y)) < kSharpPpi; }

// --- The layout ---------------------------------------------------------------------

int PrintLayout::Scaled(float mm) const { return RoundHalfEven(double(mm) * double(scale_)); }

void PrintLayout::Measure(const PrinterMetrics& p) {
    printer_ = p;
    const int scale = p.scalePercent;
    paperWidthMm_ = DotsToMm(p.paperWidthDots, p.dpiX, scale);
    paperLengthMm_ = DotsToMm(p.paperLengthDots, p.dpiY, scale);
    printableWidthMm_ = DotsToMm(p.printableWidthDots, p.dpiX, scale);
    printableLengthMm_ = DotsToMm(p.printableLengthDots, p.dpiY, scale);
    offsetLeftMm_ = DotsToMm(p.offsetX, p.dpiX, scale);
    offsetRightMm_ =
        DotsToMm(p.paperWidthDots - p.printableWidthDots - p.offsetX, p.dpiX, scale);
    offsetTopMm_ = DotsToMm(p.offsetY, p.dpiY, scale);
    offsetBottomMm_ =
        DotsToMm(p.paperLengthDots - p.printableLengthDots - p.offsetY, p.dpiY, scale);

    // The longer side of the sheet is 350 preview pixels.
    scale_ = float(350.0 / double(upright() ? paperLengthMm_ : paperWidthMm_));
    sheet_ = QSize(Scaled(paperWidthMm_), Scaled(paperLengthMm_));
    printable_ = QRect(Scaled(offsetLeftMm_), Scaled(offsetTopMm_), Scaled(printableWidthMm_),
                       Scaled(printableLengthMm_));

    const int width10 = RoundHalfEven(double(printableWidthMm_) * 10.0);
    const int length10 = RoundHalfEven(double(printableLengthMm_) * 10.0);
    SetMaximum(BarX, width10);
    SetMaximum(BarW, width10);
    SetMaximum(BarY, length10);
    SetMaximum(BarH, length10);

    x_ = 0;
    y_ = 0;
    SetBar(BarX, RoundHalfEven(double(x_) * 10.0));
    SetBar(BarY, RoundHalfEven(double(y_) * 10.0));
}

void PrintLayout::HandOver(int pixelWidth, int pixelHeight) {
    if (pixelWidth <= 0 || pixelHeight <= 0 || !printer_.IsUsable()) return;
    pixelWidth_ = pixelWidth;
    pixelHeight_ = pixelHeight;
    w_ = DotsToMm(pixelWidth, printer_.dpiX, printer_.scalePercent);
    h_ = DotsToMm(pixelHeight, printer_.dpiY, printer_.scalePercent);
    aspect_ = float(double(w_) / double(h_));
    SetBar(BarW, RoundHalfEven(double(w_) * 10.0));
    SetBar(BarH, RoundHalfEven(double(h_) * 10.0));
}

bool PrintLayout::SetSizeMm(double w, double h) {
    if (!printer_.IsUsable() || !(w > 0) || !(h > 0)) return false;
    const int maxW = bars_[BarW].maximum, maxH = bars_[BarH].maximum;
    const bool fits = RoundHalfEven(w * 10.0) <= maxW && RoundHalfEven(h * 10.0) <= maxH;
    if (!fits) {
        const double f = std::min(maxW / (w * 10.0), maxH / (h * 10.0));
        w *= f;
        h *= f;
    }
    aspect_ = float(w / h);
    // The bars follow the size, without their handlers' chaining.
    const bool keep = keepAspect_, centre = centre_;
    keepAspect_ = centre_ = false;
    SetBar(BarW, std::min(RoundHalfEven(w * 10.0), maxW));
    SetBar(BarH, std::min(RoundHalfEven(h * 10.0), maxH));
    keepAspect_ = keep;
    centre_ = centre;
    w_ = float(w);
    h_ = float(h);
    overflow_ = double(x_) + w > double(printableWidthMm_) ||
                double(y_) + h > double(printableLengthMm_);
    if (centre_) CheckBox3Click();
    return fits;
}

void PrintLayout::SetBar(BarId id, int position) {
    Bar& b = bars_[id];
    const int clamped = std::clamp(position, 0, std::max(b.maximum, 0));
    if (clamped != b.position) {
        b.position = clamped;
        RunHandler(id);
    } else if (clamped != position) {
        // The clamp left the bar where it was, but the value asked for lies
        // outside the range: the handler still runs, so that the size or
        // place the handlers computed follows the bar instead of staying
        // beyond the printable area.
        RunHandler(id);
    }
}

void PrintLayout::SetMaximum(BarId id, int maximum) {
    Bar& b = bars_[id];
    b.maximum = std::max(maximum, 0);
    // A smaller range pulls the position in, which is a change like any other.
    if (b.position > b.maximum) {
        b.position = b.maximum;
        RunHandler(id);
    }
}

void PrintLayout::RunHandler(BarId id) {
    // The handlers set each other; the chain settles within a few steps,
    // and this bound keeps a pathological rounding from going on for ever.
    if (depth_ > 16) return;
    ++depth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{depth_};
    switch (id) {
        case BarX: ScrollBar1Change(); break;
        case BarY: ScrollBar2Change(); break;
        case BarW: ScrollBar3Change(); break;
        case BarH: ScrollBar4Change(); break;
    }
}

void PrintLayout::ScrollBar3Change() {
    w_ = float(bars_[BarW].position / 10.0);
    if (keepAspect_) {
        h_ = float(double(w_) / double(aspect_));
        SetBar(BarH, RoundHalfEven(double(h_) * 10.0));
    }
    overflow_ = double(y_) + double(h_) > double(printableLengthMm_);
    if (centre_) CheckBox3Click();
}

void PrintLayout::ScrollBar4Change() {
    h_ = float(bars_[BarH].position / 10.0);
    if (keepAspect_) {
        w_ = float(double(h_) * double(aspect_));
        SetBar(BarW, RoundHalfEven(double(w_) * 10.0));
    }
    overflow_ = double(x_) + double(w_) > double(printableWidthMm_);
    if (centre_) CheckBox3Click();
}

void PrintLayout::ScrollBar1Change() {
    x_ = float(bars_[BarX].position / 10.0);
    overflow_ = double(x_) + double(w_) > double(printableWidthMm_);
    if (centre_) CheckBox3Click();
}

void PrintLayout::ScrollBar2Change() {
    y_ = float(bars_[BarY].position / 10.0);
    overflow_ = double(y_) + double(h_) > double(printableLengthMm_);
    if (centre_) CheckBox3Click();
}

void PrintLayout::SetCentre(bool checked) {
    centre_ = checked;
    CheckBox3Click();
}

void PrintLayout::CheckBox3Click() {
    const int width10 = RoundHalfEven(double(printableWidthMm_) * 10.0);
    const int length10 = RoundHalfEven(double(printableLengthMm_) * 10.0);
    SetBar(BarX, (width10 - RoundHalfEven(double(w_) * 10.0)) / 2);
    SetBar(BarY, (length10 - RoundHalfEven(double(h_) * 10.0)) / 2);
}

void PrintLayout::Button3Click() {
    SetBar(BarX, 0);
    SetBar(BarY, 0);
    SetBar(BarW, bars_[BarW].maximum);
    SetBar(BarH, bars_[BarH].maximum);
}

EdgeRect PrintLayout::Placement() const {
    return {RoundHalfEven(double(x_) * 100.0), RoundHalfEven(double(y_) * 100.0),
            RoundHalfEven((double(x_) + double(w_)) * 100.0),
            RoundHalfEven((double(y_) + double(h_)) * 100.0)};
}

QRect PrintLayout::pictureRect() const {
    return QRect(Scaled(x_), Scaled(y_), Scaled(w_), Scaled(h_));
}

QList<QRect> PrintLayout::OverflowMarks() const {
    QList<QRect> marks;
    if (!printer_.IsUsable() || aspect_ <= 0) return marks;
    // Cut or not is decided in the dots the job will print.
    const EdgeRect dots =
        DeviceRectFor(Placement(), printer_.dpiX, printer_.dpiY, printer_.scalePercent);
    const bool right = dots.right > printer_.printableWidthDots;
    const bool bottom = dots.bottom > printer_.printableLengthDots;
    if (!right && !bottom) return marks;
    constexpr int kBand = 4;
    const QRect sheet(QPoint(0, 0), sheet_);
    const QRect picture = pictureRect().translated(printable_.topLeft());
    const auto add = [&](const QRect& r) {
        const QRect inside = r.intersected(sheet);
        if (!inside.isEmpty()) marks.append(inside);
    };
    if (right) {
        add(QRect(QPoint(printable_.right() + 1, picture.top()), picture.bottomRight()));
        add(QRect(sheet.right() - kBand + 1, picture.top(), kBand, std::max(picture.height(), 1)));
    }
    if (bottom) {
        add(QRect(QPoint(picture.left(), printable_.bottom() + 1), picture.bottomRight()));
        add(QRect(picture.left(), sheet.bottom() - kBand + 1, std::max(picture.width(), 1), kBand));
    }
    return marks;
}

}  // namespace tamarind
