// Writes seed files for the metafile fuzz targets: every bitmap record of
// both formats with small bitmaps of each kind the players decode, once with
// ordinary fields and once with positions and sizes at the limits of their
// integer fields, so that the fuzzers start from the arithmetic of the blit
// players instead of having to find their layouts first.
//
//   metafile_seeds <folder>    writes <folder>/emf/*.emf and <folder>/wmf/*.wmf

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <vector>

namespace {

constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int16_t kMax16 = std::numeric_limits<int16_t>::max();
constexpr int16_t kMin16 = std::numeric_limits<int16_t>::min();

// Little-endian fields appended one after another.
struct Bytes {
    QByteArray data;
    Bytes& U16(uint32_t v) {
        data.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
        return *this;
    }
    Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Bytes& I32s(std::initializer_list<int32_t> values) {
        for (int32_t v : values) U32(uint32_t(v));
        return *this;
    }
    Bytes& I16s(const std::vector<int32_t>& values) {
        for (int32_t v : values) U16(uint32_t(v) & 0xFFFF);
        return *this;
    }
    Bytes& Raw(const QByteArray& more) {
        data += more;
        return *this;
    }
    uint32_t size() const { return uint32_t(data.size()); }
};

// A device-independent bitmap: header and colour table, then the rows.
struct Dib {
    QByteArray info, bits;
    QByteArray Packed() const { return info + bits; }
};

Dib InfoHeader(int32_t width, int32_t height, int bitCount, uint32_t compression,
               std::vector<uint32_t> colours, QByteArray bits) {
    Bytes h;
    h.U32(40).I32s({width, height}).U16(1).U16(uint32_t(bitCount)).U32(compression);
    h.U32(uint32_t(bits.size())).I32s({2835, 2835}).U32(uint32_t(colours.size())).U32(0);
    for (uint32_t c : colours) h.U32(c);
    return {h.data, bits};
}

// Rows of `width` pixels of `bitsPerPixel`, padded to four bytes, filled
// with a pattern that differs from row to row; each byte is cut by
// `byteMask`, so that indices stay inside a short colour table.
QByteArray Rows(int width, int height, int bitsPerPixel, int byteMask = 0xFF) {
    const int stride = (width * bitsPerPixel + 31) / 32 * 4;
    QByteArray rows;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < stride; ++x) rows.append(char((x * 37 + y * 91) & byteMask));
    return rows;
}

std::vector<Dib> Bitmaps() {
    const std::vector<uint32_t> four = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    Bytes rle8;  // 8 × 8: runs, an absolute run, a skip and the ends
    for (int y = 0; y < 7; ++y) rle8.data.append("\x04\x01\x04\x02\x00\x00", 6);
    rle8.data.append("\x00\x04\x01\x02\x03\x00\x00\x02\x02\x00\x00\x01", 12);
    Bytes rle4;
    for (int y = 0; y < 8; ++y) rle4.data.append("\x08\x12\x00\x00", 4);
    rle4.data.append("\x00\x01", 2);
    Bytes core;  // the old 12-byte header, 4 bits, colour table of triples
    core.U32(12).U16(4).U16(4).U16(1).U16(4);
    for (int i = 0; i < 16; ++i)
        core.data.append(char(i * 16)).append(char(255 - i * 16)).append(char(i));
    Dib coreDib{core.data, Rows(4, 4, 4)};
    return {
        InfoHeader(4, 4, 24, 0, {}, Rows(4, 4, 24)),
        InfoHeader(4, -4, 32, 0, {}, Rows(4, 4, 32)),  // top-down
        InfoHeader(8, 8, 1, 0, {0x000000, 0xFFFFFF}, Rows(8, 8, 1)),
        InfoHeader(4, 4, 8, 0, four, Rows(4, 4, 8, 0x03)),
        InfoHeader(4, 4, 16, 3, {0xF800, 0x07E0, 0x001F}, Rows(4, 4, 16)),  // bit fields
        InfoHeader(8, 8, 8, 1, four, rle8.data),
        InfoHeader(8, 8, 4, 2, four, rle4.data),
        coreDib,
    };
}

// --- EMF

// An EMF with `records` and a 1000 × 1000 pixel frame on a 100 mm device.
QByteArray Emf(const QByteArray& records) {
    QByteArray all = records;
    all += Bytes().U32(14).U32(20).U32(0).U32(16).U32(20).data;  // end of file
    Bytes h;
    h.U32(1).U32(88).I32s({0, 0, 999, 999, 0, 0, 10000, 10000});
    h.U32(0x464D4520).U32(0x10000).U32(88 + all.size()).U32(0).U16(8).U16(0);
    h.U32(0).U32(0).U32(0).I32s({1000, 1000, 100, 100});
    return h.data + all;
}

