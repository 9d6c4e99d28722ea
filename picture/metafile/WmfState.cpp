// WMF records that set the device context's modes and colours and its
// mapping, save and restore it, and change its clip.

#include <variant>

#include "picture/metafile/WmfRecords.h"

namespace tamarind::metafile::wmf {

// --- Modes and colours

void PlaySetBkMode(Record& rec) {
    const uint16_t mode = rec.r.U16();
    if (rec.r.ok() && (mode == 1 || mode == 2)) rec.canvas.state().bkMode = mode;
}

void PlaySetMapMode(Record& rec) {
    const uint16_t mode = rec.r.U16();
    if (rec.r.ok()) rec.canvas.SetMapMode(mode);
}

void PlaySetRop2(Record& rec) {
    const uint16_t rop = rec.r.U16();
    if (rec.r.ok() && rop >= 1 && rop <= 16) rec.canvas.state().rop2 = rop;
}

void PlaySetPolyFillMode(Record& rec) {
    const uint16_t mode = rec.r.U16();
    if (rec.r.ok() && (mode == 1 || mode == 2)) rec.canvas.state().polyFillMode = mode;
}

void PlaySetTextCharExtra(Record& rec) {
    const int16_t extra = rec.r.I16();
    if (rec.r.ok()) rec.canvas.state().textCharExtra = extra;
}

void PlaySetTextAlign(Record& rec) {
    const uint16_t align = rec.r.U16();
    if (rec.r.ok()) rec.canvas.state().textAlign = align;
}

void PlaySetBkColor(Record& rec) {
    const uint32_t color = rec.r.U32();
    if (rec.r.ok()) rec.canvas.state().bkColor = color;
}

void PlaySetTextColor(Record& rec) {
    const uint32_t color = rec.r.U32();
    if (rec.r.ok()) rec.canvas.state().textColor = color;
}

// --- Mapping

void PlaySetWindowOrg(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.SetWindowOrg(p);
}

void PlaySetWindowExt(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.SetWindowExt(p);
}

void PlaySetViewportOrg(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.SetViewportOrg(p);
}

void PlaySetViewportExt(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.SetViewportExt(p);
}

void PlayOffsetWindowOrg(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.OffsetWindowOrg(p);
}

void PlayOffsetViewportOrg(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.OffsetViewportOrg(p);
}

namespace {

// ScaleWindowExt and ScaleViewportExt: the factors stored y first, each
// numerator after its denominator.
struct Scale {
    int16_t xNum, xDenom, yNum, yDenom;
};

std::optional<Scale> ReadScale(ByteReader& r) {
    const int16_t yDenom = r.I16();
    const int16_t yNum = r.I16();
    const int16_t xDenom = r.I16();
    const int16_t xNum = r.I16();
    if (!r.ok()) return std::nullopt;
    return Scale{xNum, xDenom, yNum, yDenom};
}

}  // namespace

void PlayScaleWindowExt(Record& rec) {
    if (const auto s = ReadScale(rec.r))
        rec.canvas.ScaleWindowExt(s->xNum, s->xDenom, s->yNum, s->yDenom);
}

void PlayScaleViewportExt(Record& rec) {
    if (const auto s = ReadScale(rec.r))
        rec.canvas.ScaleViewportExt(s->xNum, s->xDenom, s->yNum, s->yDenom);
}

// --- Saved states

void PlaySaveDc(Record& rec) {
    rec.canvas.SaveDc();
}

void PlayRestoreDc(Record& rec) {
    const int16_t which = rec.r.I16();
    if (rec.r.ok()) rec.canvas.RestoreDc(which);
}

// --- Clipping

void PlayIntersectClipRect(Record& rec) {
    const QRectF box = ReadBrtl(rec.r);
    if (rec.r.ok()) rec.canvas.IntersectClipRect(box);
}

void PlayExcludeClipRect(Record& rec) {
    const QRectF box = ReadBrtl(rec.r);
    if (rec.r.ok()) rec.canvas.ExcludeClipRect(box);
}

void PlayOffsetClipRgn(Record& rec) {
    const QPointF p = ReadYX(rec.r);
    if (rec.r.ok()) rec.canvas.OffsetClip(p);
}

void PlaySelectClipRegion(Record& rec) {
    const uint16_t index = rec.r.U16();
    if (!rec.r.ok()) return;
    if (auto* object = rec.objects.Get(index)) {
        if (auto* region = std::get_if<LogRegion>(object); region && region->valid)
            rec.canvas.SelectClipRegion(&region->path, kRgnCopy);
    }
}

}  // namespace tamarind::metafile::wmf
