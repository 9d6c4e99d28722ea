#pragma once
// The drive selector, the folder tree and the file list of the classic file
// dialogs. Setting a value from code runs the control's change handler at
// once, inside the setting call, exactly as a user's change does.

#include <QComboBox>
#include <QListWidget>
#include <functional>

#include "platform/Folders.h"

namespace tamarind {

// Lists the mounted volumes; the current one is the "drive".
class DriveComboBox : public QComboBox {
public:
    explicit DriveComboBox(QWidget* parent = nullptr);
    // Reads the volumes again.
    void Refresh();
    // The root of the chosen volume.
    QString Drive() const;
    // Chooses the volume whose root is `root` (added when not listed).
    void SetDrive(const QString& root);

    std::function<void()> onChange;
};

// The chain of folders from the volume root down to the current folder,
// then the current folder's subfolders. Activating an entry (double click or
// Enter) makes it the current folder.
class DirectoryListBox : public QListWidget {
public:
    explicit DirectoryListBox(QWidget* parent = nullptr);
    QString Directory() const { return directory_; }
    // Makes `folder` current. A folder that cannot be read raises
    // TamarindError and leaves the current folder as it was.
    void SetDirectory(const QString& folder);
    // Moves to the volume whose root is `root`: to its root, unless the
    // current folder already lies on that volume.
    void SetDrive(const QString& root);
    // The folder an entry stands for.
    QString EntryFolder(int row) const;

    std::function<void()> onChange;

private:
    void Fill();
    QString directory_;
};

// The matching ordinary files of one folder, by name, in natural order.
class FileListBox : public QListWidget {
public:
    explicit FileListBox(QWidget* parent = nullptr);
    QString Directory() const { return directory_; }
    QString Mask() const { return mask_; }
    // Each setter re-reads the list only when the value really changes.
    void SetDirectory(const QString& folder);
    void SetMask(const QString& mask);
    // The names in list order.
    QStringList Names() const;
    // The name of the selected entry, or an empty text.
    QString SelectedName() const;
    void SelectRow(int row);

    // After every re-read, and when the selection changes by a click.
    std::function<void()> onChange;
    // A click (or Enter) on an entry.
    std::function<void()> onClick;

private:
    void Reread();
    QString directory_;
    QString mask_;
};

// The drive selector, folder tree and file list of one window, kept showing
// the same folder. The window's change handlers call in here.
class FolderBrowser {
public:
    FolderBrowser(DriveComboBox* drives, DirectoryListBox* tree, FileListBox* files);
    // The folder shown.
    QString Folder() const;
    // Shows `folder` in the drive selector, folder tree and file list, the
    // file list read afresh even when the folder is the one shown.
    void ShowFolder(const QString& folder);
    // The drive selector changed: the tree moves to its volume, the list follows.
    void DriveChanged();
    // The tree's folder changed: the file list follows.
    void FolderChanged();

private:
    DriveComboBox* drives_;
    DirectoryListBox* tree_;
    FileListBox* files_;
};

}  // namespace tamarind
