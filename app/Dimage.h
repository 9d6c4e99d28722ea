#pragma once
// The full-size view of one slot's picture.

#include <QWidget>

class QLineEdit;

namespace tamarind {

class PictureBox;

class TForm5 : public QWidget {
public:
    explicit TForm5(QWidget* parent = nullptr);

    // Picture width, then height: size and place the window.
    void Edit1Change();
    void Edit2Change();

    PictureBox* Image1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
};

extern TForm5* Form5;

}  // namespace tamarind
