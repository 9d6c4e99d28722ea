#include "batch/FileTable.h"
#include "picture/Picture.h"

#include <QCollator>
#include <algorithm>
#include <numeric>
#include <optional>

namespace tamarind {
namespace {

// Whole seconds since 1970 of a time, rounded down (also before 1970).
std::optional<qint64> Seconds(const QDateTime& time) {
    if (!time.isValid()) return std::nullopt;
    const qint64 ms = time.toMSecsSinceEpoch();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
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

QString CreationTimeText(const QDateTime& time) { return FormatFileTime(Seconds(time)); }
QString UpdateTimeText(const QDateTime& time) { return FormatFileTime(Seconds(time), true); }

QString SizeText(std::int64_t size, const QLocale& locale) {
    return GroupedNumber(size, locale) + u' ';
}

FileDetails ReadFileDetails(const QString& path, const QLocale& locale) {
    FileDetails details;
    const std::optional<FileFacts> facts = ReadFileFacts(path);
    if (!facts) return details;
    details.read = true;
    details.size = facts->size;
    details.sizeText = SizeText(details.size, locale);
    details.attributes = facts->attributes;
    // Not every file system keeps a birth time: then the creation time is unknown.
    details.created = FormatFileTime(facts->birthTime);
    details.updated = FormatFileTime(facts->modifyTime, true);
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

QString ExtensionOf(const QString& name) { return FileExtensionWithDot(name); }

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
