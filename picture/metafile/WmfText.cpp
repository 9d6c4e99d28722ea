// WMF records that draw text.

#include <optional>
#include <vector>

#include "picture/metafile/TextDecoding.h"
#include "picture/metafile/WmfRecords.h"

namespace tamarind::metafile::wmf {

void PlayTextOut(Record& rec) {
    ByteReader& r = rec.r;
    const int16_t length = r.I16();
    if (!r.ok() || length <= 0) return;
    const auto bytes = r.Bytes(size_t(length));
    if (length % 2) r.Skip(1);
    const QPointF p = ReadYX(r);
    if (!r.ok()) return;
    rec.canvas.Text(p, DecodeAnsiText(bytes, rec.canvas.state().font, {}), 0, std::nullopt);
}

void PlayExtTextOut(Record& rec) {
    ByteReader& r = rec.r;
    const QPointF p = ReadYX(r);
    const int16_t length = r.I16();
    const uint16_t options = r.U16();
    std::optional<QRectF> box;
    if (options & (kEtoOpaque | kEtoClipped)) {
        const int16_t left = r.I16(), top = r.I16(), right = r.I16(), bottom = r.I16();
        box = QRectF(QPointF(left, top), QPointF(right, bottom));
    }
    if (!r.ok() || length < 0) return;
    const auto bytes = r.Bytes(size_t(length));
    if (length % 2) r.Skip(1);
    if (!r.ok()) return;
    std::vector<double> advances;
    if (r.Has(uint64_t(length) * 2)) {
        advances.reserve(size_t(length));
        for (int i = 0; i < length; ++i) advances.push_back(r.I16());
    }
    rec.canvas.Text(p, DecodeAnsiText(bytes, rec.canvas.state().font, advances), options, box);
}

}  // namespace tamarind::metafile::wmf
