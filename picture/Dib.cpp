#include "picture/Dib.h"

#include "picture/Bmp.h"

namespace tamarind {

QImage DecodeDib(std::span<const uchar> info, std::span<const uchar> bits) {
    return DecodeDibBitmap(info, bits).ToQImage();
}

}  // namespace tamarind
