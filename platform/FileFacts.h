#pragma once
// What a file's directory entry says, as the windows show it: attribute
// letters, birth and update times, length.

#include <QLocale>
#include <QString>
#include <optional>

namespace tamarind {

struct FileFacts {
    // "R" when the user may not write the file, then "H" when its name
    // starts with a dot; empty when neither holds.
    QString attributes;
    // Seconds since 1970 (UTC); nothing where the file system keeps no such time.
    std::optional<qint64> birthTime;
    std::optional<qint64> modifyTime;
    qint64 size = 0;
};

// The facts of the file at `path` (following a symbolic link), or nothing
// when it does not exist or cannot be looked at.
std::optional<FileFacts> ReadFileFacts(const QString& path);

// The letters for a file: "R" when the user may not write it, "H" when its
// name starts with a dot.
QString AttributeLetters(const QString& name, bool readOnly);

// A file time in the local time zone, "2004/05/03 14:07:09(月)", or with
// `spaceBeforeWeekday` "2004/05/03 14:07:09 (月)"; "不明" when there is none
// or its local year is below 1900.
QString FormatFileTime(std::optional<qint64> secondsUtc, bool spaceBeforeWeekday = false);

// A count with the thousands separator of `locale` ("1,234,567").
QString GroupedNumber(qint64 n, const QLocale& locale = QLocale());

}  // namespace tamarind
