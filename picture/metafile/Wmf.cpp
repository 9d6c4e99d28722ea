#include "picture/metafile/Wmf.h"

#include <QPainter>
#include <cmath>
#include <optional>

#include "picture/metafile/ByteReader.h"
#include "picture/metafile/Canvas.h"
#include "picture/metafile/Loading.h"
#include "picture/metafile/RecordBitmaps.h"
#include "picture/metafile/TextDecoding.h"

namespace tamarind::metafile {
namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kHeaderSize = 18;
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

bool IsDrawingRecord(uint16_t function) {
    switch (function) {
        case kLineTo:
        case kPolygon:
        case kPolyline:
        case kPolyPolygon:
        case kEllipse:
        case kRectangle:
        case kRoundRect:
        case kArc:
        case kChord:
        case kPie:
        case kTextOut:
        case kExtTextOut:
        case kSetPixel:
        case kPatBlt:
        case kFillRegion:
        case kPaintRegion:
        case kFrameRegion:
        case kBitBlt:
        case kStretchBlt:
        case kDibBitBlt:
        case kDibStretchBlt:
        case kStretchDib:
        case kSetDibToDev:
            return true;
        default:
            return false;
    }
}

uint32_t Le32(const uchar* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const uchar* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

// A point as WMF records store it: y first, then x.
QPointF ReadYX(ByteReader& r) {
    const int16_t y = r.I16();
    const int16_t x = r.I16();
    return QPointF(x, y);
}

// A rectangle stored bottom, right, top, left.
QRectF ReadBrtl(ByteReader& r) {
    const int16_t bottom = r.I16();
    const int16_t right = r.I16();
    const int16_t top = r.I16();
    const int16_t left = r.I16();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

std::optional<QPolygonF> ReadPoints(ByteReader& r, size_t count) {
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

// A Region object: scans of rectangles between a top and a bottom.
LogRegion ReadRegion(ByteReader& r) {
    LogRegion region;
    region.path.setFillRule(Qt::WindingFill);
    r.Skip(2 + 2 + 4 + 2);  // nextInChain, type, object count, size
    const int16_t scanCount = r.I16();
    r.Skip(2 + 8);  // max scan, bounding rectangle
    for (int i = 0; i < scanCount && r.ok(); ++i) {
        const uint16_t count = r.U16();
        const int16_t top = r.I16();
        const int16_t bottom = r.I16();
        if (!r.Has(uint64_t(count) * 2 + 2)) {
            region.valid = false;
            break;
        }
        for (int k = 0; k + 1 < count; k += 2) {
            const int16_t left = r.I16();
            const int16_t right = r.I16();
            region.path.addRect(QRectF(QPointF(left, top), QPointF(right, bottom)).normalized());
        }
        if (count % 2) r.Skip(2);
        r.Skip(2);  // the count again
    }
    if (!r.ok()) region.valid = false;
    return region;
}

// A device-dependent bitmap (Bitmap16) of one plane: rows top-down, each
// padded to its stated width. Monochrome and 24- or 32-bit colour are drawn;
// palette-based ones need the device's palette and are not.
QImage ReadBitmap16(ByteReader& r) {
    constexpr int64_t kMaxPixels = int64_t(1) << 26;
    r.I16();  // type
    const int16_t width = r.I16();
    const int16_t height = r.I16();
    const int16_t rowBytes = r.I16();
    const uint8_t planes = r.U8();
    const uint8_t bits = r.U8();
    if (!r.ok() || width <= 0 || height <= 0 || planes != 1 || int64_t(width) * height > kMaxPixels)
        return {};
    if ((bits != 1 && bits != 24 && bits != 32) || rowBytes < (int64_t(width) * bits + 7) / 8)
        return {};
    const auto data = r.Bytes(size_t(rowBytes) * size_t(height));
    if (!r.ok()) return {};
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    for (int y = 0; y < height; ++y) {
        const uchar* row = data.data() + size_t(y) * size_t(rowBytes);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (bits == 1) {
                out[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0xFFFFFFFF : 0xFF000000;
            } else {
                const uchar* p = row + size_t(x) * (bits / 8);
                out[x] = qRgb(p[2], p[1], p[0]);
            }
        }
    }
    return image;
}

LogFont ReadFont(ByteReader& r) {
    LogFont font;
    font.height = r.I16();
    font.width = r.I16();
    font.escapement = r.I16();
    r.I16();  // orientation
    font.weight = r.I16();
    font.italic = r.U8() != 0;
    font.underline = r.U8() != 0;
    font.strikeOut = r.U8() != 0;
    font.charSet = r.U8();
    r.Skip(3);  // precisions and quality
    font.pitchAndFamily = r.U8();
    // The face name: up to 32 bytes, ended by a zero, in the system code page.
    const size_t available = std::min<size_t>(32, r.remaining());
    auto face = r.Bytes(available);
    size_t length = 0;
    while (length < face.size() && face[length] != 0) ++length;
    LogFont faceCodePage;
    faceCodePage.charSet = 128;
    font.face = DecodeAnsiText(face.first(length), faceCodePage, {}).text;
    return font;
}

class WmfPicture final : public MetafilePicture {
  public:
    WmfPicture(QByteArray bytes, size_t start, size_t end, uint16_t objects, QRectF frame,
               QSize size)
        : bytes_(std::move(bytes)),
          start_(start),
          end_(end),
          objects_(objects),
          frame_(frame),
          size_(size) {}

    QSize NaturalSize() const override { return size_; }

    void Draw(QPainter& painter, const QRectF& target) const override {
        DrawWithin(painter, target, MetafileLimits{});
    }

    void DrawWithin(QPainter& painter, const QRectF& target,
                    const MetafileLimits& limits) const override {
        if (frame_.isEmpty() || target.isEmpty() || !painter.isActive()) return;
        Canvas canvas(&painter, target, frame_, limits);
        Play(canvas, frame_);
    }

    // Plays the records with `frame` as the initial window and viewport.
    void Play(Canvas& canvas, const QRectF& frame) const;

  private:
    void PlayRecord(Canvas& canvas, ObjectTable& objects, uint16_t function, uint32_t words,
                    ByteReader& r) const;

    QByteArray bytes_;
    size_t start_;
    size_t end_;
    uint16_t objects_;
    QRectF frame_;
    QSize size_;
};

void WmfPicture::Play(Canvas& canvas, const QRectF& frame) const {
    // The window maps onto the picture frame: logical units are the frame's
    // until the records set a window of their own.
    canvas.SetMapMode(kMmAnisotropic);
    canvas.SetWindowOrg(frame.topLeft());
    canvas.SetWindowExt(QPointF(frame.width(), frame.height()));
    canvas.SetViewportOrg(frame.topLeft());
    canvas.SetViewportExt(QPointF(frame.width(), frame.height()));
    canvas.SetDeviceResolution(96 / 25.4, 96 / 25.4);

    ObjectTable objects(objects_);
    const auto* data = reinterpret_cast<const uchar*>(bytes_.constData());
    size_t pos = start_;
    try {
        while (pos + kRecordHeader <= end_ && !canvas.Exhausted()) {
            const uint32_t words = Le32(data + pos);
            const uint16_t function = Le16(data + pos + 4);
            const uint64_t size = uint64_t(words) * 2;
            if (words < 3 || size > end_ - pos || function == kEof) break;
            if (!canvas.CountRecord()) break;
            ByteReader r(
                std::span<const uchar>(data + pos + kRecordHeader, size_t(size) - kRecordHeader));
            PlayRecord(canvas, objects, function, words, r);
            pos += size_t(size);
        }
    } catch (const std::exception&) {
        // Out of memory inside Qt: keep what was drawn.
    }
}

void WmfPicture::PlayRecord(Canvas& canvas, ObjectTable& objects, uint16_t function, uint32_t words,
                            ByteReader& r) const {
    DcState& dc = canvas.state();
    // A bitmap record without a bitmap is exactly its fixed fields long.
    const bool noBitmap = words == uint32_t(function >> 8) + 3;
    switch (function) {
        // --- state
        case kSetBkMode: {
            const uint16_t mode = r.U16();
            if (r.ok() && (mode == 1 || mode == 2)) dc.bkMode = mode;
            break;
        }
        case kSetMapMode: {
            const uint16_t mode = r.U16();
            if (r.ok()) canvas.SetMapMode(mode);
            break;
        }
        case kSetRop2: {
            const uint16_t rop = r.U16();
            if (r.ok() && rop >= 1 && rop <= 16) dc.rop2 = rop;
            break;
        }
        case kSetPolyFillMode: {
            const uint16_t mode = r.U16();
            if (r.ok() && (mode == 1 || mode == 2)) dc.polyFillMode = mode;
            break;
        }
        case kSetTextCharExtra: {
            const int16_t extra = r.I16();
            if (r.ok()) dc.textCharExtra = extra;
            break;
        }
        case kSetTextAlign: {
            const uint16_t align = r.U16();
            if (r.ok()) dc.textAlign = align;
            break;
        }
        case kSetBkColor: {
            const uint32_t color = r.U32();
            if (r.ok()) dc.bkColor = color;
            break;
        }
        case kSetTextColor: {
            const uint32_t color = r.U32();
            if (r.ok()) dc.textColor = color;
            break;
        }
        case kSetWindowOrg: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.SetWindowOrg(p);
            break;
        }
        case kSetWindowExt: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.SetWindowExt(p);
            break;
        }
        case kSetViewportOrg: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.SetViewportOrg(p);
            break;
        }
        case kSetViewportExt: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.SetViewportExt(p);
            break;
        }
        case kOffsetWindowOrg: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.OffsetWindowOrg(p);
            break;
        }
        case kOffsetViewportOrg: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.OffsetViewportOrg(p);
            break;
        }
        case kScaleWindowExt:
        case kScaleViewportExt: {
            const int16_t yDenom = r.I16();
            const int16_t yNum = r.I16();
            const int16_t xDenom = r.I16();
            const int16_t xNum = r.I16();
            if (!r.ok()) break;
            if (function == kScaleWindowExt) {
                canvas.ScaleWindowExt(xNum, xDenom, yNum, yDenom);
            } else {
                canvas.ScaleViewportExt(xNum, xDenom, yNum, yDenom);
            }
            break;
        }
        case kSaveDc:
            canvas.SaveDc();
            break;
        case kRestoreDc: {
            const int16_t which = r.I16();
            if (r.ok()) canvas.RestoreDc(which);
            break;
        }

        // --- clipping
        case kIntersectClipRect:
        case kExcludeClipRect: {
            const QRectF box = ReadBrtl(r);
            if (!r.ok()) break;
            if (function == kIntersectClipRect) {
                canvas.IntersectClipRect(box);
            } else {
                canvas.ExcludeClipRect(box);
            }
            break;
        }
        case kOffsetClipRgn: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.OffsetClip(p);
            break;
        }
        case kSelectClipRegion: {
            const uint16_t index = r.U16();
            if (!r.ok()) break;
            if (auto* object = objects.Get(index)) {
                if (auto* region = std::get_if<LogRegion>(object); region && region->valid)
                    canvas.SelectClipRegion(&region->path, kRgnCopy);
            }
            break;
        }

        // --- objects
        case kCreatePenIndirect: {
            LogPen pen;
            pen.style = r.U16();
            pen.width = r.I16();
            r.I16();
            pen.color = r.U32();
            if (!r.ok()) pen = LogPen{};
            objects.AddAtLowestFree(pen);
            break;
        }
        case kCreateBrushIndirect: {
            LogBrush brush;
            brush.style = r.U16();
            brush.color = r.U32();
            brush.hatch = r.U16();
            if (!r.ok()) brush = LogBrush{};
            objects.AddAtLowestFree(brush);
            break;
        }
        case kCreateFontIndirect: {
            LogFont font = ReadFont(r);
            objects.AddAtLowestFree(std::move(font));
            break;
        }
        case kCreatePalette: {
            auto palette = std::make_shared<LogPalette>();
            r.U16();  // version
            const uint16_t count = r.U16();
            if (r.Has(uint64_t(count) * 4)) {
                for (int i = 0; i < count; ++i) {
                    const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
                    r.U8();
                    palette->entries.push_back(qRgb(red, green, blue));
                }
            }
            objects.AddAtLowestFree(std::move(palette));
            break;
        }
        case kCreateRegion:
            objects.AddAtLowestFree(ReadRegion(r));
            break;
        case kDibCreatePatternBrush: {
            LogBrush brush;
            brush.style = 5;
            r.U16();  // style: the bitmap is a DIB either way
            const uint16_t usage = r.U16();
            brush.pattern = DecodePackedDib(r.Bytes(r.remaining()), usage, canvas);
            objects.AddAtLowestFree(std::move(brush));
            break;
        }
        case kCreatePatternBrush: {
            // A device-dependent bitmap: not drawn, but it takes its slot.
            LogBrush brush;
            brush.style = 3;
            objects.AddAtLowestFree(std::move(brush));
            break;
        }
        case kSelectObject: {
            const uint16_t index = r.U16();
            if (!r.ok()) break;
            GdiObject* object = objects.Get(index);
            if (!object) break;
            if (auto* pen = std::get_if<LogPen>(object)) {
                canvas.SelectPen(*pen);
            } else if (auto* brush = std::get_if<LogBrush>(object)) {
                canvas.SelectBrush(*brush);
            } else if (auto* font = std::get_if<LogFont>(object)) {
                canvas.SelectFont(*font);
            } else if (auto* palette = std::get_if<std::shared_ptr<LogPalette>>(object)) {
                canvas.SelectPalette(*palette);
            } else if (auto* region = std::get_if<LogRegion>(object); region && region->valid) {
                canvas.SelectClipRegion(&region->path, kRgnCopy);
            }
            break;
        }
        case kSelectPalette: {
            const uint16_t index = r.U16();
            if (!r.ok()) break;
            if (auto* object = objects.Get(index)) {
                if (auto* palette = std::get_if<std::shared_ptr<LogPalette>>(object))
                    canvas.SelectPalette(*palette);
            }
            break;
        }
        case kDeleteObject: {
            const uint16_t index = r.U16();
            if (r.ok()) objects.Delete(index);
            break;
        }
        case kSetPalEntries:
        case kAnimatePalette: {
            const uint16_t first = r.U16();
            const uint16_t count = r.U16();
            if (!r.ok() || !dc.palette || !r.Has(uint64_t(count) * 4)) break;
            auto& entries = dc.palette->entries;
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
                r.U8();
                if (first + i < entries.size()) entries[first + i] = qRgb(red, green, blue);
            }
            break;
        }
        case kResizePalette: {
            const uint16_t count = r.U16();
            if (r.ok() && dc.palette) dc.palette->entries.resize(count, qRgb(0, 0, 0));
            break;
        }
        case kRealizePalette:
            break;

        // --- lines and shapes
        case kMoveTo: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.MoveTo(p);
            break;
        }
        case kLineTo: {
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.LineTo(p);
            break;
        }
        case kPolyline:
        case kPolygon: {
            const int16_t count = r.I16();
            if (!r.ok() || count <= 0) break;
            const auto points = ReadPoints(r, size_t(count));
            if (!points) break;
            if (function == kPolyline) {
                canvas.Polyline(*points);
            } else {
                canvas.Polygon(*points);
            }
            break;
        }
        case kPolyPolygon: {
            const uint16_t polygons = r.U16();
            if (!r.ok() || !r.Has(uint64_t(polygons) * 2)) break;
            std::vector<uint16_t> counts(polygons);
            uint64_t total = 0;
            for (auto& count : counts) total += (count = r.U16());
            if (!r.Has(total * 4)) break;
            std::vector<QPolygonF> list;
            list.reserve(polygons);
            for (uint16_t count : counts) list.push_back(*ReadPoints(r, count));
            canvas.PolyPolygon(list);
            break;
        }
        case kRectangle:
        case kEllipse: {
            const QRectF box = ReadBrtl(r);
            if (!r.ok()) break;
            if (function == kRectangle) {
                canvas.Rectangle(box);
            } else {
                canvas.Ellipse(box);
            }
            break;
        }
        case kRoundRect: {
            const int16_t height = r.I16();
            const int16_t width = r.I16();
            const QRectF box = ReadBrtl(r);
            if (r.ok()) canvas.RoundRect(box, QSizeF(width, height));
            break;
        }
        case kArc:
        case kChord:
        case kPie: {
            const QPointF end = ReadYX(r);
            const QPointF start = ReadYX(r);
            const QRectF box = ReadBrtl(r);
            if (!r.ok()) break;
            if (function == kArc) canvas.Arc(box, start, end);
            if (function == kChord) canvas.Chord(box, start, end);
            if (function == kPie) canvas.Pie(box, start, end);
            break;
        }
        case kSetPixel: {
            const uint32_t color = r.U32();
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.SetPixel(p, color);
            break;
        }

        // --- regions
        case kFillRegion:
        case kFrameRegion: {
            const uint16_t regionIndex = r.U16();
            const uint16_t brushIndex = r.U16();
            const int16_t height = function == kFrameRegion ? r.I16() : 0;
            const int16_t width = function == kFrameRegion ? r.I16() : 0;
            if (!r.ok()) break;
            auto* region = objects.Get(regionIndex);
            auto* brush = objects.Get(brushIndex);
            if (!region || !brush || !std::holds_alternative<LogRegion>(*region) ||
                !std::holds_alternative<LogBrush>(*brush) || !std::get<LogRegion>(*region).valid)
                break;
            if (function == kFillRegion) {
                canvas.FillRegion(std::get<LogRegion>(*region).path, std::get<LogBrush>(*brush));
            } else {
                canvas.FrameRegion(std::get<LogRegion>(*region).path, std::get<LogBrush>(*brush),
                                   QSizeF(width, height));
            }
            break;
        }
        case kPaintRegion:
        case kInvertRegion: {
            const uint16_t index = r.U16();
            if (!r.ok()) break;
            auto* object = objects.Get(index);
            if (!object || !std::holds_alternative<LogRegion>(*object) ||
                !std::get<LogRegion>(*object).valid)
                break;
            if (function == kPaintRegion) {
                canvas.PaintRegion(std::get<LogRegion>(*object).path);
            } else {
                canvas.InvertRegion(std::get<LogRegion>(*object).path);
            }
            break;
        }

        // --- text
        case kTextOut: {
            const int16_t length = r.I16();
            if (!r.ok() || length <= 0) break;
            const auto bytes = r.Bytes(size_t(length));
            if (length % 2) r.Skip(1);
            const QPointF p = ReadYX(r);
            if (!r.ok()) break;
            canvas.Text(p, DecodeAnsiText(bytes, dc.font, {}), 0, std::nullopt);
            break;
        }
        case kExtTextOut: {
            const QPointF p = ReadYX(r);
            const int16_t length = r.I16();
            const uint16_t options = r.U16();
            std::optional<QRectF> box;
            if (options & (kEtoOpaque | kEtoClipped)) {
                const int16_t left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
                box = QRectF(QPointF(left, top), QPointF(right, bottom));
            }
            if (!r.ok() || length < 0) break;
            const auto bytes = r.Bytes(size_t(length));
            if (length % 2) r.Skip(1);
            if (!r.ok()) break;
            std::vector<double> advances;
            if (r.Has(uint64_t(length) * 2)) {
                advances.reserve(size_t(length));
                for (int i = 0; i < length; ++i) advances.push_back(r.I16());
            }
            canvas.Text(p, DecodeAnsiText(bytes, dc.font, advances), options, box);
            break;
        }

        // --- bitmaps
        case kPatBlt: {
            const uint32_t rop = r.U32();
            const int16_t height = r.I16();
            const int16_t width = r.I16();
            const QPointF p = ReadYX(r);
            if (r.ok()) canvas.PatBlt(QRectF(p, QSizeF(width, height)), rop);
            break;
        }
        case kBitBlt:
        case kStretchBlt:
        case kDibBitBlt:
        case kDibStretchBlt: {
            const bool stretch = function == kStretchBlt || function == kDibStretchBlt;
            const uint32_t rop = r.U32();
            int16_t srcHeight = 0, srcWidth = 0;
            if (stretch) {
                srcHeight = r.I16();
                srcWidth = r.I16();
            }
            const QPointF src = ReadYX(r);
            if (noBitmap) r.Skip(2);
            const int16_t height = r.I16();
            const int16_t width = r.I16();
            const QPointF dest = ReadYX(r);
            if (!r.ok()) break;
            if (!stretch) {
                srcHeight = height;
                srcWidth = width;
            }
            const QRectF destRect(dest, QSizeF(width, height));
            if (noBitmap) {
                canvas.PatBlt(destRect, rop);
                break;
            }
            // The source is the bitmap selected into a memory context: rows
            // count from the top.
            const QImage image = function == kDibBitBlt || function == kDibStretchBlt
                                     ? DecodePackedDib(r.Bytes(r.remaining()), 0, canvas)
                                     : ReadBitmap16(r);
            canvas.DrawImage(image, destRect, QRectF(src, QSizeF(srcWidth, srcHeight)), rop);
            break;
        }
        case kStretchDib:
        case kSetDibToDev: {
            uint32_t rop = kSrcCopy;
            uint16_t usage = 0;
            int16_t srcHeight, srcWidth, height, width;
            QPointF src, dest;
            if (function == kStretchDib) {
                rop = r.U32();
                usage = r.U16();
                srcHeight = r.I16();
                srcWidth = r.I16();
                src = ReadYX(r);
                height = r.I16();
                width = r.I16();
                dest = ReadYX(r);
            } else {
                usage = r.U16();
                r.U16();  // scan count
                r.U16();  // start scan
                src = ReadYX(r);
                height = srcHeight = r.I16();
                width = srcWidth = r.I16();
                dest = ReadYX(r);
            }
            if (!r.ok()) break;
            const auto packed = r.Bytes(r.remaining());
            const QImage image = DecodePackedDib(packed, usage, canvas);
            if (image.isNull()) break;
            // Source rows of a bottom-up bitmap count from its bottom.
            QRectF source(src, QSizeF(srcWidth, srcHeight));
            const auto header = ReadDibHeader(packed);
            if (header && header->height > 0) source.moveTop(image.height() - src.y() - srcHeight);
            canvas.DrawImage(image, QRectF(dest, QSizeF(width, height)), source, rop);
            break;
        }

        default:
            break;  // escapes, flood fills and the rest are skipped
    }
}

