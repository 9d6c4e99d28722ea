#pragma once
// The full-size view of one slot's picture: the picture at natural size, or
// reduced to fit the screen, in a window of its own that any click hides.

#include <QWidget>
#include <functional>

class QLineEdit;

namespace tamarind {

class PictureBox;

class TForm5 : public QWidget {
public:
    explicit TForm5(QWidget* parent = nullptr);

    // The window takes the size of its picture (it sizes itself to its content).
    void FitToPicture();

    // Picture width, then height: place the window by the width or height rule.
    void Edit1Change();
    void Edit2Change();
    // Clicks on the window and on the picture, and a double click on the
    // picture: each hides the window.
    void F5_Click();
    void F5ImClick();
    void F5ImDclick();

    PictureBox* Image1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSize ScreenSize() const;
    void PlaceOuter(const std::function<QPoint(QSize outer)>& rule);
    QObject* pressed_ = nullptr;  // where the left button went down
};

extern TForm5* Form5;

}  // namespace tamarind
