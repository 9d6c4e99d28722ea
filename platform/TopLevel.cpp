#include "platform/TopLevel.h"

#include <QEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "platform/Guard.h"

namespace tamarind {
namespace {

class CloseAsBack : public QObject {
public:
    CloseAsBack(QWidget* window, std::function<void()> back)
        : QObject(window), back_(std::move(back)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close) return false;
        // The back handler hides the window; the close goes no further.
        event->accept();
        RunGuarded(back_);
        return true;
    }

private:
    std::function<void()> back_;
};

}  // namespace

void ShowInFront(QWidget* window) {
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

void CloseLikeBackButton(QWidget* window, std::function<void()> back) {
    auto* filter = new CloseAsBack(window, back);
    window->installEventFilter(filter);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, window, [back] { RunGuarded(back); });
}

}  // namespace tamarind
