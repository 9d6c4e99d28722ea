#include "picture/Metafile.h"

#include "platform/Errors.h"

namespace tamarind {

// Until the metafile player lands every metafile is refused.
std::shared_ptr<const MetafilePicture> LoadWmf(const QByteArray&) {
    throw TamarindError(QStringLiteral("メタファイルが不正です"));
}
std::shared_ptr<const MetafilePicture> LoadEmf(const QByteArray&) {
    throw TamarindError(QStringLiteral("メタファイルが不正です"));
}

}  // namespace tamarind
