// Pixels, regions, block transfers, bitmaps and gradients.

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

#include "picture/metafile/Canvas.h"
#include "picture/metafile/CanvasInternals.h"

namespace tamarind::metafile {
namespace {

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

}  // namespace tamarind::metafile
