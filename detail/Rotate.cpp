#include "detail/Rotate.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#if defined(__x86_64__)
#include <immintrin.h>
#define TAMARIND_ROTATE_SSSE3 1
#endif

namespace tamarind {
namespace {

// Quarter turns read a column and write a row. They go tile by tile, so the
// source rows of one tile stay in the cache while its columns are read.
constexpr int kTile = 64;
// The same for the 24-bit shuffling turn, which goes by strips of columns.
constexpr int kStrip = 256;
// How many rows ahead of the strip's current rows their bytes are prefetched.
constexpr int kPrefetchRows = 32;
// Rows per band of the 24-bit quarter turn (a multiple of 4).
constexpr int kBand = 1024;

// Whole pixels of N bytes. Wide copies move a 3-byte pixel as one 4-byte
// word: they read one byte past the source pixel and write one byte past the
// result pixel, so callers use them only where both bytes lie inside the row
// and the written one is overwritten afterwards.
template <int N>
struct BytePixel {
    static constexpr bool kSubByte = false;
    static void Copy(const uchar* src, int sx, uchar* dst, int dx) {
        std::memcpy(dst + qsizetype(dx) * N, src + qsizetype(sx) * N, N);
    }
    static void CopyWide(const uchar* src, int sx, uchar* dst, int dx) {
        if constexpr (N == 3) {
            quint32 v;
            std::memcpy(&v, src + qsizetype(sx) * 3, 4);
            std::memcpy(dst + qsizetype(dx) * 3, &v, 4);
        } else {
            Copy(src, sx, dst, dx);
        }
    }
};

// 1 bit per pixel, most significant bit leftmost. Only the result's own bit
// is touched.
struct BitPixel {
    static constexpr bool kSubByte = true;
    static void Copy(const uchar* src, int sx, uchar* dst, int dx) {
        const uchar mask = uchar(0x80 >> (dx & 7));
        if (src[sx >> 3] & (0x80 >> (sx & 7)))
            dst[dx >> 3] |= mask;
        else
            dst[dx >> 3] &= uchar(~mask);
    }
    static void CopyWide(const uchar* src, int sx, uchar* dst, int dx) { Copy(src, sx, dst, dx); }
};

// 4 bits per pixel, high nibble leftmost. Only the result's own nibble is
// touched.
struct NibblePixel {
    static constexpr bool kSubByte = true;
    static void Copy(const uchar* src, int sx, uchar* dst, int dx) {
        const uchar s = src[sx >> 1];
        const uchar value = (sx & 1) ? uchar(s & 0x0F) : uchar(s >> 4);
        uchar& d = dst[dx >> 1];
        d = (dx & 1) ? uchar((d & 0xF0) | value) : uchar((d & 0x0F) | (value << 4));
    }
    static void CopyWide(const uchar* src, int sx, uchar* dst, int dx) { Copy(src, sx, dst, dx); }
};

// The row start addresses of one bitmap, from its first row and its stride:
// rows are addressed as directly as from a table of their addresses, without
// the table's 8 bytes a row (a picture one pixel wide can have 2^28 rows).
template <typename Byte>
struct RowAddresses {
    Byte* first;
    qsizetype stride;
    Byte* operator[](qsizetype y) const { return first + y * stride; }
};

// The row start addresses of source and result.
struct RowTables {
    RowAddresses<const uchar> src;
    RowAddresses<uchar> dst;
    RowTables(const Bitmap& source, Bitmap& result)
        : src{source.constBits(), source.stride()}, dst{result.bits(), result.stride()} {}
};

// Quarter turns. Within a tile, one result row gets a run of pixels from
// consecutive source rows; the run is written in increasing result order, so
// a wide copy's extra byte is always overwritten by the next pixel. The last
// pixel of each run and the source's last column (whose wide read would
// leave the row) use exact copies.
template <class P, bool kRight>
void TurnQuarter(const RowTables& rows, int w, int h) {
    const RowAddresses<const uchar> src = rows.src;
    const RowAddresses<uchar> dst = rows.dst;
    const uchar* tileRows[kTile];
    for (int y0 = 0; y0 < h; y0 += kTile) {
        const int n = std::min(h - y0, kTile);
        // (x, y) -> (h-1-y, x): increasing result order is decreasing y.
        if (kRight)
            for (int i = 0; i < n; ++i) tileRows[i] = src[y0 + n - 1 - i];
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int x1 = std::min(w, x0 + kTile);
            for (int x = x0; x < x1; ++x) {
                const bool exact = P::kSubByte || x == w - 1;
                if (kRight) {
                    uchar* d = dst[x];
                    const int dx0 = h - y0 - n;
                    if (exact) {
                        for (int i = 0; i < n; ++i) P::Copy(tileRows[i], x, d, dx0 + i);
                    } else {
                        for (int i = 0; i < n - 1; ++i) P::CopyWide(tileRows[i], x, d, dx0 + i);
                        P::Copy(tileRows[n - 1], x, d, dx0 + n - 1);
                    }
                } else {
                    // (x, y) -> (y, w-1-x).
                    uchar* d = dst[w - 1 - x];
                    if (exact) {
                        for (int i = 0; i < n; ++i) P::Copy(src[y0 + i], x, d, y0 + i);
                    } else {
                        for (int i = 0; i < n - 1; ++i) P::CopyWide(src[y0 + i], x, d, y0 + i);
                        P::Copy(src[y0 + n - 1], x, d, y0 + n - 1);
                    }
                }
            }
        }
    }
}

// Mirror (rows in place) and half turn (rows swapped): each row reversed,
// written in increasing result order. Result pixel 0 reads the source's last
// pixel and result pixel w-1 is written last, so both are exact copies.
template <class P>
void ReverseRows(const RowTables& rows, int w, int h, bool swapRows) {
    for (int y = 0; y < h; ++y) {
        const uchar* s = rows.src[y];
        uchar* d = rows.dst[swapRows ? h - 1 - y : y];
        P::Copy(s, w - 1, d, 0);
        for (int x = 1; x < w - 1; ++x) P::CopyWide(s, w - 1 - x, d, x);
        if (w > 1) P::Copy(s, 0, d, w - 1);
    }
}

template <class P>
void FlipPixels(const RowTables& rows, int w, int h) {
    for (int y = 0; y < h; ++y) {
        const uchar* s = rows.src[y];
        uchar* d = rows.dst[h - 1 - y];
        for (int x = 0; x < w; ++x) P::Copy(s, x, d, x);
    }
}

#ifdef TAMARIND_ROTATE_SSSE3
// 24-bit pictures with SSSE3 byte shuffles: a quarter turn moves blocks of
// 4 x 4 pixels (each row's four pixels widened to words, transposed as a 4 x 4
// word matrix, packed again); a mirror reverses five pixels per shuffle.
// Loads may read up to 4 bytes past the pixels they use but never past the
// row's own pixels; stores write exactly the result pixels, except where
// noted.

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

__attribute__((target("ssse3"))) inline void Store12(uchar* d, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d), v);
    const int last = _mm_cvtsi128_si32(_mm_srli_si128(v, 8));
    std::memcpy(d + 8, &last, 4);
}

