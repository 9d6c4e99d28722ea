#include "picture/metafile/Emf.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

#include "picture/metafile/ByteReader.h"
#include "picture/metafile/Canvas.h"
#include "picture/metafile/Loading.h"
#include "picture/metafile/RecordBitmaps.h"
#include "picture/metafile/TextDecoding.h"

namespace tamarind::metafile {
namespace {

constexpr uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr size_t kMinHeaderSize = 88;
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

// Puts an object into the table; index 0 stands for the metafile itself and
// holds no object.
void PutObject(ObjectTable& objects, uint32_t index, GdiObject object) {
    if (index != 0) objects.Put(index, std::move(object));
}

uint32_t Le32(const uchar* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

QPointF ReadPointL(ByteReader& r) {
    const int32_t x = r.I32();
    const int32_t y = r.I32();
    return QPointF(x, y);
}

QPointF ReadPointS(ByteReader& r) {
    const int16_t x = r.I16();
    const int16_t y = r.I16();
    return QPointF(x, y);
}

QRectF ReadRectL(ByteReader& r) {
    const int32_t left = r.I32(), top = r.I32(), right = r.I32(), bottom = r.I32();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QTransform ReadXForm(ByteReader& r) {
    const float m11 = r.F32(), m12 = r.F32(), m21 = r.F32(), m22 = r.F32(), dx = r.F32(),
                dy = r.F32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

std::optional<QPolygonF> ReadPoints(ByteReader& r, uint64_t count, bool small) {
    if (!r.Has(count * (small ? 4 : 8))) return std::nullopt;
    QPolygonF points;
    points.reserve(qsizetype(count));
    for (uint64_t i = 0; i < count; ++i) points.append(small ? ReadPointS(r) : ReadPointL(r));
    return points;
}

// Region data (RGNDATA): a header, then its rectangles.
std::optional<QPainterPath> ReadRegionData(ByteReader& r, uint32_t byteCount) {
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
std::span<const uchar> Part(std::span<const uchar> record, uint32_t offset, uint32_t size) {
    if (offset < kRecordHeader || uint64_t(offset) + size > record.size()) return {};
    return record.subspan(offset, size);
}

LogBrush StockBrush(uint32_t which) {
    LogBrush brush;
    switch (which) {
        case 0:
            brush.color = 0xFFFFFF;
            break;
        case 1:
            brush.color = 0xC0C0C0;
            break;
        case 2:
            brush.color = 0x808080;
            break;
        case 3:
            brush.color = 0x404040;
            break;
        case 4:
            brush.color = 0x000000;
            break;
        case 5:
            brush.style = 1;
            break;
        case 18:
            brush.color = 0xFFFFFF;
            break;
    }
    return brush;
}

class EmfPicture final : public MetafilePicture {
  public:
    EmfPicture(QByteArray bytes, size_t start, size_t end, uint32_t handles, QRectF frame,
               QSizeF pixelsPerMm, QSize size)
        : bytes_(std::move(bytes)),
          start_(start),
          end_(end),
          handles_(handles),
          frame_(frame),
          pixelsPerMm_(pixelsPerMm),
          size_(size) {}

    QSize NaturalSize() const override { return size_; }

    void Draw(QPainter& painter, const QRectF& target) const override {
        DrawWithin(painter, target, MetafileLimits{});
    }

    void DrawWithin(QPainter& painter, const QRectF& target,
                    const MetafileLimits& limits) const override {
        if (frame_.isEmpty() || target.isEmpty() || !painter.isActive()) return;
        Canvas canvas(&painter, target, frame_, limits);
        canvas.SetDeviceResolution(pixelsPerMm_.width(), pixelsPerMm_.height());
        Play(canvas);
    }

  private:
    void Play(Canvas& canvas) const;
    void PlayRecord(Canvas& canvas, ObjectTable& objects, uint32_t type,
                    std::span<const uchar> record) const;
    void PlayText(Canvas& canvas, ByteReader& r, std::span<const uchar> record, bool wide) const;
    void PlayBlt(Canvas& canvas, uint32_t type, ByteReader& r, std::span<const uchar> record) const;
    void PlayMaskBlt(Canvas& canvas, ByteReader& r, std::span<const uchar> record) const;
    void PlayPlgBlt(Canvas& canvas, ByteReader& r, std::span<const uchar> record) const;

    QByteArray bytes_;
    size_t start_;
    size_t end_;
    uint32_t handles_;
    QRectF frame_;  // device units
    QSizeF pixelsPerMm_;
    QSize size_;
};

void EmfPicture::Play(Canvas& canvas) const {
    ObjectTable objects(handles_);
    const auto* data = reinterpret_cast<const uchar*>(bytes_.constData());
    size_t pos = start_;
    try {
        while (pos + kRecordHeader <= end_ && !canvas.Exhausted()) {
            const uint32_t type = Le32(data + pos);
            const uint32_t size = Le32(data + pos + 4);
            if (size < kRecordHeader || size > end_ - pos || type == kEof) break;
            if (!canvas.CountRecord()) break;
            PlayRecord(canvas, objects, type, std::span<const uchar>(data + pos, size));
            pos += size;
        }
    } catch (const std::exception&) {
        // Out of memory inside Qt: keep what was drawn.
    }
}

void EmfPicture::PlayRecord(Canvas& canvas, ObjectTable& objects, uint32_t type,
                            std::span<const uchar> record) const {
    ByteReader r(record);
    r.Skip(kRecordHeader);
    DcState& dc = canvas.state();
    switch (type) {
        // --- state
        case kSetMapMode: {
            const uint32_t mode = r.U32();
            if (r.ok()) canvas.SetMapMode(int(mode));
            break;
        }
        case kSetBkMode: {
            const uint32_t mode = r.U32();
            if (r.ok() && (mode == 1 || mode == 2)) dc.bkMode = int(mode);
            break;
        }
        case kSetPolyFillMode: {
            const uint32_t mode = r.U32();
            if (r.ok() && (mode == 1 || mode == 2)) dc.polyFillMode = int(mode);
            break;
        }
        case kSetRop2: {
            const uint32_t rop = r.U32();
            if (r.ok() && rop >= 1 && rop <= 16) dc.rop2 = int(rop);
            break;
        }
        case kSetTextAlign: {
            const uint32_t align = r.U32();
            if (r.ok()) dc.textAlign = align;
            break;
        }
        case kSetTextColor: {
            const uint32_t color = r.U32();
            if (r.ok()) dc.textColor = color;
            break;
        }
        case kSetBkColor: {
            const uint32_t color = r.U32();
            if (r.ok()) dc.bkColor = color;
            break;
        }
        case kSetArcDirection: {
            const uint32_t direction = r.U32();
            if (r.ok()) dc.arcClockwise = direction == 2;
            break;
        }
        case kSetMiterLimit: {
            const uint32_t limit = r.U32();
            if (r.ok() && limit >= 1 && limit <= 1000) dc.miterLimit = limit;
            break;
        }
        case kSetWindowExtEx:
        case kSetWindowOrgEx:
        case kSetViewportExtEx:
        case kSetViewportOrgEx: {
            const QPointF p = ReadPointL(r);
            if (!r.ok()) break;
            if (type == kSetWindowExtEx) canvas.SetWindowExt(p);
            if (type == kSetWindowOrgEx) canvas.SetWindowOrg(p);
            if (type == kSetViewportExtEx) canvas.SetViewportExt(p);
            if (type == kSetViewportOrgEx) canvas.SetViewportOrg(p);
            break;
        }
        case kScaleViewportExtEx:
        case kScaleWindowExtEx: {
            const int32_t xNum = r.I32(), xDenom = r.I32(), yNum = r.I32(), yDenom = r.I32();
            if (!r.ok()) break;
            if (type == kScaleWindowExtEx) {
                canvas.ScaleWindowExt(xNum, xDenom, yNum, yDenom);
            } else {
                canvas.ScaleViewportExt(xNum, xDenom, yNum, yDenom);
            }
            break;
        }
        case kSetWorldTransform: {
            const QTransform t = ReadXForm(r);
            if (r.ok()) canvas.SetWorldTransform(t);
            break;
        }
        case kModifyWorldTransform: {
            const QTransform t = ReadXForm(r);
            const uint32_t mode = r.U32();
            if (r.ok()) canvas.ModifyWorldTransform(t, mode);
            break;
        }
        case kSaveDc:
            canvas.SaveDc();
            break;
        case kRestoreDc: {
            const int32_t which = r.I32();
            if (r.ok()) canvas.RestoreDc(which);
            break;
        }

        // --- clipping
        case kExcludeClipRect:
        case kIntersectClipRect: {
            const QRectF box = ReadRectL(r);
            if (!r.ok()) break;
            if (type == kIntersectClipRect) {
                canvas.IntersectClipRect(box);
            } else {
                canvas.ExcludeClipRect(box);
            }
            break;
        }
        case kOffsetClipRgn: {
            const QPointF p = ReadPointL(r);
            if (r.ok()) canvas.OffsetClip(p);
            break;
        }
        case kExtSelectClipRgn: {
            const uint32_t byteCount = r.U32();
            const uint32_t mode = r.U32();
            if (!r.ok()) break;
            if (byteCount == 0) {
                canvas.SelectClipRegion(nullptr, int(mode));
                break;
            }
            if (const auto region = ReadRegionData(r, byteCount))
                canvas.SelectClipRegion(&*region, int(mode));
            break;
        }

        // --- objects
        case kCreatePen: {
            const uint32_t index = r.U32();
            LogPen pen;
            pen.style = r.U32();
            pen.width = r.I32();
            r.I32();
            pen.color = r.U32();
            if (r.ok()) PutObject(objects, index, pen);
            break;
        }
        case kExtCreatePen: {
            const uint32_t index = r.U32();
            r.Skip(16);  // the pattern bitmap of a patterned pen is not used
            LogPen pen;
            pen.extended = true;
            pen.style = r.U32();
            pen.width = r.U32();
            const uint32_t brushStyle = r.U32();
            pen.color = r.U32();
            r.U32();  // hatch
            const uint32_t entries = r.U32();
            if (!r.ok()) break;
            if (brushStyle == 1)
                pen.style = (pen.style & ~0x0Fu) | 5;  // a hollow brush draws nothing
            if ((pen.style & 0x0F) == 7 && r.Has(uint64_t(entries) * 4)) {
                for (uint32_t i = 0; i < entries && i < 64; ++i) pen.dashes.push_back(r.U32());
            }
            PutObject(objects, index, pen);
            break;
        }
        case kCreateBrushIndirect: {
            const uint32_t index = r.U32();
            LogBrush brush;
            brush.style = r.U32();
            brush.color = r.U32();
            brush.hatch = r.U32();
            if (!r.ok()) break;
            // Pattern styles cannot come without their bitmap here.
            if (brush.style != 1 && brush.style != 2) brush.style = 0;
            PutObject(objects, index, brush);
            break;
        }
        case kCreateMonoBrush:
        case kCreateDibPatternBrushPt: {
            const uint32_t index = r.U32();
            const uint32_t usage = r.U32();
            const uint32_t offBmi = r.U32(), cbBmi = r.U32(), offBits = r.U32(), cbBits = r.U32();
            if (!r.ok()) break;
            LogBrush brush;
            brush.style = 5;
            const auto info = Part(record, offBmi, cbBmi);
            const auto bits = Part(record, offBits, cbBits);
            if (!info.empty() && !bits.empty())
                brush.pattern =
                    DecodeRecordDib(info, bits, type == kCreateMonoBrush ? 0 : usage, canvas);
            PutObject(objects, index, std::move(brush));
            break;
        }
        case kExtCreateFontIndirectW: {
            const uint32_t index = r.U32();
            LogFont font;
            font.height = r.I32();
            font.width = r.I32();
            font.escapement = r.I32();
            r.I32();  // orientation
            font.weight = r.I32();
            font.italic = r.U8() != 0;
            font.underline = r.U8() != 0;
            font.strikeOut = r.U8() != 0;
            font.charSet = r.U8();
            r.Skip(3);
            font.pitchAndFamily = r.U8();
            const auto face = r.Bytes(std::min<size_t>(64, r.remaining()));
            if (!r.ok()) break;
            for (size_t i = 0; i + 1 < face.size(); i += 2) {
                const char16_t unit = char16_t(face[i] | (face[i + 1] << 8));
                if (unit == 0) break;
                font.face.append(QChar(unit));
            }
            PutObject(objects, index, std::move(font));
            break;
        }
        case kCreatePalette: {
            const uint32_t index = r.U32();
            r.U16();  // version
            const uint16_t count = r.U16();
            if (!r.ok() || !r.Has(uint64_t(count) * 4)) break;
            auto palette = std::make_shared<LogPalette>();
            for (int i = 0; i < count; ++i) {
                const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
                r.U8();
                palette->entries.push_back(qRgb(red, green, blue));
            }
            PutObject(objects, index, std::move(palette));
            break;
        }
        case kSetPaletteEntries: {
            const uint32_t index = r.U32();
            const uint32_t first = r.U32();
            const uint32_t count = r.U32();
            if (!r.ok() || !r.Has(uint64_t(count) * 4)) break;
            auto* object = objects.Get(index);
            auto* palette = object ? std::get_if<std::shared_ptr<LogPalette>>(object) : nullptr;
            if (!palette) break;
            auto& entries = (*palette)->entries;
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
                r.U8();
                if (uint64_t(first) + i < entries.size())
                    entries[first + i] = qRgb(red, green, blue);
            }
            break;
        }
        case kResizePalette: {
            const uint32_t index = r.U32();
            const uint32_t count = r.U32();
            if (!r.ok() || count > 1024) break;
            auto* object = objects.Get(index);
            if (auto* palette = object ? std::get_if<std::shared_ptr<LogPalette>>(object) : nullptr)
                (*palette)->entries.resize(count, qRgb(0, 0, 0));
            break;
        }
        case kSelectObject: {
            const uint32_t index = r.U32();
            if (!r.ok()) break;
            if (index & kStockObject) {
                const uint32_t which = index & ~kStockObject;
                if (which <= 5 || which == 18) {
                    canvas.SelectBrush(StockBrush(which));
                } else if (which == 6 || which == 7 || which == 8 || which == 19) {
                    LogPen pen;
                    pen.color = which == 6 ? 0xFFFFFF : 0;
                    pen.style = which == 8 ? 5 : 0;
                    canvas.SelectPen(pen);
                } else if (which >= 10 && which <= 17 && which != 15) {
                    LogFont font;
                    font.face = QStringLiteral("sans-serif");
                    canvas.SelectFont(font);
                } else if (which == 15) {
                    canvas.SelectPalette(nullptr);
                }
                break;
            }
            GdiObject* object = objects.Get(index);
            if (!object) break;
            if (auto* pen = std::get_if<LogPen>(object)) {
                canvas.SelectPen(*pen);
            } else if (auto* brush = std::get_if<LogBrush>(object)) {
                canvas.SelectBrush(*brush);
            } else if (auto* font = std::get_if<LogFont>(object)) {
                canvas.SelectFont(*font);
            }
            break;
        }
        case kSelectPalette: {
            const uint32_t index = r.U32();
            if (!r.ok()) break;
            if (index == (kStockObject | 15)) {
                canvas.SelectPalette(nullptr);
                break;
            }
            auto* object = objects.Get(index);
            if (auto* palette = object ? std::get_if<std::shared_ptr<LogPalette>>(object) : nullptr)
                canvas.SelectPalette(*palette);
            break;
        }
        case kDeleteObject: {
            const uint32_t index = r.U32();
            if (r.ok() && !(index & kStockObject)) objects.Delete(index);
            break;
        }

        // --- lines and shapes
        case kMoveToEx:
        case kLineTo: {
            const QPointF p = ReadPointL(r);
            if (!r.ok()) break;
            if (type == kMoveToEx) {
                canvas.MoveTo(p);
            } else {
                canvas.LineTo(p);
            }
            break;
        }
        case kSetPixelV: {
            const QPointF p = ReadPointL(r);
            const uint32_t color = r.U32();
            if (r.ok()) canvas.SetPixel(p, color);
            break;
        }
        case kPolyBezier:
        case kPolygon:
        case kPolyline:
        case kPolyBezierTo:
        case kPolylineTo:
        case kPolyBezier16:
        case kPolygon16:
        case kPolyline16:
        case kPolyBezierTo16:
        case kPolylineTo16: {
            const bool small = type >= kPolyBezier16;
            r.Skip(16);  // bounds
            const uint32_t count = r.U32();
            if (!r.ok()) break;
            const auto points = ReadPoints(r, count, small);
            if (!points) break;
            switch (small ? type - kPolyBezier16 + kPolyBezier : type) {
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
            break;
        }
        case kPolyPolyline:
        case kPolyPolygon:
        case kPolyPolyline16:
        case kPolyPolygon16: {
            const bool small = type == kPolyPolyline16 || type == kPolyPolygon16;
            r.Skip(16);
            const uint32_t polygons = r.U32();
            const uint32_t total = r.U32();
            if (!r.ok() || !r.Has(uint64_t(polygons) * 4)) break;
            std::vector<uint32_t> counts(polygons);
            uint64_t sum = 0;
            for (auto& count : counts) sum += (count = r.U32());
            if (sum != total || !r.Has(sum * (small ? 4 : 8))) break;
            std::vector<QPolygonF> list;
            list.reserve(polygons);
            for (uint32_t count : counts) list.push_back(*ReadPoints(r, count, small));
            if (type == kPolyPolygon || type == kPolyPolygon16) {
                canvas.PolyPolygon(list);
            } else {
                canvas.PolyPolyline(list);
            }
            break;
        }
        case kPolyDraw:
        case kPolyDraw16: {
            r.Skip(16);
            const uint32_t count = r.U32();
            if (!r.ok()) break;
            const auto points = ReadPoints(r, count, type == kPolyDraw16);
            if (!points || !r.Has(count)) break;
            canvas.PolyDraw(*points, r.Bytes(count));
            break;
        }
        case kRectangle:
        case kEllipse: {
            const QRectF box = ReadRectL(r);
            if (!r.ok()) break;
            if (type == kRectangle) {
                canvas.Rectangle(box);
            } else {
                canvas.Ellipse(box);
            }
            break;
        }
        case kRoundRect: {
            const QRectF box = ReadRectL(r);
            const QPointF corner = ReadPointL(r);
            if (r.ok()) canvas.RoundRect(box, QSizeF(corner.x(), corner.y()));
            break;
        }
        case kArc:
        case kArcTo:
        case kChord:
        case kPie: {
            const QRectF box = ReadRectL(r);
            const QPointF start = ReadPointL(r);
            const QPointF end = ReadPointL(r);
            if (!r.ok()) break;
            if (type == kArc) canvas.Arc(box, start, end);
            if (type == kArcTo) canvas.ArcTo(box, start, end);
            if (type == kChord) canvas.Chord(box, start, end);
            if (type == kPie) canvas.Pie(box, start, end);
            break;
        }
        case kAngleArc: {
            const QPointF center = ReadPointL(r);
            const uint32_t radius = r.U32();
            const float start = r.F32();
            const float sweep = r.F32();
            if (r.ok()) canvas.AngleArc(center, radius, start, sweep);
            break;
        }

        // --- paths
        case kBeginPath:
            canvas.BeginPath();
            break;
        case kEndPath:
            canvas.EndPath();
            break;
        case kCloseFigure:
            canvas.CloseFigure();
            break;
        case kFillPath:
            canvas.FillPath();
            break;
        case kStrokeAndFillPath:
            canvas.StrokeAndFillPath();
            break;
        case kStrokePath:
            canvas.StrokePath();
            break;
        case kFlattenPath:
            break;  // curves are kept as curves
        case kWidenPath:
            canvas.WidenPath();
            break;
        case kAbortPath:
            canvas.AbortPath();
            break;
        case kSelectClipPath: {
            const uint32_t mode = r.U32();
            if (r.ok()) canvas.SelectClipPath(int(mode));
            break;
        }

        // --- regions
        case kFillRgn:
        case kFrameRgn: {
            r.Skip(16);
            const uint32_t byteCount = r.U32();
            const uint32_t brushIndex = r.U32();
            QSizeF stroke;
            if (type == kFrameRgn) {
                const QPointF size = ReadPointL(r);
                stroke = QSizeF(size.x(), size.y());
            }
            if (!r.ok()) break;
            const auto region = ReadRegionData(r, byteCount);
            if (!region) break;
            LogBrush brush;
            if (brushIndex & kStockObject) {
                brush = StockBrush(brushIndex & ~kStockObject);
            } else {
                auto* object = objects.Get(brushIndex);
                auto* found = object ? std::get_if<LogBrush>(object) : nullptr;
                if (!found) break;
                brush = *found;
            }
            if (type == kFillRgn) {
                canvas.FillRegion(*region, brush);
            } else {
                canvas.FrameRegion(*region, brush, stroke);
            }
            break;
        }
        case kInvertRgn:
        case kPaintRgn: {
            r.Skip(16);
            const uint32_t byteCount = r.U32();
            if (!r.ok()) break;
            const auto region = ReadRegionData(r, byteCount);
            if (!region) break;
            if (type == kPaintRgn) {
                canvas.PaintRegion(*region);
            } else {
                canvas.InvertRegion(*region);
            }
            break;
        }

        // --- text
        case kExtTextOutA:
        case kExtTextOutW: {
            r.Skip(16 + 12);  // bounds, graphics mode, scales
            PlayText(canvas, r, record, type == kExtTextOutW);
            break;
        }
        case kPolyTextOutA:
        case kPolyTextOutW: {
            r.Skip(16 + 12);
            const uint32_t strings = r.U32();
            if (!r.ok() || !r.Has(uint64_t(strings) * 40)) break;
            for (uint32_t i = 0; i < strings && !canvas.Exhausted(); ++i)
                PlayText(canvas, r, record, type == kPolyTextOutW);
            break;
        }
        case kSmallTextOut: {
            const QPointF p = ReadPointL(r);
            const uint32_t count = r.U32();
            const uint32_t options = r.U32();
            r.Skip(12);  // graphics mode, scales
            std::optional<QRectF> box;
            if (!(options & 0x0100)) box = ReadRectL(r);  // ETO_NO_RECT
            const bool narrow = options & 0x0200;         // ETO_SMALL_CHARS
            if (!r.ok() || !r.Has(uint64_t(count) * (narrow ? 1 : 2))) break;
            const auto bytes = r.Bytes(count * (narrow ? 1 : 2));
            const TextRun run =
                narrow ? DecodeAnsiText(bytes, dc.font, {}) : DecodeUtf16Text(bytes, dc.font, {});
            canvas.Text(p, run, options & (kEtoOpaque | kEtoClipped), box);
            break;
        }

        // --- bitmaps
        case kBitBlt:
        case kStretchBlt:
        case kStretchDiBits:
        case kSetDiBitsToDevice:
        case kAlphaBlend:
        case kTransparentBlt:
            PlayBlt(canvas, type, r, record);
            break;
        case kMaskBlt:
            PlayMaskBlt(canvas, r, record);
            break;
        case kPlgBlt:
            PlayPlgBlt(canvas, r, record);
            break;

        case kGradientFill: {
            r.Skip(16);
            const uint32_t vertexCount = r.U32();
            const uint32_t shapeCount = r.U32();
            const uint32_t mode = r.U32();
            if (!r.ok() || !r.Has(uint64_t(vertexCount) * 16)) break;
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
            if (mode > 2 || !r.Has(uint64_t(shapeCount) * shapeSize)) break;
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
                        QPolygonF({vertices[a].point, vertices[b].point, vertices[c].point}),
                        average);
                } else {
                    const uint32_t a = r.U32(), b = r.U32();
                    if (a >= vertexCount || b >= vertexCount) continue;
                    canvas.GradientRect(QRectF(vertices[a].point, vertices[b].point),
                                        vertices[a].color, vertices[b].color, mode == 1);
                }
            }
            break;
        }

        default:
            break;  // comments (EMF+ included) and the rest are skipped
    }
}

void EmfPicture::PlayText(Canvas& canvas, ByteReader& r, std::span<const uchar> record,
                          bool wide) const {
    const QPointF reference = ReadPointL(r);
    const uint32_t count = r.U32();
    const uint32_t offString = r.U32();
    const uint32_t options = r.U32();
    const QRectF box = ReadRectL(r);
    const uint32_t offDx = r.U32();
    if (!r.ok()) return;
    const uint64_t unitSize = wide ? 2 : 1;
    if (count > record.size() || uint64_t(offString) + count * unitSize > record.size() ||
        (count > 0 && offString < kRecordHeader))
        return;  // the text does not lie inside the record
    const auto bytes = record.subspan(offString, size_t(count * unitSize));
    std::vector<double> advances, rises;
    const bool pdy = options & kEtoPdy;
    const uint64_t dxCount = pdy ? uint64_t(count) * 2 : count;
    if (offDx >= kRecordHeader && uint64_t(offDx) + dxCount * 4 <= record.size()) {
        ByteReader dx(record.subspan(offDx, size_t(dxCount * 4)));
        for (uint32_t i = 0; i < count; ++i) {
            advances.push_back(dx.I32());
            if (pdy) rises.push_back(dx.I32());
        }
    }
    const LogFont& font = canvas.state().font;
    TextRun run =
        wide ? DecodeUtf16Text(bytes, font, advances) : DecodeAnsiText(bytes, font, advances);
    if (rises.size() == size_t(run.text.size())) run.risesY = std::move(rises);
    std::optional<QRectF> rect;
    if (options & (kEtoOpaque | kEtoClipped)) rect = box;
    canvas.Text(reference, run, options, rect);
}

void EmfPicture::PlayBlt(Canvas& canvas, uint32_t type, ByteReader& r,
                         std::span<const uchar> record) const {
    r.Skip(16);  // bounds
    QRectF dest, source;
    uint32_t rop = kSrcCopy, usage = 0, offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0;
    double opacity = 1;
    uint32_t blend = 0;  // AlphaBlend's operation, flags, constant alpha and alpha format
    std::optional<uint32_t> transparent;
    bool rowsFromBottom = false;
    if (type == kStretchDiBits || type == kSetDiBitsToDevice) {
        const QPointF at = ReadPointL(r);
        const QPointF src = ReadPointL(r);
        const int32_t cxSrc = r.I32(), cySrc = r.I32();
        offBmi = r.U32();
        cbBmi = r.U32();
        offBits = r.U32();
        cbBits = r.U32();
        usage = r.U32();
        source = QRectF(src, QSizeF(cxSrc, cySrc));
        if (type == kStretchDiBits) {
            rop = r.U32();
            const int32_t cxDest = r.I32(), cyDest = r.I32();
            dest = QRectF(at, QSizeF(cxDest, cyDest));
        } else {
            dest = QRectF(at, QSizeF(cxSrc, cySrc));
        }
        rowsFromBottom = true;
    } else {
        const QPointF at = ReadPointL(r);
        const int32_t cxDest = r.I32(), cyDest = r.I32();
        const uint32_t ropOrBlend = r.U32();
        const QPointF src = ReadPointL(r);
        r.Skip(24);  // source transform
        r.U32();     // background colour of the source
        usage = r.U32();
        offBmi = r.U32();
        cbBmi = r.U32();
        offBits = r.U32();
        cbBits = r.U32();
        int32_t cxSrc = cxDest, cySrc = cyDest;
        if (type != kBitBlt) {
            cxSrc = r.I32();
            cySrc = r.I32();
        }
        dest = QRectF(at, QSizeF(cxDest, cyDest));
        source = QRectF(src, QSizeF(cxSrc, cySrc));
        if (type == kAlphaBlend) {
            blend = ropOrBlend;
            opacity = ((ropOrBlend >> 16) & 0xFF) / 255.0;  // source constant alpha
        } else if (type == kTransparentBlt) {
            transparent = ropOrBlend;
        } else {
            rop = ropOrBlend;
        }
    }
    if (!r.ok()) return;
    const auto info = Part(record, offBmi, cbBmi);
    const auto bits = Part(record, offBits, cbBits);
    if (cbBmi == 0 || info.empty() || bits.empty()) {
        // No source bitmap: the brush alone.
        if (type == kBitBlt || type == kStretchBlt) canvas.PatBlt(dest, rop);
        return;
    }
    QImage image;
    if (type == kAlphaBlend && (blend >> 24) & 1) image = DecodeAlphaDib(info, bits);
    if (image.isNull()) image = DecodeRecordDib(info, bits, usage, canvas);
    if (image.isNull()) return;
    if (rowsFromBottom) {
        const auto header = ReadDibHeader(info);
        if (header && header->height > 0)
            source.moveTop(image.height() - source.top() - source.height());
    }
    if (transparent) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        const QRgb key = canvas.Color(*transparent).rgb();
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] | 0xFF000000) == key) row[x] = 0;
        }
    }
    if (opacity < 1) {
        QImage faded(image.size(), QImage::Format_ARGB32_Premultiplied);
        faded.fill(Qt::transparent);
        QPainter p(&faded);
        p.setOpacity(opacity);
        p.drawImage(0, 0, image);
        p.end();
        image = faded;
    }
    canvas.DrawImage(image, dest, source, rop);
}

