#include "app/Version.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/Controls.h"
#include "platform/Fonts.h"
#include "platform/TopLevel.h"
#include "platform/WindowFrame.h"

namespace tamarind {

TForm2* Form2 = nullptr;

TForm2::TForm2(QWidget* parent) : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint |
                                                      Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    Form2 = this;
    setObjectName(QStringLiteral("Form2"));
    MarkAsToolWindow(this);  // only a close box in its title bar
    setWindowTitle(QStringLiteral("Version 情報"));
    setFont(UiFont(kGothic, 12));
    SetBackgroundColor(this, ButtonFaceColor());
    resize(188, 271);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Label1 = MakeLabel(Panel1, "Label1", QStringLiteral("Tamarind.exe"), {24, 32},
                       UiFont(kCenturyGothic, 21, true));
    Label5 = MakeLabel(Panel1, "Label5", QStringLiteral("Ver 2.20"), {56, 72}, UiFont(kGothic, 15));
    Label2 = MakeLabel(Panel1, "Label2", QStringLiteral("2004/5"), {56, 96}, UiFont(kGothic, 16));
    Label3 = MakeLabel(Panel1, "Label3", QStringLiteral("Tamarind 開発チーム"), {32, 128},
                       UiFont(kMincho, 19, true));
    Label4 =
        MakeLabel(Panel1, "Label4", QStringLiteral("Free Soft"), {24, 160}, UiFont(kGothic, 16));
    BitBtn1 = MakeButton(Panel1, "BitBtn1", QStringLiteral("OK"), {50, 192, 71, 26},
                         [this] { BitBtn1Click(); });
    BitBtn1->setDefault(true);
    BitBtn1->setAutoDefault(true);
    CloseLikeBackButton(this, [this] { BitBtn1Click(); });

    F2_Create();
}

void TForm2::F2_Create() {
    setFixedSize(Label1->width() + 144, BitBtn1->y() + 80);
    Panel1->setGeometry(rect());
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, Label3, Label4, Label5, BitBtn1})
        w->move((Panel1->width() - w->width()) / 2, w->y());
    // The window with its frame, as the user sees it, is centred.
    if (QScreen* screen = QGuiApplication::primaryScreen()) CentreOuterFrame(this, screen->size());
}

void TForm2::BitBtn1Click() { hide(); }

void TForm2::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        BitBtn1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tamarind
