// Path encoding and whole-file reads, including names that are not UTF-8.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fcntl.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/FileIo.h"

using namespace tamarind;

TEST(PathEncoding, RoundTripsValidAndInvalidUtf8) {
    for (const QByteArray& raw : {QByteArray("/tmp/写真 1.jpg"), QByteArray("/tmp/\x82\xa0\xff.bmp"),
                                  QByteArray("a\xed\xa0\x80" "b"), QByteArray("\xf0\x9f\x93\xb7.jpg")}) {
        EXPECT_EQ(EncodePath(DecodePath(raw)), raw) << raw.toHex().constData();
    }
    EXPECT_EQ(DecodePath("写真.jpg"), QStringLiteral("写真.jpg"));
}

TEST(FileReads, ReadsPrefixWholeFileAndNonUtf8Names) {
    QTemporaryDir dir;
    const QByteArray name = QFile::encodeName(dir.path()) + "/\x8e\xca\x90\x5e.jpg";  // Shift-JIS bytes
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "0123456789", 10), 10);
    ::close(fd);
    const QString path = DecodePath(name);
    EXPECT_EQ(ReadFileBytes(path), QByteArray("0123456789"));
    EXPECT_EQ(ReadFileBytes(path, 4), QByteArray("0123"));
    WriteFileBytes(path, "xy");
    EXPECT_EQ(ReadFileBytes(path), QByteArray("xy"));
}

TEST(FileReads, MissingFileNamesThePathInItsMessage) {
    try {
        ReadFileBytes(QStringLiteral("/nonexistent/none.jpg"));
        FAIL() << "no error";
    } catch (const TamarindError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("/nonexistent/none.jpg")));
        EXPECT_TRUE(e.text().contains(QStringLiteral("ファイルが見つかりません")));
    }
}
