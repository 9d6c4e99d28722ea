#include "picture/metafile/Emf.h"

#include <QPainter>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

#include "picture/metafile/ByteReader.h"
#include "picture/metafile/Canvas.h"
#include "picture/metafile/EmfRecords.h"
#include "picture/metafile/Loading.h"

namespace tamarind::metafile {

using namespace emf;

namespace {

constexpr uint32_t kSignature = 0x464D4520;  // " EMF"
constexpr size_t kMinHeaderSize = 88;

// The player of each record type. The types not listed are skipped, as
// comments (EMF+ records included) and the records no player draws are;
// FlattenPath among them, since curves are kept as curves.
constexpr std::pair<uint32_t, Player> kPlayers[] = {
    // Modes and colours (EmfState.cpp)
    {kSetMapMode, PlaySetMapMode},
    {kSetBkMode, PlaySetBkMode},
    {kSetPolyFillMode, PlaySetPolyFillMode},
    {kSetRop2, PlaySetRop2},
    {kSetTextAlign, PlaySetTextAlign},
    {kSetTextColor, PlaySetTextColor},
    {kSetBkColor, PlaySetBkColor},
    {kSetArcDirection, PlaySetArcDirection},
    {kSetMiterLimit, PlaySetMiterLimit},
    // Mapping and saved states (EmfState.cpp)
    {kSetWindowExtEx, PlaySetWindowExtEx},
    {kSetWindowOrgEx, PlaySetWindowOrgEx},
    {kSetViewportExtEx, PlaySetViewportExtEx},
    {kSetViewportOrgEx, PlaySetViewportOrgEx},
    {kScaleWindowExtEx, PlayScaleWindowExtEx},
    {kScaleViewportExtEx, PlayScaleViewportExtEx},
    {kSetWorldTransform, PlaySetWorldTransform},
    {kModifyWorldTransform, PlayModifyWorldTransform},
    {kSaveDc, PlaySaveDc},
    {kRestoreDc, PlayRestoreDc},
    // Clipping (EmfState.cpp)
    {kExcludeClipRect, PlayExcludeClipRect},
    {kIntersectClipRect, PlayIntersectClipRect},
    {kOffsetClipRgn, PlayOffsetClipRgn},
    {kExtSelectClipRgn, PlayExtSelectClipRgn},
    // Objects (EmfObjects.cpp)
    {kCreatePen, PlayCreatePen},
    {kExtCreatePen, PlayExtCreatePen},
    {kCreateBrushIndirect, PlayCreateBrushIndirect},
    {kCreateMonoBrush, PlayCreatePatternBrush},
    {kCreateDibPatternBrushPt, PlayCreatePatternBrush},
    {kExtCreateFontIndirectW, PlayExtCreateFontIndirectW},
    {kCreatePalette, PlayCreatePalette},
    {kSetPaletteEntries, PlaySetPaletteEntries},
    {kResizePalette, PlayResizePalette},
    {kSelectObject, PlaySelectObject},
    {kSelectPalette, PlaySelectPalette},
    {kDeleteObject, PlayDeleteObject},
    // Lines and shapes (EmfShapes.cpp)
    {kMoveToEx, PlayMoveToEx},
    {kLineTo, PlayLineTo},
    {kSetPixelV, PlaySetPixelV},
    {kPolyBezier, PlayPoly},
    {kPolygon, PlayPoly},
    {kPolyline, PlayPoly},
    {kPolyBezierTo, PlayPoly},
    {kPolylineTo, PlayPoly},
    {kPolyBezier16, PlayPoly},
    {kPolygon16, PlayPoly},
    {kPolyline16, PlayPoly},
    {kPolyBezierTo16, PlayPoly},
    {kPolylineTo16, PlayPoly},
    {kPolyPolyline, PlayPolyPoly},
    {kPolyPolygon, PlayPolyPoly},
    {kPolyPolyline16, PlayPolyPoly},
    {kPolyPolygon16, PlayPolyPoly},
    {kPolyDraw, PlayPolyDraw},
    {kPolyDraw16, PlayPolyDraw},
    {kRectangle, PlayRectangle},
    {kEllipse, PlayEllipse},
    {kRoundRect, PlayRoundRect},
    {kArc, PlayArc},
    {kArcTo, PlayArcTo},
    {kChord, PlayChord},
    {kPie, PlayPie},
    {kAngleArc, PlayAngleArc},
    // Paths (EmfShapes.cpp)
    {kBeginPath, PlayBeginPath},
    {kEndPath, PlayEndPath},
    {kCloseFigure, PlayCloseFigure},
    {kFillPath, PlayFillPath},
    {kStrokeAndFillPath, PlayStrokeAndFillPath},
    {kStrokePath, PlayStrokePath},
    {kWidenPath, PlayWidenPath},
    {kAbortPath, PlayAbortPath},
    {kSelectClipPath, PlaySelectClipPath},
    // Regions and gradients (EmfShapes.cpp)
    {kFillRgn, PlayFillRgn},
    {kFrameRgn, PlayFrameRgn},
    {kInvertRgn, PlayInvertRgn},
    {kPaintRgn, PlayPaintRgn},
    {kGradientFill, PlayGradientFill},
    // Text (EmfText.cpp)
    {kExtTextOutA, PlayExtTextOut},
    {kExtTextOutW, PlayExtTextOut},
    {kPolyTextOutA, PlayPolyTextOut},
    {kPolyTextOutW, PlayPolyTextOut},
    {kSmallTextOut, PlaySmallTextOut},
    // Block transfers (EmfBitmaps.cpp)
    {kBitBlt, PlayBlt},
    {kStretchBlt, PlayBlt},
    {kStretchDiBits, PlayBlt},
    {kSetDiBitsToDevice, PlayBlt},
    {kAlphaBlend, PlayBlt},
    {kTransparentBlt, PlayBlt},
    {kMaskBlt, PlayMaskBlt},
    {kPlgBlt, PlayPlgBlt},
};

// The same, indexed by record type.
constexpr auto kPlayerOf = [] {
    std::array<Player, kGradientFill + 1> byType{};
    for (const auto& [type, player] : kPlayers) byType[type] = player;
    return byType;
}();

void PlayRecord(Canvas& canvas, ObjectTable& objects, uint32_t type, std::span<const uchar> bytes) {
    if (type >= kPlayerOf.size() || !kPlayerOf[type]) return;
    Record record{canvas, objects, type, bytes, ByteReader(bytes)};
    record.r.Skip(kRecordHeader);
    kPlayerOf[type](record);
}

uint32_t Le32(const uchar* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
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
