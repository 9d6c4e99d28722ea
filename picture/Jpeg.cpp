#include "picture/Jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
// clang-format off: jpeglib.h needs <cstdio> first
#include <jerror.h>
#include <jpeglib.h>
// clang-format on

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/InputFile.h"

namespace tamarind {
namespace {

// How libjpeg's fatal errors come back to us
// -------------------------------------------
// libjpeg ends a fatal error by calling error_exit, which must not return.
// Ours longjmps to the setjmp in RunDecompress or RunCompress. Those two
// functions and every callback libjpeg calls (the error, progress and
// destination managers below) hold only plain C data: no object with a
// destructor lives in any frame the jump leaves, so the jump skips nothing.
// The one piece of C++ that runs between setjmp and the end, making the
// bitmap (which may throw), is a noexcept callback that catches everything
// and reports failure by returning null; libjpeg is not on the stack then.
// We chose this over throwing from error_exit because a C++ exception would
// have to unwind through libjpeg's C frames, which is not defined behaviour.

struct ErrorTrap {
    jpeg_error_mgr manager;  // first, so the error manager pointer is the trap
    std::jmp_buf jump;
};

void ExitToTrap(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1);
}

// Warnings (corrupt data, premature end) are not printed; decoding goes on
// as djpeg's does.
void IgnoreMessage(j_common_ptr) {}

// Called by libjpeg at least once per scan while it reads the file.
void LimitScans(j_common_ptr cinfo) {
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kJpegMaxScans)
        ERREXIT(cinfo, JERR_BAD_PROGRESSION);
}

void SetUpErrors(jpeg_error_mgr* manager) {
    jpeg_std_error(manager);
    manager->error_exit = ExitToTrap;
    manager->output_message = IgnoreMessage;
}

enum RunResult { kDone, kLibjpegError, kNoBitmap };

// Where libjpeg's bytes come from, and how many it may have
// ----------------------------------------------------------
// The input is handed over a piece at a time, from the file (so only one
// buffer of it is ever held) or from bytes the caller holds. The end of the
// input is met as jpeg_mem_src meets it: an empty input is an error, a
// truncated one ends with an inserted end-of-image marker (a warning), and
// decoding goes on.
//
// Between marker segments libjpeg skips anything that is not a marker, byte
// by byte, and only the end of the input stops it: a file of gigabytes of
// zeros after its first marker would be read to its end (some 20 seconds for
// 5 GB) before the decode fails. So the input is also ended, in the same way,
// where no real file could still be going on:
//  - while libjpeg looks for markers (before the first scan and between
//    scans), after kMaxGarbage bytes without any marker; marker segments are
//    at most 64 KB long, and inside a scan's data the count does not run;
//  - before the first scan, after kMaxHeaderBytes in all;
//  - after it, after what the picture's scans can take at most: no scan
//    codes a block of 64 samples in more than about 480 bytes, even with the
//    longest codes and every byte stuffed, so kMaxBytesPerBlock per block of
//    every component (plus kScanSlack for the tables between scans) is more
//    than any real file needs.
// libjpeg then stops where it would have stopped at the true end: with the
// same error, or with the rows decoded so far.
constexpr std::uint64_t kMaxGarbage = 1 << 20;
constexpr std::uint64_t kMaxHeaderBytes = std::uint64_t(64) << 20;
constexpr std::uint64_t kMaxBytesPerBlock = 1024;
constexpr std::uint64_t kScanSlack = std::uint64_t(16) << 20;

