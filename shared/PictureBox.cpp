#include "shared/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/Guard.h"
#include "shared/DevicePixels.h"
#include "shared/Thumbnail.h"

namespace tamarind {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

QSize PictureBox::NaturalSize() const {
    if (!picture_.isNull()) return picture_.size();
    return natural_.isValid() ? natural_ : QSize(0, 0);
}

void PictureBox::SetPicture(const Picture& picture) {
    ForgetPlaceholder();
    picture_ = picture;
    thumbnail_ = QImage();
    natural_ = QSize();
    source_.clear();
    scaled_ = QImage();
    if (autoSize_) resize(picture_.size());
    update();
}

void PictureBox::SetThumbnail(const PictureThumbnail& thumbnail, const QString& source) {
    ForgetPlaceholder();
    picture_ = thumbnail.metafile ? Picture::FromMetafile(thumbnail.metafile) : Picture();
    thumbnail_ = thumbnail.metafile ? QImage() : thumbnail.image;
    natural_ = thumbnail.natural.isValid() ? thumbnail.natural : QSize(0, 0);
    source_ = source;
    orientation_ = thumbnail.orientation;
    options_ = thumbnail.options;
    scaled_ = QImage();
    if (autoSize_) resize(NaturalSize());
    update();
}

void PictureBox::ClearPicture() {
    ForgetPlaceholder();
    picture_ = Picture();
    thumbnail_ = QImage();
    natural_ = QSize();
    source_.clear();
    orientation_ = 1;
    options_ = PictureOptions();
    scaled_ = QImage();
    update();
}

void PictureBox::ShowPlaceholder(const QImage& image, QSize box) {
    if (image.isNull() || box.isEmpty()) return;
    if (placeholder_.isNull()) sizeBeforePlaceholder_ = size();
    placeholder_ = image;
    placeholderScaled_ = QImage();
    resize(box);
    update();
}

void PictureBox::DropPlaceholder() {
    if (placeholder_.isNull()) return;
    const QSize before = sizeBeforePlaceholder_;
    ForgetPlaceholder();
    resize(before);
    update();
}

void PictureBox::ForgetPlaceholder() {
    placeholder_ = QImage();
    placeholderScaled_ = QImage();
}

QSize PictureBox::DeviceTarget(QSize have) const {
    const double ratio = devicePixelRatioF();
    if (have.isValid() && LogicalSizeFor(have, ratio) == size()) return have;
    return DevicePixelSize(size(), ratio);
}

const QImage& PictureBox::ScaledImage() {
    const double ratio = devicePixelRatioF();
    if (!HasPicture() || size().isEmpty()) {
        scaled_ = QImage();
        return scaled_;
    }
    const bool pixels = picture_.isNull() || !picture_.isMetafile();
    const QSize target = DeviceTarget(!pixels                ? QSize()
                                      : picture_.isNull()    ? thumbnail_.size()
                                                             : picture_.size());
    if (scaled_.size() == target && scaled_.devicePixelRatio() == ratio) return scaled_;
    if (picture_.isNull()) {
        // Only the thumbnail: it was made at the box's size; should the box
        // have changed since, it is scaled from there.
        scaled_ = thumbnail_.isNull() || thumbnail_.size() == target
                      ? thumbnail_
                      : thumbnail_.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else if (picture_.isMetafile() || picture_.image().hasAlphaChannel()) {
        // Metafiles are drawn at the box's size; icons keep their transparency.
        scaled_ = QImage(target, QImage::Format_ARGB32_Premultiplied);
        scaled_.fill(Qt::transparent);
        QPainter painter(&scaled_);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setRenderHint(QPainter::Antialiasing);
        picture_.Draw(painter, QRectF(QPointF(0, 0), QSizeF(target)));
    } else {
        scaled_ = ScaledCopy(picture_.bitmap(), target);
    }
    // Drawn at the box's logical size: one pixel of the copy per device pixel.
    scaled_.setDevicePixelRatio(ratio);
    return scaled_;
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (!placeholder_.isNull() && !size().isEmpty()) {
        const double ratio = devicePixelRatioF();
        const QSize target = DevicePixelSize(size(), ratio);
        if (placeholderScaled_.size() != target || placeholderScaled_.devicePixelRatio() != ratio) {
            placeholderScaled_ = placeholder_.size() == target
                                     ? placeholder_
                                     : placeholder_.scaled(target, Qt::IgnoreAspectRatio,
                                                           Qt::SmoothTransformation);
            placeholderScaled_.setDevicePixelRatio(ratio);
        }
        QPainter(this).drawImage(0, 0, placeholderScaled_);
        return;
    }
    if (!HasPicture() || size().isEmpty()) return;
    const QImage& image = ScaledImage();
    if (image.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (onMouseDown) {
        const auto button = event->button();
        const auto modifiers = event->modifiers();
        RunGuarded([&] { onMouseDown(button, modifiers); });
    }
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (onDoubleClick) RunGuarded([&] { onDoubleClick(); });
}

}  // namespace tamarind
