#include "batch/Renname.h"

#include <QLineEdit>

#include "platform/Fonts.h"
#include "platform/Requests.h"

namespace tamarind {

TForm7* Form7 = nullptr;
QString BatchTargetPath;
QString DestinationFolder;

TForm7::TForm7(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint) {
    Form7 = this;
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("連番処理"));
    setFont(UiFont(kGothic, 12));
    resize(684, 516);
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
    Edit3 = MakeRequestField(this, QStringLiteral("Edit3"), {});
    Edit4 = MakeRequestField(this, QStringLiteral("Edit4"), [this] { Edit4Change(); });
}

void TForm7::Edit1Change() {}
void TForm7::Edit4Change() {}

}  // namespace tamarind
