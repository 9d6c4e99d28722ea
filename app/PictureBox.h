#pragma once
// A picture control: shows its picture stretched to its own size and reports
// mouse presses and double clicks to the window that owns it.

#include <QWidget>
#include <functional>

namespace tamarind {

class PictureBox : public QWidget {
public:
    explicit PictureBox(QWidget* parent = nullptr);

    bool HasPicture() const { return hasPicture_; }
    void ClearPicture();

    // Mouse handlers: the button pressed and the keys held at that moment.
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers)> onMouseDown;
    std::function<void()> onDoubleClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    bool hasPicture_ = false;
};

}  // namespace tamarind
