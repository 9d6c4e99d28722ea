#pragma once
// A picture control: shows its picture stretched to its own size and reports
// mouse presses and double clicks to the window that owns it. It keeps the
// full picture and draws from a smoothly scaled copy made once per size.

#include <QImage>
#include <QWidget>
#include <functional>

#include "picture/Picture.h"

namespace tamarind {

class PictureBox : public QWidget {
public:
    explicit PictureBox(QWidget* parent = nullptr);

    bool HasPicture() const { return !picture_.isNull(); }
    const Picture& picture() const { return picture_; }
    void SetPicture(const Picture& picture);
    void ClearPicture();
    // A self-sizing box takes the natural size of each picture it is given.
    void SetAutoSize(bool on) { autoSize_ = on; }
    bool AutoSize() const { return autoSize_; }
    // The scaled copy drawn now (made on demand for the box's size).
    const QImage& ScaledImage();

    // Mouse handlers: the button pressed and the keys held at that moment.
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers)> onMouseDown;
    std::function<void()> onDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    Picture picture_;
    QImage scaled_;
    bool autoSize_ = false;
};

}  // namespace tamarind