namespace {

// The source and mask bitmaps of a MaskBlt or PlgBlt record: usage, then
// offset and size of header and of bits, for each.
struct BltBitmaps {
    uint32_t usage = 0, offBmi = 0, cbBmi = 0, offBits = 0, cbBits = 0;
    QImage Decode(std::span<const uchar> record, const Canvas& canvas) const {
        if (cbBmi == 0) return {};
        const auto info = Part(record, offBmi, cbBmi);
        const auto bits = Part(record, offBits, cbBits);
        if (info.empty() || bits.empty()) return {};
        return DecodeRecordDib(info, bits, usage, canvas);
    }
};

BltBitmaps ReadBltBitmaps(ByteReader& r) {
    BltBitmaps b;
    b.usage = r.U32();
    b.offBmi = r.U32();
    b.cbBmi = r.U32();
    b.offBits = r.U32();
    b.cbBits = r.U32();
    return b;
}

// The part of a transfer of cx × cy pixels from (xSrc, ySrc) that the source
// and the mask (read from (xMask, yMask) on) both hold, each when present:
// where it starts, counted from the transfer's first pixel, and its size.
// Positions and sizes are the file's 32-bit values, so the edges are
// reckoned in 64 bits; what is left lies inside the bitmaps and the
// transfer, and fits an int again.
struct BltPart {
    QPoint offset;
    QSize size;
};

std::optional<BltPart> HeldPart(int32_t xSrc, int32_t ySrc, int32_t cx, int32_t cy,
                                const QImage& source, int32_t xMask, int32_t yMask,
                                const QImage& mask) {
    struct Range {
        int64_t from, to;  // offsets [from, to) into the transfer
        // Only the offsets that land inside [0, extent) when counted from
        // `start`.
        void Within(int64_t start, int64_t extent) {
            from = std::max(from, -start);
            to = std::min(to, extent - start);
        }
    };
    Range x{0, cx}, y{0, cy};
    if (!source.isNull()) {
        x.Within(xSrc, source.width());
        y.Within(ySrc, source.height());
    }
    if (!mask.isNull()) {
        x.Within(xMask, mask.width());
        y.Within(yMask, mask.height());
    }
    if (x.to <= x.from || y.to <= y.from) return std::nullopt;
    return BltPart{QPoint(int(x.from), int(y.from)), QSize(int(x.to - x.from), int(y.to - y.from))};
}

// Where the part starts in a bitmap read from (x, y) on; inside the bitmap
// whenever HeldPart was given that bitmap.
QPoint PartIn(const BltPart& part, int32_t x, int32_t y) {
    return QPoint(int(x + int64_t(part.offset.x())), int(y + int64_t(part.offset.y())));
}

}  // namespace

