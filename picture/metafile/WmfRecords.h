#pragma once
// What the WMF record players share: the record functions, one record as its
// player sees it, the fields that several records hold, and the players,
// listed by the file that holds them. Wmf.cpp maps each record function to
// its player.

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "picture/metafile/ByteReader.h"
#include "picture/metafile/Canvas.h"
#include "picture/metafile/GdiObjects.h"

namespace tamarind::metafile::wmf {

constexpr size_t kRecordHeader = 6;

// Record functions.
enum : uint16_t {
    kEof = 0x0000,
    kRealizePalette = 0x0035,
    kSetPalEntries = 0x0037,
    kSetBkMode = 0x0102,
    kSetMapMode = 0x0103,
    kSetRop2 = 0x0104,
    kSetPolyFillMode = 0x0106,
    kSetTextCharExtra = 0x0108,
    kRestoreDc = 0x0127,
    kResizePalette = 0x0139,
    kDibCreatePatternBrush = 0x0142,
    kSetBkColor = 0x0201,
    kSetTextColor = 0x0209,
    kOffsetViewportOrg = 0x0211,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kOffsetClipRgn = 0x0220,
    kFillRegion = 0x0228,
    kSelectPalette = 0x0234,
    kPolygon = 0x0324,
    kPolyline = 0x0325,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kSetViewportOrg = 0x020D,
    kSetViewportExt = 0x020E,
    kOffsetWindowOrg = 0x020F,
    kScaleWindowExt = 0x0410,
    kScaleViewportExt = 0x0412,
    kExcludeClipRect = 0x0415,
    kIntersectClipRect = 0x0416,
    kEllipse = 0x0418,
    kRectangle = 0x041B,
    kSetPixel = 0x041F,
    kFrameRegion = 0x0429,
    kAnimatePalette = 0x0436,
    kTextOut = 0x0521,
    kPolyPolygon = 0x0538,
    kRoundRect = 0x061C,
    kPatBlt = 0x061D,
    kSaveDc = 0x001E,
    kPie = 0x081A,
    kStretchBlt = 0x0B23,
    kInvertRegion = 0x012A,
    kPaintRegion = 0x012B,
    kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D,
    kSetTextAlign = 0x012E,
    kArc = 0x0817,
    kChord = 0x0830,
    kBitBlt = 0x0922,
    kExtTextOut = 0x0A32,
    kSetDibToDev = 0x0D33,
    kDibBitBlt = 0x0940,
    kDibStretchBlt = 0x0B41,
    kStretchDib = 0x0F43,
    kDeleteObject = 0x01F0,
    kCreatePalette = 0x00F7,
    kCreatePatternBrush = 0x01F9,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kCreateRegion = 0x06FF,
};

// One record as its player sees it: the canvas and object table of the
// playback, the record's function and size in 16-bit words, and a reader of
// its parameters.
struct Record {
    Canvas& canvas;
    ObjectTable& objects;
    uint16_t function;
    uint32_t words;
    ByteReader r;
};

using Player = void (*)(Record&);

// --- Fields that several records hold

// A point as WMF records store it: y first, then x.
inline QPointF ReadYX(ByteReader& r) {
    const int16_t y = r.I16();
    const int16_t x = r.I16();
    return QPointF(x, y);
}

// A rectangle stored bottom, right, top, left.
inline QRectF ReadBrtl(ByteReader& r) {
    const int16_t bottom = r.I16();
    const int16_t right = r.I16();
    const int16_t top = r.I16();
    const int16_t left = r.I16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

inline std::optional<QPolygonF> ReadPoints(ByteReader& r, size_t count) {
    if (!r.Has(uint64_t(count) * 4)) return std::nullopt;
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (size_t i = 0; i < count; ++i) {
        const int16_t x = r.I16();
        const int16_t y = r.I16();
        points.append(QPointF(x, y));
    }
    return points;
}

// --- WmfState.cpp: modes, colours, mapping, saved states and the clip
void PlaySetBkMode(Record& rec);
void PlaySetMapMode(Record& rec);
void PlaySetRop2(Record& rec);
void PlaySetPolyFillMode(Record& rec);
void PlaySetTextCharExtra(Record& rec);
void PlaySetTextAlign(Record& rec);
void PlaySetBkColor(Record& rec);
void PlaySetTextColor(Record& rec);
void PlaySetWindowOrg(Record& rec);
void PlaySetWindowExt(Record& rec);
void PlaySetViewportOrg(Record& rec);
void PlaySetViewportExt(Record& rec);
void PlayOffsetWindowOrg(Record& rec);
void PlayOffsetViewportOrg(Record& rec);
void PlayScaleWindowExt(Record& rec);
void PlayScaleViewportExt(Record& rec);
void PlaySaveDc(Record& rec);
void PlayRestoreDc(Record& rec);
void PlayIntersectClipRect(Record& rec);
void PlayExcludeClipRect(Record& rec);
void PlayOffsetClipRgn(Record& rec);
void PlaySelectClipRegion(Record& rec);

// --- WmfObjects.cpp: pens, brushes, fonts, palettes and regions
void PlayCreatePenIndirect(Record& rec);
void PlayCreateBrushIndirect(Record& rec);
void PlayCreateFontIndirect(Record& rec);
void PlayCreatePalette(Record& rec);
void PlayCreateRegion(Record& rec);
void PlayDibCreatePatternBrush(Record& rec);
void PlayCreatePatternBrush(Record& rec);
void PlaySelectObject(Record& rec);
void PlaySelectPalette(Record& rec);
void PlayDeleteObject(Record& rec);
void PlaySetPalEntries(Record& rec);  // and AnimatePalette
void PlayResizePalette(Record& rec);

// --- WmfShapes.cpp: lines, shapes and regions
void PlayMoveTo(Record& rec);
void PlayLineTo(Record& rec);
void PlayPolyline(Record& rec);
void PlayPolygon(Record& rec);
void PlayPolyPolygon(Record& rec);
void PlayRectangle(Record& rec);
void PlayEllipse(Record& rec);
void PlayRoundRect(Record& rec);
void PlayArc(Record& rec);
void PlayChord(Record& rec);
void PlayPie(Record& rec);
void PlaySetPixel(Record& rec);
void PlayFillRegion(Record& rec);
void PlayFrameRegion(Record& rec);
void PlayPaintRegion(Record& rec);
void PlayInvertRegion(Record& rec);

// --- WmfText.cpp
void PlayTextOut(Record& rec);
void PlayExtTextOut(Record& rec);

// --- WmfBitmaps.cpp: block transfers
void PlayPatBlt(Record& rec);
void PlayBitBlt(Record& rec);      // BitBlt, StretchBlt, DibBitBlt, DibStretchBlt
void PlayStretchDib(Record& rec);  // StretchDib, SetDibToDev

}  // namespace tamarind::metafile::wmf
