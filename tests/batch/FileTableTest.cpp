// The batch table's rows (sizes, attribute letters, the two time formats, a
// vanished file), the extension check and the sorts, whose order must be
// exactly the exchange sort's, ties included.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <QTemporaryDir>
#include <QTimeZone>
#include <random>

#include "batch/FileTable.h"
#include "platform/FileIo.h"

#include "TmpfsMount.h"

using namespace tamarind;
using tamarind::test::TmpfsMount;

namespace {

// The exchange sort exactly as the table's rule states it, on whole keys.
template <typename Key>
std::vector<int> ReferenceExchangeSort(std::vector<Key> keys, bool descending) {
    std::vector<int> order(keys.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = int(k);
    const int n = int(keys.size());
    for (int i = 0; i <= n - 2; ++i)
        for (int j = i + 1; j <= n - 1; ++j)
            if (descending ? keys[i] < keys[j] : keys[i] > keys[j]) {
                std::swap(keys[i], keys[j]);
                std::swap(order[i], order[j]);
            }
    return order;
}

FileRow Row(const QString& name, std::int64_t size, const QString& created = {}) {
    FileRow r;
    r.Name = name;
    r.Size = size;
    r.Created = created;
    r.Updated = created;
    return r;
}

QStringList Names(const std::vector<FileRow>& rows) {
    QStringList names;
    for (const FileRow& r : rows) names << r.Name;
    return names;
}

}  // namespace

TEST(FileTableSort, TiesEndWhereTheExchangeSortLeavesThem) {
    // The worked example: [A 10, B 10, C 20] descending by size gives [C, B, A].
    std::vector<FileRow> rows{Row("A", 10), Row("B", 10), Row("C", 20)};
    SortRows(rows, SortColumn::Size, true);
    EXPECT_EQ(Names(rows), QStringList({"C", "B", "A"}));
    SortRows(rows, SortColumn::Size, false);
    EXPECT_EQ(Names(rows), QStringList({"B", "A", "C"}));

    // Random keys with many ties, both directions, against the rule itself.
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const int n = int(random() % 40);
        std::vector<int> keys(static_cast<std::size_t>(n));
        for (int& k : keys) k = int(random() % 6);
        for (bool descending : {false, true}) {
            SCOPED_TRACE(testing::Message() << "round " << round << " descending " << descending);
            ASSERT_EQ(ExchangeSortOrder(keys, descending), ReferenceExchangeSort(keys, descending));
        }
    }
}

TEST(FileTableSort, NamesIgnoreLetterCaseAndTimesSortAsText) {
    std::vector<FileRow> rows{Row("a.jpg", 1), Row("Z.jpg", 2), Row("b.JPG", 3), Row("A.JPG", 4)};
    SortRows(rows, SortColumn::Name, true);
    // a.jpg and A.JPG are equal keys: the exchange sort decides their order.
    std::vector<int> ranks{0, 2, 1, 0};
    std::vector<QString> original{"a.jpg", "Z.jpg", "b.JPG", "A.JPG"};
    QStringList expected;
    for (int index : ReferenceExchangeSort(ranks, true)) expected << original[std::size_t(index)];
    EXPECT_EQ(Names(rows), expected);
    SortRows(rows, SortColumn::Name, false);
    EXPECT_EQ(rows[2].Name, "b.JPG");
    EXPECT_EQ(rows[3].Name, "Z.jpg");

    // Times are compared as their texts; "不明" is just another text.
    std::vector<FileRow> timed{Row("old", 0, " 1999/12/31 23:59:59(金)"),
                               Row("new", 0, " 2024/01/02 03:04:05(火)"),
                               Row("unknown", 0, " 不明"), Row("mid", 0, " 2010/06/01 00:00:00(火)")};
    SortRows(timed, SortColumn::Created, true);
    EXPECT_EQ(Names(timed).mid(1), QStringList({"new", "mid", "old"}));
    SortRows(timed, SortColumn::Updated, false);
    EXPECT_LT(Names(timed).indexOf("old"), Names(timed).indexOf("mid"));
    EXPECT_LT(Names(timed).indexOf("mid"), Names(timed).indexOf("new"));
}

