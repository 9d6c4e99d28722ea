#include "platform/Requests.h"

namespace tamarind {

QLineEdit* MakeRequestField(QWidget* parent, const QString& objectName,
                            std::function<void()> handler) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->hide();
    if (!handler) return field;  // a data field: nothing runs when it changes
    QObject::connect(field, &QLineEdit::textChanged, field,
                     [handler = std::move(handler)](const QString&) { RunGuarded(handler); });
    return field;
}

void SendRequest(QLineEdit* field, const QString& text) {
    field->setText(text);
    RaisePendingError();
}

}  // namespace tamarind
