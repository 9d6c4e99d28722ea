// Emptying one slot of the grid (the Delete key), as a layout change empties
// every slot: its picture, size caption, hint and file name go, its frame
// shows its letter again and it loses its red marker and its protection. The
// file itself is not touched, and the slot cursor stays where it is.
#include <QGroupBox>
#include <QLabel>

#include "app/Cviewer1.h"
#include "app/MainWindowControls.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"
#include "platform/Controls.h"
#include "platform/Hints.h"

namespace tamarind {

void TForm1::ClearSlot(int slot) {
    if (slot < 1 || slot > kSlotCount) return;
    if (Viewer.SlotFileName[slot].isEmpty() && !images_[slot]->HasPicture()) return;
    frames_[slot]->setTitle(EmptySlotTitle(slot));
    sizeCaptions_[slot]->clear();
    images_[slot]->ClearPicture();
    SetHint(images_[slot], QString());
    Viewer.SlotFileName[slot].clear();
    if (slot == Viewer.SelectedSlot && slot != Viewer.NextSlot) PaintSlotMarker(slot, kMarkerPlain);
    // An empty slot cannot be protected.
    if (slot == Viewer.ProtectedSlot) {
        SetTextColor(frames_[slot], Qt::black);
        Viewer.ProtectedSlot = 0;
    }
}

}  // namespace tamarind
