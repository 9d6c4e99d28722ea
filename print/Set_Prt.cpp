#include "print/Set_Prt.h"

#include <QLineEdit>

#include "platform/Fonts.h"
#include "platform/Requests.h"

namespace tamarind {

TForm6* Form6 = nullptr;

TForm6::TForm6(QWidget* parent) : QWidget(parent, Qt::Window) {
    Form6 = this;
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("プリンター情報"));
    setFont(UiFont(kGothic, 12));
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
    Edit2 = MakeRequestField(this, QStringLiteral("Edit2"), [this] { Edit2Change(); });
}

void TForm6::Edit1Change() {}
void TForm6::Edit2Change() {}

}  // namespace tamarind
