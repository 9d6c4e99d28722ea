// Rename, copy, move, delete and trash on one disk: what each does to the
// files, what it refuses, and the words it reports.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FileOpsSupport.h"
#include "platform/ErrorText.h"
#include "platform/FileIo.h"
#include "platform/FileOps.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

class FileOpsTest : public ::testing::Test {
protected:
    TempFolder temp;
    QByteArray dir = temp.path();

    // The QString path of a name in the folder (names may be any bytes).
    QString P(const QByteArray& name) const { return DecodePath(dir + '/' + name); }
    QByteArray B(const QByteArray& name) const { return dir + '/' + name; }
};

TEST(SystemErrorTextTest, UsesTheUsersWordsAndNumbersTheRest) {
    EXPECT_EQ(SystemErrorText(ENOENT), QStringLiteral("ファイルが見つかりません"));
    EXPECT_EQ(SystemErrorText(ENOTDIR), QStringLiteral("ファイルが見つかりません"));
    EXPECT_EQ(SystemErrorText(EINVAL), QStringLiteral("ファイル名の指定が間違っています"));
    EXPECT_EQ(SystemErrorText(ENAMETOOLONG), QStringLiteral("ファイル名の指定が間違っています"));
    EXPECT_EQ(SystemErrorText(EMFILE), QStringLiteral("オープンしたファイルが多すぎます"));
    EXPECT_EQ(SystemErrorText(ENFILE), QStringLiteral("オープンしたファイルが多すぎます"));
    for (int e : {EACCES, EPERM, EROFS})
        EXPECT_EQ(SystemErrorText(e), QStringLiteral("ファイルへのアクセスが拒否されました")) << e;
    EXPECT_EQ(SystemErrorText(ENOSPC), QStringLiteral("ディスクがいっぱいです"));
    EXPECT_EQ(SystemErrorText(EDQUOT), QStringLiteral("ディスクがいっぱいです"));
    EXPECT_EQ(SystemErrorText(EIO), QStringLiteral("I/O エラー (5)"));
    EXPECT_EQ(SystemErrorText(EXDEV), QStringLiteral("別のディスクへは移動できません"));
    EXPECT_EQ(SystemErrorText(EBADMSG), QStringLiteral("I/O エラー (74)"));
}

TEST(PlainFileNames, RefuseAnythingThatLeavesTheFolder) {
    for (const char* name : {"a.jpg", ".hidden", "...", "a b.jpg", "写真.jpg", "a\\b.jpg"})
        EXPECT_TRUE(IsPlainFileName(QString::fromUtf8(name))) << name;
    for (const char* name : {"", ".", "..", "../x.jpg", "sub/x.jpg", "/x.jpg", "x/"})
        EXPECT_FALSE(IsPlainFileName(QString::fromUtf8(name))) << name;
    EXPECT_FALSE(IsPlainFileName(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
    EXPECT_TRUE(IsPlainFileName(DecodePath("\x8e\xca.jpg")));
}

TEST_F(FileOpsTest, RenameNeverReplacesUnlessAsked) {
    PutFile(B("a.jpg"), "AAA");
    PutFile(B("b.jpg"), "BB");
    FileOpResult r = RenameFile(P("a.jpg"), P("b.jpg"), Replace::No);
    EXPECT_TRUE(r.targetExists());
    EXPECT_EQ(r.text, kTargetExistsText);
    EXPECT_EQ(Snapshot(dir), (Tree{{"a.jpg", "AAA"}, {"b.jpg", "BB"}}));

    EXPECT_TRUE(RenameFile(P("a.jpg"), P("c.jpg"), Replace::No).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{"b.jpg", "BB"}, {"c.jpg", "AAA"}}));

    EXPECT_TRUE(RenameFile(P("c.jpg"), P("b.jpg"), Replace::Yes).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{"b.jpg", "AAA"}}));

    // Its own name again (a cancelled input box) changes nothing and is no failure.
    EXPECT_TRUE(RenameFile(P("b.jpg"), P("b.jpg"), Replace::No).ok());
    EXPECT_TRUE(RenameFile(P("b.jpg"), DecodePath(dir + "/./b.jpg"), Replace::Yes).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{"b.jpg", "AAA"}}));

    r = RenameFile(P("none.jpg"), P("x.jpg"), Replace::No);
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    EXPECT_EQ(r.text, QStringLiteral("ファイルが見つかりません"));
    r = RenameFile(P("b.jpg"), P("no-such-folder/x.jpg"), Replace::No);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_EQ(Snapshot(dir), (Tree{{"b.jpg", "AAA"}}));
}

