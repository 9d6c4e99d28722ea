#pragma once
// Loading picture files with the user's picture options (picture/
// PictureOptions.h). With both options off these give exactly what
// LoadPicture and LoadThumbnail give.

#include <QSize>
#include <QString>
#include <functional>

#include "picture/Picture.h"
#include "picture/PictureOptions.h"
#include "picture/ThumbnailLoad.h"

namespace tamarind {

// The full picture. With options.otherFormats the formats of
// picture/OtherFormats.h are read too (their first frame or page, laid on
// options.background); with options.upright a JPEG is turned upright by its
// Exif orientation, read from the file's first 4096 bytes.
Picture LoadPicture(const QString& path, const PictureOptions& options);

// A slot's thumbnail, as LoadThumbnail makes it, with the options:
// `orientation` is the JPEG's Exif orientation, read by the caller with its
// summary. With options.upright boxFor is asked for the upright size and
// the thumbnail and its natural size are upright. Other formats are decoded
// at the box's size where their reader can scale, within
// kOtherThumbnailMaxBytes. The result records the orientation (for every
// format that states one) and the options it was made with. `keep`, when
// given, receives a JPEG's decoded picture as stored (see ThumbnailLoad.h).
PictureThumbnail LoadThumbnail(const QString& path, const std::function<QSize(QSize)>& boxFor,
                               const PictureOptions& options, int orientation,
                               DecodedForThumbnail* keep = nullptr);

}  // namespace tamarind
