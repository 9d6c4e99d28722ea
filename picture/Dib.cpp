#include "picture/Dib.h"

#include "platform/Errors.h"

namespace tamarind {

// Placeholder until the BMP reader lands.
QImage DecodeDib(std::span<const uchar>, std::span<const uchar>) {
    throw TamarindError(QStringLiteral("ビットマップイメージが不正です"));
}

}  // namespace tamarind