// The window the records set before they start drawing (or, failing that,
// the first one they set at all).
std::optional<QRectF> RecordWindow(const uchar* data, size_t start, size_t end) {
    QPointF org(0, 0);
    std::optional<QPointF> ext;
    bool drawn = false;
    for (size_t pos = start; pos + kRecordHeader <= end;) {
        const uint32_t words = Le32(data + pos);
        const uint16_t function = Le16(data + pos + 4);
        const uint64_t size = uint64_t(words) * 2;
        if (words < 3 || size > end - pos || function == kEof) break;
        ByteReader r(
            std::span<const uchar>(data + pos + kRecordHeader, size_t(size) - kRecordHeader));
        if (IsDrawingRecord(function)) {
            drawn = true;
            if (ext) break;
        } else if (function == kSetWindowOrg && (!drawn || !ext)) {
            const QPointF p = ReadYX(r);
            if (r.ok()) org = p;
        } else if (function == kSetWindowExt && (!drawn || !ext)) {
            const QPointF p = ReadYX(r);
            if (r.ok() && p.x() != 0 && p.y() != 0) {
                ext = p;
                if (drawn) break;
            }
        }
        pos += size_t(size);
    }
    if (!ext) return std::nullopt;
    return QRectF(org, QSizeF(ext->x(), ext->y())).normalized();
}

}  // namespace

