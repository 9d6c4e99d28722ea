// Opening files without blocking: named pipes, sockets, devices and folders
// are refused at once with a Japanese reason; regular files open in ordinary
// blocking mode. Every case runs under a time limit, so a regression that
// blocks on a pipe fails instead of hanging the run.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>

#include "Deadline.h"
#include "exif/Exif.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/FileOps.h"
#include "platform/OpenFile.h"

using namespace tamarind;
using tamarind::test::Deadline;

namespace {

constexpr std::chrono::seconds kLimit(10);

class OpenFiles : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QString MakeFifo(const char* name) const {
        const QString path = Path(name);
        EXPECT_EQ(::mkfifo(EncodePath(path).constData(), 0644), 0);
        return path;
    }
    // The text of the TamarindError that `work` raises, or "(no error)".
    template <class Work>
    static QString ErrorOf(Work work) {
        try {
            work();
        } catch (const TamarindError& e) {
            return e.text();
        }
        return QStringLiteral("(no error)");
    }

    QTemporaryDir dir;
};

TEST_F(OpenFiles, RegularFilesOpenInBlockingModeForReadingAndWriting) {
    Deadline limit(kLimit);
    const QString path = Path("a.jpg");
    struct stat info {};
    {
        FileHandle created = OpenRegularFile(path, O_WRONLY | O_CREAT | O_TRUNC, &info, 0600);
        ASSERT_TRUE(created.isOpen());
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(::write(created.get(), "abc", 3), 3);
        EXPECT_EQ(::fcntl(created.get(), F_GETFL) & O_NONBLOCK, 0);
        EXPECT_NE(::fcntl(created.get(), F_GETFD) & FD_CLOEXEC, 0);
    }
    FileHandle file = OpenRegularFile(path);
    EXPECT_EQ(::fcntl(file.get(), F_GETFL) & O_NONBLOCK, 0);
    char buffer[4] = {};
    EXPECT_EQ(::read(file.get(), buffer, 4), 3);

    // A handle closes its descriptor when it goes, and moves hand it on.
    const int fd = file.get();
    FileHandle moved(std::move(file));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(moved.get(), fd);
    moved.reset();
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);

    // O_EXCL still reports an existing file as the open's own error.
    FileHandle again;
    OpenFailure why;
    EXPECT_FALSE(TryOpenRegularFile(path, O_WRONLY | O_CREAT | O_EXCL, again, &why));
    EXPECT_EQ(why.error, EEXIST);
}

// A named pipe with no writer would block an ordinary open for reading until
// some other process opens it; one with no reader fails an open for writing.
TEST_F(OpenFiles, NamedPipesAreRefusedAtOnceForReadingAndWriting) {
    Deadline limit(kLimit);
    const QString fifo = MakeFifo("x.jpg");
    const QString message = QStringLiteral("ファイル %1 を開けません (名前付きパイプです)").arg(fifo);
    EXPECT_EQ(ErrorOf([&] { OpenRegularFile(fifo); }), message);
    EXPECT_EQ(ErrorOf([&] { ReadFileBytes(fifo); }), message);
    EXPECT_EQ(ErrorOf([&] { ReadFileBytes(fifo, 4096); }), message);
    EXPECT_EQ(ErrorOf([&] { WriteFileBytes(fifo, "data"); }), message);
    QByteArray bytes("left over");
    EXPECT_FALSE(TryReadFileBytes(fifo, 4096, bytes));
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_EQ(ReadExifSummary(fifo), QString());

    // Also through a symbolic link, and while a writer holds the pipe open
    // (reads would then wait for its data).
    const QString link = Path("link.jpg");
    ASSERT_EQ(::symlink(EncodePath(fifo).constData(), EncodePath(link).constData()), 0);
    EXPECT_TRUE(ErrorOf([&] { ReadFileBytes(link); }).endsWith(u"(名前付きパイプです)"));
    const int reader = ::open(EncodePath(fifo).constData(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(EncodePath(fifo).constData(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(ErrorOf([&] { ReadFileBytes(fifo); }), message);
    ::close(writer);
    ::close(reader);

    // Failures say why in numbers too: errno and the kind of file.
    FileHandle file;
    OpenFailure why;
    errno = 0;
    EXPECT_FALSE(TryOpenRegularFile(fifo, O_RDONLY, file, &why));
    EXPECT_EQ(errno, ENXIO);
    EXPECT_EQ(why.error, 0);
    EXPECT_EQ(why.type, mode_t(S_IFIFO));
    EXPECT_FALSE(file.isOpen());
}

TEST_F(OpenFiles, SocketsDevicesAndFoldersAreRefusedWithTheirKind) {
    Deadline limit(kLimit);
    const QString socketPath = Path("s.jpg");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = EncodePath(socketPath);
    ASSERT_LT(std::size_t(encoded.size()), sizeof address.sun_path);
    std::copy(encoded.begin(), encoded.end(), address.sun_path);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const struct {
        QString path;
        const char16_t* reason;
    } cases[] = {
        {socketPath, u"ソケットです"},
        {QStringLiteral("/dev/null"), u"デバイスです"},
        {QStringLiteral("/dev/zero"), u"デバイスです"},
        {dir.path(), u"フォルダーです"},
        {Path("missing.jpg"), u"ファイルが見つかりません"},
    };
    for (const auto& c : cases) {
        const QString expected =
            QStringLiteral("ファイル %1 を開けません (%2)").arg(c.path, QString::fromUtf16(c.reason));
        EXPECT_EQ(ErrorOf([&] { ReadFileBytes(c.path); }), expected);
        EXPECT_EQ(ReadExifSummary(c.path), QString());
    }
    // Writing into a device or over a socket is refused too, and nothing is created.
    EXPECT_TRUE(ErrorOf([&] { WriteFileBytes(QStringLiteral("/dev/null"), "x"); })
                    .endsWith(u"(デバイスです)"));
    EXPECT_TRUE(ErrorOf([&] { WriteFileBytes(socketPath, "x"); }).endsWith(u"(ソケットです)"));
    ::close(s);
}

// Copies and moves read their source the same way.
TEST_F(OpenFiles, CopyingOrMovingAPipeIsRefusedAndLeavesNothingBehind) {
    Deadline limit(kLimit);
    const QString fifo = MakeFifo("x.jpg");
    for (Replace replace : {Replace::No, Replace::Yes}) {
        const FileOpResult copied = CopyFile(fifo, Path("copy.jpg"), replace);
        EXPECT_FALSE(copied.ok());
        EXPECT_EQ(copied.text, QStringLiteral("名前付きパイプです"));
    }
    EXPECT_FALSE(PathExists(Path("copy.jpg")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("x.jpg")});
}

}  // namespace
