#include "platform/Controls.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPalette>
#include <QRubberBand>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "platform/Guard.h"
#include "platform/Requests.h"

namespace tamarind {
// --- Builders ----------------------------------------------------------------

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(at);
    label->adjustSize();
    return label;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, QPoint at,
                  const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);  // before the label takes the size of its text
    label->move(at);
    label->adjustSize();
    return label;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

QLineEdit* MakeBox(QWidget* parent, const QString& name, QRect geometry) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& text,
                        QRect geometry, std::function<void()> handler) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    if (handler) Connect(button, &QPushButton::clicked, button, std::move(handler));
    return button;
}

QGroupBox* MakeGroupBox(QWidget* parent, const QString& name, const QString& title,
                        QRect geometry) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

// --- DockPanel -------------------------------------------------------------

DockPanel::DockPanel(QWidget* parent) : QWidget(parent) {}

void DockPanel::DockChild(QWidget* child, Dock dock) {
    docked_.emplace_back(child, dock);
    Relayout();
}

void DockPanel::resizeEvent(QResizeEvent*) { Relayout(); }

void DockPanel::Relayout() {
    QRect room = contentsRect();
    for (Dock pass : {Dock::Top, Dock::Bottom, Dock::Left, Dock::Right, Dock::Client}) {
        for (auto& [child, dock] : docked_) {
            if (dock != pass || child->isHidden()) continue;
            switch (dock) {
                case Dock::Top:
                    child->setGeometry(room.left(), room.top(), room.width(), child->height());
                    room.setTop(room.top() + child->height());
                    break;
                case Dock::Bottom:
                    child->setGeometry(room.left(), room.bottom() + 1 - child->height(),
                                       room.width(), child->height());
                    room.setBottom(room.bottom() - child->height());
                    break;
                case Dock::Left:
                    child->setGeometry(room.left(), room.top(), child->width(), room.height());
                    room.setLeft(room.left() + child->width());
                    break;
                case Dock::Right:
                    child->setGeometry(room.right() + 1 - child->width(), room.top(),
                                       child->width(), room.height());
                    room.setRight(room.right() - child->width());
                    break;
                case Dock::Client:
                    child->setGeometry(room.left(), room.top(), std::max(0, room.width()),
                                       std::max(0, room.height()));
                    break;
            }
        }
    }
}

// --- SplitterBar -----------------------------------------------------------

SplitterBar::SplitterBar(Qt::Orientation orientation, QWidget* target, int minSize,
                         QWidget* parent)
    : QWidget(parent), orientation_(orientation), target_(target), minSize_(minSize) {
    setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    if (parent) parent->installEventFilter(this);
}

int SplitterBar::PointerPos(const QMouseEvent* event) const {
    const QPoint p = event->globalPosition().toPoint();
    return orientation_ == Qt::Horizontal ? p.x() : p.y();
}

void SplitterBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    pressPos_ = PointerPos(event);
    ShowDragLine(0);
}

void SplitterBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) ShowDragLine(PointerPos(event) - pressPos_);
}

void SplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    if (dragLine_) dragLine_->hide();
    const int delta = PointerPos(event) - pressPos_;
    if (delta != 0) DragBy(delta);
}

void SplitterBar::ShowDragLine(int delta) {
    QWidget* parent = parentWidget();
    if (!parent) return;
    if (!dragLine_) {
        dragLine_ = new QRubberBand(QRubberBand::Line, parent);
        dragLine_->setObjectName(objectName() + QStringLiteral("DragLine"));
    }
    // Where the bar would stand after the drag, within the limits.
    const bool across = orientation_ == Qt::Horizontal;
    const int current = across ? target_->width() : target_->height();
    const int shift = SizeAfterDrag(delta) - current;
    dragLine_->setGeometry(geometry().translated(across ? shift : 0, across ? 0 : shift));
    dragLine_->show();
    dragLine_->raise();
}

int SplitterBar::SizeAfterDrag(int delta) const {
    const bool across = orientation_ == Qt::Horizontal;
    const int current = across ? target_->width() : target_->height();
    // Room the parent leaves for the target, this bar and at least minSize after it.
    const QWidget* parent = parentWidget();
    const int total = parent ? (across ? parent->width() : parent->height()) : current + delta;
    const int start = across ? target_->x() : target_->y();
    const int bar = across ? width() : height();
    const int maxSize = total - start - bar - minSize_;
    int size = current + delta;
    size = std::min(size, std::max(maxSize, minSize_));
    return std::max(size, minSize_);
}

void SplitterBar::DragBy(int delta) {
    const int size = SizeAfterDrag(delta);
    if (orientation_ == Qt::Horizontal)
        target_->resize(size, target_->height());
    else
        target_->resize(target_->width(), size);
    if (auto* dock = dynamic_cast<DockPanel*>(parentWidget())) dock->Relayout();
    if (moved_) RunGuarded(moved_);
}

void SplitterBar::KeepRoom() {
    const bool across = orientation_ == Qt::Horizontal;
    const int current = across ? target_->width() : target_->height();
    const int size = SizeAfterDrag(0);
    if (size >= current) return;
    if (across)
        target_->resize(size, target_->height());
    else
        target_->resize(target_->width(), size);
    if (auto* dock = dynamic_cast<DockPanel*>(parentWidget())) dock->Relayout();
}

bool SplitterBar::eventFilter(QObject* watched, QEvent* event) {
    // The panel shrank (a smaller window): the controls after the bar keep their room.
    if (watched == parentWidget() && event->type() == QEvent::Resize) KeepRoom();
    return false;
}

// --- ClickLabel ------------------------------------------------------------

void ClickLabel::SetFillColor(const QColor& color) { SetBackgroundColor(this, color); }

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    pressed_ = event->button() == Qt::LeftButton;
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && clicked_) RunGuarded(clicked_);
}

// --- ClickGroupBox ---------------------------------------------------------

void ClickGroupBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QGroupBox::mousePressEvent(event);
    // The box takes the press so that the release comes back to it.
    event->accept();
    pressed_ = true;
}

void ClickGroupBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QGroupBox::mouseReleaseEvent(event);
    event->accept();
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && clicked_) RunGuarded(clicked_);
}

// --- Fitted text -----------------------------------------------------------

int TextRoomOf(const QLineEdit* box) {
    // QLineEdit keeps a margin of two pixels on either side inside its frame.
    constexpr int kLineEditMargin = 2;
    QStyleOptionFrame option;
    option.initFrom(box);
    const int frame = box->hasFrame()
                          ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box)
                          : 0;
    const QMargins text = box->textMargins();
    return box->contentsRect().width() - 2 * frame - 2 * kLineEditMargin - text.left() -
           text.right();
}

void ShowFittedText(QLineEdit* box, const QString& text, int pixels) {
    constexpr int kSmallest = 6;
    QFont font = box->font();
    const int room = TextRoomOf(box);
    for (; pixels > kSmallest; --pixels) {
        font.setPixelSize(pixels);
        // One pixel to spare: the caret's width.
        if (QFontMetrics(font).horizontalAdvance(text) < room) break;
    }
    font.setPixelSize(pixels);
    box->setFont(font);
    box->setText(text);
    box->setCursorPosition(0);
}

// --- Colours ---------------------------------------------------------------

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

QColor TextColor(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

void SetBackgroundColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QColor BackgroundColor(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

QColor ButtonFaceColor() { return QApplication::palette().color(QPalette::Button); }

}  // namespace tamarind
