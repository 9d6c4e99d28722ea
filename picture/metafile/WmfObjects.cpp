// WMF records that create, select and delete pens, brushes, fonts, palettes
// and regions. Each new object takes the lowest free index of the table.

#include <algorithm>
#include <memory>
#include <variant>

#include "picture/metafile/RecordBitmaps.h"
#include "picture/metafile/TextDecoding.h"
#include "picture/metafile/WmfRecords.h"

namespace tamarind::metafile::wmf {
namespace {

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

}  // namespace

// --- Creating objects

void PlayCreatePenIndirect(Record& rec) {
    ByteReader& r = rec.r;
    LogPen pen;
    pen.style = r.U16();
    pen.width = r.I16();
    r.I16();
    pen.color = r.U32();
    if (!r.ok()) pen = LogPen{};
    rec.objects.AddAtLowestFree(pen);
}

void PlayCreateBrushIndirect(Record& rec) {
    ByteReader& r = rec.r;
    LogBrush brush;
    brush.style = r.U16();
    brush.color = r.U32();
    brush.hatch = r.U16();
    if (!r.ok()) brush = LogBrush{};
    rec.objects.AddAtLowestFree(brush);
}

void PlayCreateFontIndirect(Record& rec) {
    LogFont font = ReadFont(rec.r);
    rec.objects.AddAtLowestFree(std::move(font));
}

void PlayCreatePalette(Record& rec) {
    ByteReader& r = rec.r;
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
    rec.objects.AddAtLowestFree(std::move(palette));
}

void PlayCreateRegion(Record& rec) {
    rec.objects.AddAtLowestFree(ReadRegion(rec.r));
}

void PlayDibCreatePatternBrush(Record& rec) {
    ByteReader& r = rec.r;
    LogBrush brush;
    brush.style = 5;
    r.U16();  // style: the bitmap is a DIB either way
    const uint16_t usage = r.U16();
    brush.pattern = DecodePackedDib(r.Bytes(r.remaining()), usage, rec.canvas);
    rec.objects.AddAtLowestFree(std::move(brush));
}

void PlayCreatePatternBrush(Record& rec) {
    // A device-dependent bitmap: not drawn, but it takes its slot.
    LogBrush brush;
    brush.style = 3;
    rec.objects.AddAtLowestFree(std::move(brush));
}

// --- Selecting and deleting

void PlaySelectObject(Record& rec) {
    Canvas& canvas = rec.canvas;
    const uint16_t index = rec.r.U16();
    if (!rec.r.ok()) return;
    GdiObject* object = rec.objects.Get(index);
    if (!object) return;
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
}

void PlaySelectPalette(Record& rec) {
    const uint16_t index = rec.r.U16();
    if (!rec.r.ok()) return;
    if (auto* object = rec.objects.Get(index)) {
        if (auto* palette = std::get_if<std::shared_ptr<LogPalette>>(object))
            rec.canvas.SelectPalette(*palette);
    }
}

void PlayDeleteObject(Record& rec) {
    const uint16_t index = rec.r.U16();
    if (rec.r.ok()) rec.objects.Delete(index);
}

// --- The selected palette

void PlaySetPalEntries(Record& rec) {
    ByteReader& r = rec.r;
    DcState& dc = rec.canvas.state();
    const uint16_t first = r.U16();
    const uint16_t count = r.U16();
    if (!r.ok() || !dc.palette || !r.Has(uint64_t(count) * 4)) return;
    auto& entries = dc.palette->entries;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
        r.U8();
        if (first + i < entries.size()) entries[first + i] = qRgb(red, green, blue);
    }
}

void PlayResizePalette(Record& rec) {
    DcState& dc = rec.canvas.state();
    const uint16_t count = rec.r.U16();
    if (rec.r.ok() && dc.palette) dc.palette->entries.resize(count, qRgb(0, 0, 0));
}

}  // namespace tamarind::metafile::wmf
