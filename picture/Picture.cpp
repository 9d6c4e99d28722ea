#include "picture/Picture.h"

#include <QPainter>

#include "picture/Bmp.h"
#include "picture/Ico.h"
#include "picture/Jpeg.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/InputFile.h"

namespace tamarind {

Picture Picture::FromBitmap(Bitmap bitmap) {
    Picture picture;
    if (bitmap.bitsPerPixel() != 4) picture.image_ = bitmap.ToQImage();
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
    if (metafile_) return metafile_->NaturalSize();
    return image_.isNull() ? bitmap_.size() : image_.size();
}

void Picture::Draw(QPainter& painter, const QRectF& target) const {
    if (metafile_)
        metafile_->Draw(painter, target);
    else if (!image_.isNull())
        painter.drawImage(target, image_);
    else if (!bitmap_.isEmpty())
        painter.drawImage(target, bitmap_.ToQImage());
}

QString FileExtensionWithDot(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

QString FileExtension(const QString& path) { return FileExtensionWithDot(path).mid(1); }

namespace {

quint32 Le(const uchar* p, int bytes) {
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// A metafile's bytes, read whole only after its first bytes showed a
// metafile header (a placeable or standard WMF header, or an EMF header
// record with its signature).
QByteArray ReadMetafileBytes(const QString& path, bool enhanced) {
    InputFile file(path);
    uchar head[44] = {};
    const std::int64_t got = file.ReadAt(0, head, sizeof head);
    bool plausible;
    if (enhanced) {
        plausible = got >= 44 && Le(head, 4) == 1 && Le(head + 40, 4) == 0x464D4520;
    } else {
        const int at = got >= 4 && Le(head, 4) == 0x9AC6CDD7 ? 22 : 0;
        const quint32 type = Le(head + at, 2);
        plausible = got >= at + 4 && (type == 1 || type == 2) && Le(head + at + 2, 2) == 9;
    }
    if (!plausible) throw TamarindError(QStringLiteral("メタファイルが不正です"));
    return file.ReadAll();
}

}  // namespace

Picture LoadPicture(const QString& path) {
    const QString extension = FileExtension(path);
    const QString kind = extension.toLower();
    if (kind == u"bmp") return Picture::FromBitmap(ReadBmpFile(path));
    if (kind == u"jpg" || kind == u"jpeg") return Picture::FromBitmap(ReadJpegFile(path));
    if (kind == u"ico") return Picture::FromImage(ReadIcoFile(path));
    if (kind == u"wmf") return Picture::FromMetafile(LoadWmf(ReadMetafileBytes(path, false)));
    if (kind == u"emf") return Picture::FromMetafile(LoadEmf(ReadMetafileBytes(path, true)));
    throw TamarindError(QStringLiteral("拡張子 .%1 の画像形式は処理できません").arg(extension));
}

}  // namespace tamarind
