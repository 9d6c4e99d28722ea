#include "platform/FolderControls.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QStyle>
#include <fcntl.h>
#include <unistd.h>
#include <optional>

#include "platform/BusyCursor.h"
#include "platform/Errors.h"
#include "platform/Guard.h"

namespace tamarind {
namespace {

void Notify(const std::function<void()>& handler) {
    if (handler) RunGuarded(handler);
}

}  // namespace

// --- DriveComboBox -----------------------------------------------------------

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
    Refresh();
    QObject::connect(this, &QComboBox::currentIndexChanged, this, [this](int) {
        changeNotified_ = true;
        Notify(onChange);
    });
    // A user's choice changes the index first (above), then activates; a
    // choice of the entry shown only activates, and runs onChange here.
    QObject::connect(this, &QComboBox::activated, this, [this](int index) {
        if (index != currentIndex()) {
            const QSignalBlocker block(this);
            setCurrentIndex(index);
            changeNotified_ = false;
        }
        if (!changeNotified_) Notify(onChange);
        changeNotified_ = false;
    });
    // The kernel marks the mount table exceptional (POLLPRI) when a volume
    // is mounted or unmounted.
    mountTable_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (mountTable_ >= 0) {
        auto* watch = new QSocketNotifier(mountTable_, QSocketNotifier::Exception, this);
        QObject::connect(watch, &QSocketNotifier::activated, this, [this] {
            Refresh();
            Notify(onVolumesChanged);
        });
    }
}

DriveComboBox::~DriveComboBox() {
    if (mountTable_ >= 0) ::close(mountTable_);
}

void DriveComboBox::Refresh() {
    const QSignalBlocker block(this);
    const QString current = Drive();
    clear();
    for (const Volume& v : MountedVolumes()) addItem(v.DisplayText(), v.root);
    const int index = findData(current);
    setCurrentIndex(index >= 0 ? index : 0);
}

QString DriveComboBox::Drive() const { return currentData().toString(); }

int DriveComboBox::IndexOf(const QString& root) {
    int index = findData(root);
    if (index < 0) {
        const QSignalBlocker block(this);
        addItem(root, root);
        index = count() - 1;
    }
    return index;
}

void DriveComboBox::SetDrive(const QString& root) {
    setCurrentIndex(IndexOf(root));  // runs onChange when the drive really changes
    changeNotified_ = false;
}

void DriveComboBox::ShowDrive(const QString& root) {
    const int index = IndexOf(root);
    const QSignalBlocker block(this);
    setCurrentIndex(index);
}

// --- DirectoryListBox --------------------------------------------------------

DirectoryListBox::DirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    QObject::connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString folder = item->data(Qt::UserRole).toString();
        RunGuarded([this, folder] { SetDirectory(folder); });
    });
}

QString DirectoryListBox::EntryFolder(int row) const {
    const QListWidgetItem* it = item(row);
    return it ? it->data(Qt::UserRole).toString() : QString();
}

void DirectoryListBox::SetDirectory(const QString& folder) {
    const QString target = WithoutTrailingSeparator(AbsolutePath(folder));
    try {
        RequireReadableFolder(target);
    } catch (...) {
        HighlightCurrent();  // not on the entry that was refused
        throw;
    }
    if (target == directory_) return;
    directory_ = target;
    Fill();
    Notify(onChange);
}

void DirectoryListBox::SetDrive(const QString& root) {
    if (!directory_.isEmpty() && VolumeRootOf(directory_) == root) return;
    SetDirectory(root);
}

void DirectoryListBox::Refresh() {
    if (!directory_.isEmpty()) Fill();
}

void DirectoryListBox::HighlightCurrent() {
    for (int row = 0; row < count(); ++row)
        if (EntryFolder(row) == directory_) {
            const QSignalBlocker block(this);
            setCurrentRow(row);
            return;
        }
}

