// EMF records that draw text.

#include <optional>
#include <vector>

#include "picture/metafile/EmfRecords.h"
#include "picture/metafile/TextDecoding.h"

namespace tamarind::metafile::emf {
namespace {

// One string of ExtTextOut or PolyTextOut (EMRTEXT): the reference point,
// the characters, options, rectangle and spacing array, placed by offsets
// from the record's start.
void PlayText(Canvas& canvas, ByteReader& r, std::span<const uchar> record, bool wide) {
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

}  // namespace

void PlayExtTextOut(Record& rec) {
    rec.r.Skip(16 + 12);  // bounds, graphics mode, scales
    PlayText(rec.canvas, rec.r, rec.bytes, rec.type == kExtTextOutW);
}

void PlayPolyTextOut(Record& rec) {
    ByteReader& r = rec.r;
    r.Skip(16 + 12);
    const uint32_t strings = r.U32();
    if (!r.ok() || !r.Has(uint64_t(strings) * 40)) return;
    for (uint32_t i = 0; i < strings && !rec.canvas.Exhausted(); ++i)
        PlayText(rec.canvas, r, rec.bytes, rec.type == kPolyTextOutW);
}

void PlaySmallTextOut(Record& rec) {
    ByteReader& r = rec.r;
    const QPointF p = ReadPointL(r);
    const uint32_t count = r.U32();
    const uint32_t options = r.U32();
    r.Skip(12);  // graphics mode, scales
    std::optional<QRectF> box;
    if (!(options & 0x0100)) box = ReadRectL(r);  // ETO_NO_RECT
    const bool narrow = options & 0x0200;         // ETO_SMALL_CHARS
    if (!r.ok() || !r.Has(uint64_t(count) * (narrow ? 1 : 2))) return;
    const auto bytes = r.Bytes(count * (narrow ? 1 : 2));
    const LogFont& font = rec.canvas.state().font;
    const TextRun run = narrow ? DecodeAnsiText(bytes, font, {}) : DecodeUtf16Text(bytes, font, {});
    rec.canvas.Text(p, run, options & (kEtoOpaque | kEtoClipped), box);
}

}  // namespace tamarind::metafile::emf
