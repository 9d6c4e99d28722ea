#include "app/Dimage.h"

#include <QLineEdit>

#include "app/PictureBox.h"
#include "platform/Requests.h"

namespace tamarind {

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    Form5 = this;
    setObjectName(QStringLiteral("Form5"));
    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
    Edit2 = MakeRequestField(this, QStringLiteral("Edit2"), [this] { Edit2Change(); });
}

void TForm5::Edit1Change() {}
void TForm5::Edit2Change() {}

}  // namespace tamarind
