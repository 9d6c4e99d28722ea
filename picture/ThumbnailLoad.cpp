#include "picture/ThumbnailLoad.h"

#include <algorithm>

#include "picture/Bmp.h"
#include "picture/Ico.h"
#include "picture/Jpeg.h"
#include "picture/Picture.h"
#include "picture/Resample.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind {

int JpegThumbnailScale(QSize natural, QSize box) {
    const qint64 w = std::max(0, natural.width()), h = std::max(0, natural.height());
    for (int n = 1; n < 8; ++n) {
        const qint64 outW = (w * n + 7) / 8, outH = (h * n + 7) / 8;
        if (outW >= box.width() && outH >= box.height()) return n;
    }
    return 8;
}

PictureThumbnail LoadThumbnail(const QString& path, const std::function<QSize(QSize)>& boxFor) {
    const QString extension = FileExtension(path);
    const QString kind = extension.toLower();
    PictureThumbnail thumbnail;
    if (kind == u"jpg" || kind == u"jpeg") {
        QSize box;
        JpegReadOptions options;
        options.scaleDenominator = 8;
        options.scaleFor = [&](QSize natural) {
            box = boxFor(natural);
            return JpegThumbnailScale(natural, box);
        };
        options.maxMemory = kJpegThumbnailMaxMemory;
        options.naturalSize = &thumbnail.natural;
        const Bitmap reduced = ReadJpegFile(path, options);
        if (!box.isEmpty()) thumbnail.image = ResampleLanczos(reduced, box);
        return thumbnail;
    }
    if (kind == u"bmp") {
        BmpThumbnail bmp = ReadBmpThumbnail(path, boxFor);
        thumbnail.image = std::move(bmp.image);
        thumbnail.natural = bmp.natural;
        return thumbnail;
    }
    if (kind == u"ico") {
        const QImage icon = ReadIcoFile(path);
        thumbnail.natural = icon.size();
        const QSize box = boxFor(thumbnail.natural);
        if (!box.isEmpty())
            thumbnail.image = icon.size() == box ? icon
                                                 : icon.scaled(box, Qt::IgnoreAspectRatio,
                                                               Qt::SmoothTransformation);
        return thumbnail;
    }
    // Metafiles are kept whole and drawn at the box's size; every other
    // extension is refused by LoadPicture with its message.
    const Picture picture = LoadPicture(path);
    thumbnail.metafile = picture.metafile();
    thumbnail.natural = picture.size();
    return thumbnail;
}

}  // namespace tamarind
