#pragma once
// What the EMF record players share: the record types, one record as its
// player sees it, the fields that several records hold, and the players,
// listed by the file that holds them. Emf.cpp maps each record type to its
// player.

#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "picture/metafile/ByteReader.h"
#include "picture/metafile/Canvas.h"
#include "picture/metafile/GdiObjects.h"

namespace tamarind::metafile::emf {

constexpr size_t kRecordHeader = 8;

// Record types.
enum : uint32_t {
    kHeader = 1,
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExtEx = 9,
    kSetWindowOrgEx = 10,
    kSetViewportExtEx = 11,
    kSetViewportOrgEx = 12,
    kEof = 14,
    kSetPixelV = 15,
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetPolyFillMode = 19,
    kSetRop2 = 20,
    kSetTextAlign = 22,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kOffsetClipRgn = 26,
    kMoveToEx = 27,
    kExcludeClipRect = 29,
    kIntersectClipRect = 30,
    kScaleViewportExtEx = 31,
    kScaleWindowExtEx = 32,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kAngleArc = 41,
    kEllipse = 42,
    kRectangle = 43,
    kRoundRect = 44,
    kArc = 45,
    kChord = 46,
    kPie = 47,
    kSelectPalette = 48,
    kCreatePalette = 49,
    kSetPaletteEntries = 50,
    kResizePalette = 51,
    kLineTo = 54,
    kArcTo = 55,
    kPolyDraw = 56,
    kSetArcDirection = 57,
    kSetMiterLimit = 58,
    kBeginPath = 59,
    kEndPath = 60,
    kCloseFigure = 61,
    kFillPath = 62,
    kStrokeAndFillPath = 63,
    kStrokePath = 64,
    kFlattenPath = 65,
    kWidenPath = 66,
    kSelectClipPath = 67,
    kAbortPath = 68,
    kFillRgn = 71,
    kFrameRgn = 72,
    kInvertRgn = 73,
    kPaintRgn = 74,
    kExtSelectClipRgn = 75,
    kBitBlt = 76,
    kStretchBlt = 77,
    kMaskBlt = 78,
    kPlgBlt = 79,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
    kExtCreateFontIndirectW = 82,
    kExtTextOutA = 83,
    kExtTextOutW = 84,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kPolyDraw16 = 92,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94,
    kExtCreatePen = 95,
    kPolyTextOutA = 96,
    kPolyTextOutW = 97,
    kSmallTextOut = 108,
    kAlphaBlend = 114,
    kTransparentBlt = 116,
    kGradientFill = 118,
};

constexpr uint32_t kStockObject = 0x80000000;

// One record as its player sees it: the canvas and object table of the
// playback, the record's type, its bytes (type and size included) and a
// reader placed after the type and size.
struct Record {
    Canvas& canvas;
    ObjectTable& objects;
    uint32_t type;
    std::span<const uchar> bytes;
    ByteReader r;
};

using Player = void (*)(Record&);

// --- Fields that several records hold

inline QPointF ReadPointL(ByteReader& r) {
    const int32_t x = r.I32();
    const int32_t y = r.I32();
    return QPointF(x, y);
}

inline QPointF ReadPointS(ByteReader& r) {
    const int16_t x = r.I16();
    const int16_t y = r.I16();
    return QPointF(x, y);
}

inline QRectF ReadRectL(ByteReader& r) {
    const int32_t left = r.I32(), top = r.I32(), right = r.I32(), bottom = r.I32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

inline QTransform ReadXForm(ByteReader& r) {
    const float m11 = r.F32(), m12 = r.F32(), m21 = r.F32(), m22 = r.F32(), dx = r.F32(),
                dy = r.F32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

inline std::optional<QPolygonF> ReadPoints(ByteReader& r, uint64_t count, bool small) {
    if (!r.Has(count * (small ? 4 : 8))) return std::nullopt;
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (uint64_t i = 0; i < count; ++i) points.append(small ? ReadPointS(r) : ReadPointL(r));
    return points;
}

// Region data (RGNDATA): a header, then its rectangles.
inline std::optional<QPainterPath> ReadRegionData(ByteReader& r, uint32_t byteCount) {
    if (!r.Has(byteCount) || byteCount < 32) return std::nullopt;
    ByteReader data(r.Bytes(byteCount));
    data.U32();  // header size
    data.U32();  // type
    const uint32_t count = data.U32();
    data.U32();     // size of the rectangles
    data.Skip(16);  // bounds
    if (!data.Has(uint64_t(count) * 16)) return std::nullopt;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (uint32_t i = 0; i < count; ++i) path.addRect(ReadRectL(data).normalized());
    return path;
}

// A span of the record given as offset and size from the record's start;
// empty when it does not lie inside the record.
inline std::span<const uchar> Part(std::span<const uchar> record, uint32_t offset, uint32_t size) {
    if (offset < kRecordHeader || uint64_t(offset) + size > record.size()) return {};
    return record.subspan(offset, size);
}

// The brush of a stock object (WHITE_BRUSH to NULL_BRUSH, DC_BRUSH).
LogBrush StockBrush(uint32_t which);

// --- EmfState.cpp: modes, colours, mapping, saved states and the clip
void PlaySetMapMode(Record& rec);
void PlaySetBkMode(Record& rec);
void PlaySetPolyFillMode(Record& rec);
void PlaySetRop2(Record& rec);
void PlaySetTextAlign(Record& rec);
void PlaySetTextColor(Record& rec);
void PlaySetBkColor(Record& rec);
void PlaySetArcDirection(Record& rec);
void PlaySetMiterLimit(Record& rec);
void PlaySetWindowExtEx(Record& rec);
void PlaySetWindowOrgEx(Record& rec);
void PlaySetViewportExtEx(Record& rec);
void PlaySetViewportOrgEx(Record& rec);
void PlayScaleWindowExtEx(Record& rec);
void PlayScaleViewportExtEx(Record& rec);
void PlaySetWorldTransform(Record& rec);
void PlayModifyWorldTransform(Record& rec);
void PlaySaveDc(Record& rec);
void PlayRestoreDc(Record& rec);
void PlayExcludeClipRect(Record& rec);
void PlayIntersectClipRect(Record& rec);
void PlayOffsetClipRgn(Record& rec);
void PlayExtSelectClipRgn(Record& rec);

// --- EmfObjects.cpp: pens, brushes, fonts and palettes
void PlayCreatePen(Record& rec);
void PlayExtCreatePen(Record& rec);
void PlayCreateBrushIndirect(Record& rec);
void PlayCreatePatternBrush(Record& rec);  // CreateMonoBrush, CreateDibPatternBrushPt
void PlayExtCreateFontIndirectW(Record& rec);
void PlayCreatePalette(Record& rec);
void PlaySetPaletteEntries(Record& rec);
void PlayResizePalette(Record& rec);
void PlaySelectObject(Record& rec);
void PlaySelectPalette(Record& rec);
void PlayDeleteObject(Record& rec);

// --- EmfShapes.cpp: lines, shapes, paths, regions and gradients
void PlayMoveToEx(Record& rec);
void PlayLineTo(Record& rec);
void PlaySetPixelV(Record& rec);
// PolyBezier, Polygon, Polyline, PolyBezierTo, PolylineTo and their 16-bit
// forms.
void PlayPoly(Record& rec);
void PlayPolyPoly(Record& rec);  // PolyPolyline, PolyPolygon and their 16-bit forms
void PlayPolyDraw(Record& rec);  // and PolyDraw16
void PlayRectangle(Record& rec);
void PlayEllipse(Record& rec);
void PlayRoundRect(Record& rec);
void PlayArc(Record& rec);
void PlayArcTo(Record& rec);
void PlayChord(Record& rec);
void PlayPie(Record& rec);
void PlayAngleArc(Record& rec);
void PlayBeginPath(Record& rec);
void PlayEndPath(Record& rec);
void PlayCloseFigure(Record& rec);
void PlayFillPath(Record& rec);
void PlayStrokeAndFillPath(Record& rec);
void PlayStrokePath(Record& rec);
void PlayWidenPath(Record& rec);
void PlayAbortPath(Record& rec);
void PlaySelectClipPath(Record& rec);
void PlayFillRgn(Record& rec);
void PlayFrameRgn(Record& rec);
void PlayInvertRgn(Record& rec);
void PlayPaintRgn(Record& rec);
void PlayGradientFill(Record& rec);

// --- EmfText.cpp
void PlayExtTextOut(Record& rec);   // ExtTextOutA and ExtTextOutW
void PlayPolyTextOut(Record& rec);  // PolyTextOutA and PolyTextOutW
void PlaySmallTextOut(Record& rec);

// --- EmfBitmaps.cpp: block transfers
// BitBlt, StretchBlt, StretchDIBits, SetDIBitsToDevice, AlphaBlend and
// TransparentBlt.
void PlayBlt(Record& rec);
void PlayMaskBlt(Record& rec);
void PlayPlgBlt(Record& rec);

}  // namespace tamarind::metafile::emf