QByteArray EmfRecord(uint32_t type, const Bytes& fields) {
    QByteArray padded = fields.data;
    while (padded.size() % 4) padded.append('\0');
    return Bytes().U32(type).U32(8 + uint32_t(padded.size())).Raw(padded).data;
}

// A brush and a pen to draw with, so that the raster operations that use
// them have something to combine.
QByteArray EmfSetUp() {
    return EmfRecord(39, Bytes().U32(1).U32(0).U32(0x0000FF).U32(0)) +
           EmfRecord(37, Bytes().U32(1)) +
           EmfRecord(38, Bytes().U32(2).U32(0).I32s({3, 0}).U32(0xFF0000)) +
           EmfRecord(37, Bytes().U32(2));
}

// Offset and size of the header, then of the rows, of a bitmap placed at
// `at` bytes into its record; `at` moves past it.
void Place(Bytes& fields, const Dib& dib, uint32_t& at) {
    fields.U32(at).U32(uint32_t(dib.info.size()));
    fields.U32(at + uint32_t(dib.info.size())).U32(uint32_t(dib.bits.size()));
    at += uint32_t(dib.info.size() + dib.bits.size());
}

// The fields of a transfer: x, y, width and height of the destination and
// x and y of the source and of the mask.
struct Where {
    int32_t x, y, cx, cy, xSrc, ySrc, xMask, yMask;
};

// Ordinary transfers side by side, the n-th at Plain(n).
Where Plain(int n) {
    return {100 + 60 * n, 100, 40, 40, 0, 0, 0, 0};
}
const std::vector<Where> kLimits = {
    {kMax32, kMax32, kMax32, kMax32, kMax32, kMax32, kMin32, kMin32},
    {kMin32, kMin32, kMax32, kMax32, kMin32, kMin32, kMax32, kMax32},
    {100, 100, kMax32, kMax32, 2, 2, kMax32 - 1, 0},
    {100, 100, -40, kMin32, kMax32 - 10, kMin32 + 10, 0, kMin32},
    {kMin32, 100, kMax32, 40, 0, 0, 0, 0},
};

constexpr uint32_t kBitBltRop = 0x00CC0020;

// The source's transform (the identity), background colour and usage, then
// where its bitmap lies; `at` moves past it.
void PutSource(Bytes& fields, const Dib& dib, uint32_t& at) {
    fields.U32(0x3F800000).U32(0).U32(0).U32(0x3F800000).U32(0).U32(0);
    fields.U32(0xFFFFFF).U32(0);
    Place(fields, dib, at);
}

// The mask's position and usage, then where its bitmap lies.
void PutMask(Bytes& fields, const Where& w, const Dib& mask, uint32_t& at) {
    fields.I32s({w.xMask, w.yMask}).U32(0);
    Place(fields, mask, at);
}

// BitBlt, StretchBlt, AlphaBlend and TransparentBlt: one layout.
QByteArray EmfBlt(uint32_t type, const Where& w, const Dib& dib, uint32_t ropOrBlend) {
    Bytes f;
    f.I32s({0, 0, 0, 0, w.x, w.y, w.cx, w.cy}).U32(ropOrBlend).I32s({w.xSrc, w.ySrc});
    const bool stretch = type != 76;
    uint32_t at = stretch ? 108 : 100;
    PutSource(f, dib, at);
    if (stretch) f.I32s({w.cx / 2 ? w.cx / 2 : 1, w.cy});
    return EmfRecord(type, f.Raw(dib.Packed()));
}

QByteArray EmfMaskBlt(const Where& w, const Dib& source, const Dib& mask, uint32_t rop4) {
    Bytes f;
    f.I32s({0, 0, 0, 0, w.x, w.y, w.cx, w.cy}).U32(rop4).I32s({w.xSrc, w.ySrc});
    uint32_t at = 128;
    PutSource(f, source, at);
    PutMask(f, w, mask, at);
    return EmfRecord(78, f.Raw(source.Packed()).Raw(mask.Packed()));
}

// The 32-bit field that holds `v`, wrapped round as a file writer's
// arithmetic would.
int32_t Wrap(int64_t v) {
    return int32_t(uint32_t(uint64_t(v)));
}

QByteArray EmfPlgBlt(const Where& w, const Dib& source, const Dib& mask) {
    Bytes f;
    f.I32s({0, 0, 0, 0, w.x, w.y, Wrap(int64_t(w.x) + w.cx / 2), w.y, w.x,
            Wrap(int64_t(w.y) + w.cy / 2)});
    f.I32s({w.xSrc, w.ySrc, w.cx, w.cy});
    uint32_t at = 140;
    PutSource(f, source, at);
    PutMask(f, w, mask, at);
    return EmfRecord(79, f.Raw(source.Packed()).Raw(mask.Packed()));
}

