#pragma once
// The detail window of one picture file: file facts, the working picture and
// the operations on it. It is filled on request from the main window.

#include <QWidget>

class QLineEdit;

namespace tamarind {

class TForm3 : public QWidget {
public:
    explicit TForm3(QWidget* parent = nullptr);

    // Fill request from the main window (folder in Edit2, name in Memo1).
    void Edit1Change();

    QLineEdit* Edit1;  // hidden request field
    QLineEdit* Edit2;  // folder path
    QLineEdit* Memo1;  // file name
};

extern TForm3* Form3;

}  // namespace tamarind
