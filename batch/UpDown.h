#pragma once
// An up-down control with left and right arrows: a position within a range,
// step 1, no wrap-around. A click that moves the position runs `onClick`.

#include <QWidget>
#include <functional>

class QToolButton;

namespace tamarind {

class UpDown : public QWidget {
public:
    UpDown(int min, int max, int position, QWidget* parent = nullptr);
    int Position() const { return position_; }
    int Min() const { return min_; }
    int Max() const { return max_; }
    // Sets the position (kept within the range) without running onClick.
    void SetPosition(int position);
    // One step up (+1, the right arrow) or down (-1, the left arrow), as a
    // click does; onClick runs even at the end of the range.
    void Click(int step);

    std::function<void()> onClick;

private:
    int min_;
    int max_;
    int position_;
};

}  // namespace tamarind
