#pragma once
// How the program's windows come to the front and go away.

#include <functional>

class QWidget;

namespace tamarind {

// Shows `window` in front of the others with the keyboard focus, also when
// it is open already: lying under another window or minimised.
void ShowInFront(QWidget* window);

// Every way of closing `window` from outside (the title bar's close button,
// Alt+F4 and the window manager's own commands, close() and the Escape key)
// runs `back` instead, guarded: the handler of the window's back or cancel
// button, which hides the window and tells whoever waits for it.
void CloseLikeBackButton(QWidget* window, std::function<void()> back);

}  // namespace tamarind
