#pragma once
// The batch window: the folder's files as a table, renamed, copied, moved or
// deleted under sequential numbered names.

#include <QString>
#include <QWidget>

class QLineEdit;

namespace tamarind {

// The target path of the file a batch run handled last (for a delete run the
// source folder); empty until the first run. The main window shows its folder.
extern QString BatchTargetPath;
// The destination folder chosen for copy and move runs.
extern QString DestinationFolder;

class TForm7 : public QWidget {
public:
    explicit TForm7(QWidget* parent = nullptr);

    // Reload the file table and the naming fields.
    void Edit1Change();
    // Start the run (a negative number: the destination choice was cancelled).
    void Edit4Change();

    QLineEdit* Edit1;  // open request
    QLineEdit* Edit3;  // the main window's current folder (data only)
    QLineEdit* Edit4;  // run request
};

extern TForm7* Form7;

}  // namespace tamarind
