#pragma once
// Hints: a short text a control carries, shown in its window's status bar
// while the pointer is over it. A control without a hint of its own shows its
// nearest parent's.

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace tamarind {

void SetHint(QWidget* widget, const QString& hint);
QString HintOf(const QWidget* widget);
// The hint of the control itself or, when it has none, of its nearest parent.
QString EffectiveHint(const QWidget* widget);
// A hint as a one-line status text: line breaks become a visible gap.
QString OneLineHint(const QString& hint);

// Watches the pointer entering and leaving the controls of one window and
// hands the hint to show to `show` (an empty text where there is none).
class HintRouter : public QObject {
public:
    HintRouter(QWidget* window, std::function<void(const QWidget*)> show);
    ~HintRouter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    std::function<void(const QWidget*)> show_;
};

}  // namespace tamarind
