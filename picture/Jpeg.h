#pragma once
// JPEG files through libjpeg's own interface (libjpeg62-turbo).

#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>
#include <span>

#include "picture/Bitmap.h"

namespace tamarind {

// A progressive file with more scans than this is refused as damaged rather
// than decoded for minutes.
constexpr int kJpegMaxScans = 500;
// What libjpeg may hold beyond the decoded rows (the whole-picture
// coefficient buffer of a progressive file): max_memory_to_use.
constexpr long kJpegMaxMemory = 1024L * 1024 * 1024;

struct JpegReadOptions {
    // Decode at scaleNumerator/scaleDenominator of the full size with
    // libjpeg's scaled inverse DCT (libjpeg-turbo offers 1/8 to 16/8; 1/1 is
    // the full picture). Much faster for thumbnails.
    int scaleNumerator = 1;
    int scaleDenominator = 1;
    // When set, called with the natural size once the header is read; it
    // returns the numerator to use over scaleDenominator instead.
    std::function<int(QSize natural)> scaleFor = nullptr;
    // Pictures of more pixels (after scaling) are refused.
    qint64 maxPixels = Bitmap::kMaxPixels;
    // What libjpeg may hold beyond the decoded rows (see kJpegMaxMemory).
    long maxMemory = kJpegMaxMemory;
    // When set, called on the decoding thread after each band of rows with
    // the bitmap being filled and the number of rows decoded so far (rows
    // below that are final; an 8-bit bitmap gets its grey palette only at
    // the end). Must not throw.
    std::function<void(const Bitmap& filling, int rows)> onRows = nullptr;
    // Receives the natural size from the header (also when decoding fails
    // after the header was read; otherwise 0 x 0).
    QSize* naturalSize = nullptr;
    // Decode every file, grey and CMYK ones too, into 32 bits (blue, green,
    // red, 0xFF): the form a QImage of Format_RGB32 shares without a copy.
    bool rgb32 = false;
};

// Decodes a JPEG file's bytes straight into the bitmap's rows: 24 bits
// (blue, green, red) for colour files, 8 bits with a grey palette for grey
// files; CMYK and YCCK files become 24-bit colour. Baseline and progressive.
// A truncated file gives what libjpeg decoded (the rest grey), as djpeg
// does. Input that no real file could hold where libjpeg is looking for a
// marker (a long run without one), or more of it than the picture's header
// can account for, is taken as the end of the file, so a huge file of zeros
// costs no more than a truncated one. A fatal libjpeg error, a picture over
// the limit or more than kJpegMaxScans scans raise
// TamarindError("JPEG エラー #%d") with libjpeg's message number
// (JERR_IMAGE_TOO_BIG for the size limit, JERR_BAD_PROGRESSION for the scan
// limit); a lack of memory for the rows raises std::bad_alloc.
Bitmap DecodeJpeg(std::span<const uchar> bytes, const JpegReadOptions& options = {});
// The same for a file, read a piece at a time as the decoder needs it (never
// whole); a file that cannot be opened or read, or is not a regular file,
// raises an error that names the file.
Bitmap ReadJpegFile(const QString& path, const JpegReadOptions& options = {});

// A JPEG file of the bitmap converted to 24-bit colour: libjpeg's default
// settings, jpeg_set_quality(quality, force baseline), sequential, colour
// (YCbCr 4:2:0). The bytes equal those of `cjpeg -quality q -baseline` for
// the same pixels. Raises TamarindError("JPEG エラー #%d") on a libjpeg error
// (an empty bitmap gives JERR_EMPTY_IMAGE).
QByteArray EncodeJpeg(const Bitmap& bitmap, int quality);
// Writes EncodeJpeg's bytes to the file; FileIo's error on failure.
void WriteJpegFile(const QString& path, const Bitmap& bitmap, int quality);

}  // namespace tamarind
