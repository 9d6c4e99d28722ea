#pragma once
// Hand-made metafiles for the player tests: records written field by field,
// so that each test states exactly what the file holds.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "picture/Metafile.h"

namespace tamarind::test {

// A COLORREF (0x00bbggrr).
constexpr uint32_t Rgb(int r, int g, int b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

// WMF records: 16-bit fields, most points stored y first.
class WmfBuilder {
  public:
    // With a placeable header: the box in logical units and units per inch.
    WmfBuilder& Placeable(int left, int top, int right, int bottom, int unitsPerInch);
    WmfBuilder& Objects(int count);
    // A record with these 16-bit parameters (a 32-bit value takes two,
    // low word first: see Long()).
    WmfBuilder& Record(uint16_t function, std::vector<uint16_t> params);
    // A record whose size field says `words` whatever its parameters.
    WmfBuilder& RawRecord(uint32_t words, uint16_t function, std::vector<uint16_t> params);

    WmfBuilder& SetWindow(int x, int y, int width, int height);
    WmfBuilder& SolidBrush(uint32_t color);  // creates a brush
    WmfBuilder& Pen(int style, int width, uint32_t color);
    WmfBuilder& Select(int index);
    WmfBuilder& Delete(int index);
    WmfBuilder& Rectangle(int left, int top, int right, int bottom);

    static std::vector<uint16_t> Long(uint32_t value) {
        return {uint16_t(value & 0xFFFF), uint16_t(value >> 16)};
    }
    // The file, ended by the end-of-file record unless `withEof` is false.
    QByteArray Bytes(bool withEof = true) const;

  private:
    bool placeable_ = false;
    int box_[4] = {0, 0, 0, 0};
    int unitsPerInch_ = 1440;
    int objects_ = 16;
    QByteArray records_;
};

// EMF records: 32-bit fields. The reference device has 10 pixels per
// millimetre, so with MM_TEXT a logical unit is a tenth of a millimetre.
class EmfBuilder {
  public:
    // The frame in hundredths of a millimetre.
    explicit EmfBuilder(QRect frame = QRect(QPoint(0, 0), QPoint(10000, 10000)), int handles = 16);
    EmfBuilder& Bounds(QRect bounds);
    EmfBuilder& Record(uint32_t type, std::vector<int32_t> params);
    EmfBuilder& RecordBytes(uint32_t type, const QByteArray& payload);
    // A record whose size field says `size` bytes whatever follows.
    EmfBuilder& RawRecord(uint32_t type, uint32_t size, std::vector<int32_t> params);

    EmfBuilder& SolidBrush(int index, uint32_t color);
    EmfBuilder& Pen(int index, int style, int width, uint32_t color);
    EmfBuilder& Select(uint32_t index);
    EmfBuilder& Rectangle(int left, int top, int right, int bottom);
    // ExtTextOutW at (x, y) with no spacing array.
    EmfBuilder& TextW(int x, int y, const QString& text, uint32_t options = 0, QRect rect = {});

    QByteArray Bytes(bool withEof = true) const;

  private:
    QRect frame_;
    QRect bounds_{0, 0, 1000, 1000};
    int handles_;
    QByteArray records_;
};

// Draws the picture into a white image of `size` (into `target`, the whole
// image by default).
QImage Render(const MetafilePicture& picture, QSize size, QRectF target = {},
              const MetafileLimits& limits = {});

// Whether two colours differ by at most `tolerance` in every channel.
bool Near(QColor a, QColor b, int tolerance = 24);

// Pixels in `area` that are not white.
int InkIn(const QImage& image, QRect area);

}  // namespace tamarind::test