struct Source {
    jpeg_source_mgr manager;  // first, so cinfo->src is the source
    InputFile* file;          // read a piece at a time, or
    const JOCTET* bytes;      // the whole input, held by the caller
    size_t size;
    size_t at;        // bytes of `bytes` handed over
    JOCTET* buffer;   // the file's pieces
    size_t capacity;  // also the largest piece of `bytes` handed over
    bool started;
    std::uint64_t fed;         // bytes handed to libjpeg
    std::uint64_t allowed;     // the most it may have
    std::uint64_t markerless;  // bytes since the last marker, while looking for one
    bool lastWasFF;            // the last byte handed over was 0xFF
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

// True while libjpeg reads markers: before the first scan (no rows are known
// yet) and once a scan's rows are all in.
bool LookingForMarkers(j_decompress_ptr cinfo) {
    return cinfo->input_iMCU_row >= cinfo->total_iMCU_rows;
}

// Counts the bytes after the last marker (0xFF, then neither 0x00 nor 0xFF).
void CountMarkerless(Source* source, const JOCTET* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const bool marker = source->lastWasFF && p[i] != 0x00 && p[i] != 0xFF;
        source->markerless = marker ? 0 : source->markerless + 1;
        source->lastWasFF = p[i] == 0xFF;
    }
}

void StartSource(j_decompress_ptr) {}

boolean FillSource(j_decompress_ptr cinfo) {
    auto* source = reinterpret_cast<Source*>(cinfo->src);
    const bool searching = LookingForMarkers(cinfo);
    if (!searching) source->markerless = 0;
    const JOCTET* piece = nullptr;
    size_t n = 0;
    if (source->fed < source->allowed && source->markerless <= kMaxGarbage) {
        const size_t want =
            size_t(std::min<std::uint64_t>(source->capacity, source->allowed - source->fed));
        if (source->file) {
            const long got = source->file->ReadSome(source->buffer, want);
            if (got < 0) ERREXIT(cinfo, JERR_FILE_READ);
            piece = source->buffer;
            n = size_t(got);
        } else {
            piece = source->bytes + source->at;
            n = std::min(want, source->size - source->at);
            source->at += n;
        }
    }
    if (n == 0) {
        if (!source->started) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        piece = kEndOfImage;
        n = 2;
    } else {
        source->fed += n;
        if (searching)
            CountMarkerless(source, piece, n);
        else
            source->lastWasFF = piece[n - 1] == 0xFF;
    }
    source->started = true;
    source->manager.next_input_byte = piece;
    source->manager.bytes_in_buffer = n;
    return TRUE;
}

void SkipInSource(j_decompress_ptr cinfo, long count) {
    auto* source = reinterpret_cast<Source*>(cinfo->src);
    while (count > long(source->manager.bytes_in_buffer)) {
        count -= long(source->manager.bytes_in_buffer);
        FillSource(cinfo);
    }
    if (count > 0) {
        source->manager.next_input_byte += count;
        source->manager.bytes_in_buffer -= size_t(count);
    }
}

void EndSource(j_decompress_ptr) {}

// Once the frame header is read: what the scans of this picture may take.
void AllowScans(j_decompress_ptr cinfo) {
    auto* source = reinterpret_cast<Source*>(cinfo->src);
    std::uint64_t blocks = 0;
    for (int c = 0; c < cinfo->num_components; ++c)
        blocks += std::uint64_t(cinfo->comp_info[c].width_in_blocks) *
                  cinfo->comp_info[c].height_in_blocks;
    source->allowed = source->fed + kScanSlack + blocks * kMaxBytesPerBlock;
}

struct DecodeJob {
    Source* source;
    bool rgb32;  // 32-bit output (blue, green, red, 0xFF) for every file
    int scaleNumerator;
    int scaleDenominator;
    qint64 maxPixels;
    long maxMemory;
    // Chooses the scale numerator (of scaleDenominator) once the natural
    // size is known; null keeps scaleNumerator.
    int (*chooseScale)(void* owner, int width, int height) noexcept;
    int naturalWidth;
    int naturalHeight;
    // Makes the bitmap once its size is known and returns its first row and
    // stride, or null after keeping the error in `owner`.
    uchar* (*makeBitmap)(void* owner, int width, int height, int bitsPerPixel,
                         qsizetype* stride) noexcept;
    void* owner;
    // Told how many rows are decoded, after each band; may be null.
    void (*rowsDone)(void* owner, int rows) noexcept;
    int messageCode;  // libjpeg's message number after kLibjpegError
};

