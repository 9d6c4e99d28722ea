// Lines, shapes and the path bracket: each primitive built as a path in
// logical units, charged to the budget and drawn with the pen and brush.

#include <QPainter>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>

#include "picture/metafile/Canvas.h"
#include "picture/metafile/CanvasInternals.h"

namespace tamarind::metafile {
namespace {

// Angle of `point` on the ellipse in `box`, in degrees counter-clockwise as
// QPainterPath::arcTo counts them.
double EllipseAngle(const QRectF& box, QPointF point) {
    const QPointF c = box.center();
    const double rx = box.width() / 2;
    const double ry = box.height() / 2;
    return std::atan2(-(point.y() - c.y()) / ry, (point.x() - c.x()) / rx) * 180.0 / M_PI;
}

}  // namespace

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

}  // namespace tamarind::metafile
