#pragma once
// Pictures in and out of the grid by drag and drop: files dropped on a slot
// load into that slot (dropped beside the slots, into the empty ones); a
// slot's picture dragged out carries its file's URI (text/uri-list), for
// file managers and other programs. A drag never moves the file: it offers
// a copy or a link only.

#include <QObject>
#include <QPoint>

class QMimeData;

namespace tamarind {

class TForm1;

class SlotDragDrop : public QObject {
public:
    explicit SlotDragDrop(TForm1* form);

    // What a drag of the slot's picture carries: its file's URI; null for an
    // empty slot. The caller owns it.
    QMimeData* DragData(int slot) const;
    // The slot whose frame holds `point` of the grid area (0: none).
    int SlotAt(QPoint point) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool GridEvent(QEvent* event);
    void StartDrag(int slot);

    TForm1* form_;
    int pressSlot_ = 0;  // the slot whose picture the left button went down on
    QPoint pressAt_;
};

}  // namespace tamarind