QByteArray EmfStretchDiBits(const Where& w, const Dib& dib, uint32_t usage) {
    Bytes f;
    f.I32s({0, 0, 0, 0, w.x, w.y, w.xSrc, w.ySrc, w.cx, w.cy});
    uint32_t at = 80;
    Place(f, dib, at);
    f.U32(usage).U32(kBitBltRop).I32s({w.cx, w.cy});
    return EmfRecord(81, f.Raw(dib.Packed()));
}

QByteArray EmfSetDiBitsToDevice(const Where& w, const Dib& dib) {
    Bytes f;
    f.I32s({0, 0, 0, 0, w.x, w.y, w.xSrc, w.ySrc, w.cx, w.cy});
    uint32_t at = 76;
    Place(f, dib, at);
    f.U32(0).U32(0).U32(uint32_t(w.cy));
    return EmfRecord(80, f.Raw(dib.Packed()));
}

QByteArray EmfPatternBrush(uint32_t type, const Dib& dib) {
    Bytes f;
    f.U32(3).U32(0);
    uint32_t at = 32;
    Place(f, dib, at);
    return EmfRecord(type, f.Raw(dib.Packed())) + EmfRecord(37, Bytes().U32(3)) +
           EmfRecord(43, Bytes().I32s({200, 200, 400, 400}));
}

// --- WMF

QByteArray Wmf(const QByteArray& records) {
    QByteArray all = Bytes().U32(5).U16(0x020B).I16s({0, 0}).data;  // window origin
    all += Bytes().U32(5).U16(0x020C).I16s({1000, 1000}).data;      // window extent
    all += records + Bytes().U32(3).U16(0).data;
    Bytes h;
    h.U16(1).U16(9).U16(0x0300).U32(uint32_t(9 + all.size() / 2)).U16(8).U32(0).U16(0);
    return h.data + all;
}

QByteArray WmfRecord(uint16_t function, const Bytes& params) {
    Bytes r;
    r.U32(3 + (params.size() + 1) / 2).U16(function).Raw(params.data);
    if (params.size() % 2) r.data.append('\0');
    return r.data;
}

// A device-dependent bitmap of one plane.
QByteArray Bitmap16(int width, int height, int bits) {
    const int rowBytes = (width * bits + 15) / 16 * 2;
    return Bytes().I16s({0, width, height, rowBytes}).data + QByteArray(1, 1) +
           QByteArray(1, char(bits)) + Rows(rowBytes, height, 8).left(rowBytes * height);
}

struct Where16 {
    int16_t x, y, cx, cy, xSrc, ySrc;
};
const Where16 kPlain16{100, 100, 40, 40, 0, 0};
const std::vector<Where16> kLimits16 = {
    {kMax16, kMax16, kMax16, kMax16, kMax16, kMax16},
    {kMin16, kMin16, kMin16, kMin16, kMin16, kMin16},
    {100, 100, kMax16, kMin16, kMin16, kMax16},
};

QByteArray WmfSetUp() {
    return WmfRecord(0x02FC, Bytes().U16(0).U32(0x0000FF).U16(0)) +
           WmfRecord(0x012D, Bytes().U16(0));
}

