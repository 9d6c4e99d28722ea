#include "detail/Cgrp.h"

#include <QLineEdit>

#include "platform/Fonts.h"
#include "platform/Requests.h"

namespace tamarind {

TForm3* Form3 = nullptr;

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window) {
    Form3 = this;
    setObjectName(QStringLiteral("Form3"));
    setFont(UiFont(kGothic, 15));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Memo1 = new QLineEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
}

void TForm3::Edit1Change() {}

}  // namespace tamarind
