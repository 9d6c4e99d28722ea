// The canvas's set-up and playback budget, its coordinate mapping, the saved
// states and colours.

#include "picture/metafile/Canvas.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "picture/metafile/CanvasInternals.h"

namespace tamarind::metafile {
namespace {

// Coordinates beyond this many output pixels are taken as damage: such a
// primitive is skipped rather than handed to the rasterizer.
constexpr double kMaxOutputCoordinate = 1e9;

// Windows' default palette, used for palette-index colours before a palette
// is selected.
constexpr QRgb kDefaultPalette[] = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080,
    0xFFC0C0C0, 0xFFC0DCC0, 0xFFA6CAF0, 0xFFFFFBF0, 0xFFA0A0A4, 0xFF808080, 0xFFFF0000,
    0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

}  // namespace

// ---------------------------------------------------------------------------
// Set-up

Canvas::Canvas(QPainter* painter, const QRectF& target, const QRectF& frame,
               const MetafileLimits& limits)
    : painter_(painter), target_(target), frame_(frame), limits_(limits) {
    if (painter_) {
        painter_->save();
        base_ = painter_->transform();
        if (painter_->hasClipping()) callerClip_ = painter_->clipPath();
    }
    const double sx = frame.width() != 0 ? target.width() / frame.width() : 0;
    const double sy = frame.height() != 0 ? target.height() / frame.height() : 0;
    const QTransform frameToTarget(sx, 0, 0, sy, target.left() - frame.left() * sx,
                                   target.top() - frame.top() * sy);
    deviceToOutput_ = painter_ ? frameToTarget * base_ : QTransform();
    const QRectF outputTarget = base_.mapRect(target_);
    pixelLimit_ = limits_.maxOverdraw * std::abs(outputTarget.width() * outputTarget.height()) +
                  limits_.maxPixelsExtra;
}

Canvas::~Canvas() {
    if (painter_) painter_->restore();
}

void Canvas::SetDeviceResolution(double pixelsPerMmX, double pixelsPerMmY) {
    if (std::isfinite(pixelsPerMmX) && pixelsPerMmX > 0) pixelsPerMmX_ = pixelsPerMmX;
    if (std::isfinite(pixelsPerMmY) && pixelsPerMmY > 0) pixelsPerMmY_ = pixelsPerMmY;
}

bool Canvas::CountRecord() {
    if (++records_ > limits_.maxRecords) exhausted_ = true;
    return !exhausted_;
}

bool Canvas::SpendOnBitmap(double pixels) {
    return Spend(0, pixels);
}

bool Canvas::Spend(double points, double pixels) {
    points_ += points;
    pixels_ += pixels;
    if (points_ > limits_.maxPoints || pixels_ > pixelLimit_) exhausted_ = true;
    return !exhausted_;
}

double Canvas::PixelCost(const QRectF& logicalBounds, const QTransform& full) const {
    const QRectF out = full.mapRect(logicalBounds).intersected(base_.mapRect(target_));
    return 1.0 + std::max(0.0, out.width()) * std::max(0.0, out.height());
}

double Canvas::StrokeCost(const QPainterPath& logical, const QTransform& full) const {
    // A stroke covers about its length times the pen's width plus a join per
    // segment; and no segment covers more than the part of the target the
    // pen can reach, however wide the pen (each segment is drawn on its own).
    const double width = std::max(1.0, std::min(state_.pen.width * LinearScale(full), 1e9));
    double length = 0;
    QPointF previous;
    const int count = logical.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = logical.elementAt(i);
        const QPointF p = full.map(QPointF(e.x, e.y));
        if (i > 0 && !e.isMoveTo()) length += QLineF(previous, p).length();
        previous = p;
    }
    const QRectF reach = full.mapRect(logical.controlPointRect())
                             .adjusted(-width, -width, width, width)
                             .intersected(base_.mapRect(target_));
    const double reachArea = 1.0 + std::max(0.0, reach.width()) * std::max(0.0, reach.height());
    const double segments = std::max(1, count);
    const double covered = (std::min(length, 1e15) + segments * width) * width + 1.0;
    return std::min(segments * reachArea, covered);
}

bool Canvas::Sane(const QRectF& b) const {
    auto ok = [](double v) { return std::isfinite(v) && std::abs(v) < kMaxOutputCoordinate; };
    return ok(b.left()) && ok(b.right()) && ok(b.top()) && ok(b.bottom());
}