void EmfPicture::PlayMaskBlt(Canvas& canvas, ByteReader& r, std::span<const uchar> record) const {
    r.Skip(16);  // bounds
    const QPointF at = ReadPointL(r);
    const int32_t cx = r.I32(), cy = r.I32();
    const uint32_t rop4 = r.U32();
    const int32_t xSrc = r.I32(), ySrc = r.I32();
    r.Skip(24);  // source transform
    r.U32();     // background colour of the source
    const BltBitmaps sourceBits = ReadBltBitmaps(r);
    const int32_t xMask = r.I32(), yMask = r.I32();
    const BltBitmaps maskBits = ReadBltBitmaps(r);
    if (!r.ok() || cx <= 0 || cy <= 0) return;
    const QImage source = sourceBits.Decode(record, canvas);
    const QImage mask = maskBits.Decode(record, canvas);
    // The foreground operation where the mask is set, the background one
    // (the high byte) where it is not.
    const auto fore = uint8_t(rop4 >> 16), back = uint8_t(rop4 >> 24);
    const QRectF dest(at, QSizeF(cx, cy));
    if (mask.isNull()) {
        // No mask: a plain transfer with the foreground operation.
        if (source.isNull()) {
            canvas.PatBlt(dest, Rop3Code(fore));
        } else {
            canvas.DrawImage(source, dest, QRectF(xSrc, ySrc, cx, cy), Rop3Code(fore));
        }
        return;
    }
    // Only the part that the source and the mask both hold is transferred,
    // pixel for pixel.
    const auto part = HeldPart(xSrc, ySrc, cx, cy, source, xMask, yMask, mask);
    if (!part) return;
    const QImage cut =
        source.isNull() ? QImage() : source.copy(QRect(PartIn(*part, xSrc, ySrc), part->size));
    const QPoint maskAt = PartIn(*part, xMask, yMask);
    const LogBrush& brush = canvas.state().brush;
    std::optional<QRgb> brushColour;
    if (brush.style == 0) brushColour = canvas.Color(brush.color).rgb();
    const QRectF partDest(at + QPointF(part->offset), QSizeF(part->size));
    for (const bool set : {false, true}) {
        const MaskedRop piece =
            MaskedRopPart(set ? fore : back, cut, part->size, mask, maskAt, set, brushColour);
        if (!piece.image.isNull())
            canvas.DrawImage(piece.image, partDest, QRectF(piece.image.rect()), piece.rop);
    }
}

