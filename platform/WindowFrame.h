#pragma once
// The frame a window manager draws around a top-level window. A window's
// outer size counts the frame, but before a window is first shown the
// toolkit does not know the frame yet: under X11 the window manager is asked
// for it in advance (_NET_REQUEST_FRAME_EXTENTS), so the first placement is
// already right.

#include <QMargins>
#include <QPoint>
#include <QSize>

class QWidget;

namespace tamarind {

// The window property that keeps the window manager's advance answer.
inline constexpr char kExpectedFrameProperty[] = "tamarindExpectedFrame";

// The frame around `window`: the toolkit's, once it knows it; before that the
// window manager's answer to a request (waited for at most a moment); none
// without a window manager.
QMargins WindowFrameMargins(QWidget* window);

// Moves `window` so that its outer frame's top-left corner is at `outer`,
// keeping its size; also before it is shown for the first time.
void PlaceOuterFrame(QWidget* window, QPoint outer);
// Centres the outer frame of `window` on a screen of `screen` size.
void CentreOuterFrame(QWidget* window, QSize screen);

// A small fixed-size window whose title bar offers neither minimise nor
// maximise (at most the close button its flags ask for). Window managers
// that honour the toolkit's button hints need nothing more; others, such as
// openbox, keep those buttons on ordinary windows, so under X11 the window
// is shown as a tool palette (_NET_WM_WINDOW_TYPE_TOOLBAR). Call it once,
// in the window's constructor; the window fixes its size where it sizes
// itself (QWidget::setFixedSize), so that it cannot be maximised either.
void MarkAsToolWindow(QWidget* window);

}  // namespace tamarind
