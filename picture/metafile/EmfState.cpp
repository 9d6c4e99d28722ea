// EMF records that set the device context's modes and colours, its mapping
// and world transform, save and restore it, and change its clip.

#include "picture/metafile/EmfRecords.h"

namespace tamarind::metafile::emf {

// --- Modes and colours

void PlaySetMapMode(Record& rec) {
    const uint32_t mode = rec.r.U32();
    if (rec.r.ok()) rec.canvas.SetMapMode(int(mode));
}

void PlaySetBkMode(Record& rec) {
    const uint32_t mode = rec.r.U32();
    if (rec.r.ok() && (mode == 1 || mode == 2)) rec.canvas.state().bkMode = int(mode);
}

void PlaySetPolyFillMode(Record& rec) {
    const uint32_t mode = rec.r.U32();
    if (rec.r.ok() && (mode == 1 || mode == 2)) rec.canvas.state().polyFillMode = int(mode);
}

void PlaySetRop2(Record& rec) {
    const uint32_t rop = rec.r.U32();
    if (rec.r.ok() && rop >= 1 && rop <= 16) rec.canvas.state().rop2 = int(rop);
}

void PlaySetTextAlign(Record& rec) {
    const uint32_t align = rec.r.U32();
    if (rec.r.ok()) rec.canvas.state().textAlign = align;
}

void PlaySetTextColor(Record& rec) {
    const uint32_t color = rec.r.U32();
    if (rec.r.ok()) rec.canvas.state().textColor = color;
}

void PlaySetBkColor(Record& rec) {
    const uint32_t color = rec.r.U32();
    if (rec.r.ok()) rec.canvas.state().bkColor = color;
}

void PlaySetArcDirection(Record& rec) {
    const uint32_t direction = rec.r.U32();
    if (rec.r.ok()) rec.canvas.state().arcClockwise = direction == 2;
}

void PlaySetMiterLimit(Record& rec) {
    const uint32_t limit = rec.r.U32();
    if (rec.r.ok() && limit >= 1 && limit <= 1000) rec.canvas.state().miterLimit = limit;
}

// --- Mapping

void PlaySetWindowExtEx(Record& rec) {
    const QPointF p = ReadPointL(rec.r);
    if (rec.r.ok()) rec.canvas.SetWindowExt(p);
}

void PlaySetWindowOrgEx(Record& rec) {
    const QPointF p = ReadPointL(rec.r);
    if (rec.r.ok()) rec.canvas.SetWindowOrg(p);
}

void PlaySetViewportExtEx(Record& rec) {
    const QPointF p = ReadPointL(rec.r);
    if (rec.r.ok()) rec.canvas.SetViewportExt(p);
}

void PlaySetViewportOrgEx(Record& rec) {
    const QPointF p = ReadPointL(rec.r);
    if (rec.r.ok()) rec.canvas.SetViewportOrg(p);
}

void PlayScaleWindowExtEx(Record& rec) {
    ByteReader& r = rec.r;
    const int32_t xNum = r.I32(), xDenom = r.I32(), yNum = r.I32(), yDenom = r.I32();
    if (r.ok()) rec.canvas.ScaleWindowExt(xNum, xDenom, yNum, yDenom);
}

void PlayScaleViewportExtEx(Record& rec) {
    ByteReader& r = rec.r;
    const int32_t xNum = r.I32(), xDenom = r.I32(), yNum = r.I32(), yDenom = r.I32();
    if (r.ok()) rec.canvas.ScaleViewportExt(xNum, xDenom, yNum, yDenom);
}

void PlaySetWorldTransform(Record& rec) {
    const QTransform t = ReadXForm(rec.r);
    if (rec.r.ok()) rec.canvas.SetWorldTransform(t);
}

void PlayModifyWorldTransform(Record& rec) {
    const QTransform t = ReadXForm(rec.r);
    const uint32_t mode = rec.r.U32();
    if (rec.r.ok()) rec.canvas.ModifyWorldTransform(t, mode);
}

// --- Saved states

void PlaySaveDc(Record& rec) {
    rec.canvas.SaveDc();
}

void PlayRestoreDc(Record& rec) {
    const int32_t which = rec.r.I32();
    if (rec.r.ok()) rec.canvas.RestoreDc(which);
}

// --- Clipping

void PlayExcludeClipRect(Record& rec) {
    const QRectF box = ReadRectL(rec.r);
    if (rec.r.ok()) rec.canvas.ExcludeClipRect(box);
}

void PlayIntersectClipRect(Record& rec) {
    const QRectF box = ReadRectL(rec.r);
    if (rec.r.ok()) rec.canvas.IntersectClipRect(box);
}

void PlayOffsetClipRgn(Record& rec) {
    const QPointF p = ReadPointL(rec.r);
    if (rec.r.ok()) rec.canvas.OffsetClip(p);
}

void PlayExtSelectClipRgn(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t byteCount = r.U32();
    const uint32_t mode = r.U32();
    if (!r.ok()) return;
    if (byteCount == 0) {
        rec.canvas.SelectClipRegion(nullptr, int(mode));
        return;
    }
    if (const auto region = ReadRegionData(r, byteCount))
        rec.canvas.SelectClipRegion(&*region, int(mode));
}

}  // namespace tamarind::metafile::emf
