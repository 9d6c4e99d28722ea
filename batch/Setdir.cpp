#include "batch/Setdir.h"

#include "platform/Fonts.h"

namespace tamarind {

TForm8* Form8 = nullptr;

TForm8::TForm8(QWidget* parent) : QWidget(parent, Qt::Window) {
    Form8 = this;
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("コピー先指定"));
    setFont(UiFont(kGothic, 12));
    setGeometry(292, 120, 341, 452);
}

}  // namespace tamarind
