// The canvas's clip: rectangles, regions and paths combined in device units,
// and the clip handed to the painter.

#include <QPainter>
#include <algorithm>

#include "picture/metafile/Canvas.h"
#include "picture/metafile/CanvasInternals.h"

namespace tamarind::metafile {
namespace {

// Path boolean operations cost about the product of the two paths' sizes;
// beyond this the clip falls back to bounding rectangles.
constexpr double kMaxClipProduct = 4e6;

}  // namespace

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

}  // namespace tamarind::metafile