// The bitmap records, in the order of their fields, each `step` further to
// the right than the one before.
QByteArray WmfBlts(Where16 w, const Dib& dib, int16_t step) {
    std::vector<int32_t> dest;
    QByteArray out;
    auto next = [&] {
        dest = {w.cy, w.cx, w.y, w.x};
        w.x = int16_t(w.x + step);
    };
    next();
    Bytes b;
    b.U32(kBitBltRop).I16s({w.ySrc, w.xSrc}).I16s(dest).Raw(Bitmap16(4, 4, 24));
    out += WmfRecord(0x0922, b);
    next();
    Bytes s;
    s.U32(kBitBltRop).I16s({w.cy / 2, w.cx / 2, w.ySrc, w.xSrc}).I16s(dest).Raw(Bitmap16(8, 8, 1));
    out += WmfRecord(0x0B23, s);
    next();
    Bytes db;
    db.U32(kBitBltRop).I16s({w.ySrc, w.xSrc}).I16s(dest).Raw(dib.Packed());
    out += WmfRecord(0x0940, db);
    next();
    Bytes ds;
    ds.U32(kBitBltRop).I16s({w.cy, w.cx, w.ySrc, w.xSrc}).I16s(dest).Raw(dib.Packed());
    out += WmfRecord(0x0B41, ds);
    next();
    Bytes sd;
    sd.U32(kBitBltRop).U16(0).I16s({w.cy, w.cx, w.ySrc, w.xSrc}).I16s(dest).Raw(dib.Packed());
    out += WmfRecord(0x0F43, sd);
    next();
    Bytes td;
    td.U16(0).I16s({w.cy, 0, w.ySrc, w.xSrc}).I16s(dest).Raw(dib.Packed());
    out += WmfRecord(0x0D33, td);
    next();
    Bytes nb;  // a transfer without a bitmap: the brush
    nb.U32(0x00F00021).I16s({w.ySrc, w.xSrc, 0}).I16s(dest);
    out += WmfRecord(0x0922, nb);
    next();
    out += WmfRecord(0x061D, Bytes().U32(0x005A0049).I16s(dest));
    Bytes pb;
    pb.U16(5).U16(0).Raw(dib.Packed());
    out += WmfRecord(0x0142, pb) + WmfRecord(0x012D, Bytes().U16(1)) +
           WmfRecord(0x041B, Bytes().I16s({400, 400, 200, 200}));
    return out;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("emf")) || !out.mkpath(QStringLiteral("wmf"))) {
        std::fprintf(stderr, "cannot make the seed folders in %s\n", argv[1]);
        return 1;
    }
    const std::vector<Dib> dibs = Bitmaps();
    const Dib& mask = dibs[2];  // the two-colour one
    int written = 0;
    bool ok = true;
    auto emf = [&](const QString& name, const QByteArray& records) {
        ok = Write(out.filePath(QStringLiteral("emf/%1.emf").arg(name)),
                   Emf(EmfSetUp() + records)) &&
             ok;
        ++written;
    };
    auto wmf = [&](const QString& name, const QByteArray& records) {
        ok = Write(out.filePath(QStringLiteral("wmf/%1.wmf").arg(name)),
                   Wmf(WmfSetUp() + records)) &&
             ok;
        ++written;
    };
    // One file for each bitmap kind with every record in its plain form.
    for (size_t i = 0; i < dibs.size(); ++i) {
        const Dib& dib = dibs[i];
        QByteArray records =
            EmfBlt(76, Plain(0), dib, kBitBltRop) + EmfBlt(77, Plain(1), dib, 0x00EE0086) +
            EmfBlt(114, Plain(2), dib, 0x01800000) +  // per-pixel and constant alpha
            EmfBlt(116, Plain(3), dib, 0x00FFFFFF) + EmfMaskBlt(Plain(4), dib, mask, 0xAACC0020) +
            EmfPlgBlt(Plain(5), dib, mask) + EmfStretchDiBits(Plain(6), dib, 0) +
            EmfStretchDiBits(Plain(7), dib, 1) + EmfSetDiBitsToDevice(Plain(8), dib) +
            EmfPatternBrush(94, dib) + EmfPatternBrush(93, dib);
        emf(QStringLiteral("blt-dib%1").arg(i), records);
        wmf(QStringLiteral("blt-dib%1").arg(i), WmfBlts(kPlain16, dib, 60));
    }
    // And each record with fields at their limits, one file per record kind.
    const Dib& dib = dibs[0];
    for (size_t i = 0; i < kLimits.size(); ++i) {
        const Where& w = kLimits[i];
        emf(QStringLiteral("limits%1-bitblt").arg(i), EmfBlt(76, w, dib, kBitBltRop));
        emf(QStringLiteral("limits%1-stretchblt").arg(i), EmfBlt(77, w, dib, kBitBltRop));
        emf(QStringLiteral("limits%1-alphablend").arg(i), EmfBlt(114, w, dibs[1], 0x01800000));
        emf(QStringLiteral("limits%1-transparentblt").arg(i), EmfBlt(116, w, dib, 0));
        emf(QStringLiteral("limits%1-maskblt").arg(i), EmfMaskBlt(w, dib, mask, 0xAACC0020));
        emf(QStringLiteral("limits%1-maskblt-nosource").arg(i),
            EmfMaskBlt(w, Dib{}, mask, 0xAAF00021));
        emf(QStringLiteral("limits%1-plgblt").arg(i), EmfPlgBlt(w, dib, mask));
        emf(QStringLiteral("limits%1-stretchdibits").arg(i), EmfStretchDiBits(w, dib, 0));
        emf(QStringLiteral("limits%1-setdibitstodevice").arg(i), EmfSetDiBitsToDevice(w, dib));
    }
    for (size_t i = 0; i < kLimits16.size(); ++i)
        wmf(QStringLiteral("limits%1").arg(i), WmfBlts(kLimits16[i], dib, 0));
    std::printf("%d seed files in %s\n", written, argv[1]);
    return ok ? 0 : 1;
}
