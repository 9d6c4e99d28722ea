#pragma once
// What a slot keeps of a picture file: the picture reduced to its box, the
// natural size, and for metafiles the metafile itself (drawn at the box's
// size). Loading reads only as much of the file as the reduction needs, so a
// thumbnail never costs a full-size decoded picture.

#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

#include "picture/Bitmap.h"
#include "picture/Metafile.h"
#include "picture/PictureOptions.h"

namespace tamarind {

// What libjpeg may hold for one thumbnail decode beyond its rows (the
// coefficients of a progressive file): two decodes at once stay within about
// 300 MB. Larger progressive files are refused with libjpeg's message number.
constexpr long kJpegThumbnailMaxMemory = 150L * 1024 * 1024;

// The largest icon a thumbnail load decodes: Qt holds an icon twice in 32
// bits while decoding it, so this keeps an icon within about 130 MB.
constexpr qint64 kIconThumbnailMaxPixels = qint64(1) << 24;

struct PictureThumbnail {
    // The picture at the box's size (RGB32, or premultiplied ARGB32 for an
    // icon); null for a metafile or an empty box.
    QImage image;
    // The natural size in pixels, from the file's header (a metafile's at
    // 96 dpi).
    QSize natural;
    // The metafile, for metafile files.
    std::shared_ptr<const MetafilePicture> metafile;
    // The Exif orientation the file states (1 to 8; 1 when none) and the
    // picture options the thumbnail was made with (see picture/PictureLoad.h).
    int orientation = 1;
    PictureOptions options;
};

// The scale n/8 at which libjpeg decodes a picture of `natural` pixels for a
// box of `box` pixels: the smallest n from 1 to 8 whose output, rounded up
// as libjpeg rounds it, still covers the box in both directions.
int JpegThumbnailScale(QSize natural, QSize box);

// What a JPEG load also hands back, for keeping a thumbnail of another size
// without decoding the file again.
struct DecodedForThumbnail {
    // Given the natural size and the box: a size the decode must cover too.
    std::function<QSize(QSize natural, QSize box)> cover;
    // The picture as libjpeg decoded it, at the scale covering both (empty
    // for other files).
    Bitmap decoded;
};

// Loads a picture file's thumbnail. The decoder is chosen by the extension
// as LoadPicture chooses it, with the same errors for unsupported, missing
// and damaged files; boxFor(natural size) gives the box, and is called once
// the header is read. JPEG files are decoded at JpegThumbnailScale and
// reduced with a three-lobe Lanczos filter; BMP files are area-averaged
// straight from their rows; icons of up to kIconThumbnailMaxPixels pixels
// are decoded and smoothly scaled (larger ones are refused as damaged).
// `keep`, when given, receives the decoded JPEG picture.
PictureThumbnail LoadThumbnail(const QString& path, const std::function<QSize(QSize)>& boxFor,
                               DecodedForThumbnail* keep = nullptr);

}  // namespace tamarind
