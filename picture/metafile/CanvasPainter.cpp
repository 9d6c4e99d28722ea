// Pens and brushes made from the selected logical ones, and the painter set
// up for each primitive.

#include <QPainter>
#include <algorithm>

#include "picture/metafile/Canvas.h"
#include "picture/metafile/CanvasInternals.h"

namespace tamarind::metafile {
namespace {

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

}  // namespace

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

}  // namespace tamarind::metafile