// CMYK (or YCCK converted by libjpeg) to blue, green, red, with a fourth
// byte of 0xFF when `step` is 4. Like djpeg (and Qt and most readers) we take
// the inks as Adobe's programs store them, inverted (255 = no ink), and round
// as djpeg does.
void CmykToBgr(const JSAMPLE* cmyk, uchar* bgr, unsigned width, unsigned step) {
    for (unsigned x = 0; x < width; ++x, cmyk += 4, bgr += step) {
        const unsigned k = cmyk[3];
        bgr[0] = uchar((2 * cmyk[2] * k + 255) / 510);
        bgr[1] = uchar((2 * cmyk[1] * k + 255) / 510);
        bgr[2] = uchar((2 * cmyk[0] * k + 255) / 510);
        if (step == 4) bgr[3] = 0xFF;
    }
}

RunResult RunDecompress(DecodeJob* job) {
    jpeg_decompress_struct cinfo;
    ErrorTrap trap;
    jpeg_progress_mgr progress;
    cinfo.err = &trap.manager;
    SetUpErrors(&trap.manager);
    if (setjmp(trap.jump)) {
        job->messageCode = trap.manager.msg_code;
        jpeg_destroy_decompress(&cinfo);
        return kLibjpegError;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = job->maxMemory;
    progress.progress_monitor = LimitScans;
    cinfo.progress = &progress;
    job->source->manager.init_source = StartSource;
    job->source->manager.fill_input_buffer = FillSource;
    job->source->manager.skip_input_data = SkipInSource;
    job->source->manager.resync_to_restart = jpeg_resync_to_restart;
    job->source->manager.term_source = EndSource;
    job->source->manager.bytes_in_buffer = 0;
    job->source->manager.next_input_byte = nullptr;
    job->source->allowed = kMaxHeaderBytes;
    cinfo.src = &job->source->manager;
    jpeg_read_header(&cinfo, TRUE);
    AllowScans(&cinfo);
    job->naturalWidth = int(cinfo.image_width);
    job->naturalHeight = int(cinfo.image_height);
    if (job->chooseScale)
        job->scaleNumerator =
            job->chooseScale(job->owner, int(cinfo.image_width), int(cinfo.image_height));

    const bool grey = cinfo.num_components == 1;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk         ? JCS_CMYK
                            : job->rgb32 ? JCS_EXT_BGRX
                            : grey       ? JCS_GRAYSCALE
                                         : JCS_EXT_BGR;
    cinfo.scale_num = unsigned(job->scaleNumerator);
    cinfo.scale_denom = unsigned(job->scaleDenominator);
    jpeg_calc_output_dimensions(&cinfo);
    const unsigned width = cinfo.output_width, height = cinfo.output_height;
    if (qint64(width) * height > job->maxPixels) ERREXIT1(&cinfo, JERR_IMAGE_TOO_BIG, width);

    qsizetype stride = 0;
    const int bits = job->rgb32 ? 32 : grey ? 8 : 24;
    uchar* const pixels = job->makeBitmap(job->owner, int(width), int(height), bits, &stride);
    if (!pixels) {
        jpeg_destroy_decompress(&cinfo);
        return kNoBitmap;
    }
    jpeg_start_decompress(&cinfo);
    if (cmyk) {
        // One row of inks at a time, from libjpeg's own pool (freed with cinfo).
        JSAMPARRAY inks = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                     JPOOL_IMAGE, width * 4, 1);
        while (cinfo.output_scanline < height) {
            const unsigned y = cinfo.output_scanline;
            if (jpeg_read_scanlines(&cinfo, inks, 1) != 1) break;
            CmykToBgr(inks[0], pixels + y * stride, width, job->rgb32 ? 4 : 3);
            if (job->rowsDone) job->rowsDone(job->owner, int(cinfo.output_scanline));
        }
    } else {
        // Straight into the bitmap's rows, several at a time.
        constexpr unsigned kRows = 16;
        JSAMPROW rows[kRows];
        while (cinfo.output_scanline < height) {
            const unsigned y = cinfo.output_scanline;
            const unsigned n = std::min(kRows, height - y);
            for (unsigned i = 0; i < n; ++i) rows[i] = pixels + (y + i) * stride;
            if (jpeg_read_scanlines(&cinfo, rows, n) == 0) break;
            if (job->rowsDone) job->rowsDone(job->owner, int(cinfo.output_scanline));
        }
    }
    // Every row is read; what follows the last scan does not matter, so the
    // decoder is dropped without jpeg_finish_decompress.
    jpeg_destroy_decompress(&cinfo);
    return kDone;
}

