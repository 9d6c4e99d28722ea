#include "platform/WindowFrame.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QVariant>
#include <QWidget>

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

#if QT_CONFIG(xcb)

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

// Asks the window manager which frame it will draw around a window like
// `window` and waits up to half a second for its answer. No window manager:
// no frame. The question is asked for a stand-in of the same kind, so the
// window itself is made only when it is shown, at the size it is given.
QMargins AskWindowManager(QWidget* window) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return {};
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return {};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    if (Cardinals(c, root, Atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW).empty()) return {};

    QWidget standIn(nullptr, window->windowFlags());
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

QMargins AskWindowManager(QWidget*) { return {}; }

#endif

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

}  // namespace tamarind