template <bool kRight>
__attribute__((target("ssse3"))) void TurnQuarter24(const RowTables& rows, int w, int h) {
    const RowAddresses<const uchar> src = rows.src;
    const RowAddresses<uchar> dst = rows.dst;
    const __m128i widen = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    // Words 0..3 hold rows y..y+3; the turn right writes them in reverse.
    const __m128i pack = kRight ? _mm_setr_epi8(12, 13, 14, 8, 9, 10, 4, 5, 6, 0, 1, 2, -1, -1, -1, -1)
                                : _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    auto one = [&](int x, int y) {
        if (kRight)
            std::memcpy(dst[x] + qsizetype(h - 1 - y) * 3, src[y] + qsizetype(x) * 3, 3);
        else
            std::memcpy(dst[w - 1 - x] + qsizetype(y) * 3, src[y] + qsizetype(x) * 3, 3);
    };
    // Four source rows from y, four columns from x: c[j] holds column x+j's
    // four pixels packed in result order (12 bytes, the rest zero).
    auto transpose = [&](int x, int y, __m128i* c) __attribute__((target("ssse3"))) {
        const qsizetype off = qsizetype(x) * 3;
        __m128i e[4];
        for (int r = 0; r < 4; ++r)
            e[r] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src[y + r] + off)), widen);
        const __m128i t0 = _mm_unpacklo_epi32(e[0], e[1]);
        const __m128i t1 = _mm_unpacklo_epi32(e[2], e[3]);
        const __m128i t2 = _mm_unpackhi_epi32(e[0], e[1]);
        const __m128i t3 = _mm_unpackhi_epi32(e[2], e[3]);
        c[0] = _mm_shuffle_epi8(_mm_unpacklo_epi64(t0, t1), pack);
        c[1] = _mm_shuffle_epi8(_mm_unpackhi_epi64(t0, t1), pack);
        c[2] = _mm_shuffle_epi8(_mm_unpacklo_epi64(t2, t3), pack);
        c[3] = _mm_shuffle_epi8(_mm_unpackhi_epi64(t2, t3), pack);
    };
    // The result row and position where column x+j's run of `n` pixels
    // from source row y starts.
    auto target = [&](int x, int j, int y, int n) {
        return kRight ? dst[x + j] + qsizetype(h - n - y) * 3 : dst[w - 1 - x - j] + qsizetype(y) * 3;
    };
    auto block4 = [&](int x, int y) __attribute__((target("ssse3"))) {
        __m128i c[4];
        transpose(x, y, c);
        for (int j = 0; j < 4; ++j) Store12(target(x, j, y, 4), c[j]);
    };
    // The 48-byte runs of sixteen rows start at byte 3y of a result row
    // (turn left) or 3(h-16-y) (turn right), y a multiple of 16. When every
    // result row starts on a 16-byte boundary, and for the turn right h is a
    // multiple of 16, so does every run; large results are then written with
    // non-temporal stores, which skip reading the result lines into the
    // cache first.
    const bool stream = qint64(w) * h * 3 >= (qint64(8) << 20) && (!kRight || h % 16 == 0) &&
                        reinterpret_cast<std::uintptr_t>(dst.first) % 16 == 0 &&
                        dst.stride % 16 == 0;
    // Sixteen rows: each result row gets 48 bytes, written as three 16-byte
    // stores made of the four 12-byte runs.
    auto block16 = [&](int x, int y) __attribute__((target("ssse3"))) {
        __m128i c[4][4];
        for (int g = 0; g < 4; ++g) transpose(x, y + 4 * g, c[kRight ? 3 - g : g]);
        for (int j = 0; j < 4; ++j) {
            uchar* d = target(x, j, y, 16);
            const __m128i a = c[0][j], b = c[1][j], cc = c[2][j], dd = c[3][j];
            const __m128i v0 = _mm_or_si128(a, _mm_slli_si128(b, 12));
            const __m128i v1 = _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(cc, 8));
            const __m128i v2 = _mm_or_si128(_mm_srli_si128(cc, 8), _mm_slli_si128(dd, 4));
            __m128i* out = reinterpret_cast<__m128i*>(d);
            if (stream) {
                _mm_stream_si128(out, v0);
                _mm_stream_si128(out + 1, v1);
                _mm_stream_si128(out + 2, v2);
            } else {
                _mm_storeu_si128(out, v0);
                _mm_storeu_si128(out + 1, v1);
                _mm_storeu_si128(out + 2, v2);
            }
        }
    };
    // A 16-byte load at pixel x stays inside the row while 3x + 16 <= 3w;
    // blocks of four columns cover [0, xw), blocks of four rows [0, h4).
    const int wideEnd = 3 * w < 16 ? 0 : (3 * w - 16) / 3 + 1;  // first x where it would not
    const int xw = std::min(w, wideEnd) / 4 * 4;
    const int h4 = h / 4 * 4;
    // Bands of rows, each walked strip by strip (kStrip source columns, top
    // to bottom in steps of sixteen rows): the strip's result rows are each
    // written front to back, and the strips of one band read the same source
    // pages, so their addresses stay in the TLB.
    for (int b0 = 0; b0 < h4; b0 += kBand) {
        const int b1 = std::min(h4, b0 + kBand);
        for (int x0 = 0; x0 < xw; x0 += kStrip) {
            const int x1 = std::min(xw, x0 + kStrip);
            // Each source row is a new page, where the hardware's prefetcher
            // stops: the strip's bytes of the rows a few steps ahead are
            // asked for explicitly.
            const qsizetype from = qsizetype(x0) * 3, to = qsizetype(x1) * 3;
            int y = b0;
            for (; y + 16 <= b1; y += 16) {
                for (int r = y + kPrefetchRows; r < std::min(b1, y + kPrefetchRows + 16); ++r)
                    for (qsizetype p = from; p < to; p += 64)
                        _mm_prefetch(reinterpret_cast<const char*>(src[r] + p), _MM_HINT_T0);
                for (int x = x0; x < x1; x += 4) block16(x, y);
            }
            for (; y < b1; y += 4)
                for (int x = x0; x < x1; x += 4) block4(x, y);
        }
    }
    if (stream) _mm_sfence();
    for (int y = h4; y < h; ++y)
        for (int x = 0; x < xw; ++x) one(x, y);
    for (int x = xw; x < w; ++x)
        for (int y = 0; y < h; ++y) one(x, y);
}