// A growing output buffer of plain malloc'd memory; the caller frees it in
// every case.
struct OutputBuffer {
    jpeg_destination_mgr manager;  // first, so cinfo->dest is the buffer
    JOCTET* data;
    size_t capacity;
};

void StartOutput(j_compress_ptr cinfo) {
    auto* out = reinterpret_cast<OutputBuffer*>(cinfo->dest);
    out->manager.next_output_byte = out->data;
    out->manager.free_in_buffer = out->capacity;
}

boolean GrowOutput(j_compress_ptr cinfo) {
    auto* out = reinterpret_cast<OutputBuffer*>(cinfo->dest);
    // libjpeg calls this only when the buffer is full.
    const size_t used = out->capacity;
    auto* bigger = static_cast<JOCTET*>(std::realloc(out->data, used * 2));
    if (!bigger) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
    out->data = bigger;
    out->capacity = used * 2;
    out->manager.next_output_byte = bigger + used;
    out->manager.free_in_buffer = out->capacity - used;
    return TRUE;
}

void EndOutput(j_compress_ptr) {}

struct EncodeJob {
    const uchar* pixels;  // 24-bit rows, blue, green, red
    qsizetype stride;
    int width;
    int height;
    int quality;
    OutputBuffer output;  // data freed by the caller
    int messageCode;
};

