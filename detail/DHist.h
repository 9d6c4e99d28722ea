#pragma once
// The histogram window: red, green, blue and combined value counts.

#include <QWidget>

class QLineEdit;

namespace tamarind {

class TForm4 : public QWidget {
public:
    explicit TForm4(QWidget* parent = nullptr);

    // Draw request from the detail window.
    void Edit2Change();

    QLineEdit* Edit3;  // folder of the file
    QLineEdit* Edit1;  // file name
    QLineEdit* Edit2;  // hidden request field
};

extern TForm4* Form4;

}  // namespace tamarind
