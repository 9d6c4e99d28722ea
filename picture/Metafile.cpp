#include "picture/Metafile.h"

#include <cmath>

#include "picture/metafile/Emf.h"
#include "picture/metafile/Loading.h"
#include "picture/metafile/Wmf.h"
#include "platform/Errors.h"

namespace tamarind {

namespace metafile {

void ThrowInvalidMetafile() {
    throw TamarindError(QStringLiteral("メタファイルが不正です"));
}

QSize NaturalPixels(double width, double height) {
    constexpr double kMaxSide = 100000;
    width = std::abs(width);
    height = std::abs(height);
    if (!std::isfinite(width) || !std::isfinite(height) || width > kMaxSide || height > kMaxSide)
        ThrowInvalidMetafile();
    auto whole = [](double v) { return v > 0 ? std::max(1, int(std::lround(v))) : 0; };
    return QSize(whole(width), whole(height));
}

}  // namespace metafile

std::shared_ptr<const MetafilePicture> LoadWmf(const QByteArray& bytes) {
    return metafile::LoadWmfPicture(bytes);
}

std::shared_ptr<const MetafilePicture> LoadEmf(const QByteArray& bytes) {
    return metafile::LoadEmfPicture(bytes);
}

}  // namespace tamarind
