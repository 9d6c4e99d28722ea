#include "platform/WindowFrame.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QThread>
#include <QVariant>
#include <QWidget>
#include <vector>

#if __has_include(<QtGui/qguiapplication_platform.h>)
#include <QtGui/qguiapplication_platform.h>
#endif

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#endif

namespace tamarind {
namespace {

constexpr char kToolWindowProperty[] = "tamarindToolWindow";

bool IsToolWindow(const QWidget* window) { return window->property(kToolWindowProperty).toBool(); }

#if QT_CONFIG(xcb)

xcb_connection_t* X11Connection() {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The 32-bit values of a window property (empty when it is not set).
std::vector<uint32_t> Cardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property,
                                xcb_atom_t type) {
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 16), nullptr);
    std::vector<uint32_t> values;
    if (reply && reply->format == 32) {
        const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
}

// Tells the window manager that the (not yet mapped) window is a tool
// palette, falling back to an ordinary window for managers that do not know
// the kind. Qt writes the type when it makes the native window; this
// replaces it before the window is mapped.
void DeclareToolWindow(QWidget* window) {
    xcb_connection_t* c = X11Connection();
    if (!c) return;
    const xcb_atom_t types[] = {Atom(c, "_NET_WM_WINDOW_TYPE_TOOLBAR"),
                                Atom(c, "_NET_WM_WINDOW_TYPE_NORMAL")};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()),
                        Atom(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 2, types);
    xcb_flush(c);
}

// Asks the window manager which frame it will draw around a window like
// `window` and waits up to half a second for its answer. No window manager:
// no frame. The question is asked for a stand-in of the same kind and size
// limits, so the window itself is made only when it is shown, at the size it
// is given.
QMargins AskWindowManager(QWidget* window) {
    xcb_connection_t* c = X11Connection();
    if (!c) return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    if (Cardinals(c, root, Atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW).empty()) return {};

    QWidget standIn(nullptr, window->windowFlags());
    // A window that cannot be resized has no resize handles in its frame.
    standIn.setMinimumSize(window->minimumSize());
    standIn.setMaximumSize(window->maximumSize());
    if (IsToolWindow(window)) DeclareToolWindow(&standIn);
    const xcb_window_t w = xcb_window_t(standIn.winId());  // made, never shown
    const xcb_atom_t extents = Atom(c, "_NET_FRAME_EXTENTS");
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = w;
    request.type = Atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(c);
    QElapsedTimer clock;
    clock.start();
    do {
        const std::vector<uint32_t> v = Cardinals(c, w, extents, XCB_ATOM_CARDINAL);
        if (v.size() == 4) return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
        QThread::msleep(5);
    } while (clock.elapsed() < 500);
    return {};
}

#else

void DeclareToolWindow(QWidget*) {}
QMargins AskWindowManager(QWidget*) { return {}; }

#endif

// Declares a tool window's kind each time it is about to be mapped (the
// native window may have been made anew since).
class ToolWindowKind : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && !event->spontaneous())
            DeclareToolWindow(static_cast<QWidget*>(watched));
        return false;
    }
};

}  // namespace

QMargins WindowFrameMargins(QWidget* window) {
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    const QMargins known(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (!known.isNull() || window->isVisible()) return known;
    // Not shown yet: the window manager's answer, asked once per window.
    const QVariant asked = window->property(kExpectedFrameProperty);
    if (asked.isValid()) return asked.value<QMargins>();
    const QMargins margins = AskWindowManager(window);
    window->setProperty(kExpectedFrameProperty, QVariant::fromValue(margins));
    return margins;
}

void PlaceOuterFrame(QWidget* window, QPoint outer) {
    // Placed by its inside, so that the frame lands where asked also before
    // the toolkit knows the frame.
    const QMargins frame = WindowFrameMargins(window);
    window->setGeometry(QRect(outer + QPoint(frame.left(), frame.top()), window->size()));
}

void CentreOuterFrame(QWidget* window, QSize screen) {
    const QSize outer = window->size().grownBy(WindowFrameMargins(window));
    PlaceOuterFrame(window, QPoint((screen.width() - outer.width()) / 2,
                                   (screen.height() - outer.height()) / 2));
}

void MarkAsToolWindow(QWidget* window) {
    if (IsToolWindow(window)) return;
    window->setProperty(kToolWindowProperty, true);
    window->installEventFilter(new ToolWindowKind(window));
}

}  // namespace tamarind
