// libFuzzer target for the JPEG load path: decoding (full size, or scaled
// when the input's length is odd) and, for small pictures, encoding what
// was decoded and decoding that again.
#include <cstdint>
#include <cstdlib>

#include "picture/Jpeg.h"
#include "platform/Errors.h"

using namespace tamarind;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    JpegReadOptions options;
    options.maxPixels = qint64(1) << 20;  // keeps each run quick
    options.scaleDenominator = size % 2 ? 4 : 1;
    try {
        const Bitmap bitmap = DecodeJpeg({data, size}, options);
        if (bitmap.isEmpty() || (bitmap.bitsPerPixel() != 8 && bitmap.bitsPerPixel() != 24))
            abort();
        if (qint64(bitmap.width()) * bitmap.height() <= 4096) {
            const Bitmap again = DecodeJpeg(ByteSpan(EncodeJpeg(bitmap, 75)));
            if (again.size() != bitmap.size()) abort();
        }
    } catch (const TamarindError&) {
    }
    return 0;
}
