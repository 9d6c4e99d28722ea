// Text: the logical font sized and placed on the output, with the record's
// advances, alignment, escapement and clipping.

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "picture/metafile/Canvas.h"
#include "picture/metafile/CanvasInternals.h"
#include "picture/metafile/TextDecoding.h"

namespace tamarind::metafile {
namespace {

constexpr int kMaxFontPixels = 65535;
// Characters drawn from one text record; a line of a real picture is far
// shorter, and laying out megabytes of text would stall the program.
constexpr qsizetype kMaxTextUnits = 4096;

}  // namespace

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
