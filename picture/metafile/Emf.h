#pragma once
// The enhanced metafile (EMF) player: 32-bit records with a header that
// gives the picture's frame and its reference device.

#include <QByteArray>
#include <memory>

#include "picture/Metafile.h"

namespace tamarind::metafile {

// Parses and checks the header and the record chain; raises
// TamarindError("メタファイルが不正です") when the header is damaged.
std::shared_ptr<const MetafilePicture> LoadEmfPicture(const QByteArray& bytes);

}  // namespace tamarind::metafile