TEST_F(FileOpsTest, RenameOntoAHardLinkOfItselfReportsTheSameFile) {
    PutFile(B("a.jpg"), "AAA");
    ASSERT_EQ(::link(B("a.jpg"), B("b.jpg")), 0);
    for (Replace replace : {Replace::No, Replace::Yes}) {
        const FileOpResult r = RenameFile(P("a.jpg"), P("b.jpg"), replace);
        EXPECT_TRUE(r.sameFile());
        EXPECT_EQ(r.text, kSameFileText);
    }
    EXPECT_EQ(Snapshot(dir), (Tree{{"a.jpg", "AAA"}, {"b.jpg", "AAA"}}));
}

TEST_F(FileOpsTest, NamesThatAreNotUtf8) {
    const QByteArray sjis = "\x8e\xca\x90\x5e.jpg";   // Shift-JIS
    const QByteArray latin = "caf\xe9.jpg";           // Latin-1
    PutFile(B(sjis), "photo");
    EXPECT_TRUE(RenameFile(P(sjis), P(latin), Replace::No).ok());
    EXPECT_TRUE(CopyFile(P(latin), P(sjis), Replace::No).ok());
    EXPECT_TRUE(CopyFile(P(latin), P(sjis), Replace::No).targetExists());
    ASSERT_EQ(::mkdir(B("\xff").constData(), 0755), 0);
    EXPECT_TRUE(MoveFile(P(sjis), P("\xff/" + sjis), Replace::No).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{latin, "photo"}, {"\xff", "<dir>"}, {"\xff/" + sjis, "photo"}}));
    EXPECT_TRUE(DeleteFile(P("\xff/" + sjis)).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{latin, "photo"}, {"\xff", "<dir>"}}));
}

TEST_F(FileOpsTest, CopyMakesANewFileOrReplacesOnlyWhenAsked) {
    const QByteArray big(3 * int(kCopyBlockSize) + 12345, 'x');
    PutFile(B("big.bmp"), big);
    PutFile(B("old.bmp"), "old");
    ASSERT_EQ(::chmod(B("old.bmp").constData(), 0600), 0);

    EXPECT_TRUE(CopyFile(P("big.bmp"), P("new.bmp"), Replace::No).ok());
    EXPECT_EQ(GetFile(B("new.bmp")), big);

    const FileOpResult r = CopyFile(P("big.bmp"), P("old.bmp"), Replace::No);
    EXPECT_TRUE(r.targetExists());
    EXPECT_EQ(GetFile(B("old.bmp")), "old");

    EXPECT_TRUE(CopyFile(P("big.bmp"), P("old.bmp"), Replace::Yes).ok());
    EXPECT_EQ(GetFile(B("old.bmp")), big);
    struct stat st {};
    ASSERT_EQ(::stat(B("old.bmp").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "a replaced file keeps its permissions";

    // Replacing where nothing was makes the file; no temporary file stays.
    EXPECT_TRUE(CopyFile(P("big.bmp"), P("fresh.bmp"), Replace::Yes).ok());
    const Tree after = Snapshot(dir);
    EXPECT_EQ(after.size(), 4u) << Describe(after);

    // Folders and pipes are no files to copy; nothing waits on the pipe.
    ASSERT_EQ(::mkdir(B("sub").constData(), 0755), 0);
    ASSERT_EQ(::mkfifo(B("pipe").constData(), 0644), 0);
    EXPECT_EQ(CopyFile(P("sub"), P("sub2"), Replace::No).status, FileOpStatus::Failed);
    EXPECT_EQ(CopyFile(P("pipe"), P("pipe2"), Replace::No).status, FileOpStatus::Failed);
    EXPECT_EQ(CopyFile(P("big.bmp"), P("none/x.bmp"), Replace::No).text,
              QStringLiteral("ファイルが見つかりません"));
    EXPECT_EQ(Snapshot(dir).size(), 6u) << Describe(Snapshot(dir));

    // An empty file copies as an empty file.
    PutFile(B("empty"), "");
    EXPECT_TRUE(CopyFile(P("empty"), P("empty2"), Replace::No).ok());
    EXPECT_EQ(GetFile(B("empty2")), "");
}

TEST_F(FileOpsTest, CopyOrMoveOntoItselfWritesNothing) {
    PutFile(B("a.jpg"), "precious");
    ASSERT_EQ(::mkdir(B("sub").constData(), 0755), 0);
    ASSERT_EQ(::link(B("a.jpg"), B("sub/hard.jpg")), 0);
    ASSERT_EQ(::symlink(B("a.jpg"), B("soft.jpg")), 0);
    const Tree before = Snapshot(dir);
    // The same name, a second path to it, a hard link, a symbolic link.
    for (const QByteArray& other : {QByteArray("a.jpg"), QByteArray("sub/../a.jpg"),
                                    QByteArray("sub/hard.jpg"), QByteArray("soft.jpg")}) {
        for (Replace replace : {Replace::No, Replace::Yes}) {
            const FileOpResult c = CopyFile(P("a.jpg"), P(other), replace);
            EXPECT_TRUE(c.sameFile()) << other.constData();
            EXPECT_EQ(c.text, kSameFileText);
            EXPECT_TRUE(MoveFile(P("a.jpg"), P(other), replace).sameFile()) << other.constData();
            EXPECT_TRUE(MoveFile(P(other), P("a.jpg"), replace).sameFile()) << other.constData();
        }
        EXPECT_TRUE(IsSameFile(P("a.jpg"), P(other)));
    }
    EXPECT_EQ(Snapshot(dir), before);
    EXPECT_FALSE(IsSameFile(P("a.jpg"), P("none")));
}

TEST_F(FileOpsTest, MoveWithinOneDisk) {
    PutFile(B("a.jpg"), "A");
    PutFile(B("b.jpg"), "B");
    ASSERT_EQ(::mkdir(B("sub").constData(), 0755), 0);
    EXPECT_TRUE(MoveFile(P("a.jpg"), P("b.jpg"), Replace::No).targetExists());
    EXPECT_TRUE(MoveFile(P("a.jpg"), P("sub/a.jpg"), Replace::No).ok());
    EXPECT_TRUE(MoveFile(P("b.jpg"), P("sub/a.jpg"), Replace::Yes).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{"sub", "<dir>"}, {"sub/a.jpg", "B"}}));
    EXPECT_EQ(MoveFile(P("gone.jpg"), P("x.jpg"), Replace::No).text,
              QStringLiteral("ファイルが見つかりません"));
}

