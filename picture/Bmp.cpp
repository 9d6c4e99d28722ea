#include "picture/Bmp.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind {
namespace {

[[noreturn]] void Damaged() {
    throw TamarindError(QStringLiteral("ビットマップイメージが不正です"));
}

enum Compression : quint32 {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kAlphaBitfields = 6,
};

// Little-endian fields of a byte block; reading past its end means the
// data is damaged.
class Fields {
  public:
    explicit Fields(std::span<const uchar> bytes) : b_(bytes) {}
    quint32 u16(size_t at) const {
        Need(at, 2);
        return b_[at] | (b_[at + 1] << 8);
    }
    quint32 u32(size_t at) const {
        Need(at, 4);
        return b_[at] | (b_[at + 1] << 8) | (b_[at + 2] << 16) | (quint32(b_[at + 3]) << 24);
    }
    qint32 i32(size_t at) const { return qint32(u32(at)); }

  private:
    void Need(size_t at, size_t n) const {
        if (at > b_.size() || b_.size() - at < n) Damaged();
    }
    std::span<const uchar> b_;
};

// One colour channel of a bit-field pixel.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(quint32 m) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        bits = std::popcount(m);
        if (std::countr_one(m >> shift) != bits) Damaged();  // not contiguous
    }
    uchar Extract(quint32 pixel) const {
        if (!bits) return 0;
        const quint32 v = (pixel & mask) >> shift;
        if (bits >= 8) return uchar(v >> (bits - 8));
        const quint32 max = (1u << bits) - 1;
        return uchar((v * 255 + max / 2) / max);
    }
};

// What the BITMAPINFO says about the picture.
struct DibInfo {
    int width = 0;
    int height = 0;  // rows, always positive
    bool topDown = false;
    int bitsPerPixel = 0;  // as stored in the file: 1, 2, 4, 8, 16, 24, 32
    quint32 compression = kRgb;
    quint32 masks[3] = {};  // red, green, blue
    QList<QRgb> palette;
};

DibInfo ParseInfo(std::span<const uchar> info, qint64 maxPixels) {
    const Fields f(info);
    const quint32 headerSize = f.u32(0);
    DibInfo d;
    qint64 width, height;
    quint32 planes, colourCount = 0;
    size_t paletteStart = headerSize;
    int entrySize = 4;
    if (headerSize == 12) {  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
        width = f.u16(4);
        height = f.u16(6);
        planes = f.u16(8);
        d.bitsPerPixel = int(f.u16(10));
        entrySize = 3;
        if (d.bitsPerPixel != 1 && d.bitsPerPixel != 4 && d.bitsPerPixel != 8 &&
            d.bitsPerPixel != 24)
            Damaged();
    } else if (headerSize == 16 || headerSize == 40 || headerSize == 52 || headerSize == 56 ||
               headerSize == 64 || headerSize == 108 || headerSize == 124) {
        width = f.i32(4);
        height = f.i32(8);
        planes = f.u16(12);
        d.bitsPerPixel = int(f.u16(14));
        if (headerSize >= 40) {
            d.compression = f.u32(16);
            colourCount = f.u32(32);
        }
        const bool os2 = headerSize == 16 || headerSize == 64;
        // OS/2 2.x uses 3 and 4 for Huffman 1D and RLE24, which we do not read.
        if (os2 && d.compression != kRgb && d.compression != kRle8 && d.compression != kRle4)
            Damaged();
        if (d.compression == kBitfields || d.compression == kAlphaBitfields) {
            // Masks follow a 40-byte header (an alpha mask too for
            // ALPHABITFIELDS); the later headers hold them.
            for (int i = 0; i < 3; ++i) d.masks[i] = f.u32(40 + 4 * i);
            if (headerSize == 40) paletteStart += d.compression == kBitfields ? 12 : 16;
        }
    } else {
        Damaged();
    }
    if (planes != 1 || width <= 0 || height == 0 || height == qint64(INT32_MIN)) Damaged();
    d.topDown = height < 0;
    height = qAbs(height);
    if (width * height > maxPixels) Damaged();
    d.width = int(width);
    d.height = int(height);

    switch (d.compression) {
        case kRgb:
            if (d.bitsPerPixel != 1 && d.bitsPerPixel != 2 && d.bitsPerPixel != 4 &&
                d.bitsPerPixel != 8 && d.bitsPerPixel != 16 && d.bitsPerPixel != 24 &&
                d.bitsPerPixel != 32)
                Damaged();
            break;
        case kRle8:
        case kRle4:
            // Run-length pictures are stored bottom-up only.
            if (d.bitsPerPixel != (d.compression == kRle8 ? 8 : 4) || d.topDown) Damaged();
            break;
        case kBitfields:
        case kAlphaBitfields:
            if (d.bitsPerPixel != 16 && d.bitsPerPixel != 32) Damaged();
            break;
        default:  // embedded JPEG or PNG
            Damaged();
    }

    if (d.bitsPerPixel <= 8) {
        const qint64 full = qint64(1) << d.bitsPerPixel;
        qint64 count = colourCount == 0 ? full : std::min<qint64>(colourCount, full);
        // A short colour table (common in OS/2 files) ends where the pixels begin.
        const qint64 room = paletteStart < info.size() ? qint64(info.size() - paletteStart) : 0;
        count = std::min(count, room / entrySize);
        d.palette.reserve(count);
        for (qint64 i = 0; i < count; ++i) {
            const uchar* e = info.data() + paletteStart + i * entrySize;
            d.palette.append(qRgb(e[2], e[1], e[0]));
        }
    }
    return d;
}