// Each row reversed into the same row (mirror) or the opposite one (half
// turn). The source row is read left to right and the result written right to
// left: both streams then run through memory at an even pace, which is much
// faster than reading the source backwards. A 16-byte load takes source
// pixels i..i+4 with the byte before them; its shuffle puts them at result
// pixels w-5-i..w-1-i with one spare byte in front, which lands on the last
// byte of result pixel w-6-i, written again by the next step.
__attribute__((target("ssse3"))) void ReverseRows24(const RowTables& rows, int w, int h,
                                                    bool swapRows) {
    const __m128i reverse = _mm_setr_epi8(-1, 13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3);
    for (int y = 0; y < h; ++y) {
        const uchar* s = rows.src[y];
        uchar* d = rows.dst[swapRows ? h - 1 - y : y];
        // Source pixel 0 has no byte in front of it inside the row.
        std::memcpy(d + qsizetype(w - 1) * 3, s, 3);
        int i = 1;
        // The spare byte must stay inside the row: w-6-i >= 0.
        for (; i + 6 <= w; i += 5) {
            const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + qsizetype(i) * 3 - 1));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + qsizetype(w - 5 - i) * 3 - 1),
                             _mm_shuffle_epi8(in, reverse));
        }
        for (; i < w; ++i) std::memcpy(d + qsizetype(w - 1 - i) * 3, s + qsizetype(i) * 3, 3);
    }
}
#endif

