// EMF records that create, select and delete pens, brushes, fonts and
// palettes, and the stock objects.

#include <QString>
#include <algorithm>
#include <memory>
#include <variant>

#include "picture/metafile/EmfRecords.h"
#include "picture/metafile/RecordBitmaps.h"

namespace tamarind::metafile::emf {
namespace {

// Puts an object into the table; index 0 stands for the metafile itself and
// holds no object.
void PutObject(ObjectTable& objects, uint32_t index, GdiObject object) {
    if (index != 0) objects.Put(index, std::move(object));
}

}  // namespace

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

// --- Creating objects

void PlayCreatePen(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t index = r.U32();
    LogPen pen;
    pen.style = r.U32();
    pen.width = r.I32();
    r.I32();
    pen.color = r.U32();
    if (r.ok()) PutObject(rec.objects, index, pen);
}

void PlayExtCreatePen(Record& rec) {
    ByteReader& r = rec.r;
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
    if (!r.ok()) return;
    if (brushStyle == 1) pen.style = (pen.style & ~0x0Fu) | 5;  // a hollow brush draws nothing
    if ((pen.style & 0x0F) == 7 && r.Has(uint64_t(entries) * 4)) {
        for (uint32_t i = 0; i < entries && i < 64; ++i) pen.dashes.push_back(r.U32());
    }
    PutObject(rec.objects, index, pen);
}

void PlayCreateBrushIndirect(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t index = r.U32();
    LogBrush brush;
    brush.style = r.U32();
    brush.color = r.U32();
    brush.hatch = r.U32();
    if (!r.ok()) return;
    // Pattern styles cannot come without their bitmap here.
    if (brush.style != 1 && brush.style != 2) brush.style = 0;
    PutObject(rec.objects, index, brush);
}

void PlayCreatePatternBrush(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t index = r.U32();
    const uint32_t usage = r.U32();
    const uint32_t offBmi = r.U32(), cbBmi = r.U32(), offBits = r.U32(), cbBits = r.U32();
    if (!r.ok()) return;
    LogBrush brush;
    brush.style = 5;
    const auto info = Part(rec.bytes, offBmi, cbBmi);
    const auto bits = Part(rec.bytes, offBits, cbBits);
    if (!info.empty() && !bits.empty())
        brush.pattern =
            DecodeRecordDib(info, bits, rec.type == kCreateMonoBrush ? 0 : usage, rec.canvas);
    PutObject(rec.objects, index, std::move(brush));
}

void PlayExtCreateFontIndirectW(Record& rec) {
    ByteReader& r = rec.r;
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
    if (!r.ok()) return;
    for (size_t i = 0; i + 1 < face.size(); i += 2) {
        const char16_t unit = char16_t(face[i] | (face[i + 1] << 8));
        if (unit == 0) break;
        font.face.append(QChar(unit));
    }
    PutObject(rec.objects, index, std::move(font));
}

// --- Palettes

void PlayCreatePalette(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t index = r.U32();
    r.U16();  // version
    const uint16_t count = r.U16();
    if (!r.ok() || !r.Has(uint64_t(count) * 4)) return;
    auto palette = std::make_shared<LogPalette>();
    for (int i = 0; i < count; ++i) {
        const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
        r.U8();
        palette->entries.push_back(qRgb(red, green, blue));
    }
    PutObject(rec.objects, index, std::move(palette));
}

void PlaySetPaletteEntries(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t index = r.U32();
    const uint32_t first = r.U32();
    const uint32_t count = r.U32();
    if (!r.ok() || !r.Has(uint64_t(count) * 4)) return;
    auto* object = rec.objects.Get(index);
    auto* palette = object ? std::get_if<std::shared_ptr<LogPalette>>(object) : nullptr;
    if (!palette) return;
    auto& entries = (*palette)->entries;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
        r.U8();
        if (uint64_t(first) + i < entries.size()) entries[first + i] = qRgb(red, green, blue);
    }
}

void PlayResizePalette(Record& rec) {
    ByteReader& r = rec.r;
    const uint32_t index = r.U32();
    const uint32_t count = r.U32();
    if (!r.ok() || count > 1024) return;
    auto* object = rec.objects.Get(index);
    if (auto* palette = object ? std::get_if<std::shared_ptr<LogPalette>>(object) : nullptr)
        (*palette)->entries.resize(count, qRgb(0, 0, 0));
}

// --- Selecting and deleting

void PlaySelectObject(Record& rec) {
    Canvas& canvas = rec.canvas;
    const uint32_t index = rec.r.U32();
    if (!rec.r.ok()) return;
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
        return;
    }
    GdiObject* object = rec.objects.Get(index);
    if (!object) return;
    if (auto* pen = std::get_if<LogPen>(object)) {
        canvas.SelectPen(*pen);
    } else if (auto* brush = std::get_if<LogBrush>(object)) {
        canvas.SelectBrush(*brush);
    } else if (auto* font = std::get_if<LogFont>(object)) {
        canvas.SelectFont(*font);
    }
}

void PlaySelectPalette(Record& rec) {
    const uint32_t index = rec.r.U32();
    if (!rec.r.ok()) return;
    if (index == (kStockObject | 15)) {
        rec.canvas.SelectPalette(nullptr);
        return;
    }
    auto* object = rec.objects.Get(index);
    if (auto* palette = object ? std::get_if<std::shared_ptr<LogPalette>>(object) : nullptr)
        rec.canvas.SelectPalette(*palette);
}

void PlayDeleteObject(Record& rec) {
    const uint32_t index = rec.r.U32();
    if (rec.r.ok() && !(index & kStockObject)) rec.objects.Delete(index);
}

}  // namespace tamarind::metafile::emf
