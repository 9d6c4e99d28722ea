#pragma once
// No exception may cross Qt's event loop. Every handler runs inside
// RunGuarded: an error ends the handler and is shown in a "Tamarind" message
// box with an error icon and a full stop added.
//
// Handlers nest: writing a request field from a handler runs the receiver's
// handler at once. An error in a nested handler is kept and raised again in
// the sender by SendRequest, so it ends the sender too, exactly once shown; if
// the sender never looks (it set a list or a selector), the outermost guard
// shows it when it finishes.

#include <QString>
#include <functional>

class QLineEdit;

namespace tamarind {

// Runs `handler`; shows any error (outermost level) or keeps it for the
// sender (nested level).
void RunGuarded(const std::function<void()>& handler);

// Re-raises an error that a nested handler kept, if any. Called right after
// code that may have run another handler synchronously.
void RaisePendingError();

// How many guarded handlers are running now (0 outside any handler).
int GuardDepth();

}  // namespace tamarind
