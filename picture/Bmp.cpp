#include "picture/Bmp.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <vector>

#include "picture/Resample.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/InputFile.h"

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

// The bytes of run-length data, from a block held whole or read from a file
// a piece at a time; Next gives -1 at the end.
class RleBytes {
  public:
    explicit RleBytes(std::span<const uchar> bytes) : at_(bytes.data()), end_(at_ + bytes.size()) {}
    RleBytes(InputFile& file, std::int64_t from) : file_(&file), piece_(64 * 1024) {
        file.ReadAt(from, piece_.data(), 0);
    }
    int Next() {
        if (at_ == end_ && !Refill()) return -1;
        return *at_++;
    }

  private:
    bool Refill() {
        if (!file_) return false;
        const std::int64_t n = file_->Read(piece_.data(), std::int64_t(piece_.size()));
        at_ = piece_.data();
        end_ = at_ + n;
        return n > 0;
    }
    const uchar* at_ = nullptr;
    const uchar* end_ = nullptr;
    InputFile* file_ = nullptr;
    std::vector<uchar> piece_;
};

// Run-length rows (RLE8, or RLE4 when `nibbles`), bottom-up, as one call of
// put(yFromBottom, x, index) per pixel written. Runs past the right edge are
// clipped; data that ends early leaves the rest unwritten. Every run is at
// most 255 pixels and costs file bytes, so the work follows the file's size,
// not the size its header claims.
template <typename Put>
void DecodeRle(RleBytes& in, bool nibbles, int w, int h, Put put) {
    int x = 0, y = 0;  // y counts rows from the bottom
    for (;;) {
        if (y >= h) return;
        const int count = in.Next();
        const int value = in.Next();
        if (value < 0) return;
        if (count > 0) {  // a run of one value (RLE4: two alternating nibbles)
            const int n = std::min(count, w - x);
            for (int k = 0; k < n; ++k)
                put(y, x + k, !nibbles ? value : (k & 1) ? value & 15 : value >> 4);
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
            case 2: {  // move right and up
                const int right = in.Next();
                const int up = in.Next();
                if (up < 0) return;
                x = std::min(w, x + right);
                y += up;
                break;
            }
            default: {  // `value` literal pixels, padded to a 16-bit boundary
                const int bytes = nibbles ? (value + 1) / 2 : value;
                int k = 0;
                for (int i = 0; i < bytes; ++i) {
                    const int b = in.Next();
                    if (b < 0) return;
                    if (!nibbles) {
                        if (x + k < w) put(y, x + k, b);
                        ++k;
                    } else {
                        if (k < value && x + k < w) put(y, x + k, b >> 4);
                        ++k;
                        if (k < value && x + k < w) put(y, x + k, b & 15);
                        ++k;
                    }
                }
                if (bytes & 1) in.Next();
                x = std::min(w, x + value);
                break;
            }
        }
    }
}

void DecodeRleInto(std::span<const uchar> data, bool nibbles, Bitmap& out) {
    const int h = out.height();
    RleBytes in(data);
    uchar* bits = out.bits();
    const qsizetype stride = out.stride();
    DecodeRle(in, nibbles, out.width(), h, [&](int y, int at, int value) {
        uchar* row = bits + (h - 1 - y) * stride;
        if (!nibbles) {
            row[at] = uchar(value);
        } else if (at & 1) {
            row[at >> 1] = uchar((row[at >> 1] & 0xF0) | value);
        } else {
            row[at >> 1] = uchar((row[at >> 1] & 0x0F) | (value << 4));
        }
    });
}

