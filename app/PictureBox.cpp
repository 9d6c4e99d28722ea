#include "app/PictureBox.h"

#include <QMouseEvent>

#include "platform/Guard.h"

namespace tamarind {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::ClearPicture() {
    hasPicture_ = false;
    update();
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
