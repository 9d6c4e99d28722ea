#pragma once
// The batch window's own kinds of controls: read-only fields on a coloured
// ground, up-down buttons, and the file table's header cells and text
// columns.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QLineEdit;
class QListWidget;
class QWidget;

namespace tamarind {

class ClickLabel;
class UpDown;

// The ground of the batch window's read-only fields.
inline const QColor kCream(255, 251, 240);
// The window's own ground, the marked mode's colour and the header cells'.
inline const QColor kMoneyGreen(192, 220, 192);
inline const QColor kAqua(0, 255, 255);
inline const QColor kHeaderGrey(192, 192, 192);

// The naming group's place, and the width of the table's scroll bar.
constexpr int kGroupBox1Top = 8;
constexpr int kGroupBox1Height = 174;
constexpr int kScrollBarWidth = 16;

// A read-only field with centred text on `colour`.
QLineEdit* CreamField(QWidget* parent, const QString& name, const QColor& colour = kCream);
// Up-down buttons from `min` to `max` standing at `position`.
UpDown* Spin(QWidget* parent, const QString& name, int min, int max, int position, QRect geometry);

// A borderless column of the table body whose lines line up with the list's rows.
QListWidget* Column(QWidget* parent, const QString& name, Qt::Alignment alignment);
// Adds a line of `rowHeight` pixels to a column, aligned as the column is.
void AddLine(QListWidget* list, const QString& text, int rowHeight);
// A raised header cell of the table, 16 pixels high.
ClickLabel* HeaderCell(QWidget* parent, const QString& name, const QString& caption, int width);

// The width of the widest number of `digits` digits in `font`.
int WidestNumberAdvance(const QFont& font, int digits);

}  // namespace tamarind
