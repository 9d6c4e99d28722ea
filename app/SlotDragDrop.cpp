#include "app/SlotDragDrop.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>

#include "app/Cviewer1.h"
#include "app/DroppedFiles.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"
#include "platform/BusyCursor.h"
#include "platform/Folders.h"
#include "platform/Guard.h"

namespace tamarind {
namespace {

// The picture under the pointer while dragging: the slot's thumbnail, small.
constexpr int kDragPictureSize = 96;

QList<QUrl> UrlsOf(const QMimeData* data) { return data ? data->urls() : QList<QUrl>{}; }

}  // namespace

SlotDragDrop::SlotDragDrop(TForm1* form) : QObject(form), form_(form) {
    form_->Panel2->setAcceptDrops(true);
    form_->Panel2->installEventFilter(this);
    for (int n = 1; n <= kSlotCount; ++n) form_->SlotImage(n)->installEventFilter(this);
}

QMimeData* SlotDragDrop::DragData(int slot) const {
    if (slot < 1 || slot > kSlotCount || Viewer.SlotFileName[slot].isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(Viewer.SlotFolder[slot] + Viewer.SlotFileName[slot])});
    return data;
}

int SlotDragDrop::SlotAt(QPoint point) const {
    for (int n = 1; n <= kSlotCount; ++n) {
        const QGroupBox* frame = form_->Frame(n);
        if (frame->isVisibleTo(form_->Panel2) && frame->geometry().contains(point)) return n;
    }
    return 0;
}

void SlotDragDrop::StartDrag(int slot) {
    QMimeData* data = DragData(slot);
    if (!data) return;
    PictureBox* image = form_->SlotImage(slot);
    auto* drag = new QDrag(image);
    drag->setMimeData(data);
    const QImage& shown = image->ScaledImage();
    if (!shown.isNull()) {
        QImage small = shown.scaled(kDragPictureSize, kDragPictureSize, Qt::KeepAspectRatio,
                                    Qt::SmoothTransformation);
        small.setDevicePixelRatio(1);
        drag->setPixmap(QPixmap::fromImage(small));
    }
    // A copy or a link: whoever takes the file never takes it away.
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

bool SlotDragDrop::GridEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (DroppedFiles(UrlsOf(drag->mimeData()), 1).isEmpty()) return false;
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files =
                DroppedFiles(UrlsOf(drop->mimeData()), std::max(1, Viewer.LayoutSlotCount));
            if (files.isEmpty()) return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // Loaded once the drop is over: a message about a file that does
            // not load must not keep the program the files came from waiting.
            const int slot = SlotAt(drop->position().toPoint());
            QTimer::singleShot(0, form_, [form = form_, slot, files] {
                RunGuarded([&] { form->DropFiles(slot, files); });
            });
            return true;
        }
        default: return false;
    }
}

bool SlotDragDrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_->Panel2) return GridEvent(event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            // Shift and Ctrl presses are the picture's gestures, not a drag.
            const bool plain = mouse->button() == Qt::LeftButton &&
                               !(mouse->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
            pressSlot_ = 0;
            for (int n = 1; plain && n <= kSlotCount; ++n)
                if (watched == form_->SlotImage(n)) pressSlot_ = n;
            pressAt_ = mouse->position().toPoint();
            break;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (pressSlot_ == 0 || !(mouse->buttons() & Qt::LeftButton)) break;
            if ((mouse->position().toPoint() - pressAt_).manhattanLength() <
                QApplication::startDragDistance())
                break;
            const int slot = pressSlot_;
            pressSlot_ = 0;
            RunGuarded([&] { StartDrag(slot); });
            return true;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: pressSlot_ = 0; break;
        default: break;
    }
    return false;
}

// --- Loading dropped files ------------------------------------------------------

void TForm1::DropFiles(int slot, const QStringList& paths) {
    const BusyCursor busy;  // decoding big pictures takes a moment
    const std::vector<int> targets =
        DropTargets(slot, int(paths.size()), Viewer.SlotFileName, Viewer.LayoutSlotCount,
                    Viewer.NextSlot, Viewer.ProtectedSlot);
    for (size_t k = 0; k < targets.size(); ++k) {
        const QString& path = paths[qsizetype(k)];
        const QString name = FileNameOf(path);
        SetNextSlot(targets[k]);
        Viewer.PickedFileName = name;
        PaintSlotMarker(Viewer.SelectedSlot, kMarkerPlain);
        Viewer.SelectedSlot = Viewer.NextSlot;
        PaintSlotMarker(Viewer.SelectedSlot, kMarkerSelected);
        // A file that does not load ends the drop there, its slot as it was.
        LoadNamedIntoNextSlot(name, path, WithTrailingSeparator(FolderOf(path)), name);
        Panel2->repaint();
    }
}

}  // namespace tamarind
