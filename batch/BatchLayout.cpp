#include "batch/BatchLayout.h"

#include <QStringList>
#include <algorithm>

namespace tamarind {

TableLayout ComputeTableLayout(QSize window, int groupBox1Top, int groupBox1Height,
                               const TableBase& base, int scrollBarWidth) {
    TableLayout t;
    const int width = window.width();
    t.panel = QRect(6, groupBox1Top + groupBox1Height + 10, width - 40,
                    window.height() - 2 * groupBox1Height - 30);
    const int extra = (width - base.windowWidth) / 10;
    t.nameWidth = base.nameWidth + 6 * extra;
    t.sizeWidth = base.sizeWidth + 2 * extra;
    t.createdWidth = base.createdWidth + extra;
    t.listWidth = 2 * width;
    t.scrollBar = QRect(t.panel.x() + t.panel.width(), t.panel.y(), scrollBarWidth,
                        t.panel.height());
    return t;
}

int TableRowHeight(int fontHeight) { return std::max(kTableRowHeight, fontHeight); }

int PageRowsFor(int listHeight, int rowHeight) { return listHeight / rowHeight - 1; }

ChooserLayout ComputeChooserLayout(QSize window, int button1Top, int button1Height) {
    ChooserLayout c;
    c.button1Left = window.width() - 116;
    c.button2Left = c.button1Left;
    c.button2Top = button1Top + button1Height + 10;
    c.listWidth = window.width() - 140;
    c.listTop = 64;
    c.listHeight = window.height() - 110;
    c.imageLeft = c.button1Left + 32;
    return c;
}

QString ShortenPath(const QString& path, const std::function<bool(const QString&)>& fits) {
    if (fits(path)) return path;
    const bool rooted = path.startsWith(u'/');
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty()) return path;
    const QString root = rooted ? QStringLiteral("/") : QString();
    // Drop the folders after the root one by one, keeping the last component.
    for (qsizetype dropped = 1; dropped < parts.size(); ++dropped) {
        const QString candidate = root + QStringLiteral(".../") + parts.mid(dropped).join(u'/');
        if (fits(candidate)) return candidate;
    }
    return QStringLiteral(".../") + parts.last();
}

}  // namespace tamarind