void DirectoryListBox::Fill() {
    const QSignalBlocker block(this);
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    // The chain from the volume root down to the current folder.
    const QString root = VolumeRootOf(directory_);
    QStringList chain{root};
    QString rest = directory_.mid(root.size());
    QString path = root;
    for (const QString& part : rest.split(u'/', Qt::SkipEmptyParts)) {
        path = JoinPath(path, part);
        chain << path;
    }
    int level = 0;
    for (const QString& folder : chain) {
        auto* it = new QListWidgetItem(open, QString(level * 2, u' ') +
                                                 (level == 0 ? folder : FileNameOf(folder)));
        it->setData(Qt::UserRole, folder);
        addItem(it);
        ++level;
    }
    setCurrentRow(count() - 1);
    // The current folder's subfolders (an unreadable listing shows none).
    QStringList subfolders;
    try {
        subfolders = ListSubfolders(directory_);
    } catch (const TamarindError&) {
    }
    for (const QString& name : subfolders) {
        auto* it = new QListWidgetItem(closed, QString(level * 2, u' ') + name);
        it->setData(Qt::UserRole, JoinPath(directory_, name));
        addItem(it);
    }
}

// --- FileListBox -------------------------------------------------------------

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    QObject::connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem*) {
        Notify(onChange);
        Notify(onClick);
    });
    QObject::connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        // A double click also activates; only Enter should load here.
        if (QApplication::mouseButtons() != Qt::NoButton) return;
        // The entry with the keyboard's cursor is taken also when it is not
        // selected yet (the list just got the keyboard by Tab), as a click
        // would take it.
        if (item && !item->isSelected()) {
            item->setSelected(true);
            Notify(onChange);
        }
        Notify(onClick);
    });
}

void FileListBox::SetDirectory(const QString& folder) {
    const QString target = WithoutTrailingSeparator(folder);
    if (target == directory_) return;
    directory_ = target;
    Reread();
}

void FileListBox::SetMask(const QString& mask) {
    if (mask == mask_) return;
    mask_ = mask;
    Reread();
}

void FileListBox::Reread() {
    QStringList names;
    std::exception_ptr error;
    {
        // A long list shows the busy pointer from its 101st name until the
        // list is filled: reading a big folder is the slow part.
        std::optional<BusyCursor> busy;
        if (!directory_.isEmpty() && !mask_.isEmpty()) {
            try {
                names = ListFiles(directory_, mask_, [&busy] { busy.emplace(); });
            } catch (...) {
                error = std::current_exception();
            }
        }
        const QSignalBlocker block(this);
        clear();
        addItems(names);
    }
    Notify(onChange);
    if (error) std::rethrow_exception(error);
}

QStringList FileListBox::Names() const {
    QStringList names;
    names.reserve(count());
    for (int i = 0; i < count(); ++i) names << item(i)->text();
    return names;
}

QString FileListBox::SelectedName() const {
    const QListWidgetItem* it = currentItem();
    return it && it->isSelected() ? it->text() : QString();
}

void FileListBox::SelectRow(int row) {
    setCurrentRow(row);
    if (QListWidgetItem* it = item(row)) it->setSelected(true);
}

// --- FolderBrowser -----------------------------------------------------------

FolderBrowser::FolderBrowser(DriveComboBox* drives, DirectoryListBox* tree, FileListBox* files)
    : drives_(drives), tree_(tree), files_(files) {}

QString FolderBrowser::Folder() const { return tree_->Directory(); }

void FolderBrowser::ShowFolder(const QString& folder) {
    const QString target = WithoutTrailingSeparator(AbsolutePath(folder));
    RequireReadableFolder(target);  // refused: all three stay where they were
    if (tree_->Directory() == target) {
        // The folder shown: both lists read afresh.
        tree_->Refresh();
        if (files_->Directory() == target)
            files_->Refresh();
        else
            files_->SetDirectory(target);
    } else {
        tree_->SetDirectory(target);  // the file list follows through FolderChanged
        files_->SetDirectory(target);
    }
    drives_->ShowDrive(VolumeRootOf(target));
}

void FolderBrowser::DriveChanged() { ShowFolder(drives_->Drive()); }

void FolderBrowser::FolderChanged() {
    files_->SetDirectory(tree_->Directory());
    drives_->ShowDrive(VolumeRootOf(tree_->Directory()));
}

void FolderBrowser::VolumesChanged() {
    const QString shown = tree_->Directory();
    if (shown.isEmpty()) return;
    const QString left = NearestReadableFolder(shown);
    // The shown folder may still exist as the empty mount point it was.
    if (left != shown || VolumeRootOf(shown) != drives_->Drive())
        ShowFolder(left);
    else
        drives_->ShowDrive(VolumeRootOf(shown));
}

}  // namespace tamarind
