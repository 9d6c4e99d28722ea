#pragma once
// The About window: program name, version, release date and author lines.

#include <QWidget>

class QLabel;
class QPushButton;

namespace tamarind {

class TForm2 : public QWidget {
public:
    explicit TForm2(QWidget* parent = nullptr);
    void F2_Create();
    void BitBtn1Click();

    QWidget* Panel1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5;
    QPushButton* BitBtn1;

protected:
    // Enter presses the OK button, the window's default button.
    void keyPressEvent(QKeyEvent* event) override;
};

extern TForm2* Form2;

}  // namespace tamarind
