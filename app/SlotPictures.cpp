// The main window's slot loading: committing a decoded file to the next
// slot, the stand-ins shown while files are decoded, the continuous run
// decoded in parallel and committed in list order, and the full pictures
// behind the slots' thumbnails.
#include <QGroupBox>
#include <QListWidget>
#include <algorithm>

#include "app/Cviewer1.h"
#include "app/SlotFitting.h"
#include "app/SlotLoader.h"
#include "picture/PictureLoad.h"
#include "platform/Controls.h"
#include "platform/FolderControls.h"
#include "platform/Folders.h"
#include "shared/DevicePixels.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

namespace tamarind {

namespace {

// The box a slot gives a picture of `natural` size, in the window's pixels.
QSize SlotBox(QSize natural) {
    return FitPictureBox(natural, Viewer.CellImageWidth, Viewer.CellImageHeight, Viewer.CellAspect);
}

}  // namespace

BoxForSize TForm1::SlotBoxFor() const {
    // Thumbnails are decoded and filtered at the screen's device pixels: on
    // a screen scaled to 200 % a box has four times the pixels to fill.
    const float width = Viewer.CellImageWidth;
    const float height = Viewer.CellImageHeight;
    const float aspect = Viewer.CellAspect;
    const double ratio = Panel2->devicePixelRatioF();
    return [=](QSize natural) {
        return DevicePixelSize(FitPictureBox(natural, width, height, aspect), ratio);
    };
}

QString TForm1::SlotPath(const QString& text, const QString& givenPath) const {
    // A bare name is taken in the file list's folder.
    if (!givenPath.isEmpty()) return givenPath;
    return text.startsWith(u'/') ? text : JoinPath(FileListBox1->Directory(), text);
}

void TForm1::CommitToNextSlot(const QString& text, const QString& path, const SlotLoad& load) {
    // 1. The measuring control takes the natural size.
    Image17->SetThumbnail(load.thumbnail, path);
    // 2. Fit the slot to it.
    const int slot = Viewer.NextSlot;
    if (slot < 1 || slot > kSlotCount) return;
    FitSlotImage(slot);
    // 3. The Exif summary (read with the picture), 4. the thumbnail, hint and caption.
    images_[slot]->SetThumbnail(load.thumbnail, path);
    SetHint(images_[slot], load.summary);
    frames_[slot]->setTitle(text);
    // 5. The cursor moves on, skipping the protected slot; 6. its marker turns teal.
    Viewer.NextSlot = NextSlotAfter(slot, Viewer.LayoutSlotCount, Viewer.ProtectedSlot);
    PaintSlotMarker(Viewer.NextSlot, kMarkerNext);
}

bool TForm1::ShowStandIn(int slot, const QImage& image, QSize natural) {
    if (slot < 1 || slot > kSlotCount || image.isNull() || !natural.isValid()) return false;
    const QSize box = SlotBox(natural);
    if (box.isEmpty()) return false;
    images_[slot]->ShowPlaceholder(image, box);
    images_[slot]->repaint();
    return true;
}

SlotLoad TForm1::LoadShowingPreview(const QString& path) {
    // The cache's entry or the camera's thumbnail goes up at once; the slot
    // is as it was again should the file fail to decode.
    const BoxForSize boxFor = SlotBoxFor();
    const SlotPreview preview = PreviewSlotFile(path, boxFor);
    const int slot = Viewer.NextSlot;
    const bool shown = ShowStandIn(slot, preview.placeholder, preview.natural);
    try {
        return LoadSlotPicture(path, boxFor, preview);
    } catch (...) {
        if (shown) images_[slot]->DropPlaceholder();
        throw;
    }
}

void TForm1::FillRunFromList(const QString& folder, int first) {
    // A layout's worth of files from the clicked one down, decoded on all
    // cores while they are committed one by one in list order; an error ends
    // the run after the files before it.
    const int n = FileListBox1->count();
    QStringList names, paths;
    for (int index = first; index < n && names.size() < Viewer.LayoutSlotCount; ++index) {
        names << FileListBox1->item(index)->text();
        paths << SlotPath(names.back(), {});
    }
    ParallelSlotLoads loads(paths, SlotBoxFor());
    // The slots the run fills, in order; a slot reached twice (the cursor
    // skipping a protected slot wraps round) shows the first file's stand-in.
    std::vector<int> runSlots;
    for (int k = 0, slot = Viewer.NextSlot; k < names.size(); ++k) {
        runSlots.push_back(slot);
        slot = NextSlotAfter(slot, Viewer.LayoutSlotCount, Viewer.ProtectedSlot);
    }
    // Whatever way the run ends, no stand-in outlives it.
    struct DropStandIns {
        const std::vector<int>& runSlots;
        std::array<PictureBox*, 17>& images;
        ~DropStandIns() {
            for (int slot : runSlots)
                if (slot >= 1 && slot <= kSlotCount) images[size_t(slot)]->DropPlaceholder();
        }
    } dropStandIns{runSlots, images_};
    // Stand-ins for every file that waits for a decode; a thumbnail from the
    // cache goes up at once too when a file before it must be decoded.
    bool waiting = false;
    for (int k = 0; k < names.size(); ++k) {
        const SlotPreview& preview = loads.Preview(k);
        const bool ready = !preview.picture.isNull();
        const auto here = runSlots.begin() + k;
        if (std::find(runSlots.begin(), here, *here) == here && (!ready || waiting))
            ShowStandIn(*here, ready ? preview.picture : preview.placeholder, preview.natural);
        waiting = waiting || !ready;
    }
    for (int k = 0; k < names.size(); ++k) {
        FillSlotWith(folder, names[k], [&] { return loads.Take(k); });
        FileListBox1->SelectRow(first + k);
        // Each slot shows as soon as it is committed.
        Panel2->repaint();
    }
}

Picture TForm1::SlotFullPicture(int slot) {
    if (slot < 1 || slot > kSlotCount) return {};
    PictureBox* box = images_[slot];
    if (box->HasFullPicture()) return box->picture();
    if (!box->HasPicture()) return {};
    const QString path = !Viewer.SlotFileName[slot].isEmpty()
                             ? Viewer.SlotFolder[slot] + Viewer.SlotFileName[slot]
                             : box->Source();
    return LoadPicture(path, box->LoadOptions());
}

void TForm1::SetSlotFullPicture(int slot, const Picture& picture) {
    if (slot < 1 || slot > kSlotCount) return;
    images_[slot]->SetPicture(picture);
    Image17->SetPicture(picture);
    // The re-fit that follows marks the caption by the slot's file.
    Image17->SetOrientation(images_[slot]->Orientation());
}

}  // namespace tamarind