// Run-length rows (RLE8, or RLE4 when `nibbles`), bottom-up. Runs past the
// right edge are clipped; data that ends early leaves the rest zero.
void DecodeRle(std::span<const uchar> data, bool nibbles, Bitmap& out) {
    const int w = out.width(), h = out.height();
    int x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](int at, unsigned value) {
        uchar* row = out.scanLine(h - 1 - y);
        if (!nibbles) {
            row[at] = uchar(value);
        } else if (at & 1) {
            row[at >> 1] = uchar((row[at >> 1] & 0xF0) | value);
        } else {
            row[at >> 1] = uchar((row[at >> 1] & 0x0F) | (value << 4));
        }
    };
    size_t i = 0;
    while (i + 1 < data.size() && y < h) {
        const int count = data[i];
        const int value = data[i + 1];
        i += 2;
        if (count > 0) {  // a run of one value (RLE4: two alternating nibbles)
            const int n = std::min(count, w - x);
            for (int k = 0; k < n; ++k)
                put(x + k, !nibbles ? value : (k & 1) ? value & 15 : value >> 4);
            x = std::min(w, x + count);
            continue;
        }
        switch (value) {
            case 0:  // end of row
                x = 0;
                ++y;
                break;
            case 1:  // end of picture
                return;
            case 2:  // move right and up
                if (i + 1 >= data.size()) return;
                x = std::min(w, x + data[i]);
                y += data[i + 1];
                i += 2;
                break;
            default: {  // `value` literal pixels, padded to a 16-bit boundary
                const size_t bytes = nibbles ? (value + 1) / 2 : value;
                const size_t have = std::min(bytes, data.size() - i);
                const int pixels = int(nibbles ? have * 2 : have);
                const int n = std::min({value, pixels, w - x});
                for (int k = 0; k < n; ++k) {
                    const uchar b = data[i + (nibbles ? k / 2 : k)];
                    put(x + k, !nibbles ? b : (k & 1) ? b & 15 : b >> 4);
                }
                if (have < bytes) return;
                x = std::min(w, x + value);
                i += (bytes + 1) & ~size_t(1);
                break;
            }
        }
    }
}

Bitmap DecodePixels(const DibInfo& d, std::span<const uchar> bits) {
    const int w = d.width, h = d.height;
    if (d.compression == kRle8 || d.compression == kRle4) {
        Bitmap out(w, h, d.bitsPerPixel);
        out.setPalette(d.palette);
        DecodeRle(bits, d.compression == kRle4, out);
        return out;
    }

    // Uncompressed rows: every row must be there (the last one may lack its
    // padding).
    const qint64 fileStride = (qint64(w) * d.bitsPerPixel + 31) / 32 * 4;
    const qint64 lastRow = (qint64(w) * d.bitsPerPixel + 7) / 8;
    if (qint64(bits.size()) < fileStride * (h - 1) + lastRow) Damaged();
    auto fileRow = [&](int y) { return bits.data() + (d.topDown ? y : h - 1 - y) * fileStride; };
    auto rowBytes = [&](int y) {
        const qint64 start = (d.topDown ? y : h - 1 - y) * fileStride;
        return size_t(std::min<qint64>(fileStride, qint64(bits.size()) - start));
    };

    // Which output format, and whether rows can be copied as they are.
    const bool masked = d.compression == kBitfields || d.compression == kAlphaBitfields;
    const quint32 r = d.masks[0], g = d.masks[1], b = d.masks[2];
    int outBits = d.bitsPerPixel;
    bool copyRows = true;
    if (d.bitsPerPixel == 2) {
        outBits = 4;
        copyRows = false;
    } else if (d.bitsPerPixel == 16) {
        outBits = 15;
        if (masked) {
            if (r == 0xF800 && g == 0x07E0 && b == 0x001F) {
                outBits = 16;
            } else if (!(r == 0x7C00 && g == 0x03E0 && b == 0x001F)) {
                outBits = 24;
                copyRows = false;
            }
        }
    } else if (d.bitsPerPixel == 32 && masked && !(r == 0xFF0000 && g == 0xFF00 && b == 0xFF)) {
        copyRows = false;
    }

    Bitmap out(w, h, outBits);
    if (outBits <= 8 || d.bitsPerPixel == 2) out.setPalette(d.palette);
    for (int y = 0; y < h; ++y) {
        const uchar* src = fileRow(y);
        uchar* dst = out.scanLine(y);
        if (copyRows) {
            std::memcpy(dst, src, std::min<size_t>(rowBytes(y), size_t(out.stride())));
            if (outBits == 32)
                for (int x = 0; x < w; ++x) dst[4 * x + 3] = 0xFF;
        } else if (d.bitsPerPixel == 2) {
            for (int x = 0; x < w; ++x) {
                const unsigned v = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                dst[x >> 1] |= uchar((x & 1) ? v : v << 4);
            }
        } else {
            const Channel cr(r), cg(g), cb(b);
            const int step = d.bitsPerPixel / 8;
            const int outStep = outBits / 8;
            for (int x = 0; x < w; ++x) {
                const uchar* p = src + x * step;
                const quint32 v = step == 2
                                      ? p[0] | (p[1] << 8)
                                      : p[0] | (p[1] << 8) | (p[2] << 16) | (quint32(p[3]) << 24);
                uchar* q = dst + x * outStep;
                q[0] = cb.Extract(v);
                q[1] = cg.Extract(v);
                q[2] = cr.Extract(v);
                if (outStep == 4) q[3] = 0xFF;
            }
        }
    }
    return out;
}

