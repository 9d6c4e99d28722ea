#pragma once
// The busy (hourglass) pointer for the lifetime of the object.

#include <QGuiApplication>

namespace tamarind {

class BusyCursor {
public:
    BusyCursor() {
        if (qGuiApp) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor() {
        if (qGuiApp) QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace tamarind