TEST_F(FileOpsTest, DeleteTakesFilesOnly) {
    PutFile(B("a.jpg"), "A");
    ASSERT_EQ(::mkdir(B("sub").constData(), 0755), 0);
    EXPECT_TRUE(DeleteFile(P("a.jpg")).ok());
    FileOpResult r = DeleteFile(P("a.jpg"));
    EXPECT_EQ(r.text, QStringLiteral("ファイルが見つかりません"));
    r = DeleteFile(P("sub"));
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    EXPECT_EQ(Snapshot(dir), (Tree{{"sub", "<dir>"}}));
    EXPECT_FALSE(PathExists(P("a.jpg")));
    EXPECT_TRUE(PathExists(P("sub")));
}

// The user's trash is made when missing (a fresh account has none), the
// file lands in it with its record, and a second file of the same name gets
// a name of its own.
TEST_F(FileOpsTest, TrashInAFreshHome) {
    const QByteArray data = dir + "/home/.local/share";
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data);
    ASSERT_EQ(::mkdir(B("pics").constData(), 0755), 0);
    const QByteArray name = "\x8e\xca 1.jpg";
    PutFile(B("pics/" + name), "first");
    QString trashed;
    FileOpResult r = MoveToTrash(P("pics/" + name), &trashed);
    ASSERT_TRUE(r.ok()) << r.text.toStdString();
    EXPECT_EQ(EncodePath(trashed), data + "/Trash/files/" + name);
    PutFile(B("pics/" + name), "second");
    r = MoveToTrash(DecodePath(dir + "/pics/../pics/" + name), &trashed);
    ASSERT_TRUE(r.ok()) << r.text.toStdString();
    EXPECT_EQ(EncodePath(trashed), data + "/Trash/files/\x8e\xca 1.2.jpg");

    const Tree trash = Snapshot(data + "/Trash");
    EXPECT_EQ(trash.at("files/" + name), "first");
    EXPECT_EQ(trash.at("files/\x8e\xca 1.2.jpg"), "second");
    const QByteArray info = trash.at("info/" + name + ".trashinfo");
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=" + dir + "/pics/%8E%CA%201.jpg\nDeletionDate="))
        << info.constData();
    EXPECT_EQ(trash.size(), 6u) << Describe(trash);  // files/, info/ and two of each
    EXPECT_EQ(Snapshot(dir + "/pics"), Tree{});

    EXPECT_EQ(MoveToTrash(P("pics/none.jpg")).text, QStringLiteral("ファイルが見つかりません"));
    qputenv("XDG_DATA_HOME", oldXdg);
}

}  // namespace