// ---------------------------------------------------------------------------
// Mapping

QTransform Canvas::LogicalToDevice() const {
    const DcState& s = state_;
    double sx = 1, sy = 1;
    switch (s.mapMode) {
        case kMmLoMetric:
            sx = 0.1;
            sy = -0.1;
            break;
        case kMmHiMetric:
            sx = 0.01;
            sy = -0.01;
            break;
        case kMmLoEnglish:
            sx = 0.254;
            sy = -0.254;
            break;
        case kMmHiEnglish:
            sx = 0.0254;
            sy = -0.0254;
            break;
        case kMmTwips:
            sx = 25.4 / 1440;
            sy = -25.4 / 1440;
            break;
        case kMmIsotropic:
        case kMmAnisotropic:
            sx = s.viewportExt.x() / s.windowExt.x();
            sy = s.viewportExt.y() / s.windowExt.y();
            if (s.mapMode == kMmIsotropic) {
                const double m = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(m, sx);
                sy = std::copysign(m, sy);
            }
            break;
        default:
            break;
    }
    if (s.mapMode >= kMmLoMetric && s.mapMode <= kMmTwips) {
        sx *= pixelsPerMmX_;
        sy *= pixelsPerMmY_;
    }
    const QTransform page(sx, 0, 0, sy, s.viewportOrg.x() - s.windowOrg.x() * sx,
                          s.viewportOrg.y() - s.windowOrg.y() * sy);
    return s.world * page;
}

QTransform Canvas::FullTransform() const {
    return LogicalToDevice() * deviceToOutput_;
}

void Canvas::SetMapMode(int mode) {
    if (mode < kMmText || mode > kMmAnisotropic) return;
    state_.mapMode = mode;
}
void Canvas::SetWindowOrg(QPointF org) {
    state_.windowOrg = org;
}
void Canvas::SetViewportOrg(QPointF org) {
    state_.viewportOrg = org;
}
void Canvas::SetWindowExt(QPointF ext) {
    // A zero extent has no mapping; Windows refuses it too.
    if (ext.x() != 0 && ext.y() != 0) state_.windowExt = ext;
}
void Canvas::SetViewportExt(QPointF ext) {
    if (ext.x() != 0 && ext.y() != 0) state_.viewportExt = ext;
}
void Canvas::OffsetWindowOrg(QPointF by) {
    state_.windowOrg += by;
}
void Canvas::OffsetViewportOrg(QPointF by) {
    state_.viewportOrg += by;
}
void Canvas::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetWindowExt(
        QPointF(state_.windowExt.x() * xNum / xDenom, state_.windowExt.y() * yNum / yDenom));
}
void Canvas::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetViewportExt(
        QPointF(state_.viewportExt.x() * xNum / xDenom, state_.viewportExt.y() * yNum / yDenom));
}

void Canvas::SetWorldTransform(const QTransform& transform) {
    if (Finite(transform) && transform.isInvertible()) state_.world = transform;
}

void Canvas::ModifyWorldTransform(const QTransform& transform, uint32_t mode) {
    switch (mode) {
        case 1:
            state_.world = QTransform();
            break;
        case 2:
            SetWorldTransform(transform * state_.world);
            break;
        case 3:
            SetWorldTransform(state_.world * transform);
            break;
        case 4:
            SetWorldTransform(transform);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// Saved states

void Canvas::SaveDc() {
    if (int(saved_.size()) >= limits_.maxSavedStates) return;
    saved_.push_back(state_);
}

void Canvas::RestoreDc(int which) {
    const int count = int(saved_.size());
    int index;  // the saved state to return to
    if (which < 0) {
        index = count + which;
    } else if (which > 0) {
        index = which - 1;
    } else {
        return;
    }
    if (index < 0 || index >= count) return;
    state_ = saved_[size_t(index)];
    saved_.resize(size_t(index));
    clipDirty_ = true;
}

QColor Canvas::Color(ColorRef ref) const {
    const uint8_t kind = ref >> 24;
    if (kind == 1) {
        const uint32_t index = ref & 0xFFFF;
        if (state_.palette) {
            if (index < state_.palette->entries.size())
                return QColor(state_.palette->entries[index]);
            return QColor(Qt::black);
        }
        if (index < std::size(kDefaultPalette)) return QColor(kDefaultPalette[index]);
        return QColor(Qt::black);
    }
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}

}  // namespace tamarind::metafile
