// Messages about failed system calls are Japanese whatever the system's
// locale: no system text (English where no Japanese locale is installed)
// reaches the user.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <clocale>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ErrorText.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"

using namespace tamarind;

namespace {

// Latin words in a text, apart from the "I/O" of "I/O エラー (n)".
bool HasEnglish(const QString& text) {
    QString rest = text;
    rest.remove(QStringLiteral("I/O"));
    return rest.contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
}

TEST(ErrorTexts, EveryErrnoReadsInJapaneseInAnyLocale) {
    std::setlocale(LC_ALL, "C");
    for (int error = 1; error < 134; ++error) {
        const QString text = SystemErrorText(error);
        EXPECT_FALSE(HasEnglish(text)) << error << ": " << text.toStdString();
        EXPECT_FALSE(text.isEmpty()) << error;
    }
    // Errors a user's file meets often have words of their own.
    EXPECT_EQ(SystemErrorText(EFBIG), QStringLiteral("ファイルが大きすぎます"));
    EXPECT_EQ(SystemErrorText(EEXIST), QStringLiteral("同じ名前のファイルがすでに存在します"));
    EXPECT_EQ(SystemErrorText(ENOMEM), QStringLiteral("メモリが不足しています"));
    EXPECT_EQ(SystemErrorText(ELOOP), QStringLiteral("シンボリックリンクの参照が多すぎます"));
    EXPECT_EQ(SystemErrorText(12345), QStringLiteral("I/O エラー (12345)"));
}

// The case seen: a file over the read limit gave "File too large".
TEST(ErrorTexts, TooLargeFileIsRefusedInJapanese) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    const int fd = ::open(EncodePath(path).constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const bool sparse = ::ftruncate(fd, (off_t(1) << 31) + 4096) == 0;  // no blocks written
    ::close(fd);
    if (!sparse) GTEST_SKIP() << "this file system cannot hold a 2 GB sparse file";
    try {
        ReadFileBytes(path);
        FAIL() << "read a file over the limit";
    } catch (const TamarindError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("ファイル %1 を開けません (ファイルが大きすぎます)").arg(path));
    }
    // Reading its head is no problem.
    EXPECT_EQ(ReadFileBytes(path, 16), QByteArray(16, '\0'));
}

}  // namespace
