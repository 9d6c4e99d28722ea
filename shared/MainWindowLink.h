#pragma once
// The main window as the detail, histogram, print layout and batch windows
// reach it: the few things they read from it or ask of it, and nothing more.
// TForm1 implements it and CreateForms hands it to each window it makes; a
// window made without one (null) asks nothing of a main window.
//
// The requests write `serial`, a new value of the caller's running counter,
// into the main window's hidden request field, whose handler acts at once;
// an error it raises ends the caller as well.

#include <QString>
#include <QStringList>

#include "picture/Picture.h"

namespace tamarind {

class MainWindowLink {
public:
    virtual ~MainWindowLink() = default;

    // --- Slots, numbered 1 to 16 ----------------------------------------------
    // The slot's full picture: the changed one it keeps, or its file decoded
    // now (raising the decoder's error); empty for an empty slot.
    virtual Picture SlotFullPicture(int slot) = 0;
    // Gives the slot a changed full picture, which it keeps. RequestRefit
    // then has the slot fitted to it.
    virtual void SetSlotFullPicture(int slot, const Picture& picture) = 0;
    // The slot frame's caption (the file's name).
    virtual void SetSlotTitle(int slot, const QString& title) = 0;
    // The caption of the picture's size below the slot.
    virtual void SetSlotSizeCaption(int slot, const QString& caption) = 0;
    // Makes the slot's scaled drawing now, under the caller's busy cursor,
    // rather than at the next repaint.
    virtual void PrepareSlotDrawing(int slot) = 0;

    // --- Folder and file list ---------------------------------------------------
    // The folder the file list shows and the names it lists, in its order.
    virtual QString ListedFolder() const = 0;
    virtual QStringList ListedNames() const = 0;
    // Shows `folder` in the drive selector, folder tree and file list, the
    // file list read afresh even when the folder is the one shown.
    virtual void ShowFolder(const QString& folder) = 0;

    // --- Requests -----------------------------------------------------------------
    // Re-fit WorkSlot to its changed full picture (Edit1).
    virtual void RequestRefit(const QString& serial) = 0;
    // WorkSlot's file is now `name` in `folder`; an empty name empties the
    // slot; the lists are read again (Edit3, Edit4, then Edit2).
    virtual void RequestSlotFile(const QString& folder, const QString& name,
                                 const QString& serial) = 0;
    // Reset every slot frame to the normal background (Edit5).
    virtual void RequestFrameReset(const QString& serial) = 0;
    // Run the print job with the placed rectangle (Edit6).
    virtual void RequestPrintJob(const QString& serial) = 0;
    // Show the folder of the batch run's target (Edit7).
    virtual void RequestBatchFolder(const QString& serial) = 0;
};

}  // namespace tamarind