std::shared_ptr<const MetafilePicture> LoadWmfPicture(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const size_t size = size_t(bytes.size());
    size_t offset = 0;
    std::optional<QRectF> box;
    double unitsPerInch = 0;
    if (size >= 4 && Le32(data) == kPlaceableKey) {
        if (size < kPlaceableSize) ThrowInvalidMetafile();
        ByteReader r(std::span<const uchar>(data, kPlaceableSize));
        r.Skip(6);  // key, handle
        const int16_t left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
        unitsPerInch = r.U16();
        // A box without units per inch still gives the shape; its units are
        // then taken as pixels.
        if (unitsPerInch == 0) unitsPerInch = 96;
        const QRectF rect = QRectF(QPointF(left, top), QPointF(right, bottom)).normalized();
        if (!rect.isEmpty()) box = rect;
        offset = kPlaceableSize;
    }
    if (size < offset + kHeaderSize) ThrowInvalidMetafile();
    ByteReader header(std::span<const uchar>(data + offset, kHeaderSize));
    const uint16_t type = header.U16();
    const uint16_t headerWords = header.U16();
    header.U16();  // version
    header.U32();  // size
    const uint16_t objectCount = header.U16();
    if ((type != 1 && type != 2) || headerWords != 9) ThrowInvalidMetafile();

    // The records: the chain ends at the end-of-file record, at the end of
    // the data, or at the first record whose size does not fit.
    const size_t start = offset + kHeaderSize;
    size_t end = start;
    while (end + kRecordHeader <= size) {
        const uint32_t words = Le32(data + end);
        const uint16_t function = Le16(data + end + 4);
        const uint64_t recordSize = uint64_t(words) * 2;
        if (words < 3 || recordSize > size - end) break;
        end += size_t(recordSize);
        if (function == kEof) break;
    }

    QRectF frame;
    QSize natural;
    if (box) {
        frame = *box;
        natural =
            NaturalPixels(frame.width() * 96 / unitsPerInch, frame.height() * 96 / unitsPerInch);
    } else if (const auto window = RecordWindow(data, start, end)) {
        frame = *window;
        natural = NaturalPixels(frame.width() * (unitsPerInch ? 96 / unitsPerInch : 1),
                                frame.height() * (unitsPerInch ? 96 / unitsPerInch : 1));
    } else {
        // No size anywhere: the extent of what the records draw.
        auto probe =
            std::make_shared<WmfPicture>(bytes, start, end, objectCount, QRectF(), QSize());
        Canvas measure(nullptr, QRectF(0, 0, 1, 1), QRectF(0, 0, 1, 1), MetafileLimits{});
        probe->Play(measure, QRectF(0, 0, 1, 1));
        frame = measure.MeasuredBounds();
        if (frame.isEmpty()) ThrowInvalidMetafile();
        natural = NaturalPixels(frame.width(), frame.height());
    }
    return std::make_shared<WmfPicture>(bytes, start, end, objectCount, frame, natural);
}

}  // namespace tamarind::metafile
