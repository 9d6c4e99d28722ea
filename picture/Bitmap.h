#pragma once
// The working picture: a device-independent bitmap that keeps a file's pixel
// format. Rows are addressed top to bottom and padded to a multiple of 4
// bytes; within a row pixels are packed left to right:
//   1 bit    most significant bit leftmost, palette index
//   4 bits   high nibble leftmost, palette index
//   8 bits   one palette index byte
//   15 bits  one little-endian 16-bit word, 0RRRRRGGGGGBBBBB
//   16 bits  one little-endian 16-bit word, RRRRRGGGGGGBBBBB
//   24 bits  blue, green, red
//   32 bits  blue, green, red, and a fourth byte that is 0xFF in every
//            picture this layer makes (Qt draws such pixels as opaque)
// Pictures of 8 bits or fewer carry a palette of exactly 2^bits colours.
//
// Copies are cheap: they share the pixels until one of them is written
// through a mutable accessor (copy on write).

#include <QImage>
#include <QList>
#include <QRgb>
#include <QSize>
#include <memory>
#include <span>

namespace tamarind {

// The 256 greys from black to white: the palette of 8-bit grey pictures.
QList<QRgb> GreyPalette();

class Bitmap {
  public:
    // The largest picture any decoder accepts: 2^28 pixels.
    static constexpr qint64 kMaxPixels = qint64(1) << 28;

    // An empty bitmap (no pixels, 24 bits per pixel).
    Bitmap() = default;
    // A zeroed bitmap; a width or height of 0 gives an empty bitmap of that
    // format. Pictures of 8 bits or fewer get a black palette. Throws
    // std::invalid_argument for a negative size or an unknown format and
    // std::bad_alloc when the picture is larger than kMaxPixels or the memory
    // cannot be had.
    Bitmap(int width, int height, int bitsPerPixel);
    // The same, but the pixels are left undefined (row padding is zeroed),
    // for decoders that write every pixel.
    static Bitmap ForOverwrite(int width, int height, int bitsPerPixel);

    // True for 1, 4, 8, 15, 16, 24 and 32.
    static bool IsValidFormat(int bitsPerPixel);
    // Bytes per row for `width` pixels, padded to 4 bytes.
    static qint64 StrideFor(qint64 width, int bitsPerPixel);

    bool isEmpty() const { return width() == 0 || height() == 0; }
    int width() const { return d_ ? d_->width : 0; }
    int height() const { return d_ ? d_->height : 0; }
    QSize size() const { return QSize(width(), height()); }
    int bitsPerPixel() const { return d_ ? d_->bitsPerPixel : 24; }
    qsizetype stride() const { return d_ ? d_->stride : 0; }
    qsizetype sizeInBytes() const { return stride() * height(); }

    // Row y (0 = top). The mutable forms make this copy the sole owner of
    // its pixels first.
    const uchar* scanLine(int y) const { return d_->pixels + y * d_->stride; }
    const uchar* constScanLine(int y) const { return scanLine(y); }
    uchar* scanLine(int y) { return bits() + y * d_->stride; }
    const uchar* constBits() const { return d_ ? d_->pixels : nullptr; }
    uchar* bits();

    // 2^bits colours for pictures of 8 bits or fewer, otherwise empty.
    const QList<QRgb>& palette() const;
    // Replaces the palette; it is cut or filled with black to 2^bits colours.
    // Ignored for pictures of more than 8 bits.
    void setPalette(QList<QRgb> colours);

    // A QImage of the same pixels for drawing. It shares this bitmap's memory
    // for 1, 8, 15, 16, 24 and 32 bits (Mono, Indexed8, RGB555, RGB16,
    // BGR888, RGB32); 4-bit pictures are converted to Indexed8. The image
    // stays valid after the bitmap is changed or destroyed.
    QImage ToQImage() const;
    // A bitmap of the image's pixels: Mono and MonoLSB become 1 bit,
    // Indexed8 8 bits, Grayscale8 8 bits with a grey palette, RGB555 15 bits,
    // RGB16 16 bits, RGB888 and BGR888 24 bits, and every other format 32
    // bits (alpha dropped). Throws std::bad_alloc when memory is short.
    static Bitmap FromQImage(const QImage& image);
    // The same picture in 24 bits (palette pictures expanded to their
    // colours, 5- and 6-bit channels widened by repeating their top bits).
    // A 24-bit bitmap returns itself (shared).
    Bitmap ConvertTo24() const;
    // The colours of `count` pixels of row y from column x0 on, as
    // ConvertTo24 gives them, so that a picture of any format can be read a
    // piece at a time without a converted copy of it: as 24-bit pixels (blue,
    // green, red) into `out` (3 x count bytes), or as opaque QRgb values.
    void RowTo24(int y, int x0, int count, uchar* out) const;
    void RowToRgb32(int y, int x0, int count, QRgb* out) const;

  private:
    struct Data {
        int width = 0;
        int height = 0;
        int bitsPerPixel = 24;
        qsizetype stride = 0;
        uchar* pixels = nullptr;  // owned, see TakeBlock
        size_t capacity = 0;      // bytes in the block, at least stride * height
        QList<QRgb> palette;
        Data() = default;
        Data(const Data&) = delete;
        Data& operator=(const Data&) = delete;
        ~Data();
    };
    static std::shared_ptr<Data> Allocate(int width, int height, int bitsPerPixel, bool zeroed);
    void Detach();

    std::shared_ptr<Data> d_;
};

// The bytes of a QByteArray as the span the decoders take.
inline std::span<const uchar> ByteSpan(const QByteArray& bytes) {
    return {reinterpret_cast<const uchar*>(bytes.constData()), size_t(bytes.size())};
}

}  // namespace tamarind
