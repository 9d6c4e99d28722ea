#pragma once
// The frame a window manager draws around a top-level window. A window's
// outer size counts the frame, but before a window is first shown the
// toolkit does not know the frame yet: under X11 the window manager is asked
// for it in advance (_NET_REQUEST_FRAME_EXTENTS), so the first placement is
// already right.

#include <QMargins>

class QWidget;

namespace tamarind {

// The window property that keeps the window manager's advance answer.
inline constexpr char kExpectedFrameProperty[] = "tamarindExpectedFrame";

// The frame around `window`: the toolkit's, once it knows it; before that the
// window manager's answer to a request (waited for at most a moment); none
// without a window manager.
QMargins WindowFrameMargins(QWidget* window);

}  // namespace tamarind
