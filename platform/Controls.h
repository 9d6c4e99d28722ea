#pragma once
// Small widgets that behave like the classic form controls the windows are
// built from: panels whose children dock to an edge, splitter bars that drag
// the neighbour they are docked against, labels that report clicks, and hints
// that the status bar shows for the control under the pointer; and the
// builders every window makes its plain controls with.

#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/Hints.h"

namespace tamarind {

// --- Docking ---------------------------------------------------------------

enum class Dock { Top, Bottom, Left, Right, Client };

// A panel that lays out its docked children edge by edge: all Top children
// first (in the order docked), then Bottom, Left, Right, and Client last,
// which takes what is left. A docked child keeps its own height (Top/Bottom)
// or width (Left/Right). Undocked children keep their geometry.
class DockPanel : public QWidget {
public:
    explicit DockPanel(QWidget* parent = nullptr);
    void DockChild(QWidget* child, Dock dock);
    void Relayout();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<std::pair<QWidget*, Dock>> docked_;
};

// A splitter bar docked next to `target` (the control on its left or above
// it). Dragging it resizes the target, never below `minSize`, and leaves at
// least `minSize` for the controls after it; `moved` runs when the drag ends.
// While the bar is dragged a line follows the pointer; the controls change
// when the mouse button is let go.
class SplitterBar : public QWidget {
public:
    SplitterBar(Qt::Orientation orientation, QWidget* target, int minSize, QWidget* parent);
    void SetMoved(std::function<void()> moved) { moved_ = std::move(moved); }
    // Drags the bar by `delta` pixels, as a mouse drag would, and runs `moved`.
    void DragBy(int delta);
    // Shrinks the target when the panel around it has become too small to
    // leave `minSize` after the bar (does not run `moved`).
    void KeepRoom();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The target size a drag by `delta` gives, within the limits.
    int SizeAfterDrag(int delta) const;
    int PointerPos(const QMouseEvent* event) const;
    void ShowDragLine(int delta);

    Qt::Orientation orientation_;
    QWidget* target_;
    int minSize_;
    int pressPos_ = 0;
    bool dragging_ = false;
    QWidget* dragLine_ = nullptr;
    std::function<void()> moved_;
};

// --- Labels -----------------------------------------------------------------

// A label that takes its mouse clicks (they do not reach the control below it)
// and reports a left click, press and release on the label.
class ClickLabel : public QLabel {
public:
    using QLabel::QLabel;
    void SetClicked(std::function<void()> clicked) { clicked_ = std::move(clicked); }
    // A filled square of the given colour (colour markers).
    void SetFillColor(const QColor& color);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> clicked_;
    bool pressed_ = false;
};

// A group box (a slot's frame) that reports a left click, press and release
// on the box itself. Its children that take their own clicks (pictures,
// captions, markers) never make it a click of the box.
class ClickGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;
    void SetClicked(std::function<void()> clicked) { clicked_ = std::move(clicked); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> clicked_;
    bool pressed_ = false;
};

// --- Builders ----------------------------------------------------------------
// The windows place their controls at fixed positions and give each its form
// name as object name (empty: none).

// A label at `at`, as large as its text (in `font` when given).
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, QPoint at);
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, QPoint at,
                  const QFont& font);
// A label filling `geometry`.
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, QRect geometry);
// A one-line text box.
QLineEdit* MakeBox(QWidget* parent, const QString& name, QRect geometry);
// A push button; a click runs `handler`, when given, inside the error guard.
QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& text,
                        QRect geometry, std::function<void()> handler = {});
// A group box with its title.
QGroupBox* MakeGroupBox(QWidget* parent, const QString& name, const QString& title,
                        QRect geometry);

// Shows `text` in a one-line box of fixed size so that all of it can be
// read: in the box's font at `pixels` when it fits, else in the largest
// smaller size that fits (never below 6 pixels), always from its first
// character.
void ShowFittedText(QLineEdit* box, const QString& text, int pixels);
// The width a one-line box has for its text, inside its frame and margins.
int TextRoomOf(const QLineEdit* box);

// The colour of a widget's text (and of the texts of its children).
void SetTextColor(QWidget* widget, const QColor& color);
QColor TextColor(const QWidget* widget);
// The background colour a widget fills itself with.
void SetBackgroundColor(QWidget* widget, const QColor& color);
QColor BackgroundColor(const QWidget* widget);
// The system's button-face colour.
QColor ButtonFaceColor();

}  // namespace tamarind
