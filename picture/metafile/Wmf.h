#pragma once
// The Windows metafile (WMF) player: 16-bit records, with or without the
// placeable header that gives the picture's bounding box and units per inch.

#include <QByteArray>
#include <memory>

#include "picture/Metafile.h"

namespace tamarind::metafile {

// Parses and checks the header and the record chain; raises
// TamarindError("メタファイルが不正です") when the header is damaged or the
// picture has no size.
std::shared_ptr<const MetafilePicture> LoadWmfPicture(const QByteArray& bytes);

}  // namespace tamarind::metafile