RunResult RunCompress(EncodeJob* job) {
    jpeg_compress_struct cinfo;
    ErrorTrap trap;
    cinfo.err = &trap.manager;
    SetUpErrors(&trap.manager);
    if (setjmp(trap.jump)) {
        job->messageCode = trap.manager.msg_code;
        jpeg_destroy_compress(&cinfo);
        return kLibjpegError;
    }
    jpeg_create_compress(&cinfo);
    job->output.manager.init_destination = StartOutput;
    job->output.manager.empty_output_buffer = GrowOutput;
    job->output.manager.term_destination = EndOutput;
    cinfo.dest = &job->output.manager;
    cinfo.image_width = JDIMENSION(job->width);
    cinfo.image_height = JDIMENSION(job->height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;  // converted to YCbCr exactly as RGB input is
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, job->quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uchar*>(job->pixels + cinfo.next_scanline * job->stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return kDone;
}

[[noreturn]] void RaiseJpegError(int code) {
    throw TamarindError(QStringLiteral("JPEG エラー #%1").arg(code));
}

struct BitmapMaker {
    Bitmap bitmap;
    std::exception_ptr error;
    const std::function<int(QSize)>* scaleFor = nullptr;
    const std::function<void(const Bitmap&, int)>* onRows = nullptr;
};

void ReportRows(void* owner, int rows) noexcept {
    auto* maker = static_cast<BitmapMaker*>(owner);
    try {
        (*maker->onRows)(maker->bitmap, rows);
    } catch (...) {
    }
}

int ChooseScale(void* owner, int width, int height) noexcept {
    auto* maker = static_cast<BitmapMaker*>(owner);
    try {
        return std::clamp((*maker->scaleFor)(QSize(width, height)), 1, 16);
    } catch (...) {
        return 8;
    }
}

uchar* MakeBitmap(void* owner, int width, int height, int bitsPerPixel,
                  qsizetype* stride) noexcept {
    auto* maker = static_cast<BitmapMaker*>(owner);
    try {
        maker->bitmap = Bitmap::ForOverwrite(width, height, bitsPerPixel);
        *stride = maker->bitmap.stride();
        return maker->bitmap.bits();
    } catch (...) {
        maker->error = std::current_exception();
        return nullptr;
    }
}

}  // namespace

namespace {

Bitmap RunJob(DecodeJob& job, BitmapMaker& maker, const JpegReadOptions& options) {
    job.scaleNumerator = std::max(1, options.scaleNumerator);
    job.scaleDenominator = std::max(1, options.scaleDenominator);
    job.maxPixels = options.maxPixels;
    job.maxMemory = options.maxMemory;
    job.rgb32 = options.rgb32;
    if (options.scaleFor) {
        maker.scaleFor = &options.scaleFor;
        job.chooseScale = ChooseScale;
    }
    if (options.onRows) {
        maker.onRows = &options.onRows;
        job.rowsDone = ReportRows;
    }
    job.makeBitmap = MakeBitmap;
    job.owner = &maker;
    const RunResult result = RunDecompress(&job);
    if (options.naturalSize) *options.naturalSize = QSize(job.naturalWidth, job.naturalHeight);
    switch (result) {
        case kDone:
            break;
        case kLibjpegError:
            RaiseJpegError(job.messageCode);
        case kNoBitmap:
            std::rethrow_exception(maker.error);
    }
    if (maker.bitmap.bitsPerPixel() == 8) maker.bitmap.setPalette(GreyPalette());
    return std::move(maker.bitmap);
}

}  // namespace

Bitmap DecodeJpeg(std::span<const uchar> bytes, const JpegReadOptions& options) {
    Source source{};
    source.bytes = bytes.data();
    source.size = bytes.size();
    source.capacity = 64 * 1024;
    BitmapMaker maker;
    DecodeJob job{};
    job.source = &source;
    return RunJob(job, maker, options);
}

Bitmap ReadJpegFile(const QString& path, const JpegReadOptions& options) {
    InputFile file(path);
    constexpr size_t kPiece = 64 * 1024;
    std::unique_ptr<JOCTET[]> buffer(new JOCTET[kPiece]);
    Source source{};
    source.file = &file;
    source.buffer = buffer.get();
    source.capacity = kPiece;
    BitmapMaker maker;
    DecodeJob job{};
    job.source = &source;
    return RunJob(job, maker, options);
}

QByteArray EncodeJpeg(const Bitmap& bitmap, int quality) {
    const Bitmap rgb = bitmap.ConvertTo24();
    EncodeJob job{};
    job.pixels = rgb.constBits();
    job.stride = rgb.stride();
    job.width = rgb.width();
    job.height = rgb.height();
    job.quality = quality;
    job.output.capacity = 65536;
    job.output.data = static_cast<JOCTET*>(std::malloc(job.output.capacity));
    if (!job.output.data) throw std::bad_alloc();
    // The buffer may have moved while libjpeg wrote; free wherever it is now.
    struct FreeOutput {
        EncodeJob& job;
        ~FreeOutput() { std::free(job.output.data); }
    } freeOutput{job};
    if (RunCompress(&job) != kDone) RaiseJpegError(job.messageCode);
    const size_t written = job.output.capacity - job.output.manager.free_in_buffer;
    return QByteArray(reinterpret_cast<const char*>(job.output.data), qsizetype(written));
}

void WriteJpegFile(const QString& path, const Bitmap& bitmap, int quality) {
    WriteFileBytes(path, EncodeJpeg(bitmap, quality));
}

}  // namespace tamarind
