#pragma once
// Geometry of the batch window's file table and of the destination chooser
// as integer arithmetic (divisions truncate toward zero), and the chooser's
// shortened path line.

#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

namespace tamarind {

// The file table's rows are 12 pixels high, or as high as the font the
// table is drawn in needs (a substitute font may reach lower, and underscores
// sit at the bottom of its line).
inline constexpr int kTableRowHeight = 12;
int TableRowHeight(int fontHeight);

// The header widths and window width the table's widths grow from.
struct TableBase {
    int nameWidth = 150;
    int sizeWidth = 76;
    int createdWidth = 152;
    int windowWidth = 520;
};

struct TableLayout {
    QRect panel;  // Panel1, the table
    int nameWidth = 0;
    int sizeWidth = 0;
    int createdWidth = 0;
    int listWidth = 0;  // the name column's list: twice the window width
    QRect scrollBar;
};

// The table below the mode group: the header cells grow by 6, 2 and 1 tenths
// of the window's growth over its base width (negative when narrower).
TableLayout ComputeTableLayout(QSize window, int groupBox1Top, int groupBox1Height,
                               const TableBase& base, int scrollBarWidth);

// Rows of `rowHeight` shown at once in a list of that height: one less than fit.
int PageRowsFor(int listHeight, int rowHeight);

struct ChooserLayout {
    int button1Left = 0;
    int button2Left = 0;
    int button2Top = 0;
    int listWidth = 0;
    int listTop = 0;
    int listHeight = 0;
    int imageLeft = 0;
};

ChooserLayout ComputeChooserLayout(QSize window, int button1Top, int button1Height);

// Shortens a path until `fits` accepts it: the first folder after the root
// becomes "...", then the next ("/a/b/c" -> "/.../b/c" -> "/.../c"), then the
// root goes too (".../c"). The last component always stays.
QString ShortenPath(const QString& path, const std::function<bool(const QString&)>& fits);

}  // namespace tamarind
