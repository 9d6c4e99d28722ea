#pragma once
// Keys pressed in a widget as the keyboard delivers them: the application's
// shortcuts have the first say, then the widget gets the key events.

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

// Qt's own entry for the shortcut pass of a key press (what QTest uses).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods, const QString& text,
                                               bool autorep, ushort count);

namespace tamarind::test {

// Makes the window of `widget` the active one (shortcuts of a window act only
// there) and presses `key` in `widget`.
inline void PressKey(QWidget* widget, Qt::Key key,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* window = widget->window();
    window->activateWindow();
    if (QApplication::activeWindow() != window) QApplication::setActiveWindow(window);
    if (qt_sendShortcutOverrideEvent(widget, 0, key, modifiers, QString(), false, 1)) return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
}

}  // namespace tamarind::test
