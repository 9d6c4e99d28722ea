#include "app/SlotKeys.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "app/Cviewer1.h"
#include "app/Geometry.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"
#include "detail/Cgrp.h"
#include "platform/Controls.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "platform/TopLevel.h"
#include "print/Set_Prt.h"

namespace tamarind {
namespace {

// How far the ring stands outside the slot's frame, and its line width: it
// stays within the eight pixels between two frames.
constexpr int kRingGap = 3;
constexpr int kRingWidth = 2;

// The ring: a rectangle line in the highlight colour, drawn over the grid
// but never in the way of the mouse (nor in the thumbnail sheet, which draws
// the grid area alone: the ring belongs to the area's parent).
class FocusRing : public QWidget {
public:
    explicit FocusRing(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("SlotFocusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QPen pen(palette().color(QPalette::Active, QPalette::Highlight), kRingWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawRect(QRectF(rect()).adjusted(kRingWidth / 2.0, kRingWidth / 2.0,
                                                 -kRingWidth / 2.0, -kRingWidth / 2.0));
    }
};

// The grid's or a frame's geometry or visibility changed: the ring follows.
bool MovesRing(QEvent::Type type) {
    return type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show ||
           type == QEvent::Hide;
}

// A window the keys just opened takes the keyboard, so that the keyboard
// user can go on there.
void BringForward(QWidget* window) {
    if (window && window->isVisible()) ShowInFront(window);
}

}  // namespace

SlotKeyboard::SlotKeyboard(TForm1* form) : QObject(form), form_(form) {
    QWidget* grid = form_->Panel2;
    grid->setFocusPolicy(Qt::StrongFocus);
    grid->installEventFilter(this);
    ring_ = new FocusRing(grid->parentWidget());
    for (int n = 1; n <= kSlotCount; ++n) {
        form_->Frame(n)->installEventFilter(this);
        form_->SlotImage(n)->installEventFilter(this);
        form_->SizeCaption(n)->installEventFilter(this);
        form_->Marker(n)->installEventFilter(this);
    }
    // Tab goes from the left panel's selectors and lists to the grid and round.
    form_->Memo1->setFocusPolicy(Qt::ClickFocus);
    QWidget::setTabOrder(form_->DriveComboBox1, form_->FilterComboBox1);
    QWidget::setTabOrder(form_->FilterComboBox1, form_->DirectoryListBox1);
    QWidget::setTabOrder(form_->DirectoryListBox1, form_->FileListBox1);
    QWidget::setTabOrder(form_->FileListBox1, grid);
}

int SlotKeyboard::ShownSlotCount() const {
    int count = 0;
    for (int n = 1; n <= kSlotCount; ++n)
        if (form_->Frame(n)->isVisibleTo(form_->Panel2)) count = n;
    return count;
}

int SlotKeyboard::FocusSlot() const {
    return slot_ >= 1 && slot_ <= std::max(1, ShownSlotCount()) ? slot_ : 1;
}

void SlotKeyboard::SetFocusSlot(int slot) {
    if (slot < 1 || slot > kSlotCount) return;
    slot_ = slot;
    PlaceRing();
}

bool SlotKeyboard::RingShown() const { return ring_->isVisible(); }

void SlotKeyboard::PlaceRing() {
    QWidget* grid = form_->Panel2;
    const QGroupBox* frame = form_->Frame(FocusSlot());
    const bool shown = grid->hasFocus() && grid->isVisible() && frame->isVisibleTo(grid) &&
                       frame->width() > 0 && frame->height() > 0;
    if (!shown) {
        ring_->hide();
        return;
    }
    const QRect around = QRect(grid->mapTo(ring_->parentWidget(), frame->pos()), frame->size())
                             .adjusted(-kRingGap, -kRingGap, kRingGap, kRingGap);
    ring_->setGeometry(around);
    ring_->show();
    ring_->raise();
    ring_->update();
}

void SlotKeyboard::Act(KeyAction action) {
    slot_ = FocusSlot();
    const int slot = slot_;
    switch (action) {
        case KeyAction::SlotLeft:
        case KeyAction::SlotRight:
        case KeyAction::SlotUp:
        case KeyAction::SlotDown:
        case KeyAction::FirstSlot:
        case KeyAction::LastSlot: {
            const LayoutShape shape = ShapeOfLayout(Viewer.LayoutIndex);
            SetFocusSlot(MoveSlotFocus(slot, action, shape.columns, ShownSlotCount()));
            break;
        }
        case KeyAction::OpenDetail:
            form_->ImageMouseDown(slot, Qt::LeftButton, Qt::ShiftModifier);
            BringForward(Form3);
            break;
        case KeyAction::ShowFullSize: form_->ShowFullSize(slot); break;
        case KeyAction::CopySlot: form_->CopySlotToClipboard(slot); break;
        case KeyAction::PrintSlot:
            form_->PreparePrintPicture(slot);
            BringForward(Form6);
            break;
        case KeyAction::ClearSlot: form_->ClearSlot(slot); break;
        default: break;
    }
}

bool SlotKeyboard::eventFilter(QObject* watched, QEvent* event) {
    QWidget* grid = form_->Panel2;
    if (watched == grid) {
        switch (event->type()) {
            case QEvent::KeyPress: {
                auto* key = static_cast<QKeyEvent*>(event);
                const std::optional<KeyAction> action =
                    FindKeyAction(KeyScope::Grid, key->keyCombination());
                // Tab and Shift+Tab stay Qt's: they move along the window's chain.
                if (!action || *action == KeyAction::NextControl ||
                    *action == KeyAction::PreviousControl)
                    return false;
                RunGuarded([&] { Act(*action); });
                return true;
            }
            case QEvent::FocusIn:
            case QEvent::FocusOut: PlaceRing(); break;
            default:
                if (MovesRing(event->type())) PlaceRing();
                break;
        }
        return false;
    }
    // A press anywhere on a slot gives it the ring and the grid the keyboard.
    if (event->type() == QEvent::MouseButtonPress) {
        for (QObject* o = watched; o && o != grid; o = o->parent()) {
            for (int n = 1; n <= kSlotCount; ++n) {
                if (o != form_->Frame(n)) continue;
                slot_ = n;
                grid->setFocus(Qt::MouseFocusReason);
                PlaceRing();
                return false;
            }
        }
        return false;
    }
    // Besides the grid, only the frames move the ring.
    if (watched->parent() == grid && MovesRing(event->type())) PlaceRing();
    return false;
}

}  // namespace tamarind
