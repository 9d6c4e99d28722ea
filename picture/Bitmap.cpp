#include "picture/Bitmap.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>

namespace tamarind {
namespace {

// Bits a pixel occupies in a row (15-bit pixels fill a 16-bit word).
int StorageBits(int bitsPerPixel) {
    return bitsPerPixel == 15 ? 16 : bitsPerPixel;
}

const QList<QRgb>& NoPalette() {
    static const QList<QRgb> empty;
    return empty;
}

// Widens a 5- or 6-bit channel to 8 bits by repeating its top bits.
inline uchar Widen5(unsigned v) {
    return uchar((v << 3) | (v >> 2));
}
inline uchar Widen6(unsigned v) {
    return uchar((v << 2) | (v >> 4));
}

// Pixel memory of large pictures. The system hands out fresh memory a page
// at a time, zeroing each page on first touch; for a picture of tens of
// megabytes that costs about a third of decoding a JPEG. So the block of the
// large picture freed last is kept and serves the next large picture, which
// makes loading picture after picture (slots, the detail window, printing)
// reuse memory that is already mapped. At most one block is kept.
constexpr size_t kKeptBlockMin = size_t(8) << 20;

struct SpareBlock {
    std::mutex mutex;
    void* block = nullptr;
    size_t size = 0;
};

SpareBlock& Spare() {
    static SpareBlock* spare = new SpareBlock;  // never destroyed: bitmaps may outlive statics
    return *spare;
}

// A block of at least `bytes` bytes, zeroed or not; its real size goes to
// `capacity`. Null when memory is short.
uchar* TakeBlock(size_t bytes, bool zeroed, size_t* capacity) {
    *capacity = bytes;
    if (bytes >= kKeptBlockMin) {
        SpareBlock& spare = Spare();
        void* block = nullptr;
        {
            std::lock_guard lock(spare.mutex);
            if (spare.block && spare.size >= bytes && spare.size / 2 <= bytes) {
                block = spare.block;
                *capacity = spare.size;
                spare.block = nullptr;
            }
        }
        if (block) {
            if (zeroed) std::memset(block, 0, bytes);
            return static_cast<uchar*>(block);
        }
    }
    return static_cast<uchar*>(zeroed ? std::calloc(bytes, 1) : std::malloc(bytes));
}

void GiveBackBlock(uchar* block, size_t capacity) {
    void* unused = block;
    if (block && capacity >= kKeptBlockMin) {
        SpareBlock& spare = Spare();
        std::lock_guard lock(spare.mutex);
        std::swap(spare.block, unused);
        spare.size = capacity;
    }
    std::free(unused);
}

}  // namespace

QList<QRgb> GreyPalette() {
    QList<QRgb> grey(256);
    for (int i = 0; i < 256; ++i) grey[i] = qRgb(i, i, i);
    return grey;
}

Bitmap::Data::~Data() {
    GiveBackBlock(pixels, capacity);
}

bool Bitmap::IsValidFormat(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 15:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

qint64 Bitmap::StrideFor(qint64 width, int bitsPerPixel) {
    return (width * StorageBits(bitsPerPixel) + 31) / 32 * 4;
}

std::shared_ptr<Bitmap::Data> Bitmap::Allocate(int width, int height, int bitsPerPixel,
                                               bool zeroed) {
    if (width < 0 || height < 0) throw std::invalid_argument("negative bitmap size");
    if (!IsValidFormat(bitsPerPixel)) throw std::invalid_argument("unknown bitmap format");
    if (qint64(width) * height > kMaxPixels) throw std::bad_alloc();
    auto d = std::make_shared<Data>();
    d->width = width;
    d->height = height;
    d->bitsPerPixel = bitsPerPixel;
    d->stride = qsizetype(StrideFor(width, bitsPerPixel));
    const size_t bytes = size_t(d->stride) * size_t(height);
    if (bytes > 0) {
        d->pixels = TakeBlock(bytes, zeroed, &d->capacity);
        if (!d->pixels) throw std::bad_alloc();
        // Padding is never left undefined, so files written stay reproducible.
        const size_t used = size_t((qint64(width) * StorageBits(bitsPerPixel) + 7) / 8);
        if (!zeroed && used < size_t(d->stride))
            for (int y = 0; y < height; ++y)
                std::memset(d->pixels + size_t(y) * d->stride + used, 0, d->stride - used);
    }
    if (bitsPerPixel <= 8) d->palette.resize(qsizetype(1) << bitsPerPixel, qRgb(0, 0, 0));
    return d;
}

Bitmap::Bitmap(int width, int height, int bitsPerPixel)
    : d_(Allocate(width, height, bitsPerPixel, true)) {}

Bitmap Bitmap::ForOverwrite(int width, int height, int bitsPerPixel) {
    Bitmap bitmap;
    bitmap.d_ = Allocate(width, height, bitsPerPixel, false);
    return bitmap;
}

void Bitmap::Detach() {
    if (!d_ || d_.use_count() == 1) return;
    auto copy = Allocate(d_->width, d_->height, d_->bitsPerPixel, false);
    if (d_->pixels) std::memcpy(copy->pixels, d_->pixels, size_t(d_->stride) * d_->height);
    copy->palette = d_->palette;
    d_ = std::move(copy);
}

uchar* Bitmap::bits() {
    Detach();
    return d_ ? d_->pixels : nullptr;
}

const QList<QRgb>& Bitmap::palette() const {
    return d_ ? d_->palette : NoPalette();
}

void Bitmap::setPalette(QList<QRgb> colours) {
    if (!d_ || d_->bitsPerPixel > 8) return;
    Detach();
    colours.resize(qsizetype(1) << d_->bitsPerPixel, qRgb(0, 0, 0));
    d_->palette = std::move(colours);
}

QImage Bitmap::ToQImage() const {
    if (isEmpty()) return QImage();
    const Data& d = *d_;
    if (d.bitsPerPixel == 4) {
        QImage image(d.width, d.height, QImage::Format_Indexed8);
        if (image.isNull()) throw std::bad_alloc();
        for (int y = 0; y < d.height; ++y) {
            const uchar* src = scanLine(y);
            uchar* dst = image.scanLine(y);
            for (int x = 0; x < d.width; ++x)
                dst[x] = (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4;
        }
        QList<QRgb> table = d.palette;
        table.resize(256, qRgb(0, 0, 0));
        image.setColorTable(table);
        return image;
    }
    QImage::Format format = QImage::Format_Invalid;
    switch (d.bitsPerPixel) {
        case 1:
            format = QImage::Format_Mono;
            break;
        case 8:
            format = QImage::Format_Indexed8;
            break;
        case 15:
            format = QImage::Format_RGB555;
            break;
        case 16:
            format = QImage::Format_RGB16;
            break;
        case 24:
            format = QImage::Format_BGR888;
            break;
        case 32:
            format = QImage::Format_RGB32;
            break;
    }
    // The image keeps a reference to these pixels until it is destroyed; it
    // treats them as read-only, so writing into it copies them first.
    auto* keep = new std::shared_ptr<const Data>(d_);
    QImage image(
        static_cast<const uchar*>(d.pixels), d.width, d.height, d.stride, format,
        [](void* info) { delete static_cast<std::shared_ptr<const Data>*>(info); }, keep);
    if (image.isNull()) {
        delete keep;
        throw std::bad_alloc();
    }
    if (d.bitsPerPixel <= 8) image.setColorTable(d.palette);
    return image;
}

Bitmap Bitmap::FromQImage(const QImage& source) {
    if (source.isNull()) return Bitmap();
    QImage image = source;
    int bits = 32;
    switch (image.format()) {
        case QImage::Format_Mono:
            bits = 1;
            break;
        case QImage::Format_MonoLSB:
            image = image.convertToFormat(QImage::Format_Mono);
            bits = 1;
            break;
        case QImage::Format_Indexed8:
        case QImage::Format_Grayscale8:
            bits = 8;
            break;
        case QImage::Format_RGB555:
            bits = 15;
            break;
        case QImage::Format_RGB16:
            bits = 16;
            break;
        case QImage::Format_BGR888:
            bits = 24;
            break;
        case QImage::Format_RGB888:
            image = image.convertToFormat(QImage::Format_BGR888);
            bits = 24;
            break;
        case QImage::Format_RGB32:
            break;
        default:
            image = image.convertToFormat(QImage::Format_RGB32);
            break;
    }
    if (image.isNull()) throw std::bad_alloc();
    Bitmap bitmap(image.width(), image.height(), bits);
    const size_t rowBytes = size_t(StrideFor(image.width(), bits));
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.scanLine(y), image.constScanLine(y), rowBytes);
    if (image.format() == QImage::Format_Grayscale8) {
        bitmap.setPalette(GreyPalette());
    } else if (bits <= 8) {
        QList<QRgb> table = image.colorTable();
        // Qt reads a missing colour table of a Mono picture as black on white.
        if (table.isEmpty() && bits == 1) table = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
        bitmap.setPalette(table);
    }
    return bitmap;
}

namespace {

// Calls put(i, blue, green, red) for the pixels x0 + i, i from 0 to n - 1, of
// a row of `bits` bits.
template <typename Put>
void ForEachColour(const uchar* src, int x0, int n, int bits, const QList<QRgb>& pal, Put put) {
    auto putIndex = [&](int i, int index) {
        const QRgb c = pal[index];
        put(i, qBlue(c), qGreen(c), qRed(c));
    };
    switch (bits) {
        case 1:
            for (int i = 0, x = x0; i < n; ++i, ++x)
                putIndex(i, (src[x >> 3] >> (7 - (x & 7))) & 1);
            break;
        case 4:
            for (int i = 0, x = x0; i < n; ++i, ++x)
                putIndex(i, (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
            break;
        case 8:
            src += x0;
            for (int i = 0; i < n; ++i) putIndex(i, src[i]);
            break;
        case 15:
            src += qsizetype(x0) * 2;
            for (int i = 0; i < n; ++i) {
                const unsigned v = src[2 * i] | (src[2 * i + 1] << 8);
                put(i, Widen5(v & 0x1F), Widen5((v >> 5) & 0x1F), Widen5((v >> 10) & 0x1F));
            }
            break;
        case 16:
            src += qsizetype(x0) * 2;
            for (int i = 0; i < n; ++i) {
                const unsigned v = src[2 * i] | (src[2 * i + 1] << 8);
                put(i, Widen5(v & 0x1F), Widen6((v >> 5) & 0x3F), Widen5(v >> 11));
            }
            break;
        case 24:
            src += qsizetype(x0) * 3;
            for (int i = 0; i < n; ++i) put(i, src[3 * i], src[3 * i + 1], src[3 * i + 2]);
            break;
        case 32:
            src += qsizetype(x0) * 4;
            for (int i = 0; i < n; ++i) put(i, src[4 * i], src[4 * i + 1], src[4 * i + 2]);
            break;
    }
}

}  // namespace

void Bitmap::RowTo24(int y, int x0, int count, uchar* out) const {
    if (bitsPerPixel() == 24) {
        std::memcpy(out, scanLine(y) + qsizetype(x0) * 3, size_t(count) * 3);
        return;
    }
    ForEachColour(scanLine(y), x0, count, bitsPerPixel(), palette(),
                  [out](int i, unsigned b, unsigned g, unsigned r) {
                      out[3 * i] = uchar(b);
                      out[3 * i + 1] = uchar(g);
                      out[3 * i + 2] = uchar(r);
                  });
}

void Bitmap::RowToRgb32(int y, int x0, int count, QRgb* out) const {
    ForEachColour(scanLine(y), x0, count, bitsPerPixel(), palette(),
                  [out](int i, unsigned b, unsigned g, unsigned r) {
                      out[i] = qRgb(int(r), int(g), int(b));
                  });
}

Bitmap Bitmap::ConvertTo24() const {
    if (bitsPerPixel() == 24) return *this;
    Bitmap out(width(), height(), 24);
    uchar* bits = out.bits();
    for (int y = 0; y < height(); ++y) RowTo24(y, 0, width(), bits + y * out.stride());
    return out;
}

}  // namespace tamarind
