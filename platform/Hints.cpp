#include "platform/Hints.h"

#include <QApplication>
#include <QEvent>
#include <QRegularExpression>
#include <QWidget>

namespace tamarind {
namespace {
const char* const kHintProperty = "tamarindHint";
}

void SetHint(QWidget* widget, const QString& hint) { widget->setProperty(kHintProperty, hint); }

QString HintOf(const QWidget* widget) { return widget->property(kHintProperty).toString(); }

QString EffectiveHint(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QString hint = HintOf(w);
        if (!hint.isEmpty()) return hint;
        if (w->isWindow()) break;
    }
    return {};
}

QString OneLineHint(const QString& hint) {
    QString line = hint;
    line.replace(QRegularExpression(QStringLiteral("[\\r\\n]+")), QStringLiteral("    "));
    return line.trimmed();
}

HintRouter::HintRouter(QWidget* window, std::function<void(const QWidget*)> show)
    : QObject(window), window_(window), show_(std::move(show)) {
    qApp->installEventFilter(this);
}

HintRouter::~HintRouter() { qApp->removeEventFilter(this); }

bool HintRouter::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Enter) {
        if (widget->window() == window_) show_(widget);
    } else if (event->type() == QEvent::Leave) {
        // The pointer is now on the parent, or on a sibling whose Enter
        // follows: until then the parent's hint (or none) is the one to show.
        if (widget == window_)
            show_(nullptr);
        else if (widget->window() == window_)
            show_(widget->parentWidget());
    }
    return false;
}

}  // namespace tamarind
