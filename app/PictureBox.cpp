#include "app/PictureBox.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/Thumbnail.h"
#include "platform/Guard.h"

namespace tamarind {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::SetPicture(const Picture& picture) {
    picture_ = picture;
    scaled_ = QImage();
    if (autoSize_) resize(picture_.size());
    update();
}

void PictureBox::ClearPicture() {
    picture_ = Picture();
    scaled_ = QImage();
    update();
}

const QImage& PictureBox::ScaledImage() {
    const QSize target = size();
    if (picture_.isNull() || target.isEmpty()) {
        scaled_ = QImage();
        return scaled_;
    }
    if (scaled_.size() == target) return scaled_;
    if (picture_.isMetafile() || picture_.image().hasAlphaChannel()) {
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
    return scaled_;
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (picture_.isNull() || size().isEmpty()) return;
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
