#pragma once
// The objects a metafile creates and selects (pens, brushes, fonts,
// palettes, regions) and the table that holds them by index while it plays.

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QString>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <variant>
#include <vector>

namespace tamarind::metafile {

// A COLORREF: 0x00bbggrr, with 0x01 (palette index) or 0x02 (palette RGB) in
// the high byte.
using ColorRef = uint32_t;

struct LogPen {
    uint32_t style = 0;  // line style, end cap, join and pen type bits
    double width = 0;    // logical units; 0 is one device pixel
    ColorRef color = 0;
    bool extended = false;       // made by ExtCreatePen: caps and joins count
    std::vector<double> dashes;  // user style, in logical units
};

struct LogBrush {
    uint32_t style = 0;  // 0 solid, 1 null, 2 hatched, 3 and 5/6 pattern
    ColorRef color = 0;
    uint32_t hatch = 0;
    QImage pattern;  // null when the pattern could not be decoded
};

struct LogFont {
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;  // tenths of a degree, counter-clockwise
    int32_t weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    uint8_t charSet = 1;
    uint8_t pitchAndFamily = 0;
    QString face;
};

struct LogPalette {
    std::vector<QRgb> entries;
};

// A region as the union of its rectangles. A damaged region record still
// takes its place in the object table but is never used.
struct LogRegion {
    QPainterPath path;
    bool valid = true;
};

using GdiObject = std::variant<LogPen, LogBrush, LogFont, std::shared_ptr<LogPalette>, LogRegion>;

// The object table of one playback. Indices are checked against the size the
// file declares; a full table or a bad index makes the record a no-op.
class ObjectTable {
  public:
    explicit ObjectTable(uint32_t capacity) : capacity_(capacity) {}

    // Puts the object into the lowest free index (the WMF rule); false when
    // the table is full.
    bool AddAtLowestFree(GdiObject object);
    // Puts the object at `index` (the EMF rule); false outside the table.
    bool Put(uint32_t index, GdiObject object);
    GdiObject* Get(uint32_t index);
    void Delete(uint32_t index);

  private:
    uint32_t capacity_;
    std::unordered_map<uint32_t, GdiObject> objects_;
    std::vector<uint32_t> freed_;  // a min-heap of indices freed below next_
    uint32_t next_ = 0;            // every index from here on is free
};

}  // namespace tamarind::metafile
