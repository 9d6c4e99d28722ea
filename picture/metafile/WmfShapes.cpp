// WMF records that draw lines and shapes and paint regions.

#include <variant>
#include <vector>

#include "picture/metafile/WmfRecords.h"

namespace tamarind::metafile::wmf {

// --- Lines and shapes

void PlayMoveTo(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.MoveTo(p);
}

void PlayLineTo(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.LineTo(p);
}

namespace {

// Polyline and Polygon: a count, then the points.
std::optional<QPolygonF> ReadCountedPoints(ByteReader& r) {
    const int16_t count = r.I16();
    if (!r.ok() || count <= 0) return std::nullopt;
    return ReadPoints(r, size_t(count));
}

}  // namespace

void PlayPolyline(Record& rec) {
    if (const auto points = ReadCountedPoints(rec.r)) rec.canvas.Polyline(*points);
}

void PlayPolygon(Record& rec) {
    if (const auto points = ReadCountedPoints(rec.r)) rec.canvas.Polygon(*points);
}

void PlayPolyPolygon(Record& rec) {
    ByteReader& r = rec.r;
    const uint16_t polygons = r.U16();
    if (!r.ok() || !r.Has(uint64_t(polygons) * 2)) return;
    std::vector<uint16_t> counts(polygons);
    uint64_t total = 0;
    for (auto& count : counts) total += (count = r.U16());
    if (!r.Has(total * 4)) return;
    std::vector<QPolygonF> list;
    list.reserve(polygons);
    for (uint16_t count : counts) list.push_back(*ReadPoints(r, count));
    rec.canvas.PolyPolygon(list);
}

void PlayRectangle(Record& rec) {
    const QRectF box = ReadBrtl(rec.r);
    if (rec.r.ok()) rec.canvas.Rectangle(box);
}

void PlayEllipse(Record& rec) {
    const QRectF box = ReadBrtl(rec.r);
    if (rec.r.ok()) rec.canvas.Ellipse(box);
}

void PlayRoundRect(Record& rec) {
    ByteReader& r = rec.r;
    const int16_t height = r.I16();
    const int16_t width = r.I16();
    const QRectF box = ReadBrtl(r);
    if (r.ok()) rec.canvas.RoundRect(box, QSizeF(width, height));
}

namespace {

// Arc, Chord and Pie: the radials' end points (the end first), then the
// ellipse's box.
struct ArcFields {
    QRectF box;
    QPointF start, end;
};

std::optional<ArcFields> ReadArc(ByteReader& r) {
    ArcFields arc;
    arc.end = ReadYX(r);
    arc.start = ReadYX(r);
    arc.box = ReadBrtl(r);
    if (!r.ok()) return std::nullopt;
    return arc;
}

}  // namespace

void PlayArc(Record& rec) {
    if (const auto a = ReadArc(rec.r)) rec.canvas.Arc(a->box, a->start, a->end);
}

void PlayChord(Record& rec) {
    if (const auto a = ReadArc(rec.r)) rec.canvas.Chord(a->box, a->start, a->end);
}

void PlayPie(Record& rec) {
    if (const auto a = ReadArc(rec.r)) rec.canvas.Pie(a->box, a->start, a->end);
}

void PlaySetPixel(Record& rec) {
    const uint32_t color = rec.r.U32();
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.SetPixel(p, color);
}

// --- Regions

namespace {

// FillRegion and FrameRegion: the region and the brush from the table, and
// the stroke size of a frame.
void PlayBrushRegion(Record& rec, bool frame) {
    ByteReader& r = rec.r;
    const uint16_t regionIndex = r.U16();
    const uint16_t brushIndex = r.U16();
    const int16_t height = frame ? r.I16() : 0;
    const int16_t width = frame ? r.I16() : 0;
    if (!r.ok()) return;
    auto* region = rec.objects.Get(regionIndex);
    auto* brush = rec.objects.Get(brushIndex);
    if (!region || !brush || !std::holds_alternative<LogRegion>(*region) ||
        !std::holds_alternative<LogBrush>(*brush) || !std::get<LogRegion>(*region).valid)
        return;
    if (frame) {
        rec.canvas.FrameRegion(std::get<LogRegion>(*region).path, std::get<LogBrush>(*brush),
                               QSizeF(width, height));
    } else {
        rec.canvas.FillRegion(std::get<LogRegion>(*region).path, std::get<LogBrush>(*brush));
    }
}

// PaintRegion and InvertRegion: a region from the table, if it is one.
const LogRegion* ReadRegionIndex(Record& rec) {
    const uint16_t index = rec.r.U16();
    if (!rec.r.ok()) return nullptr;
    auto* object = rec.objects.Get(index);
    if (!object || !std::holds_alternative<LogRegion>(*object) ||
        !std::get<LogRegion>(*object).valid)
        return nullptr;
    return &std::get<LogRegion>(*object);
}

}  // namespace

void PlayFillRegion(Record& rec) {
    PlayBrushRegion(rec, false);
}

void PlayFrameRegion(Record& rec) {
    PlayBrushRegion(rec, true);
}

void PlayPaintRegion(Record& rec) {
    if (const LogRegion* region = ReadRegionIndex(rec)) rec.canvas.PaintRegion(region->path);
}

void PlayInvertRegion(Record& rec) {
    if (const LogRegion* region = ReadRegionIndex(rec)) rec.canvas.InvertRegion(region->path);
}

}  // namespace tamarind::metafile::wmf
