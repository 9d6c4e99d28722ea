// EMF records that draw lines and shapes, build and use paths, paint regions
// and fill gradients.

#include <QColor>
#include <vector>

#include "picture/metafile/EmfRecords.h"

namespace tamarind::metafile::emf {

// --- Lines and shapes

void PlayMoveToEx(Record& rec) {
    const QPointF p = ReadPointL(rec.r);
    if (rec.r.ok()) rec.canvas.MoveTo(p);
}

void PlayLineTo(Record& rec) {
    const QPointF p = ReadPointL(rec.r);
    if (rec.r.ok()) rec.canvas.LineTo(p);
}

void PlaySetPixelV(Record& rec) {
    const QPointF p = ReadPointL(rec.r);
    const uint32_t color = rec.r.U32();
    if (rec.r.ok()) rec.canvas.SetPixel(p, color);
}

void PlayPoly(Record& rec) {
    ByteReader& r = rec.r;
    Canvas& canvas = rec.canvas;
    const bool small = rec.type >= kPolyBezier16;
    r.Skip(16);  // bounds
    const uint32_t count = r.U32();
    if (!r.ok()) return;
    const auto points = ReadPoints(r, count, small);
    if (!points) return;
    switch (small ? rec.type - kPolyBezier16 + kPolyBezier : rec.type) {
        case kPolyBezier:
            canvas.PolyBezier(*points);
            break;
        case kPolygon:
            canvas.Polygon(*points);
            break;
        case kPolyline:
            canvas.Polyline(*points);
            break;
        case kPolyBezierTo:
            canvas.PolyBezierTo(*points);
            break;
        case kPolylineTo:
            canvas.PolylineTo(*points);
            break;
    }
}

void PlayPolyPoly(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t type = rec.type;
    const bool small = type == kPolyPolyline16 || type == kPolyPolygon16;
    r.Skip(16);
    const uint32_t polygons = r.U32();
    const uint32_t total = r.U32();
    if (!r.ok() || !r.Has(uint64_t(polygons) * 4)) return;
    std::vector<uint32_t> counts(polygons);
    uint64_t sum = 0;
    for (auto& count : counts) sum += (count = r.U32());
    if (sum != total || !r.Has(sum * (small ? 4 : 8))) return;
    std::vector<QPolygonF> list;
    list.reserve(polygons);
    for (uint32_t count : counts) list.push_back(*ReadPoints(r, count, small));
    if (type == kPolyPolygon || type == kPolyPolygon16) {
        rec.canvas.PolyPolygon(list);
    } else {
        rec.canvas.PolyPolyline(list);
    }
}

void PlayPolyDraw(Record& rec) {
    ByteReader& r = rec.r;
    r.Skip(16);
    const uint32_t count = r.U32();
    if (!r.ok()) return;
    const auto points = ReadPoints(r, count, rec.type == kPolyDraw16);
    if (!points || !r.Has(count)) return;
    rec.canvas.PolyDraw(*points, r.Bytes(count));
}

void PlayRectangle(Record& rec) {
    const QRectF box = ReadRectL(rec.r);
    if (rec.r.ok()) rec.canvas.Rectangle(box);
}

void PlayEllipse(Record& rec) {
    const QRectF box = ReadRectL(rec.r);
    if (rec.r.ok()) rec.canvas.Ellipse(box);
}

void PlayRoundRect(Record& rec) {
    const QRectF box = ReadRectL(rec.r);
    const QPointF corner = ReadPointL(rec.r);
    if (rec.r.ok()) rec.canvas.RoundRect(box, QSizeF(corner.x(), corner.y()));
}

namespace {

// Arc, ArcTo, Chord and Pie: the ellipse's box and the radials' end points.
struct ArcFields {
    QRectF box;
    QPointF start, end;
};

std::optional<ArcFields> ReadArc(ByteReader& r) {
    ArcFields arc;
    arc.box = ReadRectL(r);
    arc.start = ReadPointL(r);
    arc.end = ReadPointL(r);
    if (!r.ok()) return std::nullopt;
    return arc;
}

}  // namespace

void PlayArc(Record& rec) {
    if (const auto a = ReadArc(rec.r)) rec.canvas.Arc(a->box, a->start, a->end);
}

void PlayArcTo(Record& rec) {
    if (const auto a = ReadArc(rec.r)) rec.canvas.ArcTo(a->box, a->start, a->end);
}

void PlayChord(Record& rec) {
    if (const auto a = ReadArc(rec.r)) rec.canvas.Chord(a->box, a->start, a->end);
}

void PlayPie(Record& rec) {
    if (const auto a = ReadArc(rec.r)) rec.canvas.Pie(a->box, a->start, a->end);
}

void PlayAngleArc(Record& rec) {
    ByteReader& r = rec.r;
    const QPointF center = ReadPointL(r);
    const uint32_t radius = r.U32();
    const float start = r.F32();
    const float sweep = r.F32();
    if (r.ok()) rec.canvas.AngleArc(center, radius, start, sweep);
}

// --- Paths

void PlayBeginPath(Record& rec) {
    rec.canvas.BeginPath();
}

void PlayEndPath(Record& rec) {
    rec.canvas.EndPath();
}

void PlayCloseFigure(Record& rec) {
    rec.canvas.CloseFigure();
}

void PlayFillPath(Record& rec) {
    rec.canvas.FillPath();
}

void PlayStrokeAndFillPath(Record& rec) {
    rec.canvas.StrokeAndFillPath();
}

void PlayStrokePath(Record& rec) {
    rec.canvas.StrokePath();
}

void PlayWidenPath(Record& rec) {
    rec.canvas.WidenPath();
}

void PlayAbortPath(Record& rec) {
    rec.canvas.AbortPath();
}

void PlaySelectClipPath(Record& rec) {
    const uint32_t mode = rec.r.U32();
    if (rec.r.ok()) rec.canvas.SelectClipPath(int(mode));
}

// --- Regions

namespace {

// FillRgn and FrameRgn: the region and the brush it is painted with, a
// stock brush or one from the table; the stroke size of a frame.
void PlayBrushRegion(Record& rec, bool frame) {
    ByteReader& r = rec.r;
    r.Skip(16);
    const uint32_t byteCount = r.U32();
    const uint32_t brushIndex = r.U32();
    QSizeF stroke;
    if (frame) {
        const QPointF size = ReadPointL(r);
        stroke = QSizeF(size.x(), size.y());
    }
    if (!r.ok()) return;
    const auto region = ReadRegionData(r, byteCount);
    if (!region) return;
    LogBrush brush;
    if (brushIndex & kStockObject) {
        brush = StockBrush(brushIndex & ~kStockObject);
    } else {
        auto* object = rec.objects.Get(brushIndex);
        auto* found = object ? std::get_if<LogBrush>(object) : nullptr;
        if (!found) return;
        brush = *found;
    }
    if (frame) {
        rec.canvas.FrameRegion(*region, brush, stroke);
    } else {
        rec.canvas.FillRegion(*region, brush);
    }
}

std::optional<QPainterPath> ReadPlainRegion(ByteReader& r) {
    r.Skip(16);
    const uint32_t byteCount = r.U32();
    if (!r.ok()) return std::nullopt;
    return ReadRegionData(r, byteCount);
}

}  // namespace

void PlayFillRgn(Record& rec) {
    PlayBrushRegion(rec, false);
}

void PlayFrameRgn(Record& rec) {
    PlayBrushRegion(rec, true);
}

void PlayInvertRgn(Record& rec) {
    if (const auto region = ReadPlainRegion(rec.r)) rec.canvas.InvertRegion(*region);
}

void PlayPaintRgn(Record& rec) {
    if (const auto region = ReadPlainRegion(rec.r)) rec.canvas.PaintRegion(*region);
}

// --- Gradients

void PlayGradientFill(Record& rec) {
    ByteReader& r = rec.r;
    Canvas& canvas = rec.canvas;
    r.Skip(16);
    const uint32_t vertexCount = r.U32();
    const uint32_t shapeCount = r.U32();
    const uint32_t mode = r.U32();
    if (!r.ok() || !r.Has(uint64_t(vertexCount) * 16)) return;
    struct Vertex {
        QPointF point;
        QColor color;
    };
    std::vector<Vertex> vertices;
    vertices.reserve(vertexCount);
    for (uint32_t i = 0; i < vertexCount; ++i) {
        const QPointF p = ReadPointL(r);
        const int red = r.U16() >> 8, green = r.U16() >> 8, blue = r.U16() >> 8;
        r.U16();
        vertices.push_back({p, QColor(red, green, blue)});
    }
    const uint64_t shapeSize = mode == 2 ? 12 : 8;
    if (mode > 2 || !r.Has(uint64_t(shapeCount) * shapeSize)) return;
    for (uint32_t i = 0; i < shapeCount && !canvas.Exhausted(); ++i) {
        if (mode == 2) {
            const uint32_t a = r.U32(), b = r.U32(), c = r.U32();
            if (a >= vertexCount || b >= vertexCount || c >= vertexCount) continue;
            // A shaded triangle is drawn in its average colour.
            const QColor& ca = vertices[a].color;
            const QColor& cb = vertices[b].color;
            const QColor& cc = vertices[c].color;
            const QColor average((ca.red() + cb.red() + cc.red()) / 3,
                                 (ca.green() + cb.green() + cc.green()) / 3,
                                 (ca.blue() + cb.blue() + cc.blue()) / 3);
            canvas.FillPolygonColor(
                QPolygonF({vertices[a].point, vertices[b].point, vertices[c].point}), average);
        } else {
            const uint32_t a = r.U32(), b = r.U32();
            if (a >= vertexCount || b >= vertexCount) continue;
            canvas.GradientRect(QRectF(vertices[a].point, vertices[b].point), vertices[a].color,
                                vertices[b].color, mode == 1);
        }
    }
}

}  // namespace tamarind::metafile::emf
