#pragma once
// Windows ask each other to act by writing a new text into a hidden one-line
// field of the receiver; the field's change handler performs the request at
// once. These helpers make the hidden fields and run their handlers guarded.

#include <QLineEdit>
#include <QObject>
#include <QString>
#include <functional>

#include "platform/Guard.h"

namespace tamarind {

// A hidden one-line field whose text change (only a real change) runs
// `handler` inside the error guard.
QLineEdit* MakeRequestField(QWidget* parent, const QString& objectName,
                            std::function<void()> handler);

// Writes `text` into a request field. When the text differs, the receiver's
// handler runs now; an error it raised ends the caller as well.
void SendRequest(QLineEdit* field, const QString& text);

// Connects a signal to a handler that runs inside the error guard.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection Connect(Sender* sender, Signal signal, QObject* context, Handler handler) {
    return QObject::connect(sender, signal, context,
                            [handler = std::move(handler)]() { RunGuarded(handler); });
}

}  // namespace tamarind
