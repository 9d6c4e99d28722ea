#include "batch/BatchControls.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>

#include "batch/UpDown.h"
#include "platform/Controls.h"

namespace tamarind {

QLineEdit* CreamField(QWidget* parent, const QString& name, const QColor& colour) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setAlignment(Qt::AlignCenter);
    QPalette p = field->palette();
    p.setColor(QPalette::Base, colour);
    field->setPalette(p);
    return field;
}

UpDown* Spin(QWidget* parent, const QString& name, int min, int max, int position, QRect geometry) {
    auto* spin = new UpDown(min, max, position, parent);
    spin->setObjectName(name);
    spin->setGeometry(geometry);
    return spin;
}

QListWidget* Column(QWidget* parent, const QString& name, Qt::Alignment alignment) {
    auto* column = new QListWidget(parent);
    column->setObjectName(name);
    column->setFrameShape(QFrame::NoFrame);
    column->setSelectionMode(QAbstractItemView::NoSelection);
    column->setFocusPolicy(Qt::NoFocus);
    column->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column->setUniformItemSizes(true);
    column->setTextElideMode(Qt::ElideNone);  // cut at the edge, as a text column is
    column->setProperty("alignment", int(alignment));
    return column;
}

void AddLine(QListWidget* list, const QString& text, int rowHeight) {
    auto* item = new QListWidgetItem(text);
    item->setSizeHint(QSize(0, rowHeight));
    const QVariant alignment = list->property("alignment");
    if (alignment.isValid()) item->setTextAlignment(Qt::Alignment(alignment.toInt()) | Qt::AlignVCenter);
    list->addItem(item);
}

int WidestNumberAdvance(const QFont& font, int digits) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (char16_t d = u'0'; d <= u'9'; ++d)
        widest = std::max(widest, metrics.horizontalAdvance(QString(digits, QChar(d))));
    return widest;
}

ClickLabel* HeaderCell(QWidget* parent, const QString& name, const QString& caption, int width) {
    auto* cell = new ClickLabel(caption, parent);
    cell->setObjectName(name);
    cell->setAlignment(Qt::AlignCenter);
    cell->setFrameStyle(QFrame::Panel | QFrame::Raised);
    cell->resize(width, 16);
    return cell;
}

}  // namespace tamarind
