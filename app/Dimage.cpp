#include "app/Dimage.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>

#include "app/FullSizePlacement.h"
#include "platform/Guard.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "platform/WindowFrame.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

namespace tamarind {

TForm5* Form5 = nullptr;

TForm5::TForm5(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    Form5 = this;
    setObjectName(QStringLiteral("Form5"));
    MarkAsToolWindow(this);  // only a close box in its title bar
    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->move(0, 0);
    Image1->onDoubleClick = [this] { F5ImDclick(); };
    Image1->installEventFilter(this);
    CloseLikeBackButton(this, [this] { F5_Click(); });
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
    Edit2 = MakeRequestField(this, QStringLiteral("Edit2"), [this] { Edit2Change(); });
}

void TForm5::FitToPicture() { setFixedSize(Image1->size()); }

QSize TForm5::ScreenSize() const {
    // The screen size the main window took at start-up, as for its own sizes.
    if (Viewer.ScreenWidth > 0 && Viewer.ScreenHeight > 0)
        return {Viewer.ScreenWidth, Viewer.ScreenHeight};
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize();
}

void TForm5::PlaceOuter(const std::function<QPoint(QSize outer)>& rule) {
    // The rules place the window with its frame.
    PlaceOuterFrame(this, rule(size().grownBy(WindowFrameMargins(this))));
}

void TForm5::Edit1Change() {
    const int width = Edit1->text().toInt();
    PlaceOuter([&](QSize outer) { return PlaceByWidth(width, outer, ScreenSize()); });
}

void TForm5::Edit2Change() {
    const int height = Edit2->text().toInt();
    PlaceOuter([&](QSize outer) { return PlaceByHeight(height, outer, ScreenSize()); });
}

void TForm5::F5_Click() { hide(); }
void TForm5::F5ImClick() { hide(); }
void TForm5::F5ImDclick() { hide(); }

// A click is a left press and release on the same control, the release
// inside it.
bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const bool click = mouse->button() == Qt::LeftButton && pressed_ == Image1 &&
                           Image1->rect().contains(mouse->position().toPoint());
        pressed_ = nullptr;
        if (click) RunGuarded([this] { F5ImClick(); });
        return true;
    }
    if (watched == Image1 && event->type() == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) pressed_ = Image1;
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm5::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = this;
    event->accept();
}

void TForm5::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = event->button() == Qt::LeftButton && pressed_ == this &&
                       rect().contains(event->position().toPoint());
    pressed_ = nullptr;
    event->accept();
    if (click) RunGuarded([this] { F5_Click(); });
}

}  // namespace tamarind
