#pragma once
// The grid by keyboard: a focus ring around one slot, moved by the arrow
// keys, Home and End or by any press on a slot, and the keys of the key
// table that act on the ring's slot as the mouse gestures do. The grid area
// is one stop of the window's Tab chain.

#include <QObject>

#include "app/KeyActions.h"

class QWidget;

namespace tamarind {

class TForm1;

class SlotKeyboard : public QObject {
public:
    explicit SlotKeyboard(TForm1* form);

    // The slot the keys act on (always one the layout shows).
    int FocusSlot() const;
    void SetFocusSlot(int slot);
    // The ring shows while the grid has the keyboard.
    bool RingShown() const;
    const QWidget* Ring() const { return ring_; }
    // What the grid's key `action` does, on the ring's slot.
    void Act(KeyAction action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The highest slot whose frame shows (the layout's last slot).
    int ShownSlotCount() const;
    void PlaceRing();

    TForm1* form_;
    QWidget* ring_;
    int slot_ = 1;
};

}  // namespace tamarind