void Put16(uchar* p, quint32 v) {
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
}
void Put32(uchar* p, quint32 v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

}  // namespace

Bitmap DecodeDibBitmap(std::span<const uchar> info, std::span<const uchar> bits, qint64 maxPixels) {
    return DecodePixels(ParseInfo(info, maxPixels), bits);
}

Bitmap DecodeBmp(std::span<const uchar> bytes, qint64 maxPixels) {
    const Fields f(bytes);
    if (bytes.size() < 18 || bytes[0] != 'B' || bytes[1] != 'M') Damaged();
    const quint32 pixelsAt = f.u32(10);
    const quint32 headerSize = f.u32(14);
    if (headerSize > bytes.size() || pixelsAt < 14 + headerSize || pixelsAt > bytes.size())
        Damaged();
    return DecodeDibBitmap(bytes.subspan(14, pixelsAt - 14), bytes.subspan(pixelsAt), maxPixels);
}

Bitmap ReadBmpFile(const QString& path) {
    return DecodeBmp(ByteSpan(ReadFileBytes(path)));
}

QByteArray EncodeBmp(const Bitmap& bitmap) {
    if (bitmap.isEmpty()) Damaged();
    const int bpp = bitmap.bitsPerPixel();
    const int h = bitmap.height();
    const quint32 masksBytes = bpp == 16 ? 12 : 0;
    const quint32 paletteBytes = bpp <= 8 ? 4u << bpp : 0;
    const quint32 pixelsAt = 14 + 40 + masksBytes + paletteBytes;
    const quint32 imageBytes = quint32(bitmap.stride()) * quint32(h);

    QByteArray file(qsizetype(pixelsAt) + imageBytes, '\0');
    uchar* p = reinterpret_cast<uchar*>(file.data());
    p[0] = 'B';
    p[1] = 'M';
    Put32(p + 2, pixelsAt + imageBytes);
    Put32(p + 10, pixelsAt);
    uchar* info = p + 14;
    Put32(info, 40);
    Put32(info + 4, quint32(bitmap.width()));
    Put32(info + 8, quint32(h));  // positive: bottom-up rows
    Put16(info + 12, 1);
    Put16(info + 14, bpp == 15 ? 16 : quint32(bpp));
    Put32(info + 16, bpp == 16 ? kBitfields : kRgb);
    Put32(info + 20, imageBytes);
    if (bpp <= 8) Put32(info + 32, 1u << bpp);
    if (bpp == 16) {
        Put32(info + 40, 0xF800);
        Put32(info + 44, 0x07E0);
        Put32(info + 48, 0x001F);
    }
    uchar* entry = info + 40 + masksBytes;
    for (QRgb c : bitmap.palette()) {
        entry[0] = uchar(qBlue(c));
        entry[1] = uchar(qGreen(c));
        entry[2] = uchar(qRed(c));
        entry += 4;
    }
    for (int y = 0; y < h; ++y)
        std::memcpy(p + pixelsAt + qsizetype(h - 1 - y) * bitmap.stride(), bitmap.scanLine(y),
                    size_t(bitmap.stride()));
    return file;
}

void WriteBmpFile(const QString& path, const Bitmap& bitmap) {
    WriteFileBytes(path, EncodeBmp(bitmap));
}

}  // namespace tamarind
