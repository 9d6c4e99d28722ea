#pragma once
// The batch window's file table as plain data: one row per listed file with
// its size, attribute letters and times as the table shows them, the
// extension check over the listed names, and the sorts by column.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "platform/FileFacts.h"  // AttributeLetters, the time and number texts

namespace tamarind {

struct FileRow {
    QString Name;        // file name without folder
    QString SizeText;    // "1,234,567 " (locale separators, one trailing space)
    QString Attributes;  // "", "R", "H" or "RH"
    QString Created;     // " " + creation time text
    QString Updated;     // " " + update time text
    std::int64_t Size = -1;  // bytes; -1 when the entry could not be read
};

// What one directory entry says about a file.
struct FileDetails {
    bool read = false;  // false: the entry could not be read (vanished file)
    std::int64_t size = 0;
    QString sizeText;
    QString attributes;
    QString created;  // creation (birth) time text, or "不明"
    QString updated;  // last-write time text, or "不明"
};

// Reads the entry of `path` (following a symbolic link). A file that cannot be
// read gives `read` false and empty texts; nothing is raised.
FileDetails ReadFileDetails(const QString& path, const QLocale& locale = QLocale());

// "2024/03/10 14:05:09(日)" for the creation time, "2024/03/10 14:05:09 (日)"
// (a space before the parenthesis) for the update time; "不明" for an invalid
// time or one before the year 1900. The time is shown in local time.
QString CreationTimeText(const QDateTime& time);
QString UpdateTimeText(const QDateTime& time);

// The size with the locale's thousands separator and one trailing space.
QString SizeText(std::int64_t size, const QLocale& locale = QLocale());

// The rows for `names` in `folder`, in list order.
std::vector<FileRow> GatherRows(const QString& folder, const QStringList& names,
                                const QLocale& locale = QLocale());

// The extension of a name with its dot ("a.JPG" -> ".JPG"), empty without one.
QString ExtensionOf(const QString& name);

// The extension of the first name, and how many names have another extension
// (letter case ignored).
struct ExtensionCheck {
    QString reference;  // with its dot, as the first name spells it
    int differing = 0;
};
ExtensionCheck CheckExtensions(const QStringList& names);

// The extension field's text for a uniform list: the reference extension
// without its dot, at most 5 characters.
QString ExtensionFieldText(const QString& referenceExtension);

// The extension field's text when the window opens, from the main window's
// filter entry: 1 "jpg", 2 "bmp", 3 "tif", 4 "png", 5 "wmf", 6 "ico", 7 "gif",
// any other "*".
QString FilterExtensionText(int filterIndex);

// --- Sorting ---------------------------------------------------------------

enum class SortColumn { Name, Size, Created, Updated };

// Dense ranks of the rows' keys for a column: equal keys get equal ranks, a
// greater key a greater rank. Names and times compare by the locale's
// collation ignoring letter case, sizes as numbers.
std::vector<int> SortRanks(const std::vector<FileRow>& rows, SortColumn column,
                           const QLocale& locale = QLocale());

// The permutation the exchange sort gives: for i = 0 .. n-2, for j = i+1 ..
// n-1, swap positions i and j when key(i) < key(j) (descending) or key(i) >
// key(j) (ascending). Equal keys are never swapped, so ties end exactly where
// this procedure leaves them. Result[p] is the original index at position p.
std::vector<int> ExchangeSortOrder(const std::vector<int>& ranks, bool descending);

// Sorts the rows in place by that procedure.
void SortRows(std::vector<FileRow>& rows, SortColumn column, bool descending,
              const QLocale& locale = QLocale());

}  // namespace tamarind
