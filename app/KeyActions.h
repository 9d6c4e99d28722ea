#pragma once
// The keyboard of the main window and the full-size view in one table: which
// key does what, and where. The grid looks its keys up here, and the help
// file's key page is written from the same table, so the two never disagree.

#include <QString>
#include <Qt>
#include <optional>
#include <vector>

namespace tamarind {

// Where a key works: anywhere in the main window, or only while one of its
// parts (or the full-size view) has the keyboard.
enum class KeyScope { MainWindow, FolderTree, FileList, Grid, FullSizeView };

enum class KeyAction {
    NextControl,
    PreviousControl,
    ChooseFolder,
    OpenFolder,
    ChooseFile,
    LoadFile,
    SlotLeft,
    SlotRight,
    SlotUp,
    SlotDown,
    FirstSlot,
    LastSlot,
    OpenDetail,    // as a Shift + left press on the picture
    ShowFullSize,  // as a right press
    CopySlot,      // as a Ctrl + left press
    PrintSlot,     // as a double click
    ClearSlot,
    CloseView,
};

struct KeyBinding {
    KeyAction action;
    KeyScope scope;
    // Every key combination that does it (the keypad's Enter counts as Enter).
    std::vector<QKeyCombination> keys;
    QString keyText;      // the keys as the help page names them
    QString description;  // what happens, as the help page says it
};

// The whole table, in the order of the help page.
const std::vector<KeyBinding>& KeyTable();

// The action `key` has in `scope`; the keys of the whole main window count
// in each of its parts. The keypad's own modifier is ignored.
std::optional<KeyAction> FindKeyAction(KeyScope scope, QKeyCombination key);

// The slot the focus ring moves to from `slot` for one of the ring's
// actions, in a layout of `columns` columns and `slotCount` slots numbered
// row by row: it stops at the edges of the grid. Any other action leaves it.
int MoveSlotFocus(int slot, KeyAction action, int columns, int slotCount);

// The key page of the help file: an HTML section from the table, between
// the two marker lines the help file keeps around it.
QString KeyPageHtml();
inline const QString kKeyPageBegin = QStringLiteral("<!-- key page: written from app/KeyActions.cpp -->");
inline const QString kKeyPageEnd = QStringLiteral("<!-- end of key page -->");

// `helpText` with the part between the markers replaced by `page`; the text
// unchanged when it lacks the markers.
QString WithKeyPage(const QString& helpText, const QString& page);

}  // namespace tamarind