Bitmap DecodePixels(const DibInfo& d, std::span<const uchar> bits) {
    const int w = d.width, h = d.height;
    if (d.compression == kRle8 || d.compression == kRle4) {
        Bitmap out(w, h, d.bitsPerPixel);
        out.setPalette(d.palette);
        DecodeRleInto(bits, d.compression == kRle4, out);
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
    // A file that does not start as a BMP is refused before the rest is read.
    InputFile file(path);
    uchar magic[2] = {};
    if (file.ReadAt(0, magic, 2) < 2 || magic[0] != 'B' || magic[1] != 'M') Damaged();
    return DecodeBmp(ByteSpan(file.ReadAll()));
}

BmpThumbnail ReadBmpThumbnail(const QString& path, const std::function<QSize(QSize)>& boxFor) {
    InputFile file(path);
    const std::int64_t fileSize = file.size();
    // The file header, the bitmap header and the colour table lie in the
    // first few kilobytes; the rows are read later, a piece at a time.
    constexpr std::int64_t kHeadBytes = 14 + 124 + 16 + 1024;
    std::vector<uchar> head(size_t(std::min(fileSize, kHeadBytes)));
    head.resize(size_t(file.ReadAt(0, head.data(), std::int64_t(head.size()))));
    const std::span<const uchar> bytes(head);
    const Fields f(bytes);
    if (bytes.size() < 18 || bytes[0] != 'B' || bytes[1] != 'M') Damaged();
    const quint32 pixelsAt = f.u32(10);
    const quint32 headerSize = f.u32(14);
    if (headerSize > fileSize || pixelsAt < 14 + headerSize || pixelsAt > fileSize) Damaged();
    const size_t infoEnd = std::min<size_t>(pixelsAt, head.size());
    const DibInfo d = ParseInfo(bytes.subspan(14, infoEnd - 14), Bitmap::kMaxPixels);

    BmpThumbnail result;
    result.natural = QSize(d.width, d.height);
    const QSize box = boxFor(result.natural);
    const int w = d.width, h = d.height;
    // Checked before any row is read, as for a full decode.
    const bool rle = d.compression == kRle8 || d.compression == kRle4;
    const qint64 fileStride = (qint64(w) * d.bitsPerPixel + 31) / 32 * 4;
    const qint64 lastRow = (qint64(w) * d.bitsPerPixel + 7) / 8;
    if (!rle && fileSize - pixelsAt < fileStride * (h - 1) + lastRow) Damaged();
    if (box.isEmpty()) return result;

    QRgb colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = i < d.palette.size() ? d.palette[i] : qRgb(0, 0, 0);
    AreaReducer reducer(result.natural, box);
    if (rle) {
        // Pixels the data never reaches keep index 0, as in a full decode.
        RleBytes in(file, pixelsAt);
        DecodeRle(in, d.compression == kRle4, w, h, [&](int y, int x, int index) {
            reducer.AddPixels(h - 1 - y, x, &colours[index], 1);
        });
        result.image = reducer.Finish(colours[0]);
        return result;
    }

    const int bpp = d.bitsPerPixel;
    const bool masked = d.compression == kBitfields || d.compression == kAlphaBitfields;
    quint32 masks[3] = {d.masks[0], d.masks[1], d.masks[2]};
    if (!masked && bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (!masked && bpp == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    const Channel cr(bpp >= 16 ? masks[0] : 0), cg(bpp >= 16 ? masks[1] : 0),
        cb(bpp >= 16 ? masks[2] : 0);
    // Rows are read in order, a segment of at most a megabyte at a time; the
    // last segment of a row takes its padding along.
    const int segmentPixels = std::max(8, ((1 << 23) / bpp) & ~7);
    std::vector<uchar> raw(size_t((qint64(segmentPixels) * bpp + 7) / 8 + 4));
    std::vector<QRgb> row(size_t(std::min(w, segmentPixels)));
    if (file.ReadAt(pixelsAt, raw.data(), 0) != 0) Damaged();
    for (int r = 0; r < h; ++r) {
        const int y = d.topDown ? r : h - 1 - r;
        for (int x0 = 0; x0 < w; x0 += segmentPixels) {
            const int n = std::min(segmentPixels, w - x0);
            const bool rowEnd = x0 + n == w;
            const qint64 dataBytes = (qint64(n) * bpp + 7) / 8;
            const qint64 want = rowEnd ? fileStride - qint64(x0) * bpp / 8 : dataBytes;
            const std::int64_t got = file.Read(raw.data(), want);
            std::fill(raw.begin() + got, raw.begin() + want, uchar(0));
            const uchar* p = raw.data();
            switch (bpp) {
                case 1:
                    for (int i = 0; i < n; ++i) row[size_t(i)] = colours[(p[i >> 3] >> (7 - (i & 7))) & 1];
                    break;
                case 2:
                    for (int i = 0; i < n; ++i) row[size_t(i)] = colours[(p[i >> 2] >> (6 - 2 * (i & 3))) & 3];
                    break;
                case 4:
                    for (int i = 0; i < n; ++i) row[size_t(i)] = colours[(i & 1) ? p[i >> 1] & 15 : p[i >> 1] >> 4];
                    break;
                case 8:
                    for (int i = 0; i < n; ++i) row[size_t(i)] = colours[p[i]];
                    break;
                case 24:
                    for (int i = 0; i < n; ++i, p += 3) row[size_t(i)] = qRgb(p[2], p[1], p[0]);
                    break;
                case 16:
                    for (int i = 0; i < n; ++i, p += 2) {
                        const quint32 v = p[0] | (p[1] << 8);
                        row[size_t(i)] = qRgb(cr.Extract(v), cg.Extract(v), cb.Extract(v));
                    }
                    break;
                default:  // 32
                    for (int i = 0; i < n; ++i, p += 4) {
                        const quint32 v = p[0] | (p[1] << 8) | (p[2] << 16) | (quint32(p[3]) << 24);
                        row[size_t(i)] = qRgb(cr.Extract(v), cg.Extract(v), cb.Extract(v));
                    }
                    break;
            }
            reducer.AddPixels(y, x0, row.data(), n);
        }
    }
    result.image = reducer.Finish(colours[0]);
    return result;
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
