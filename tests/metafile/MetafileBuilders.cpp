#include "MetafileBuilders.h"

#include <QPainter>
#include <QtEndian>
#include <cstdlib>

namespace tamarind::test {
namespace {

void Put16(QByteArray& out, uint16_t v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void Put32(QByteArray& out, uint32_t v) {
    Put16(out, uint16_t(v & 0xFFFF));
    Put16(out, uint16_t(v >> 16));
}

}  // namespace

WmfBuilder& WmfBuilder::Placeable(int left, int top, int right, int bottom, int unitsPerInch) {
    placeable_ = true;
    box_[0] = left;
    box_[1] = top;
    box_[2] = right;
    box_[3] = bottom;
    unitsPerInch_ = unitsPerInch;
    return *this;
}

WmfBuilder& WmfBuilder::Objects(int count) {
    objects_ = count;
    return *this;
}

WmfBuilder& WmfBuilder::Record(uint16_t function, std::vector<uint16_t> params) {
    const auto words = uint32_t(3 + params.size());
    return RawRecord(words, function, std::move(params));
}

WmfBuilder& WmfBuilder::RawRecord(uint32_t words, uint16_t function, std::vector<uint16_t> params) {
    Put32(records_, words);
    Put16(records_, function);
    for (uint16_t p : params) Put16(records_, p);
    return *this;
}

WmfBuilder& WmfBuilder::SetWindow(int x, int y, int width, int height) {
    Record(0x020B, {uint16_t(y), uint16_t(x)});
    return Record(0x020C, {uint16_t(height), uint16_t(width)});
}

WmfBuilder& WmfBuilder::SolidBrush(uint32_t color) {
    auto c = Long(color);
    return Record(0x02FC, {0, c[0], c[1], 0});
}

WmfBuilder& WmfBuilder::Pen(int style, int width, uint32_t color) {
    auto c = Long(color);
    return Record(0x02FA, {uint16_t(style), uint16_t(width), 0, c[0], c[1]});
}

WmfBuilder& WmfBuilder::Select(int index) {
    return Record(0x012D, {uint16_t(index)});
}
WmfBuilder& WmfBuilder::Delete(int index) {
    return Record(0x01F0, {uint16_t(index)});
}

WmfBuilder& WmfBuilder::Rectangle(int left, int top, int right, int bottom) {
    return Record(0x041B, {uint16_t(bottom), uint16_t(right), uint16_t(top), uint16_t(left)});
}

QByteArray WmfBuilder::Bytes(bool withEof) const {
    QByteArray out;
    if (placeable_) {
        QByteArray head;
        Put32(head, 0x9AC6CDD7);
        Put16(head, 0);
        for (int v : box_) Put16(head, uint16_t(v));
        Put16(head, uint16_t(unitsPerInch_));
        Put32(head, 0);
        uint16_t checksum = 0;
        for (int i = 0; i < 20; i += 2)
            checksum ^= uint16_t(uchar(head[i]) | (uchar(head[i + 1]) << 8));
        Put16(head, checksum);
        out += head;
    }
    QByteArray records = records_;
    if (withEof) {
        Put32(records, 3);
        Put16(records, 0);
    }
    Put16(out, 1);  // in memory
    Put16(out, 9);  // header words
    Put16(out, 0x0300);
    Put32(out, uint32_t((18 + records.size()) / 2));
    Put16(out, uint16_t(objects_));
    Put32(out, 0);
    Put16(out, 0);
    return out + records;
}

EmfBuilder::EmfBuilder(QRect frame, int handles) : frame_(frame), handles_(handles) {}

EmfBuilder& EmfBuilder::Bounds(QRect bounds) {
    bounds_ = bounds;
    return *this;
}

EmfBuilder& EmfBuilder::Record(uint32_t type, std::vector<int32_t> params) {
    const auto size = uint32_t(8 + 4 * params.size());
    return RawRecord(type, size, std::move(params));
}

EmfBuilder& EmfBuilder::RawRecord(uint32_t type, uint32_t size, std::vector<int32_t> params) {
    Put32(records_, type);
    Put32(records_, size);
    for (int32_t p : params) Put32(records_, uint32_t(p));
    return *this;
}

EmfBuilder& EmfBuilder::RecordBytes(uint32_t type, const QByteArray& payload) {
    QByteArray padded = payload;
    while (padded.size() % 4) padded.append('\0');
    Put32(records_, type);
    Put32(records_, uint32_t(8 + padded.size()));
    records_ += padded;
    return *this;
}

EmfBuilder& EmfBuilder::SolidBrush(int index, uint32_t color) {
    return Record(39, {index, 0, int32_t(color), 0});
}

EmfBuilder& EmfBuilder::Pen(int index, int style, int width, uint32_t color) {
    return Record(38, {index, style, width, 0, int32_t(color)});
}

EmfBuilder& EmfBuilder::Select(uint32_t index) {
    return Record(37, {int32_t(index)});
}

EmfBuilder& EmfBuilder::Rectangle(int left, int top, int right, int bottom) {
    return Record(43, {left, top, right, bottom});
}

EmfBuilder& EmfBuilder::TextW(int x, int y, const QString& text, uint32_t options, QRect rect) {
    // bounds, graphics mode, scales, then the text record: reference,
    // count, string offset, options, rectangle, spacing offset.
    QByteArray payload;
    for (int i = 0; i < 4; ++i) Put32(payload, 0);
    Put32(payload, 1);
    Put32(payload, 0x3F800000);
    Put32(payload, 0x3F800000);
    Put32(payload, uint32_t(x));
    Put32(payload, uint32_t(y));
    Put32(payload, uint32_t(text.size()));
    Put32(payload, 8 + 68);  // the string follows the fixed fields
    Put32(payload, options);
    Put32(payload, uint32_t(rect.left()));
    Put32(payload, uint32_t(rect.top()));
    Put32(payload, uint32_t(rect.right() + 1));
    Put32(payload, uint32_t(rect.bottom() + 1));
    Put32(payload, 0);  // no spacing array
    for (QChar c : text) Put16(payload, c.unicode());
    return RecordBytes(84, payload);
}

QByteArray EmfBuilder::Bytes(bool withEof) const {
    QByteArray records = records_;
    if (withEof) {
        Put32(records, 14);
        Put32(records, 20);
        Put32(records, 0);
        Put32(records, 16);
        Put32(records, 20);
    }
    QByteArray out;
    Put32(out, 1);
    Put32(out, 88);
    for (int v : {bounds_.left(), bounds_.top(), bounds_.right(), bounds_.bottom()})
        Put32(out, uint32_t(v));
    for (int v : {frame_.left(), frame_.top(), frame_.right(), frame_.bottom()})
        Put32(out, uint32_t(v));
    Put32(out, 0x464D4520);
    Put32(out, 0x10000);
    Put32(out, uint32_t(88 + records.size()));
    Put32(out, 0);
    Put16(out, uint16_t(handles_));
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 1000);  // device pixels
    Put32(out, 1000);
    Put32(out, 100);  // device millimetres
    Put32(out, 100);
    return out + records;
}

QImage Render(const MetafilePicture& picture, QSize size, QRectF target,
              const MetafileLimits& limits) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture.DrawWithin(painter, target.isNull() ? QRectF(QPointF(0, 0), QSizeF(size)) : target,
                       limits);
    return image;
}

bool Near(QColor a, QColor b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

int InkIn(const QImage& image, QRect area) {
    int count = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != QColor(Qt::white)) ++count;
    return count;
}

}  // namespace tamarind::test