template <class P>
void Transform(const RowTables& rows, int mode, int w, int h) {
    switch (mode) {
        case kTurnRight: TurnQuarter<P, true>(rows, w, h); break;
        case kTurnLeft: TurnQuarter<P, false>(rows, w, h); break;
        case kHalfTurn: ReverseRows<P>(rows, w, h, true); break;
        case kMirror: ReverseRows<P>(rows, w, h, false); break;
        case kFlip: FlipPixels<P>(rows, w, h); break;
    }
}

// Whole-byte pixels flip as whole rows; only the pixel bytes are copied,
// never the padding.
template <int N>
void FlipRows(const RowTables& rows, int w, int h) {
    const size_t used = size_t(w) * N;
    for (int y = 0; y < h; ++y) std::memcpy(rows.dst[h - 1 - y], rows.src[y], used);
}

}  // namespace

Bitmap RotateBitmap(const Bitmap& source, int mode) {
    if (mode != kTurnLeft && mode != kTurnRight && mode != kHalfTurn && mode != kMirror &&
        mode != kFlip)
        throw std::invalid_argument("unknown transform mode");
    const int w = source.width();
    const int h = source.height();
    if (w == 0 || h == 0) throw ERotateError(QStringLiteral("Bitmap Size Error"));
    const int bits = source.bitsPerPixel();
    if (!Bitmap::IsValidFormat(bits)) throw ERotateError(QStringLiteral("Illegal Bitmap"));

    const bool quarter = mode == kTurnLeft || mode == kTurnRight;
    // Sub-byte formats start from zeroed memory, since their loops change
    // single bits; the others write every pixel byte.
    Bitmap result = bits < 8 ? Bitmap(quarter ? h : w, quarter ? w : h, bits)
                             : Bitmap::ForOverwrite(quarter ? h : w, quarter ? w : h, bits);
    result.setPalette(source.palette());
    const RowTables rows(source, result);

    switch (bits) {
        case 1: Transform<BitPixel>(rows, mode, w, h); break;
        case 4: Transform<NibblePixel>(rows, mode, w, h); break;
        case 8:
            if (mode == kFlip) FlipRows<1>(rows, w, h);
            else Transform<BytePixel<1>>(rows, mode, w, h);
            break;
        case 15:
        case 16:
            if (mode == kFlip) FlipRows<2>(rows, w, h);
            else Transform<BytePixel<2>>(rows, mode, w, h);
            break;
        case 24:
            if (mode == kFlip) {
                FlipRows<3>(rows, w, h);
                break;
            }
#ifdef TAMARIND_ROTATE_SSSE3
            if (HasSsse3()) {
                if (mode == kTurnRight) TurnQuarter24<true>(rows, w, h);
                else if (mode == kTurnLeft) TurnQuarter24<false>(rows, w, h);
                else ReverseRows24(rows, w, h, mode == kHalfTurn);
                break;
            }
#endif
            Transform<BytePixel<3>>(rows, mode, w, h);
            break;
        case 32:
            if (mode == kFlip) FlipRows<4>(rows, w, h);
            else Transform<BytePixel<4>>(rows, mode, w, h);
            break;
    }
    return result;
}

}  // namespace tamarind
