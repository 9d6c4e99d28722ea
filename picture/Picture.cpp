#include "picture/Picture.h"

#include <QPainter>

#include "picture/Bmp.h"
#include "picture/Ico.h"
#include "picture/Jpeg.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind {

Picture Picture::FromBitmap(Bitmap bitmap) {
    Picture picture;
    picture.image_ = bitmap.ToQImage();
    picture.bitmap_ = std::move(bitmap);
    return picture;
}

Picture Picture::FromImage(const QImage& image) {
    Picture picture;
    picture.image_ = image;
    picture.bitmap_ = Bitmap::FromQImage(image);
    return picture;
}

Picture Picture::FromMetafile(std::shared_ptr<const MetafilePicture> metafile) {
    Picture picture;
    picture.metafile_ = std::move(metafile);
    return picture;
}

QSize Picture::size() const {
    return metafile_ ? metafile_->NaturalSize() : image_.size();
}

void Picture::Draw(QPainter& painter, const QRectF& target) const {
    if (metafile_)
        metafile_->Draw(painter, target);
    else if (!image_.isNull())
        painter.drawImage(target, image_);
}

QString FileExtension(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

Picture LoadPicture(const QString& path) {
    const QString extension = FileExtension(path);
    const QString kind = extension.toLower();
    if (kind == u"bmp") return Picture::FromBitmap(ReadBmpFile(path));
    if (kind == u"jpg" || kind == u"jpeg") return Picture::FromBitmap(ReadJpegFile(path));
    if (kind == u"ico") return Picture::FromImage(ReadIcoFile(path));
    if (kind == u"wmf") return Picture::FromMetafile(LoadWmf(ReadFileBytes(path)));
    if (kind == u"emf") return Picture::FromMetafile(LoadEmf(ReadFileBytes(path)));
    throw TamarindError(QStringLiteral("拡張子 .%1 の画像形式は処理できません").arg(extension));
}

}  // namespace tamarind