void EmfPicture::PlayPlgBlt(Canvas& canvas, ByteReader& r, std::span<const uchar> record) const {
    r.Skip(16);  // bounds
    const QPointF p0 = ReadPointL(r), p1 = ReadPointL(r), p2 = ReadPointL(r);
    const int32_t xSrc = r.I32(), ySrc = r.I32(), cx = r.I32(), cy = r.I32();
    r.Skip(24);  // source transform
    r.U32();     // background colour of the source
    const BltBitmaps sourceBits = ReadBltBitmaps(r);
    const int32_t xMask = r.I32(), yMask = r.I32();
    const BltBitmaps maskBits = ReadBltBitmaps(r);
    if (!r.ok() || cx <= 0 || cy <= 0) return;
    const QImage source = sourceBits.Decode(record, canvas);
    if (source.isNull()) return;
    const QImage mask = maskBits.Decode(record, canvas);
    // The source rectangle's corners go to p0 (top left), p1 (top right) and
    // p2 (bottom left); each source pixel moves by a and b.
    const QPointF a = (p1 - p0) / cx, b = (p2 - p0) / cy;
    const auto part = HeldPart(xSrc, ySrc, cx, cy, source, xMask, yMask, mask);
    if (!part) return;
    const QPointF origin = p0 + part->offset.x() * a + part->offset.y() * b;
    const QPointF across = part->size.width() * a, down = part->size.height() * b;
    const QTransform unitToLogical(across.x(), across.y(), down.x(), down.y(), origin.x(),
                                   origin.y());
    QImage cut = source.copy(QRect(PartIn(*part, xSrc, ySrc), part->size));
    if (!mask.isNull()) {
        // Where the mask is not set the destination stays as it was.
        cut = MaskedRopPart(0xCC, cut, part->size, mask, PartIn(*part, xMask, yMask), true,
                            std::nullopt)
                  .image;
    }
    canvas.DrawImageMapped(cut, unitToLogical, QRectF(cut.rect()), Rop3Code(0xCC));
}

}  // namespace

