#include "batch/FileTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCollator>
#include <algorithm>
#include <numeric>

#include "platform/FileIo.h"

namespace tamarind {
namespace {

const char16_t* const kWeekdays[7] = {u"月", u"火", u"水", u"木", u"金", u"土", u"日"};

QString TimeText(const QDateTime& time, bool spaceBeforeWeekday) {
    if (!time.isValid()) return QStringLiteral("不明");
    const QDateTime local = time.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    if (d.year() < 1900) return QStringLiteral("不明");
    return QString::asprintf("%4d/%.2d/%.2d %.2d:%.2d:%.2d", d.year(), d.month(), d.day(),
                             t.hour(), t.minute(), t.second()) +
           (spaceBeforeWeekday ? QStringLiteral(" (") : QStringLiteral("(")) +
           QString::fromUtf16(kWeekdays[d.dayOfWeek() - 1]) + u')';
}

QDateTime FromTimestamp(const struct statx_timestamp& ts) {
    return QDateTime::fromMSecsSinceEpoch(std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000,
                                          Qt::UTC);
}

// Case-insensitive collation in the given locale. Case-folding first keeps the
// comparison case-blind also where the collator alone would not be.
QCollator CaseBlindCollator(const QLocale& locale) {
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

template <typename Key, typename Less, typename Equal>
std::vector<int> DenseRanks(const std::vector<Key>& keys, Less less, Equal equal) {
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return less(keys[a], keys[b]); });
    std::vector<int> ranks(keys.size());
    int rank = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && !equal(keys[order[k - 1]], keys[order[k]])) ++rank;
        ranks[order[k]] = rank;
    }
    return ranks;
}

}  // namespace

QString CreationTimeText(const QDateTime& time) { return TimeText(time, false); }
QString UpdateTimeText(const QDateTime& time) { return TimeText(time, true); }

QString SizeText(std::int64_t size, const QLocale& locale) {
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() & ~QLocale::OmitGroupSeparator);
    return l.toString(qlonglong(size)) + u' ';
}

QString AttributeLetters(const QString& name, bool readOnly) {
    QString letters;
    if (readOnly) letters += u'R';
    if (name.startsWith(u'.')) letters += u'H';
    return letters;
}

FileDetails ReadFileDetails(const QString& path, const QLocale& locale) {
    FileDetails details;
    const QByteArray bytes = EncodePath(path);
    struct statx st {};
    if (::statx(AT_FDCWD, bytes.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return details;
    details.read = true;
    details.size = std::int64_t(st.stx_size);
    details.sizeText = SizeText(details.size, locale);
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    details.attributes = AttributeLetters(name, ::access(bytes.constData(), W_OK) != 0);
    // Not every file system keeps a birth time: then the creation time is unknown.
    details.created = (st.stx_mask & STATX_BTIME) ? CreationTimeText(FromTimestamp(st.stx_btime))
                                                  : QStringLiteral("不明");
    details.updated = (st.stx_mask & STATX_MTIME) ? UpdateTimeText(FromTimestamp(st.stx_mtime))
                                                  : QStringLiteral("不明");
    return details;
}

std::vector<FileRow> GatherRows(const QString& folder, const QStringList& names,
                                const QLocale& locale) {
    std::vector<FileRow> rows;
    rows.reserve(std::size_t(names.size()));
    const QString base = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QString& name : names) {
        FileRow row;
        row.Name = name;
        const FileDetails d = ReadFileDetails(base + name, locale);
        if (d.read) {
            row.SizeText = d.sizeText;
            row.Attributes = d.attributes;
            row.Created = u' ' + d.created;
            row.Updated = u' ' + d.updated;
            row.Size = d.size;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

QString ExtensionOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

ExtensionCheck CheckExtensions(const QStringList& names) {
    ExtensionCheck check;
    if (names.isEmpty()) return check;
    check.reference = ExtensionOf(names.first());
    const QCollator collator = CaseBlindCollator(QLocale());
    const QString folded = check.reference.toCaseFolded();
    for (const QString& name : names)
        if (collator.compare(ExtensionOf(name).toCaseFolded(), folded) != 0) ++check.differing;
    return check;
}

QString ExtensionFieldText(const QString& referenceExtension) {
    return referenceExtension.mid(1, 5);
}

QString FilterExtensionText(int filterIndex) {
    static const char* const kTexts[] = {"jpg", "bmp", "tif", "png", "wmf", "ico", "gif"};
    if (filterIndex >= 1 && filterIndex <= 7) return QString::fromLatin1(kTexts[filterIndex - 1]);
    return QStringLiteral("*");
}

std::vector<int> SortRanks(const std::vector<FileRow>& rows, SortColumn column,
                           const QLocale& locale) {
    if (column == SortColumn::Size) {
        std::vector<std::int64_t> sizes;
        sizes.reserve(rows.size());
        for (const FileRow& r : rows) sizes.push_back(r.Size);
        return DenseRanks(sizes, std::less<>(), std::equal_to<>());
    }
    // One collation key per row, made once; comparing keys is a byte compare.
    const QCollator collator = CaseBlindCollator(locale);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows.size());
    for (const FileRow& r : rows) {
        const QString& text = column == SortColumn::Name      ? r.Name
                              : column == SortColumn::Created ? r.Created
                                                              : r.Updated;
        keys.push_back(collator.sortKey(text.toCaseFolded()));
    }
    return DenseRanks(
        keys, [](const QCollatorSortKey& a, const QCollatorSortKey& b) { return a.compare(b) < 0; },
        [](const QCollatorSortKey& a, const QCollatorSortKey& b) { return a.compare(b) == 0; });
}

std::vector<int> ExchangeSortOrder(const std::vector<int>& ranks, bool descending) {
    const int n = int(ranks.size());
    std::vector<int> key = ranks;
    std::vector<int> order(ranks.size());
    std::iota(order.begin(), order.end(), 0);
    for (int i = 0; i < n - 1; ++i) {
        int ki = key[i];
        for (int j = i + 1; j < n; ++j) {
            const int kj = key[j];
            if (descending ? ki < kj : ki > kj) {
                key[j] = ki;
                key[i] = kj;
                std::swap(order[i], order[j]);
                ki = kj;
            }
        }
    }
    return order;
}

void SortRows(std::vector<FileRow>& rows, SortColumn column, bool descending,
              const QLocale& locale) {
    const std::vector<int> order = ExchangeSortOrder(SortRanks(rows, column, locale), descending);
    std::vector<FileRow> sorted;
    sorted.reserve(rows.size());
    for (int index : order) sorted.push_back(std::move(rows[std::size_t(index)]));
    rows = std::move(sorted);
}

}  // namespace tamarind
