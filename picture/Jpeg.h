#pragma once
// JPEG files through libjpeg's own interface (libjpeg62-turbo).

#include <QByteArray>
#include <QString>
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
    // Decode at 1/scaleDenominator of the full size with libjpeg's scaled
    // inverse DCT (1, 2, 4 or 8; 1 is the full picture). Much faster for
    // thumbnails.
    int scaleDenominator = 1;
    // Pictures of more pixels (after scaling) are refused.
    qint64 maxPixels = Bitmap::kMaxPixels;
};

// Decodes a JPEG file's bytes straight into the bitmap's rows: 24 bits
// (blue, green, red) for colour files, 8 bits with a grey palette for grey
// files; CMYK and YCCK files become 24-bit colour. Baseline and progressive.
// A truncated file gives what libjpeg decoded (the rest grey), as djpeg
// does. A fatal libjpeg error, a picture over the limit or more than
// kJpegMaxScans scans raise TamarindError("JPEG エラー #%d") with libjpeg's
// message number (JERR_IMAGE_TOO_BIG for the size limit, JERR_BAD_PROGRESSION
// for the scan limit); a lack of memory for the rows raises std::bad_alloc.
Bitmap DecodeJpeg(std::span<const uchar> bytes, const JpegReadOptions& options = {});
// The same for a file; a file that cannot be read raises FileIo's error,
// which names the file.
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