std::shared_ptr<const MetafilePicture> LoadEmfPicture(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const size_t size = size_t(bytes.size());
    if (size < kMinHeaderSize) ThrowInvalidMetafile();
    ByteReader r(std::span<const uchar>(data, size));
    const uint32_t type = r.U32();
    const uint32_t headerSize = r.U32();
    const QRectF bounds = ReadRectL(r);
    const QRectF frame = ReadRectL(r);
    const uint32_t signature = r.U32();
    r.U32();  // version
    r.U32();  // bytes
    r.U32();  // records
    const uint16_t handles = r.U16();
    r.U16();
    const uint32_t descriptionLength = r.U32();
    const uint32_t descriptionOffset = r.U32();
    r.U32();  // palette entries
    const QPointF devicePixels = ReadPointL(r);
    const QPointF deviceMm = ReadPointL(r);
    // The header's later fields exist only when the description (which old
    // writers put right after the first 88 bytes) leaves room for them.
    size_t fixedSize = headerSize;
    if (descriptionLength > 0 && descriptionOffset >= kMinHeaderSize)
        fixedSize = std::min<size_t>(fixedSize, descriptionOffset);
    QPointF deviceMicrometres;
    if (fixedSize >= 108) {
        r.Skip(12);  // pixel format, OpenGL
        deviceMicrometres = ReadPointL(r);
    }
    if (!r.ok() || type != kHeader || signature != kSignature || headerSize < kMinHeaderSize ||
        headerSize > size)
        ThrowInvalidMetafile();

    // The reference device's resolution; 96 dpi when the header has none or
    // one no device has (below 2.5 or above 25,400 dots per inch).
    auto resolution = [](double pixels, double micrometres, double millimetres) {
        double perMm = 0;
        // Micrometres refine the millimetres when the two agree.
        if (pixels > 0 && micrometres > 0 && std::abs(micrometres / 1000 - millimetres) <= 1) {
            perMm = pixels * 1000 / micrometres;
        } else if (pixels > 0 && millimetres > 0) {
            perMm = pixels / millimetres;
        }
        return perMm >= 0.1 && perMm <= 1000 ? perMm : 96 / 25.4;
    };
    const QSizeF pixelsPerMm(resolution(devicePixels.x(), deviceMicrometres.x(), deviceMm.x()),
                             resolution(devicePixels.y(), deviceMicrometres.y(), deviceMm.y()));

    // The records: the chain ends at the end-of-file record, at the end of
    // the data, or at the first record whose size does not fit.
    const size_t start = headerSize;
    size_t end = start;
    while (end + kRecordHeader <= size) {
        const uint32_t recordType = Le32(data + end);
        const uint32_t recordSize = Le32(data + end + 4);
        if (recordSize < kRecordHeader || recordSize > size - end) break;
        end += recordSize;
        if (recordType == kEof) break;
    }

    // The frame (in hundredths of a millimetre) gives the picture's place on
    // the reference device and its size; without one, the bounds (device
    // pixels, inclusive) do.
    QRectF deviceFrame;
    QSize natural;
    if (frame.width() > 0 && frame.height() > 0) {
        deviceFrame = QRectF(
            frame.left() * pixelsPerMm.width() / 100, frame.top() * pixelsPerMm.height() / 100,
            frame.width() * pixelsPerMm.width() / 100, frame.height() * pixelsPerMm.height() / 100);
        natural = NaturalPixels(frame.width() * 96 / 2540, frame.height() * 96 / 2540);
    } else if (bounds.width() >= 0 && bounds.height() >= 0) {
        deviceFrame = bounds.adjusted(0, 0, 1, 1);
        natural = NaturalPixels(deviceFrame.width() / pixelsPerMm.width() * 96 / 25.4,
                                deviceFrame.height() / pixelsPerMm.height() * 96 / 25.4);
    }
    return std::make_shared<EmfPicture>(bytes, start, end, handles, deviceFrame, pixelsPerMm,
                                        natural);
}

}  // namespace tamarind::metafile
