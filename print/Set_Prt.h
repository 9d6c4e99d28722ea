#pragma once
// The print layout window: the printer's sheet and the picture placed on it
// in millimetres.

#include <QWidget>

class QLineEdit;

namespace tamarind {

class TForm6 : public QWidget {
public:
    explicit TForm6(QWidget* parent = nullptr);

    // A new picture was handed over: lay it out.
    void Edit1Change();
    // The printer was set up again: measure it.
    void Edit2Change();

    QLineEdit* Edit1;
    QLineEdit* Edit2;
};

extern TForm6* Form6;

}  // namespace tamarind
