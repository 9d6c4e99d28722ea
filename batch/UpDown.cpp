#include "batch/UpDown.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <algorithm>

#include "platform/Guard.h"

namespace tamarind {

UpDown::UpDown(int min, int max, int position, QWidget* parent)
    : QWidget(parent), min_(min), max_(max), position_(std::clamp(position, min, max)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int step : {-1, +1}) {
        auto* button = new QToolButton(this);
        button->setArrowType(step < 0 ? Qt::LeftArrow : Qt::RightArrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
        QObject::connect(button, &QToolButton::clicked, this,
                         [this, step] { RunGuarded([this, step] { Click(step); }); });
    }
}

void UpDown::SetPosition(int position) { position_ = std::clamp(position, min_, max_); }

void UpDown::Click(int step) {
    SetPosition(position_ + step);
    if (onClick) onClick();
}

}  // namespace tamarind
