#include "detail/DHist.h"

#include <QLineEdit>

#include "platform/Fonts.h"
#include "platform/Requests.h"

namespace tamarind {

TForm4* Form4 = nullptr;

TForm4::TForm4(QWidget* parent) : QWidget(parent, Qt::Window) {
    Form4 = this;
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("ヒストグラム"));
    setFont(UiFont(kGothic, 15));
    Edit3 = new QLineEdit(this);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = MakeRequestField(this, QStringLiteral("Edit2"), [this] { Edit2Change(); });
}

void TForm4::Edit2Change() {}

}  // namespace tamarind
