#include "platform/FileFacts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "platform/FileIo.h"
#include "platform/Folders.h"

namespace tamarind {

std::optional<FileFacts> ReadFileFacts(const QString& path) {
    const QByteArray native = EncodePath(path);
    struct statx st {};
    if (::statx(AT_FDCWD, native.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return std::nullopt;
    FileFacts facts;
    facts.attributes = AttributeLetters(FileNameOf(path), ::access(native.constData(), W_OK) != 0);
    if (st.stx_mask & STATX_BTIME) facts.birthTime = st.stx_btime.tv_sec;
    if (st.stx_mask & STATX_MTIME) facts.modifyTime = st.stx_mtime.tv_sec;
    facts.size = qint64(st.stx_size);
    return facts;
}

QString AttributeLetters(const QString& name, bool readOnly) {
    QString letters;
    if (readOnly) letters += u'R';
    if (name.startsWith(u'.')) letters += u'H';
    return letters;
}

QString FormatFileTime(std::optional<qint64> secondsUtc, bool spaceBeforeWeekday) {
    static const char16_t* const kWeekdays[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
    if (!secondsUtc) return QStringLiteral("不明");
    const std::time_t t = std::time_t(*secondsUtc);
    std::tm local {};
    if (!::localtime_r(&t, &local) || local.tm_year + 1900 < 1900) return QStringLiteral("不明");
    return QString::asprintf("%4d/%.2d/%.2d %.2d:%.2d:%.2d", local.tm_year + 1900,
                             local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                             local.tm_sec) +
           (spaceBeforeWeekday ? QStringLiteral(" (") : QStringLiteral("(")) +
           QString::fromUtf16(kWeekdays[local.tm_wday]) + u')';
}

QString GroupedNumber(qint64 n, const QLocale& locale) {
    QLocale withGroups = locale;
    withGroups.setNumberOptions(withGroups.numberOptions() & ~QLocale::OmitGroupSeparator);
    return withGroups.toString(n);
}

}  // namespace tamarind
