// libFuzzer target for the BMP reader. Inputs starting with "BM" are read as
// files; others as a DIB split into header and pixels at the offset given by
// their first two bytes, as metafile records hand them over. Every picture
// read is converted and written again, and must read back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "picture/Bmp.h"
#include "platform/Errors.h"

using namespace tamarind;

namespace {

// Small enough to keep each run quick; the limit itself is the same code.
constexpr qint64 kFuzzMaxPixels = qint64(1) << 16;

void Check(const Bitmap& bitmap) {
    const QImage image = bitmap.ToQImage();
    if (image.size() != bitmap.size()) abort();
    const Bitmap rgb = bitmap.ConvertTo24();
    const QByteArray file = EncodeBmp(bitmap);
    const Bitmap back = DecodeBmp(ByteSpan(file));
    if (back.size() != bitmap.size() || back.bitsPerPixel() != bitmap.bitsPerPixel() ||
        back.palette() != bitmap.palette() ||
        memcmp(back.constBits(), bitmap.constBits(), size_t(bitmap.sizeInBytes())) != 0)
        abort();
    (void)rgb;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uchar> bytes(data, size);
    try {
        if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
            Check(DecodeBmp(bytes, kFuzzMaxPixels));
        } else if (size >= 2) {
            const size_t split = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
            Check(
                DecodeDibBitmap(bytes.subspan(2, split), bytes.subspan(2 + split), kFuzzMaxPixels));
        }
    } catch (const TamarindError&) {
    }
    return 0;
}
