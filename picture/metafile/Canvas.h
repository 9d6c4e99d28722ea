#pragma once
// The device context that both metafile players drive. It keeps what a
// Windows device context keeps while a metafile plays (mapping mode, window
// and viewport, world transform, the selected pen, brush, font and palette,
// colours and modes, the clip, the current path and the saved states) and
// draws each primitive through a QPainter. Coordinates given to it are
// logical; "device" coordinates are those of the picture's reference device,
// whose frame rectangle is stretched onto the target rectangle.
//
// The canvas also keeps the playback budget: every primitive spends points
// and pixels, and once the budget is gone the players stop, keeping what was
// drawn.

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "picture/Metafile.h"
#include "picture/metafile/GdiObjects.h"

class QPainter;

namespace tamarind::metafile {

// Mapping modes.
enum MapMode : int {
    kMmText = 1,
    kMmLoMetric = 2,
    kMmHiMetric = 3,
    kMmLoEnglish = 4,
    kMmHiEnglish = 5,
    kMmTwips = 6,
    kMmIsotropic = 7,
    kMmAnisotropic = 8,
};

// Region combination modes (clip regions and clip paths).
enum RegionMode : int { kRgnAnd = 1, kRgnOr = 2, kRgnXor = 3, kRgnDiff = 4, kRgnCopy = 5 };

// ExtTextOut options.
constexpr uint32_t kEtoOpaque = 0x0002;
constexpr uint32_t kEtoClipped = 0x0004;
constexpr uint32_t kEtoGlyphIndex = 0x0010;
constexpr uint32_t kEtoPdy = 0x2000;

// Text alignment bits.
constexpr uint32_t kTaUpdateCp = 0x0001;
constexpr uint32_t kTaRight = 0x0002;
constexpr uint32_t kTaCenter = 0x0006;
constexpr uint32_t kTaBottom = 0x0008;
constexpr uint32_t kTaBaseline = 0x0018;

// Raster operations that the players need by name.
constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr uint32_t kPatCopy = 0x00F00021;

// Text to draw: the characters and, when the record gives them, the advance
// of each UTF-16 unit in logical units (a character made of two units has its
// whole advance on the first).
struct TextRun {
    QString text;
    std::vector<double> advances;
    std::vector<double> risesY;  // per unit vertical moves (ETO_PDY), may be empty
};

struct DcState {
    int mapMode = kMmText;
    QPointF windowOrg{0, 0};
    QPointF windowExt{1, 1};
    QPointF viewportOrg{0, 0};
    QPointF viewportExt{1, 1};
    QTransform world;

    LogPen pen;
    LogBrush brush;
    LogFont font;
    std::shared_ptr<LogPalette> palette;

    ColorRef textColor = 0x000000;
    ColorRef bkColor = 0xFFFFFF;
    int bkMode = 2;        // 1 transparent, 2 opaque
    int polyFillMode = 1;  // 1 alternate, 2 winding
    int rop2 = 13;         // R2_COPYPEN
    uint32_t textAlign = 0;
    int textCharExtra = 0;
    bool arcClockwise = false;
    double miterLimit = 10;
    QPointF position;  // the current position, logical

    // The clip in device coordinates; nullopt draws everywhere.
    std::optional<QPainterPath> clip;
};

class Canvas {
  public:
    // Draws onto `painter` with the device rectangle `frame` stretched onto
    // `target`. With a null painter nothing is drawn and MeasuredBounds()
    // collects the device-space bounds of what would be.
    Canvas(QPainter* painter, const QRectF& target, const QRectF& frame,
           const MetafileLimits& limits);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Pixels per millimetre of the reference device, for the metric and
    // English mapping modes.
    void SetDeviceResolution(double pixelsPerMmX, double pixelsPerMmY);

    DcState& state() { return state_; }
    const DcState& state() const { return state_; }

    // One more record played; false once the record limit is reached.
    bool CountRecord();
    // A run-length bitmap of `pixels` is about to be decoded: its pixels are
    // spent from the budget as drawn ones are, since a few bytes can claim
    // millions of them. False once the budget is gone; the bitmap is then
    // not decoded.
    bool SpendOnBitmap(double pixels);
    bool Exhausted() const { return exhausted_; }
    QRectF MeasuredBounds() const { return measured_; }

    // Mapping.
    void SetMapMode(int mode);
    void SetWindowOrg(QPointF org);
    void SetWindowExt(QPointF ext);
    void SetViewportOrg(QPointF org);
    void SetViewportExt(QPointF ext);
    void OffsetWindowOrg(QPointF by);
    void OffsetViewportOrg(QPointF by);
    void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void SetWorldTransform(const QTransform& transform);
    // 1 identity, 2 left-multiply, 3 right-multiply, 4 set.
    void ModifyWorldTransform(const QTransform& transform, uint32_t mode);
    // Logical to device, world transform included.
    QTransform LogicalToDevice() const;

    // Saved states: RestoreDc takes a negative count back from the newest or
    // a positive instance number; out of range does nothing.
    void SaveDc();
    void RestoreDc(int which);

    // Colours and the objects selected into the context.
    QColor Color(ColorRef ref) const;
    void SelectPen(const LogPen& pen) { state_.pen = pen; }
    void SelectBrush(const LogBrush& brush) { state_.brush = brush; }
    void SelectFont(const LogFont& font) { state_.font = font; }
    void SelectPalette(std::shared_ptr<LogPalette> palette) { state_.palette = std::move(palette); }

