#include "picture/metafile/Wmf.h"

#include <QPainter>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

#include "picture/metafile/ByteReader.h"
#include "picture/metafile/Canvas.h"
#include "picture/metafile/Loading.h"
#include "picture/metafile/WmfRecords.h"

namespace tamarind::metafile {

using namespace wmf;

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kHeaderSize = 18;

// The player of each record function. The functions not listed are skipped:
// escapes, flood fills, RealizePalette (the selected palette is used as it
// is) and the records no player draws.
constexpr std::pair<uint16_t, Player> kPlayers[] = {
    // Modes and colours (WmfState.cpp)
    {kSetBkMode, PlaySetBkMode},
    {kSetMapMode, PlaySetMapMode},
    {kSetRop2, PlaySetRop2},
    {kSetPolyFillMode, PlaySetPolyFillMode},
    {kSetTextCharExtra, PlaySetTextCharExtra},
    {kSetTextAlign, PlaySetTextAlign},
    {kSetBkColor, PlaySetBkColor},
    {kSetTextColor, PlaySetTextColor},
    // Mapping and saved states (WmfState.cpp)
    {kSetWindowOrg, PlaySetWindowOrg},
    {kSetWindowExt, PlaySetWindowExt},
    {kSetViewportOrg, PlaySetViewportOrg},
    {kSetViewportExt, PlaySetViewportExt},
    {kOffsetWindowOrg, PlayOffsetWindowOrg},
    {kOffsetViewportOrg, PlayOffsetViewportOrg},
    {kScaleWindowExt, PlayScaleWindowExt},
    {kScaleViewportExt, PlayScaleViewportExt},
    {kSaveDc, PlaySaveDc},
    {kRestoreDc, PlayRestoreDc},
    // Clipping (WmfState.cpp)
    {kIntersectClipRect, PlayIntersectClipRect},
    {kExcludeClipRect, PlayExcludeClipRect},
    {kOffsetClipRgn, PlayOffsetClipRgn},
    {kSelectClipRegion, PlaySelectClipRegion},
    // Objects and palettes (WmfObjects.cpp)
    {kCreatePenIndirect, PlayCreatePenIndirect},
    {kCreateBrushIndirect, PlayCreateBrushIndirect},
    {kCreateFontIndirect, PlayCreateFontIndirect},
    {kCreatePalette, PlayCreatePalette},
    {kCreateRegion, PlayCreateRegion},
    {kDibCreatePatternBrush, PlayDibCreatePatternBrush},
    {kCreatePatternBrush, PlayCreatePatternBrush},
    {kSelectObject, PlaySelectObject},
    {kSelectPalette, PlaySelectPalette},
    {kDeleteObject, PlayDeleteObject},
    {kSetPalEntries, PlaySetPalEntries},
    {kAnimatePalette, PlaySetPalEntries},
    {kResizePalette, PlayResizePalette},
    // Lines and shapes (WmfShapes.cpp)
    {kMoveTo, PlayMoveTo},
    {kLineTo, PlayLineTo},
    {kPolyline, PlayPolyline},
    {kPolygon, PlayPolygon},
    {kPolyPolygon, PlayPolyPolygon},
    {kRectangle, PlayRectangle},
    {kEllipse, PlayEllipse},
    {kRoundRect, PlayRoundRect},
    {kArc, PlayArc},
    {kChord, PlayChord},
    {kPie, PlayPie},
    {kSetPixel, PlaySetPixel},
    // Regions (WmfShapes.cpp)
    {kFillRegion, PlayFillRegion},
    {kFrameRegion, PlayFrameRegion},
    {kPaintRegion, PlayPaintRegion},
    {kInvertRegion, PlayInvertRegion},
    // Text (WmfText.cpp)
    {kTextOut, PlayTextOut},
    {kExtTextOut, PlayExtTextOut},
    // Block transfers (WmfBitmaps.cpp)
    {kPatBlt, PlayPatBlt},
    {kBitBlt, PlayBitBlt},
    {kStretchBlt, PlayBitBlt},
    {kDibBitBlt, PlayBitBlt},
    {kDibStretchBlt, PlayBitBlt},
    {kStretchDib, PlayStretchDib},
    {kSetDibToDev, PlayStretchDib},
};

// The same, indexed by record function.
constexpr auto kPlayerOf = [] {
    std::array<Player, kStretchDib + 1> byFunction{};
    for (const auto& [function, player] : kPlayers) byFunction[function] = player;
    return byFunction;
}();

// Plays one record whose parameters are `params`.
void PlayRecord(Canvas& canvas, ObjectTable& objects, uint16_t function, uint32_t words,
                std::span<const uchar> params) {
    if (function >= kPlayerOf.size() || !kPlayerOf[function]) return;
    Record record{canvas, objects, function, words, ByteReader(params)};
    kPlayerOf[function](record);
}

// Whether the record puts something on the page.
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
            PlayRecord(
                canvas, objects, function, words,
                std::span<const uchar>(data + pos + kRecordHeader, size_t(size) - kRecordHeader));
            pos += size_t(size);
        }
    } catch (const std::exception&) {
        // Out of memory inside Qt: keep what was drawn.
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
