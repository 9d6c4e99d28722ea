#pragma once
// The smoothly scaled copy a slot draws: made once per box size from the
// slot's full picture, so repainting sixteen big pictures stays instant; and
// the pictures the full-size view shows, made at the size they are shown.

#include <QImage>
#include <QSize>
#include <QString>

#include "picture/Picture.h"
#include "picture/PictureOptions.h"

namespace tamarind {

// `bitmap` scaled to `target` with area averaging. Large pictures are first
// reduced by whole blocks straight from their rows (one pass, no converted
// copy of the full picture, whatever its format), then smoothed to the exact
// size. An empty target or bitmap gives a null image.
QImage ScaledCopy(const Bitmap& bitmap, QSize target);

// A picture made at the size it is shown: a pixel picture reduced to `shown`
// with ScaledCopy (shared as it is when it already has that size, an icon
// scaled with its transparency), a metafile as it is.
Picture PictureAtSize(const Picture& picture, QSize shown);
// The same straight from a picture file, decoded at the shown size as a
// thumbnail is (LoadThumbnail's errors), so a full-size picture is never
// held; the file's own natural size is not asked for. The picture options
// apply as to the slot's thumbnail (`orientation` is the JPEG's Exif
// orientation, `shown` the size as the slot shows it).
Picture PictureFileAtSize(const QString& path, QSize shown, const PictureOptions& options,
                          int orientation);

}  // namespace tamarind
