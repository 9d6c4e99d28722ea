#include "picture/metafile/Canvas.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <functional>

#include "picture/metafile/TextDecoding.h"

namespace tamarind::metafile {
namespace {

// Coordinates beyond this many output pixels are taken as damage: such a
// primitive is skipped rather than handed to the rasterizer.
constexpr double kMaxOutputCoordinate = 1e9;
// Path boolean operations cost about the product of the two paths' sizes;
// beyond this the clip falls back to bounding rectangles.
constexpr double kMaxClipProduct = 4e6;
constexpr int kMaxFontPixels = 65535;
// Characters drawn from one text record; a line of a real picture is far
// shorter, and laying out megabytes of text would stall the program.
constexpr qsizetype kMaxTextUnits = 4096;

constexpr int kR2Black = 1;
constexpr int kR2Nop = 11;
constexpr int kR2CopyPen = 13;
constexpr int kR2White = 16;

// Windows' default palette, used for palette-index colours before a palette
// is selected.
constexpr QRgb kDefaultPalette[] = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080,
    0xFFC0C0C0, 0xFFC0DCC0, 0xFFA6CAF0, 0xFFFFFBF0, 0xFFA0A0A4, 0xFF808080, 0xFFFF0000,
    0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

double LinearScale(const QTransform& t) {
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

bool Finite(const QTransform& t) {
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) &&
           std::isfinite(t.m22()) && std::isfinite(t.dx()) && std::isfinite(t.dy()) &&
           std::isfinite(t.m13()) && std::isfinite(t.m23()) && std::isfinite(t.m33());
}

// Angle of `point` on the ellipse in `box`, in degrees counter-clockwise as
// QPainterPath::arcTo counts them.
double EllipseAngle(const QRectF& box, QPointF point) {
    const QPointF c = box.center();
    const double rx = box.width() / 2;
    const double ry = box.height() / 2;
    return std::atan2(-(point.y() - c.y()) / ry, (point.x() - c.x()) / rx) * 180.0 / M_PI;
}

// Composition for a binary raster operation (SetROP2). Black, white and
// no-op are handled by the caller.
QPainter::CompositionMode Rop2Mode(int rop2) {
    switch (rop2) {
        case 2:
            return QPainter::RasterOp_NotSourceAndNotDestination;
        case 3:
            return QPainter::RasterOp_NotSourceAndDestination;
        case 4:
            return QPainter::RasterOp_NotSource;
        case 5:
            return QPainter::RasterOp_SourceAndNotDestination;
        case 6:
            return QPainter::RasterOp_NotDestination;
        case 7:
            return QPainter::RasterOp_SourceXorDestination;
        case 8:
            return QPainter::RasterOp_NotSourceOrNotDestination;
        case 9:
            return QPainter::RasterOp_SourceAndDestination;
        case 10:
            return QPainter::RasterOp_NotSourceXorDestination;
        case 12:
            return QPainter::RasterOp_NotSourceOrDestination;
        case 14:
            return QPainter::RasterOp_SourceOrNotDestination;
        case 15:
            return QPainter::RasterOp_SourceOrDestination;
        default:
            return QPainter::CompositionMode_SourceOver;
    }
}

// Composition for the ternary raster operations of bitmap transfers that
// have a direct counterpart; the rest copy the source.
QPainter::CompositionMode SourceRopMode(uint32_t rop) {
    switch (rop) {
        case 0x00EE0086:
            return QPainter::RasterOp_SourceOrDestination;  // SRCPAINT
        case 0x008800C6:
            return QPainter::RasterOp_SourceAndDestination;  // SRCAND
        case 0x00660046:
            return QPainter::RasterOp_SourceXorDestination;  // SRCINVERT
        case 0x00440328:
            return QPainter::RasterOp_SourceAndNotDestination;  // SRCERASE
        case 0x00330008:
            return QPainter::RasterOp_NotSource;  // NOTSRCCOPY
        case 0x001100A6:
            return QPainter::RasterOp_NotSourceAndNotDestination;  // NOTSRCERASE
        case 0x00BB0226:
            return QPainter::RasterOp_NotSourceOrDestination;  // MERGEPAINT
        default:
            return QPainter::CompositionMode_SourceOver;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Object table

bool ObjectTable::AddAtLowestFree(GdiObject object) {
    uint32_t index;
    if (!freed_.empty()) {
        std::pop_heap(freed_.begin(), freed_.end(), std::greater<>());
        index = freed_.back();
        freed_.pop_back();
    } else if (next_ < capacity_) {
        index = next_++;
    } else {
        return false;
    }
    objects_.insert_or_assign(index, std::move(object));
    return true;
}

bool ObjectTable::Put(uint32_t index, GdiObject object) {
    if (index >= capacity_) return false;
    objects_.insert_or_assign(index, std::move(object));
    return true;
}

GdiObject* ObjectTable::Get(uint32_t index) {
    auto it = objects_.find(index);
    return it == objects_.end() ? nullptr : &it->second;
}

void ObjectTable::Delete(uint32_t index) {
    if (objects_.erase(index) == 0) return;
    // Below next_ a deleted index becomes free again; the heap keeps the
    // lowest on top. (Objects put at explicit indices never use the heap.)
    if (index < next_) {
        freed_.push_back(index);
        std::push_heap(freed_.begin(), freed_.end(), std::greater<>());
    }
}

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

// ---------------------------------------------------------------------------
// Clipping

QRectF Canvas::Everywhere() const {
    // The whole picture and a margin as wide again: nothing outside it can
    // reach the target.
    const double margin = std::max(frame_.width(), frame_.height()) + 1;
    return frame_.adjusted(-margin, -margin, margin, margin);
}

void Canvas::CombineClip(const QPainterPath& unbounded, int mode) {
    if (mode < kRgnAnd || mode > kRgnCopy) return;
    // Clip shapes reaching far beyond the picture are cut back to it: the
    // painter rasterizes a clip over its whole extent, again and again.
    QPainterPath device = unbounded;
    if (!Everywhere().contains(device.controlPointRect())) {
        if (!Spend(device.elementCount(), 0)) return;
        QPainterPath everywhere;
        everywhere.addRect(Everywhere());
        device = device.intersected(everywhere);
    }
    if (mode == kRgnCopy) {
        state_.clip = device;
        clipDirty_ = true;
        return;
    }
    QPainterPath current;
    if (state_.clip) {
        current = *state_.clip;
    } else {
        current.addRect(Everywhere());  // no clip: everything is visible
    }
    const double product = double(current.elementCount()) * double(device.elementCount());
    if (!Spend(current.elementCount() + device.elementCount(), 0)) return;
    QPainterPath result;
    if (product > kMaxClipProduct) {
        // Too costly to combine exactly: keep the nearest rectangle.
        const QRectF a = current.boundingRect();
        const QRectF b = device.boundingRect();
        switch (mode) {
            case kRgnAnd:
                result.addRect(a.intersected(b));
                break;
            case kRgnOr:
            case kRgnXor:
                result.addRect(a.united(b));
                break;
            default:
                result.addRect(a);
                break;
        }
    } else {
        switch (mode) {
            case kRgnAnd:
                result = current.intersected(device);
                break;
            case kRgnOr:
                result = current.united(device);
                break;
            case kRgnXor:
                result = current.united(device).subtracted(current.intersected(device));
                break;
            case kRgnDiff:
                result = current.subtracted(device);
                break;
        }
    }
    state_.clip = result;
    clipDirty_ = true;
}

void Canvas::IntersectClipRect(const QRectF& rect) {
    QPainterPath path;
    path.addRect(rect.normalized());
    CombineClip(LogicalToDevice().map(path), kRgnAnd);
}

void Canvas::ExcludeClipRect(const QRectF& rect) {
    QPainterPath path;
    path.addRect(rect.normalized());
    CombineClip(LogicalToDevice().map(path), kRgnDiff);
}

void Canvas::OffsetClip(QPointF logicalOffset) {
    if (!state_.clip) return;
    const QTransform t = LogicalToDevice();
    const QPointF by = t.map(logicalOffset) - t.map(QPointF(0, 0));
    if (!std::isfinite(by.x()) || !std::isfinite(by.y())) return;
    state_.clip->translate(by);
    clipDirty_ = true;
}

void Canvas::SelectClipRegion(const QPainterPath* deviceRegion, int mode) {
    if (!deviceRegion) {
        if (mode == kRgnCopy) {
            state_.clip.reset();
            clipDirty_ = true;
        }
        return;
    }
    CombineClip(*deviceRegion, mode);
}

void Canvas::ApplyClip() {
    if (!painter_ || !clipDirty_) return;
    clipDirty_ = false;
    painter_->setTransform(base_);
    if (callerClip_) {
        painter_->setClipPath(*callerClip_, Qt::ReplaceClip);
        painter_->setClipRect(target_, Qt::IntersectClip);
    } else {
        painter_->setClipRect(target_, Qt::ReplaceClip);
    }
    if (state_.clip) {
        Spend(state_.clip->elementCount(), 0);
        painter_->setTransform(deviceToOutput_);
        painter_->setClipPath(*state_.clip, Qt::IntersectClip);
    }
}

// ---------------------------------------------------------------------------
// Pens, brushes and the painter

QPen Canvas::MakePen(const QTransform& full) const {
    const LogPen& pen = state_.pen;
    const uint32_t style = pen.style & 0x0F;
    if (style == 5) return QPen(Qt::NoPen);
    QColor color = Color(pen.color);
    if (state_.rop2 == kR2Black) color = Qt::black;
    if (state_.rop2 == kR2White) color = Qt::white;
    QPen qpen(color);
    const bool geometric = (pen.style & 0x000F0000) == 0x00010000;
    const bool cosmetic =
        pen.width <= 0 || pen.width * LinearScale(full) < 1.0 || (pen.extended && !geometric);
    if (cosmetic) {
        qpen.setWidthF(0);
    } else {
        // Qt refuses widths of 32768 and more (keeping its one-pixel pen);
        // no real pen comes near that in logical units.
        qpen.setWidthF(std::min(pen.width, 32767.0));
    }
    if (pen.extended) {
        switch (pen.style & 0x0F00) {
            case 0x0100:
                qpen.setCapStyle(Qt::SquareCap);
                break;
            case 0x0200:
                qpen.setCapStyle(Qt::FlatCap);
                break;
            default:
                qpen.setCapStyle(Qt::RoundCap);
                break;
        }
        switch (pen.style & 0xF000) {
            case 0x1000:
                qpen.setJoinStyle(Qt::BevelJoin);
                break;
            case 0x2000:
                qpen.setJoinStyle(Qt::MiterJoin);
                break;
            default:
                qpen.setJoinStyle(Qt::RoundJoin);
                break;
        }
    } else {
        qpen.setCapStyle(Qt::RoundCap);
        qpen.setJoinStyle(Qt::RoundJoin);
    }
    qpen.setMiterLimit(state_.miterLimit);
    // Dash lengths: a one-pixel pen uses Windows' pixel patterns; a wide pen
    // counts in pen widths as Qt does.
    QList<qreal> dashes;
    // Windows draws a wide pen of the old kind solid whatever its style.
    const uint32_t dashStyle = (!pen.extended && !cosmetic) ? 0 : style;
    switch (dashStyle) {
        case 1:
            dashes = cosmetic ? QList<qreal>{18, 6} : QList<qreal>{3, 1};
            break;
        case 2:
            dashes = cosmetic ? QList<qreal>{3, 3} : QList<qreal>{1, 1};
            break;
        case 3:
            dashes = cosmetic ? QList<qreal>{9, 6, 3, 6} : QList<qreal>{3, 1, 1, 1};
            break;
        case 4:
            dashes = cosmetic ? QList<qreal>{9, 3, 3, 3, 3, 3} : QList<qreal>{3, 1, 1, 1, 1, 1};
            break;
        case 7: {
            const double unit = cosmetic ? 1.0 : pen.width;
            for (double d : pen.dashes) dashes.append(std::clamp(d / unit, 0.01, 1e6));
            if (dashes.size() % 2 == 1) dashes.append(dashes);
            break;
        }
        case 8:
            dashes = {1, 1};
            break;
        default:
            break;
    }
    if (!dashes.isEmpty()) qpen.setDashPattern(dashes);
    return qpen;
}

QBrush Canvas::MakeBrush(const LogBrush& brush, const QTransform& full) const {
    QColor color = Color(brush.color);
    if (state_.rop2 == kR2Black) color = Qt::black;
    if (state_.rop2 == kR2White) color = Qt::white;
    QBrush qbrush;
    switch (brush.style) {
        case 0:
            qbrush = QBrush(color);
            break;
        case 1:
            return QBrush(Qt::NoBrush);
        case 2: {
            static constexpr Qt::BrushStyle kHatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                          Qt::FDiagPattern, Qt::BDiagPattern,
                                                          Qt::CrossPattern, Qt::DiagCrossPattern};
            qbrush = brush.hatch < 6 ? QBrush(color, kHatches[brush.hatch]) : QBrush(color);
            break;
        }
        case 3:
        case 5:
        case 6:
            if (brush.pattern.isNull()) return QBrush(Qt::NoBrush);
            qbrush = QBrush(brush.pattern);
            break;
        default:
            qbrush = QBrush(color);
            break;
    }
    // Patterns repeat in device pixels, as on a screen, whatever the mapping.
    if (qbrush.style() != Qt::SolidPattern) {
        bool invertible = false;
        const QTransform inverse = full.inverted(&invertible);
        if (invertible) qbrush.setTransform(inverse);
    }
    return qbrush;
}

void Canvas::PreparePainter(const QTransform& full, bool forText) {
    ApplyClip();
    painter_->setTransform(full);
    const int rop2 = state_.rop2;
    const bool plain = forText || rop2 == kR2CopyPen || rop2 == kR2Black || rop2 == kR2White;
    painter_->setCompositionMode(plain ? QPainter::CompositionMode_SourceOver : Rop2Mode(rop2));
    painter_->setRenderHint(QPainter::Antialiasing, plain);
    painter_->setBackgroundMode(state_.bkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_->setBackground(Color(state_.bkColor));
}

// ---------------------------------------------------------------------------
// Drawing

void Canvas::Emit(const QPainterPath& logical, bool fill, bool stroke) {
    if (inPath_) {
        AppendToPath(logical, false);
        return;
    }
    const QTransform full = FullTransform();
    const bool doFill = fill && state_.brush.style != 1;
    const bool doStroke = stroke && (state_.pen.style & 0x0F) != 5;
    if ((!doFill && !doStroke) || state_.rop2 == kR2Nop || !Finite(full)) return;
    const QRectF bounds = logical.controlPointRect();
    const QRectF out = full.mapRect(bounds);
    if (!Sane(out)) return;
    double pixels = doFill ? PixelCost(bounds, full) : 0.0;
    if (doStroke) pixels += StrokeCost(logical, full);
    if (!Spend(logical.elementCount(), pixels)) return;
    if (!painter_) {
        measured_ |= LogicalToDevice().mapRect(bounds);
        return;
    }
    PreparePainter(full, false);
    // Qt's rasterizer crawls over stroke outlines that reach millions of
    // pixels beyond the picture; such strokes are cut to the part the pen
    // can reach first. (Fills are cut quickly by Qt itself.)
    const QRectF targetArea = base_.mapRect(target_);
    const double nib = StrokeReach(full);
    const bool far = doStroke && !targetArea.adjusted(-nib - kFarMargin, -nib - kFarMargin,
                                                     nib + kFarMargin, nib + kFarMargin)
                                      .contains(out);
    if (far) {
        if (doFill) {
            painter_->setPen(Qt::NoPen);
            painter_->setBrush(MakeBrush(state_.brush, full));
            painter_->drawPath(logical);
        }
        painter_->setPen(MakePen(full));
        painter_->setBrush(Qt::NoBrush);
        painter_->drawPath(CutToReach(logical, full, targetArea.adjusted(-nib, -nib, nib, nib)));
        return;
    }
    painter_->setPen(doStroke ? MakePen(full) : QPen(Qt::NoPen));
    painter_->setBrush(doFill ? MakeBrush(state_.brush, full) : QBrush(Qt::NoBrush));
    painter_->drawPath(logical);
}

double Canvas::StrokeReach(const QTransform& full) const {
    // The widest the pen can be on the device: its width under the larger
    // of the two axis scales, and a few pixels for caps and antialiasing.
    const double sx = std::hypot(full.m11(), full.m12());
    const double sy = std::hypot(full.m21(), full.m22());
    const double width = std::max(0.0, state_.pen.width) * std::max(sx, sy);
    return std::min(width, 1e5) + 4.0;
}

namespace {

// Cuts the segment to `area` (Liang-Barsky); false when nothing is left.
bool CutLine(QLineF& line, const QRectF& area) {
    double t0 = 0, t1 = 1;
    const double dx = line.dx(), dy = line.dy();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {line.x1() - area.left(), area.right() - line.x1(),
                         line.y1() - area.top(), area.bottom() - line.y1()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
    }
    const QPointF start = line.p1();
    line = QLineF(start + QPointF(dx, dy) * t0, start + QPointF(dx, dy) * t1);
    return true;
}

}  // namespace

QPainterPath Canvas::CutToReach(const QPainterPath& logical, const QTransform& full,
                                const QRectF& reach) const {
    bool invertible = false;
    const QTransform back = full.inverted(&invertible);
    if (!invertible || !Finite(back)) return {};
    QPainterPath device;
    for (const QPolygonF& polygon : logical.toSubpathPolygons(full)) {
        bool joined = false;
        QPointF end;
        for (qsizetype i = 1; i < polygon.size(); ++i) {
            QLineF segment(polygon[i - 1], polygon[i]);
            if (!CutLine(segment, reach)) {
                joined = false;
                continue;
            }
            if (!joined || segment.p1() != end) device.moveTo(segment.p1());
            device.lineTo(segment.p2());
            end = segment.p2();
            joined = true;
        }
    }
    return back.map(device);
}

void Canvas::EmitDevice(const QPainterPath& device, bool fill, bool stroke) {
    // Paths are kept in device units; draw them with the logical mapping
    // undone so that the pen keeps its logical width.
    const QTransform toDevice = LogicalToDevice();
    bool invertible = false;
    const QTransform toLogical = toDevice.inverted(&invertible);
    if (!invertible || !Finite(toLogical)) return;
    QPainterPath logical = toLogical.map(device);
    logical.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    const bool wasInPath = inPath_;
    inPath_ = false;
    Emit(logical, fill, stroke);
    inPath_ = wasInPath;
}

void Canvas::AppendToPath(const QPainterPath& logical, bool continueFigure) {
    const QTransform toDevice = LogicalToDevice();
    if (!Finite(toDevice)) return;
    if (!Spend(logical.elementCount(), 0)) return;
    const QPainterPath device = toDevice.map(logical);
    if (continueFigure) {
        path_.connectPath(device);
    } else {
        path_.addPath(device);
    }
}

void Canvas::MoveTo(QPointF point) {
    state_.position = point;
    if (inPath_) path_.moveTo(LogicalToDevice().map(point));
}

void Canvas::LineTo(QPointF point) {
    QPainterPath path(state_.position);
    path.lineTo(point);
    state_.position = point;
    if (inPath_) {
        if (path_.elementCount() == 0) path_.moveTo(LogicalToDevice().map(path.elementAt(0)));
        path_.lineTo(LogicalToDevice().map(point));
        return;
    }
    Emit(path, false, true);
}

void Canvas::Polyline(const QPolygonF& points) {
    if (points.size() < 2) return;
    QPainterPath path;
    path.addPolygon(points);
    Emit(path, false, true);
}

void Canvas::PolylineTo(const QPolygonF& points) {
    if (points.isEmpty()) return;
    QPainterPath path(state_.position);
    for (const QPointF& p : points) path.lineTo(p);
    state_.position = points.back();
    if (inPath_) {
        if (path_.elementCount() == 0) path_.moveTo(LogicalToDevice().map(path.elementAt(0)));
        AppendToPath(path, true);
        return;
    }
    Emit(path, false, true);
}

void Canvas::PolyBezier(const QPolygonF& points) {
    if (points.size() < 4) return;
    QPainterPath path(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    Emit(path, false, true);
}

void Canvas::PolyBezierTo(const QPolygonF& points) {
    if (points.size() < 3) return;
    QPainterPath path(state_.position);
    qsizetype i = 0;
    for (; i + 2 < points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
    state_.position = points[i - 1];
    if (inPath_) {
        if (path_.elementCount() == 0) path_.moveTo(LogicalToDevice().map(path.elementAt(0)));
        AppendToPath(path, true);
        return;
    }
    Emit(path, false, true);
}

void Canvas::PolyDraw(const QPolygonF& points, std::span<const uchar> types) {
    constexpr uchar kClose = 0x01, kLineTo = 0x02, kBezierTo = 0x04, kMoveTo = 0x06;
    QPainterPath path(state_.position);
    const qsizetype n = std::min<qsizetype>(points.size(), qsizetype(types.size()));
    for (qsizetype i = 0; i < n; ++i) {
        const uchar type = types[size_t(i)] & ~kClose;
        if (type == kMoveTo) {
            path.moveTo(points[i]);
        } else if (type == kLineTo) {
            path.lineTo(points[i]);
        } else if (type == kBezierTo && i + 2 < n &&
                   (types[size_t(i + 1)] & ~kClose) == kBezierTo &&
                   (types[size_t(i + 2)] & ~kClose) == kBezierTo) {
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else {
            break;  // a malformed point ends the drawing, as Windows does
        }
        if (types[size_t(i)] & kClose) path.closeSubpath();
        state_.position = points[i];
    }
    if (inPath_) {
        AppendToPath(path, true);
        return;
    }
    Emit(path, false, true);
}

void Canvas::Polygon(const QPolygonF& points) {
    if (points.size() < 2) return;
    QPainterPath path;
    path.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    path.addPolygon(points);
    path.closeSubpath();
    Emit(path, true, true);
}

void Canvas::PolyPolygon(const std::vector<QPolygonF>& polygons) {
    QPainterPath path;
    path.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    for (const QPolygonF& polygon : polygons) {
        if (polygon.size() < 2) continue;
        path.addPolygon(polygon);
        path.closeSubpath();
    }
    if (!path.isEmpty()) Emit(path, true, true);
}

void Canvas::PolyPolyline(const std::vector<QPolygonF>& polylines) {
    QPainterPath path;
    for (const QPolygonF& line : polylines)
        if (line.size() >= 2) path.addPolygon(line);
    if (!path.isEmpty()) Emit(path, false, true);
}

void Canvas::Rectangle(const QRectF& box) {
    QPainterPath path;
    path.addRect(box.normalized());
    Emit(path, true, true);
}

void Canvas::RoundRect(const QRectF& box, QSizeF corner) {
    QPainterPath path;
    const QRectF r = box.normalized();
    const double rx = std::min(std::abs(corner.width()) / 2, r.width() / 2);
    const double ry = std::min(std::abs(corner.height()) / 2, r.height() / 2);
    path.addRoundedRect(r, rx, ry);
    Emit(path, true, true);
}

void Canvas::Ellipse(const QRectF& box) {
    QPainterPath path;
    path.addEllipse(box.normalized());
    Emit(path, true, true);
}

// kind: 0 arc, 1 chord, 2 pie, 3 arc continuing from the current position.
QPainterPath Canvas::ArcPath(const QRectF& rawBox, QPointF start, QPointF end, int kind) const {
    const QRectF box = rawBox.normalized();
    QPainterPath path;
    if (box.width() <= 0 || box.height() <= 0) return path;
    const double a1 = EllipseAngle(box, start);
    const double a2 = EllipseAngle(box, end);
    // Counter-clockwise as seen on the output: a mapping that mirrors the
    // picture turns the logical direction round.
    bool clockwise = state_.arcClockwise;
    if (FullTransform().determinant() < 0) clockwise = !clockwise;
    double sweep;
    if (!clockwise) {
        sweep = std::fmod(a2 - a1 + 720.0, 360.0);
        if (sweep <= 1e-9) sweep = 360;
    } else {
        sweep = std::fmod(a1 - a2 + 720.0, 360.0);
        if (sweep <= 1e-9) sweep = 360;
        sweep = -sweep;
    }
    if (kind == 2) {
        path.moveTo(box.center());
        path.arcTo(box, a1, sweep);
        path.closeSubpath();
    } else if (kind == 3) {
        path.moveTo(state_.position);
        path.arcTo(box, a1, sweep);
    } else {
        path.arcMoveTo(box, a1);
        path.arcTo(box, a1, sweep);
        if (kind == 1) path.closeSubpath();
    }
    return path;
}

void Canvas::Arc(const QRectF& box, QPointF start, QPointF end) {
    const QPainterPath path = ArcPath(box, start, end, 0);
    if (!path.isEmpty()) Emit(path, false, true);
}

void Canvas::ArcTo(const QRectF& box, QPointF start, QPointF end) {
    const QPainterPath path = ArcPath(box, start, end, 3);
    if (path.isEmpty()) return;
    state_.position = path.currentPosition();
    if (inPath_) {
        if (path_.elementCount() == 0) path_.moveTo(LogicalToDevice().map(path.elementAt(0)));
        AppendToPath(path, true);
        return;
    }
    Emit(path, false, true);
}

void Canvas::Chord(const QRectF& box, QPointF start, QPointF end) {
    const QPainterPath path = ArcPath(box, start, end, 1);
    if (!path.isEmpty()) Emit(path, true, true);
}

void Canvas::Pie(const QRectF& box, QPointF start, QPointF end) {
    const QPainterPath path = ArcPath(box, start, end, 2);
    if (!path.isEmpty()) Emit(path, true, true);
}

void Canvas::AngleArc(QPointF center, double radius, double startDegrees, double sweepDegrees) {
    if (!std::isfinite(startDegrees) || !std::isfinite(sweepDegrees)) return;
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    // More than a few turns draws nothing new.
    sweepDegrees = std::clamp(sweepDegrees, -720.0, 720.0);
    startDegrees = std::fmod(startDegrees, 360.0);
    QPainterPath path(state_.position);
    path.arcTo(box, startDegrees, sweepDegrees);
    state_.position = path.currentPosition();
    if (inPath_) {
        if (path_.elementCount() == 0) path_.moveTo(LogicalToDevice().map(path.elementAt(0)));
        AppendToPath(path, true);
        return;
    }
    Emit(path, false, true);
}

void Canvas::FillDeviceRectColor(const QPainterPath& logical, QColor color) {
    const QTransform full = FullTransform();
    if (!Finite(full)) return;
    const QRectF out = full.mapRect(logical.controlPointRect());
    if (!Sane(out) || !Spend(logical.elementCount(), PixelCost(logical.controlPointRect(), full)))
        return;
    if (!painter_) {
        measured_ |= LogicalToDevice().mapRect(logical.controlPointRect());
        return;
    }
    ApplyClip();
    painter_->setTransform(full);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setPen(Qt::NoPen);
    painter_->setBrush(color);
    painter_->drawPath(logical);
}

void Canvas::SetPixel(QPointF point, ColorRef color) {
    if (inPath_) return;
    // One pixel of the reference device.
    const QPointF device = LogicalToDevice().map(point);
    bool invertible = false;
    const QTransform toLogical = LogicalToDevice().inverted(&invertible);
    if (!invertible) return;
    QPainterPath path;
    path.addPolygon(toLogical.map(QPolygonF(QRectF(device, QSizeF(1, 1)))));
    FillDeviceRectColor(path, Color(color));
}

void Canvas::FillRegion(const QPainterPath& region, const LogBrush& brush) {
    if (inPath_) return;
    const LogBrush saved = state_.brush;
    const LogPen savedPen = state_.pen;
    state_.brush = brush;
    state_.pen.style = 5;
    Emit(region, true, false);
    state_.brush = saved;
    state_.pen = savedPen;
}

void Canvas::PaintRegion(const QPainterPath& region) {
    FillRegion(region, state_.brush);
}

void Canvas::FrameRegion(const QPainterPath& region, const LogBrush& brush, QSizeF stroke) {
    if (inPath_) return;
    // The frame is the region less the region shrunk by the stroke size:
    // drawn here as the outline stroked with the brush's colour.
    const LogPen savedPen = state_.pen;
    state_.pen = LogPen{};
    state_.pen.width = std::max(std::abs(stroke.width()), std::abs(stroke.height()));
    state_.pen.color = brush.color;
    const LogBrush savedBrush = state_.brush;
    state_.brush.style = 1;
    Emit(region, false, true);
    state_.pen = savedPen;
    state_.brush = savedBrush;
}

void Canvas::InvertRegion(const QPainterPath& region) {
    if (inPath_) return;
    const int saved = state_.rop2;
    const LogBrush savedBrush = state_.brush;
    const LogPen savedPen = state_.pen;
    state_.rop2 = 6;  // R2_NOT
    state_.brush = LogBrush{};
    state_.pen.style = 5;
    Emit(region, true, false);
    state_.rop2 = saved;
    state_.brush = savedBrush;
    state_.pen = savedPen;
}

void Canvas::PatBlt(const QRectF& dest, uint32_t rop) {
    if (inPath_) return;
    QPainterPath path;
    path.addRect(dest.normalized());
    const int savedRop2 = state_.rop2;
    const LogPen savedPen = state_.pen;
    const LogBrush savedBrush = state_.brush;
    state_.pen.style = 5;
    switch (rop) {
        case 0x00AA0029:
            return;  // the destination unchanged
        case 0x00000042:
            state_.rop2 = kR2Black;
            state_.brush = LogBrush{};
            break;  // BLACKNESS
        case 0x00FF0062:
            state_.rop2 = kR2White;
            state_.brush = LogBrush{};
            break;  // WHITENESS
        case 0x00550009:
            state_.rop2 = 6;
            state_.brush = LogBrush{};
            break;  // DSTINVERT
        case 0x005A0049:
            state_.rop2 = 7;
            break;  // PATINVERT
        default:
            state_.rop2 = kR2CopyPen;
            break;  // PATCOPY
    }
    Emit(path, true, false);
    state_.rop2 = savedRop2;
    state_.pen = savedPen;
    state_.brush = savedBrush;
}

void Canvas::DrawImage(const QImage& image, const QRectF& dest, const QRectF& source,
                       uint32_t rop) {
    if (dest.width() == 0 || dest.height() == 0) return;
    // The unit square onto the destination, mirrored when the destination's
    // width or height is negative.
    DrawImageMapped(image,
                    QTransform(dest.width(), 0, 0, dest.height(), dest.left(), dest.top()),
                    source, rop);
}

void Canvas::DrawImageMapped(const QImage& image, const QTransform& unitToLogical,
                             const QRectF& source, uint32_t rop) {
    if (inPath_ || image.isNull() || unitToLogical.determinant() == 0) return;
    const QRectF src = source.normalized().intersected(QRectF(image.rect()));
    if (src.isEmpty()) return;
    const QTransform full = unitToLogical * FullTransform();
    if (!Finite(full)) return;
    const QRectF unit(0, 0, 1, 1);
    const QRectF out = full.mapRect(unit);
    if (!Sane(out)) return;
    const double pixels = PixelCost(unit, full) + src.width() * src.height() / 16;
    if (!Spend(4, pixels)) return;
    if (!painter_) {
        measured_ |= (unitToLogical * LogicalToDevice()).mapRect(unit);
        return;
    }
    ApplyClip();
    painter_->setTransform(full);
    painter_->setCompositionMode(SourceRopMode(rop));
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter_->drawImage(unit, image, src);
}

void Canvas::GradientRect(const QRectF& box, QColor from, QColor to, bool vertical) {
    if (inPath_) return;
    const QRectF r = box.normalized();
    QLinearGradient gradient(r.topLeft(), vertical ? r.bottomLeft() : r.topRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    const LogBrush savedBrush = state_.brush;
    const LogPen savedPen = state_.pen;
    state_.pen.style = 5;
    QPainterPath path;
    path.addRect(r);
    // Drawn directly: a gradient has no logical brush of its own.
    const QTransform full = FullTransform();
    const QRectF out = full.mapRect(r);
    if (Finite(full) && Sane(out) && Spend(4, PixelCost(r, full))) {
        if (!painter_) {
            measured_ |= LogicalToDevice().mapRect(r);
        } else {
            PreparePainter(full, false);
            painter_->setPen(Qt::NoPen);
            painter_->setBrush(gradient);
            painter_->drawPath(path);
        }
    }
    state_.brush = savedBrush;
    state_.pen = savedPen;
}

void Canvas::FillPolygonColor(const QPolygonF& points, QColor color) {
    if (inPath_ || points.size() < 3) return;
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    FillDeviceRectColor(path, color);
}

// ---------------------------------------------------------------------------
// Paths

void Canvas::BeginPath() {
    inPath_ = true;
    pathValid_ = false;
    path_ = QPainterPath();
}

void Canvas::EndPath() {
    if (!inPath_) return;
    inPath_ = false;
    pathValid_ = true;
}

void Canvas::AbortPath() {
    inPath_ = false;
    pathValid_ = false;
    path_ = QPainterPath();
}

void Canvas::CloseFigure() {
    if (inPath_) path_.closeSubpath();
}

void Canvas::FillPath() {
    EndPath();
    if (pathValid_) EmitDevice(path_, true, false);
    AbortPath();
}

void Canvas::StrokePath() {
    EndPath();
    if (pathValid_) EmitDevice(path_, false, true);
    AbortPath();
}

void Canvas::StrokeAndFillPath() {
    EndPath();
    if (pathValid_) EmitDevice(path_, true, true);
    AbortPath();
}

void Canvas::SelectClipPath(int mode) {
    EndPath();
    if (pathValid_) {
        QPainterPath clip = path_;
        clip.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
        CombineClip(clip, mode);
    }
    AbortPath();
}

void Canvas::WidenPath() {
    EndPath();
    if (!pathValid_) return;
    if (!Spend(path_.elementCount() * 4.0, 0)) return;
    QPainterPathStroker stroker;
    stroker.setWidth(std::max(1.0, state_.pen.width * LinearScale(LogicalToDevice())));
    path_ = stroker.createStroke(path_);
}

// ---------------------------------------------------------------------------
// Text

void Canvas::Text(QPointF reference, const TextRun& run, uint32_t options,
                  const std::optional<QRectF>& rect) {
    if (inPath_) return;
    const DcState& s = state_;
    const bool updateCp = s.textAlign & kTaUpdateCp;
    if (updateCp) reference = s.position;
    const QTransform full = FullTransform();
    if (!Finite(full)) return;

    if (rect && (options & kEtoOpaque)) {
        QPainterPath box;
        box.addRect(rect->normalized());
        FillDeviceRectColor(box, Color(s.bkColor));
    }
    if (run.text.isEmpty() || (options & kEtoGlyphIndex)) return;
    if (run.text.size() > kMaxTextUnits) {
        TextRun shortened;
        shortened.text = run.text.left(kMaxTextUnits);
        if (run.advances.size() >= size_t(kMaxTextUnits))
            shortened.advances.assign(run.advances.begin(), run.advances.begin() + kMaxTextUnits);
        Text(reference, shortened, options & ~kEtoOpaque, rect);
        return;
    }

    // How one logical unit along x and y shows on the output.
    const QPointF origin = full.map(reference);
    const double xScale = QLineF(origin, full.map(reference + QPointF(1, 0))).length();
    const double yScale = QLineF(origin, full.map(reference + QPointF(0, 1))).length();
    if (!std::isfinite(origin.x()) || !std::isfinite(origin.y()) || !(xScale > 0) || !(yScale > 0))
        return;

    QFont font = FontFor(s.font);
    double em;
    if (s.font.height < 0) {
        em = -double(s.font.height) * yScale;
    } else if (s.font.height > 0) {
        em = double(s.font.height) * yScale * EmPerCell(font);
    } else {
        em = 12 * LinearScale(deviceToOutput_);  // Windows' default size in device pixels
    }
    // Advances in output pixels.
    const size_t units = size_t(run.text.size());
    std::vector<double> advances;
    if (run.advances.size() >= units) {
        advances.reserve(units);
        for (size_t i = 0; i < units; ++i) advances.push_back(run.advances[i] * xScale);
    }
    // Each character is a call into the text engine: it costs the painter
    // about as much as two hundred vertices of a polygon.
    if (!Spend(200.0 * double(units), 0)) return;

    // A stretched picture stretches its letters too.
    const QTransform& d = deviceToOutput_;
    const double dsx = QLineF(d.map(QPointF(0, 0)), d.map(QPointF(1, 0))).length();
    const double dsy = QLineF(d.map(QPointF(0, 0)), d.map(QPointF(0, 1))).length();
    const double stretch = (dsx > 0 && dsy > 0) ? dsx / dsy : 1.0;
    // Letters far larger than the whole target, or squeezed beyond reading,
    // come only from damaged mappings; the font engine would spend memory
    // on their glyphs for nothing.
    const QRectF outputTarget = base_.mapRect(target_);
    const double maxEm =
        painter_ ? std::min(double(kMaxFontPixels),
                            4 * std::max(outputTarget.width(), outputTarget.height()) + 256)
                 : double(kMaxFontPixels);
    if (!(em >= 0.5) || !(em <= maxEm) || !(stretch >= 0.1 && stretch <= 10)) {
        if (updateCp && !advances.empty()) {
            double total = 0;
            for (double a : run.advances) total += a;
            state_.position.rx() += total;
        }
        return;
    }
    font.setPixelSize(int(std::lround(std::clamp(em, 1.0, double(kMaxFontPixels)))));
    if (s.font.width != 0) {
        const double natural = QFontMetricsF(font).averageCharWidth();
        const double wanted = std::abs(double(s.font.width)) * xScale;
        if (natural > 0 && std::isfinite(wanted))
            font.setStretch(int(std::lround(std::clamp(100 * wanted / natural, 10.0, 1000.0))));
    }
    const QFontMetricsF metrics(font);
    const double extra = s.textCharExtra * xScale;
    double width = 0;
    if (!advances.empty()) {
        for (double a : advances) width += a;
    } else {
        width = metrics.horizontalAdvance(run.text) + extra * double(units);
    }
    if (!std::isfinite(width)) return;

    double x = 0;
    switch (s.textAlign & kTaCenter) {
        case kTaCenter:
            x = -width / 2;
            break;
        case kTaRight:
            x = -width;
            break;
        default:
            break;
    }
    double baseline = metrics.ascent();
    if ((s.textAlign & kTaBaseline) == kTaBaseline) {
        baseline = 0;
    } else if (s.textAlign & kTaBottom) {
        baseline = -metrics.descent();
    }

    // Text runs along the escapement.
    const double angle = -double(s.font.escapement) / 10.0;
    QTransform textToOutput;
    textToOutput.translate(origin.x(), origin.y());
    textToOutput.rotate(angle);
    textToOutput.scale(stretch, 1);
    const QRectF box(x / stretch, baseline - metrics.ascent(), width / stretch, metrics.height());
    const QRectF outBox = textToOutput.mapRect(box);
    if (!Sane(outBox)) return;
    const QRectF visible = outBox.intersected(base_.mapRect(target_));
    if (!Spend(0, 1 + std::max(0.0, visible.width()) * std::max(0.0, visible.height()))) return;

    if (updateCp) {
        const double logicalWidth = width / xScale;
        if ((s.textAlign & kTaCenter) == 0) state_.position.rx() += logicalWidth;
        if ((s.textAlign & kTaCenter) == kTaRight) state_.position.rx() -= logicalWidth;
    }
    if (!painter_) {
        bool invertible = false;
        const QTransform outToDevice = deviceToOutput_.inverted(&invertible);
        if (invertible) measured_ |= outToDevice.mapRect(outBox);
        return;
    }

    ApplyClip();
    painter_->save();
    if (rect && (options & kEtoClipped)) {
        // In device units, cut back to the picture (see CombineClip).
        const QPolygonF box = LogicalToDevice().map(QPolygonF(rect->normalized()));
        QPainterPath clip;
        clip.addPolygon(box.intersected(QPolygonF(Everywhere())));
        painter_->setTransform(deviceToOutput_);
        painter_->setClipPath(clip, Qt::IntersectClip);
    }
    painter_->setTransform(textToOutput * base_);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    if (s.bkMode == 2) painter_->fillRect(box, Color(s.bkColor));
    painter_->setFont(font);
    painter_->setPen(Color(s.textColor));
    painter_->setBackgroundMode(Qt::TransparentMode);
    if (advances.empty()) {
        if (extra == 0) {
            painter_->drawText(QPointF(x / stretch, baseline), run.text);
        } else {
            double pen = x;
            for (qsizetype i = 0; i < run.text.size(); ++i) {
                const qsizetype n =
                    run.text[i].isHighSurrogate() && i + 1 < run.text.size() ? 2 : 1;
                const QString piece = run.text.mid(i, n);
                painter_->drawText(QPointF(pen / stretch, baseline), piece);
                pen += metrics.horizontalAdvance(piece) + extra;
                i += n - 1;
            }
        }
    } else {
        double pen = x;
        double rise = 0;
        for (qsizetype i = 0; i < run.text.size(); ++i) {
            const qsizetype n = run.text[i].isHighSurrogate() && i + 1 < run.text.size() ? 2 : 1;
            painter_->drawText(QPointF(pen / stretch, baseline + rise), run.text.mid(i, n));
            for (qsizetype k = 0; k < n; ++k) {
                pen += advances[size_t(i + k)];
                if (size_t(i + k) < run.risesY.size()) rise -= run.risesY[size_t(i + k)] * yScale;
            }
            i += n - 1;
        }
    }
    painter_->restore();
}

}  // namespace tamarind::metafile