    // Clipping. Rectangles are logical; regions are given in device units.
    void IntersectClipRect(const QRectF& rect);
    void ExcludeClipRect(const QRectF& rect);
    void OffsetClip(QPointF logicalOffset);
    // A null region with the copy mode removes the clip.
    void SelectClipRegion(const QPainterPath* deviceRegion, int mode);

    // The path bracket (EMF).
    void BeginPath();
    void EndPath();
    void AbortPath();
    void CloseFigure();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath(int mode);
    void WidenPath();

    // Lines and shapes, logical coordinates.
    void MoveTo(QPointF point);
    void LineTo(QPointF point);
    void Polyline(const QPolygonF& points);
    void PolylineTo(const QPolygonF& points);
    void PolyBezier(const QPolygonF& points);
    void PolyBezierTo(const QPolygonF& points);
    void PolyDraw(const QPolygonF& points, std::span<const uchar> types);
    void Polygon(const QPolygonF& points);
    void PolyPolygon(const std::vector<QPolygonF>& polygons);
    void PolyPolyline(const std::vector<QPolygonF>& polylines);
    void Rectangle(const QRectF& box);
    void RoundRect(const QRectF& box, QSizeF corner);
    void Ellipse(const QRectF& box);
    void Arc(const QRectF& box, QPointF start, QPointF end);
    void ArcTo(const QRectF& box, QPointF start, QPointF end);
    void Chord(const QRectF& box, QPointF start, QPointF end);
    void Pie(const QRectF& box, QPointF start, QPointF end);
    void AngleArc(QPointF center, double radius, double startDegrees, double sweepDegrees);
    void SetPixel(QPointF point, ColorRef color);

    // Regions, given in logical units.
    void FillRegion(const QPainterPath& region, const LogBrush& brush);
    void FrameRegion(const QPainterPath& region, const LogBrush& brush, QSizeF stroke);
    void PaintRegion(const QPainterPath& region);
    void InvertRegion(const QPainterPath& region);

    // Block transfers. `dest` may have a negative width or height (mirrored).
    void PatBlt(const QRectF& dest, uint32_t rop);
    void DrawImage(const QImage& image, const QRectF& dest, const QRectF& source, uint32_t rop);
    // Draws `source` of `image` onto the parallelogram that `unitToLogical`
    // makes of the unit square (logical units).
    void DrawImageMapped(const QImage& image, const QTransform& unitToLogical, const QRectF& source,
                         uint32_t rop);
    void GradientRect(const QRectF& box, QColor from, QColor to, bool vertical);
    void FillPolygonColor(const QPolygonF& points, QColor color);

    // Text at `reference` (or the current position with TA_UPDATECP).
    void Text(QPointF reference, const TextRun& run, uint32_t options,
              const std::optional<QRectF>& rect);

  private:
    QTransform FullTransform() const;
    void Refresh();
    bool Spend(double points, double pixels);
    double PixelCost(const QRectF& logicalBounds, const QTransform& full) const;
    // Pixels a stroke of `logical` with the current pen is likely to touch.
    double StrokeCost(const QPainterPath& logical, const QTransform& full) const;
    // How far the pen can paint from its line on the device, in pixels.
    double StrokeReach(const QTransform& full) const;
    // The path's segments cut to the device rectangle `reach` (flattened),
    // back in logical units.
    QPainterPath CutToReach(const QPainterPath& logical, const QTransform& full,
                            const QRectF& reach) const;
    // Strokes reaching further than this beyond the pen's reach are cut.
    static constexpr double kFarMargin = 4096;
    void Emit(const QPainterPath& logical, bool fill, bool stroke);
    void EmitDevice(const QPainterPath& device, bool fill, bool stroke);
    void AppendToPath(const QPainterPath& logical, bool continueFigure);
    void PreparePainter(const QTransform& full, bool forText);
    QPen MakePen(const QTransform& full) const;
    QBrush MakeBrush(const LogBrush& brush, const QTransform& full) const;
    void ApplyClip();
    QRectF Everywhere() const;
    void CombineClip(const QPainterPath& unbounded, int mode);
    QPainterPath ArcPath(const QRectF& box, QPointF start, QPointF end, int kind) const;
    bool Sane(const QRectF& outputBounds) const;
    void FillDeviceRectColor(const QPainterPath& logical, QColor color);

    QPainter* painter_;
    QRectF target_;
    QRectF frame_;
    MetafileLimits limits_;
    QTransform base_;            // the caller's painter transform
    QTransform deviceToOutput_;  // frame onto target, then the caller's transform
    std::optional<QPainterPath> callerClip_;
    double pixelsPerMmX_ = 96.0 / 25.4;
    double pixelsPerMmY_ = 96.0 / 25.4;

    DcState state_;
    std::vector<DcState> saved_;
    bool clipDirty_ = true;

    bool inPath_ = false;
    bool pathValid_ = false;
    QPainterPath path_;  // device coordinates

    int64_t records_ = 0;
    double points_ = 0;
    double pixels_ = 0;
    double pixelLimit_ = 0;
    bool exhausted_ = false;
    QRectF measured_;
};

}  // namespace tamarind::metafile