TEST(FileTableTexts, TimesSizesAndLetters) {
    // 2004-03-14 was a Sunday.
    const QDateTime sunday(QDate(2004, 3, 14), QTime(9, 5, 7), Qt::LocalTime);
    EXPECT_EQ(CreationTimeText(sunday), "2004/03/14 09:05:07(日)");
    EXPECT_EQ(UpdateTimeText(sunday), "2004/03/14 09:05:07 (日)");
    EXPECT_EQ(CreationTimeText(QDateTime(QDate(1899, 12, 31), QTime(12, 0), Qt::LocalTime)), "不明");
    EXPECT_EQ(UpdateTimeText(QDateTime()), "不明");

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(SizeText(1234567, english), "1,234,567 ");
    EXPECT_EQ(SizeText(0, english), "0 ");
    EXPECT_EQ(SizeText(5000000000LL, english), "5,000,000,000 ");
    EXPECT_EQ(SizeText(1234567, QLocale(QLocale::German, QLocale::Germany)), "1.234.567 ");

    EXPECT_EQ(AttributeLetters("a.jpg", false), "");
    EXPECT_EQ(AttributeLetters("a.jpg", true), "R");
    EXPECT_EQ(AttributeLetters(".a.jpg", true), "RH");
    EXPECT_EQ(AttributeLetters(".a.jpg", false), "H");
}

TEST(FileTableTexts, RowsReadFromRealFiles) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    WriteFileBytes(folder + "/big.jpg", QByteArray(1234, 'x'));
    // The update time of 2021-08-01 (a Sunday) at noon, local time.
    const QDateTime noon(QDate(2021, 8, 1), QTime(12, 0, 0), Qt::LocalTime);
    struct utimbuf times {noon.toSecsSinceEpoch(), noon.toSecsSinceEpoch()};
    ::utime(EncodePath(folder + "/big.jpg").constData(), &times);

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const std::vector<FileRow> rows =
        GatherRows(folder, {"big.jpg", "gone.jpg"}, english);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Name, "big.jpg");
    EXPECT_EQ(rows[0].Size, 1234);
    EXPECT_EQ(rows[0].SizeText, "1,234 ");
    EXPECT_EQ(rows[0].Attributes, "");
    EXPECT_EQ(rows[0].Updated, " 2021/08/01 12:00:00 (日)");
    // A creation time: the birth time where the file system keeps one.
    EXPECT_TRUE(rows[0].Created == " 不明" || rows[0].Created.endsWith(u')')) << rows[0].Created.toStdString();
    EXPECT_TRUE(rows[0].Created.startsWith(u' '));
    // A file that vanished after it was listed keeps its name, nothing else.
    EXPECT_EQ(rows[1].Name, "gone.jpg");
    EXPECT_EQ(rows[1].SizeText, "");
    EXPECT_EQ(rows[1].Attributes, "");
    EXPECT_EQ(rows[1].Created, "");
    EXPECT_EQ(rows[1].Updated, "");
}

TEST(FileTableTexts, ReadOnlyFilesShowR) {
    // A file the user may not write: mode 0444 for a plain user; root writes
    // anything, so for root the file lies on a read-only mount.
    const bool root = ::geteuid() == 0;
    TmpfsMount disk(QStringLiteral("64k"));  // without root, just an empty folder
    if (root) {
        ASSERT_TRUE(disk.ok()) << disk.why();
    }
    WriteFileBytes(disk.path() + "/ro.jpg", "x");
    if (root) {
        ASSERT_TRUE(disk.MakeReadOnly());
    } else {
        ::chmod((disk.nativePath() + "/ro.jpg").constData(), 0444);
    }
    const FileDetails details = ReadFileDetails(disk.path() + "/ro.jpg");
    EXPECT_TRUE(details.read);
    EXPECT_EQ(details.attributes, "R");
}

TEST(FileTableExtensions, UniformMixedAndTheFieldText) {
    ExtensionCheck c = CheckExtensions({"a.JPG", "b.jpg", "c.Jpg"});
    EXPECT_EQ(c.reference, ".JPG");
    EXPECT_EQ(c.differing, 0);
    EXPECT_EQ(ExtensionFieldText(c.reference), "JPG");

    c = CheckExtensions({"a.jpg", "b.bmp", "c.jpg", "d"});
    EXPECT_EQ(c.differing, 2);

    c = CheckExtensions({"x.jpeg2000", "y.jpeg2000"});
    EXPECT_EQ(ExtensionFieldText(c.reference), "jpeg2");
    EXPECT_EQ(CheckExtensions({}).differing, 0);
    EXPECT_EQ(ExtensionOf("archive.tar.gz"), ".gz");
    EXPECT_EQ(ExtensionOf("noext"), "");

    EXPECT_EQ(FilterExtensionText(0), "*");
    EXPECT_EQ(FilterExtensionText(1), "jpg");
    EXPECT_EQ(FilterExtensionText(7), "gif");
    EXPECT_EQ(FilterExtensionText(8), "*");
}
