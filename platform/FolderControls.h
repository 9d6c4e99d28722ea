#pragma once
// The drive selector, the folder tree and the file list of the classic file
// dialogs. Setting a value from code runs the control's change handler at
// once, inside the setting call, exactly as a user's change does.

#include <QComboBox>
#include <QListWidget>
#include <functional>

#include "platform/Folders.h"

namespace tamarind {

// Lists the mounted volumes; the current one is the "drive". The list
// follows mounts and unmounts while the program runs.
class DriveComboBox : public QComboBox {
public:
    explicit DriveComboBox(QWidget* parent = nullptr);
    ~DriveComboBox() override;
    // Reads the volumes again.
    void Refresh();
    // The root of the chosen volume.
    QString Drive() const;
    // Chooses the volume whose root is `root` (added when not listed); runs
    // onChange when the drive really changes.
    void SetDrive(const QString& root);
    // Shows the volume whose root is `root` (added when not listed) without
    // running onChange: the selector following the folder shown.
    void ShowDrive(const QString& root);

    // The drive changed, or the user chose an entry, also the one shown.
    std::function<void()> onChange;
    // The list was read again after a mount or unmount.
    std::function<void()> onVolumesChanged;

private:
    int IndexOf(const QString& root);
    int mountTable_ = -1;  // /proc/self/mountinfo, which signals mount changes
    bool changeNotified_ = false;  // onChange ran for the choice being made
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
    // Reads the current folder's subfolders again.
    void Refresh();

    std::function<void()> onChange;

private:
    void Fill();
    // The highlight on the current folder's entry.
    void HighlightCurrent();
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
    // Reads the list again.
    void Refresh() { Reread(); }
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
    // The user chose a drive (also the one shown): the three show its root.
    void DriveChanged();
    // The tree's folder changed: the file list follows, the selector shows
    // the folder's volume.
    void FolderChanged();
    // Volumes came or went: the selector lists them; when the folder shown
    // went with them, the nearest folder left is shown.
    void VolumesChanged();

private:
    DriveComboBox* drives_;
    DirectoryListBox* tree_;
    FileListBox* files_;
};

}  // namespace tamarind
