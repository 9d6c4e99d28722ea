#pragma once
// The entries of the file-type filter: shown text and mask.

#include <QList>
#include <QString>

namespace tamarind {

struct FilterEntry {
    QString text;
    QString mask;
};

// The nine entries from "全ての画像ファイル" to "全てのファイル(*.*)". With
// the other formats on, the first entry's mask also takes their extensions
// and entries for them follow the last, so the nine keep their indexes.
QList<FilterEntry> FilterEntries(bool otherFormats);

}  // namespace tamarind
