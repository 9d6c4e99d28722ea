// The file operations when things go wrong. Two kinds of fault:
// - real file systems (needs root, else skipped with the reason): a tiny
//   tmpfs that fills up, a read-only mount, and /dev/shm against the build
//   folder's disk for moves between file systems;
// - injected system-call failures: short writes, a disk that takes nothing,
//   read errors, too many open files, failing flushes and closes, a file
//   system without RENAME_NOREPLACE, a source that cannot be deleted.
// Each case compares every file and byte before and after.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>

#include <QUrl>

#include "FileOpsSupport.h"
#include "TmpfsMount.h"
#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/FileOps.h"
#include "platform/SafeWrite.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

const QString kDiskFull = QStringLiteral("ディスクがいっぱいです");
const QString kDenied = QStringLiteral("ファイルへのアクセスが拒否されました");

QString Q(const QByteArray& path) { return DecodePath(path); }

QByteArray Pattern(int size, int seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (char& c : bytes) {
        x = x * 1664525 + 1013904223;
        c = char(x >> 24);
    }
    return bytes;
}

// A folder on the disk of the build folder (the working directory of the
// tests), so that /dev/shm is another file system.
QByteArray BuildDisk() {
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? QByteArray(cwd) : QByteArray("/tmp");
}

bool OnDifferentDisks(const QByteArray& a, const QByteArray& b) {
    struct stat sa {}, sb {};
    return ::stat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 && sa.st_dev != sb.st_dev;
}

// XDG_DATA_HOME for one test.
struct DataHome {
    explicit DataHome(const QByteArray& path) : old(qgetenv("XDG_DATA_HOME")) { qputenv("XDG_DATA_HOME", path); }
    ~DataHome() { qputenv("XDG_DATA_HOME", old); }
    QByteArray old;
};

// The error text of a save, or empty when it went through.
QString SaveError(const QByteArray& path, const QByteArray& bytes) {
    try {
        WriteFileSafely(Q(path), bytes);
    } catch (const TamarindError& e) {
        return e.text();
    }
    return {};
}

// --- real file systems ---------------------------------------------------

TEST(FullDisk, CopyAndMoveLeaveNoPartialFileAndKeepTheOldTarget) {
    TmpfsMount full(QStringLiteral("256k"));
    REQUIRE_MOUNT(full);
    TempFolder disk(BuildDisk());
    const QByteArray big = Pattern(1 << 20, 1);  // four times the room
    PutFile(disk.path() + "/big.jpg", big);
    PutFile(full.nativePath() + "/old.jpg", "old picture");
    const Tree diskBefore = Snapshot(disk.path()), fullBefore = Snapshot(full.nativePath());

    // A new file: refused, nothing left on the full disk.
    FileOpResult r = CopyFile(Q(disk.path() + "/big.jpg"), Q(full.nativePath() + "/big.jpg"), Replace::No);
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    EXPECT_EQ(r.text, kDiskFull);
    EXPECT_EQ(Snapshot(full.nativePath()), fullBefore) << Describe(Snapshot(full.nativePath()));

    // Overwriting: the old target stays as it was.
    r = CopyFile(Q(disk.path() + "/big.jpg"), Q(full.nativePath() + "/old.jpg"), Replace::Yes);
    EXPECT_EQ(r.text, kDiskFull);
    EXPECT_EQ(Snapshot(full.nativePath()), fullBefore) << Describe(Snapshot(full.nativePath()));

    // Moving there (another file system): the source stays.
    for (Replace replace : {Replace::No, Replace::Yes}) {
        r = MoveFile(Q(disk.path() + "/big.jpg"), Q(full.nativePath() + "/old.jpg"), replace);
        EXPECT_EQ(r.text, replace == Replace::No ? kTargetExistsText : kDiskFull);
        r = MoveFile(Q(disk.path() + "/big.jpg"), Q(full.nativePath() + "/moved.jpg"), replace);
        EXPECT_EQ(r.text, kDiskFull);
    }
    EXPECT_EQ(Snapshot(full.nativePath()), fullBefore);
    EXPECT_EQ(Snapshot(disk.path()), diskBefore);

    // What fits still goes.
    PutFile(disk.path() + "/small.jpg", Pattern(5000, 2));
    EXPECT_TRUE(CopyFile(Q(disk.path() + "/small.jpg"), Q(full.nativePath() + "/small.jpg"), Replace::No).ok());
    EXPECT_EQ(GetFile(full.nativePath() + "/small.jpg"), Pattern(5000, 2));
}

TEST(ReadOnlyDisk, EveryOperationIsRefusedAndNothingChanges) {
    TmpfsMount ro(QStringLiteral("1m"));
    REQUIRE_MOUNT(ro);
    PutFile(ro.nativePath() + "/a.jpg", "picture A");
    ASSERT_EQ(::mkdir((ro.nativePath() + "/sub").constData(), 0755), 0);
    ASSERT_TRUE(ro.MakeReadOnly()) << std::strerror(errno);
    TempFolder disk(BuildDisk());
    PutFile(disk.path() + "/b.jpg", "picture B");
    const Tree roBefore = Snapshot(ro.nativePath()), diskBefore = Snapshot(disk.path());
    const QString a = Q(ro.nativePath() + "/a.jpg");

    for (const FileOpResult& r : {
             RenameFile(a, Q(ro.nativePath() + "/c.jpg"), Replace::No),
             RenameFile(a, Q(ro.nativePath() + "/c.jpg"), Replace::Yes),
             CopyFile(Q(disk.path() + "/b.jpg"), Q(ro.nativePath() + "/b.jpg"), Replace::No),
             CopyFile(Q(disk.path() + "/b.jpg"), a, Replace::Yes),
             MoveFile(Q(disk.path() + "/b.jpg"), Q(ro.nativePath() + "/b.jpg"), Replace::No),
             MoveFile(a, Q(ro.nativePath() + "/sub/a.jpg"), Replace::No),
             // Leaving a read-only disk: the source could not be deleted,
             // so nothing is copied either.
             MoveFile(a, Q(disk.path() + "/a.jpg"), Replace::No),
             MoveFile(a, Q(disk.path() + "/b.jpg"), Replace::Yes),
             DeleteFile(a),
         }) {
        EXPECT_EQ(r.status, FileOpStatus::Failed);
        EXPECT_EQ(r.text, kDenied);
    }
    EXPECT_EQ(Snapshot(ro.nativePath()), roBefore);
    EXPECT_EQ(Snapshot(disk.path()), diskBefore) << Describe(Snapshot(disk.path()));

    // Reading from it is fine.
    EXPECT_TRUE(CopyFile(a, Q(disk.path() + "/a.jpg"), Replace::No).ok());
    EXPECT_EQ(GetFile(disk.path() + "/a.jpg"), "picture A");
}

// Real permissions: the checks run as an ordinary user (the thread's file
// system user id), in a folder only root may write, and on a read-only file
// of the user's own (shown "R"), which is not deleted either.
TEST(NoPermission, FoldersOfAnotherUserAreLeftAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "not root: cannot act as another user";
    TempFolder disk(BuildDisk());
    TempFolder shm("/dev/shm");
    const QByteArray locked = disk.path() + "/locked", open = shm.path() + "/open";
    ASSERT_EQ(::mkdir(locked.constData(), 0755), 0);
    ASSERT_EQ(::mkdir(open.constData(), 0777), 0);
    ASSERT_EQ(::chmod(disk.path().constData(), 0755), 0);
    ASSERT_EQ(::chmod(shm.path().constData(), 0755), 0);
    PutFile(locked + "/a.jpg", "A");
    PutFile(open + "/b.jpg", "B");
    ASSERT_EQ(::chmod((open + "/b.jpg").constData(), 0666), 0);
    PutFile(open + "/r.jpg", "R");
    ASSERT_EQ(::chown((open + "/r.jpg").constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod((open + "/r.jpg").constData(), 0444), 0);
    const Tree lockedBefore = Snapshot(locked), openBefore = Snapshot(open), openStats = Stats(open);

    ::setfsuid(65534);
    const bool actingAsNobody = ::setfsuid(65534) == 65534;
    std::vector<FileOpResult> results;
    if (actingAsNobody) {
        results = {
            RenameFile(Q(locked + "/a.jpg"), Q(locked + "/c.jpg"), Replace::No),
            CopyFile(Q(open + "/b.jpg"), Q(locked + "/b.jpg"), Replace::No),
            CopyFile(Q(open + "/b.jpg"), Q(locked + "/a.jpg"), Replace::Yes),
            MoveFile(Q(open + "/b.jpg"), Q(locked + "/b.jpg"), Replace::No),
            // Out of the locked folder onto another disk: its source could
            // not be deleted afterwards, so nothing is copied.
            MoveFile(Q(locked + "/a.jpg"), Q(open + "/a.jpg"), Replace::No),
            DeleteFile(Q(locked + "/a.jpg")),
            DeleteFile(Q(open + "/r.jpg")),
        };
    }
    ::setfsuid(0);
    if (!actingAsNobody) GTEST_SKIP() << "setfsuid refused";
    for (const FileOpResult& r : results) EXPECT_EQ(r.text, kDenied);
    EXPECT_EQ(Snapshot(locked), lockedBefore);
    EXPECT_EQ(Snapshot(open), openBefore) << Describe(Snapshot(open));
    EXPECT_EQ(Stats(open), openStats);
}

TEST(OtherDisk, MoveCopiesFlushesThenDeletesTheSource) {
    TempFolder disk(BuildDisk());
    TempFolder shm("/dev/shm");
    if (!OnDifferentDisks(disk.path(), shm.path()))
        GTEST_SKIP() << "/dev/shm is on the build folder's file system here";
    const QByteArray photo = Pattern(3 * int(kCopyBlockSize) + 77, 3);
    const QByteArray name = "\x8e\xca\x90\x5e.jpg";  // not UTF-8
    PutFile(disk.path() + '/' + name, photo);
    ASSERT_EQ(::chmod((disk.path() + '/' + name).constData(), 0640), 0);
    const struct timespec times[2] = {{1000000000, 0}, {1234567890, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (disk.path() + '/' + name).constData(), times, 0), 0);

    FileOpResult r = MoveFile(Q(disk.path() + '/' + name), Q(shm.path() + '/' + name), Replace::No);
    ASSERT_TRUE(r.ok()) << r.text.toStdString();
    EXPECT_EQ(Snapshot(disk.path()), Tree{});
    EXPECT_EQ(Snapshot(shm.path()), (Tree{{name, photo}}));
    struct stat st {};
    ASSERT_EQ(::stat((shm.path() + '/' + name).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);

    // Back again onto a file that is there: refused, or replaced when agreed.
    PutFile(disk.path() + "/there.jpg", "older");
    r = MoveFile(Q(shm.path() + '/' + name), Q(disk.path() + "/there.jpg"), Replace::No);
    EXPECT_TRUE(r.targetExists());
    EXPECT_EQ(Snapshot(disk.path()), (Tree{{"there.jpg", "older"}}));
    EXPECT_EQ(Snapshot(shm.path()), (Tree{{name, photo}}));
    r = MoveFile(Q(shm.path() + '/' + name), Q(disk.path() + "/there.jpg"), Replace::Yes);
    EXPECT_TRUE(r.ok()) << r.text.toStdString();
    EXPECT_EQ(Snapshot(disk.path()), (Tree{{"there.jpg", photo}}));
    EXPECT_EQ(Snapshot(shm.path()), Tree{});

    // A plain copy between the disks.
    EXPECT_TRUE(CopyFile(Q(disk.path() + "/there.jpg"), Q(shm.path() + "/c.jpg"), Replace::No).ok());
    EXPECT_EQ(GetFile(shm.path() + "/c.jpg"), photo);

    // A link moves as a link, keeping its text; a pipe cannot move and says so.
    ASSERT_EQ(::symlink("../pictures/a.jpg", (disk.path() + "/link.jpg").constData()), 0);
    ASSERT_EQ(::mkfifo((disk.path() + "/pipe").constData(), 0644), 0);
    r = MoveFile(Q(disk.path() + "/link.jpg"), Q(shm.path() + "/link.jpg"), Replace::No);
    EXPECT_TRUE(r.ok()) << r.text.toStdString();
    EXPECT_EQ(MoveFile(Q(disk.path() + "/pipe"), Q(shm.path() + "/pipe"), Replace::No).text,
              QStringLiteral("別のディスクへは移動できません"));
    EXPECT_EQ(Snapshot(disk.path()), (Tree{{"pipe", "<special>"}, {"there.jpg", photo}}));
    EXPECT_EQ(Snapshot(shm.path()), (Tree{{"c.jpg", photo}, {"link.jpg", "-> ../pictures/a.jpg"}}));
}

// Only the data of a sparse file is copied: its holes stay holes, on one
// disk and across disks.
TEST(OtherDisk, HolesOfASparseFileStayHoles) {
    TempFolder disk(BuildDisk());
    TempFolder shm("/dev/shm");
    constexpr off_t kSize = off_t(32) << 20;
    const int fd = ::open((disk.path() + "/sparse.bmp").constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
    ASSERT_EQ(::pwrite(fd, "middle", 6, kSize / 2), 6);
    ASSERT_EQ(::ftruncate(fd, kSize), 0);  // ends in a hole
    ::close(fd);
    const QByteArray content = GetFile(disk.path() + "/sparse.bmp");
    ASSERT_TRUE(CopyFile(Q(disk.path() + "/sparse.bmp"), Q(disk.path() + "/copy.bmp"), Replace::No).ok());
    ASSERT_TRUE(MoveFile(Q(disk.path() + "/copy.bmp"), Q(shm.path() + "/moved.bmp"), Replace::No).ok());
    PutFile(shm.path() + "/old.bmp", "old");
    ASSERT_TRUE(CopyFile(Q(disk.path() + "/sparse.bmp"), Q(shm.path() + "/old.bmp"), Replace::Yes).ok());
    for (const QByteArray& copy : {shm.path() + "/moved.bmp", shm.path() + "/old.bmp"}) {
        struct stat st {};
        ASSERT_EQ(::stat(copy.constData(), &st), 0);
        EXPECT_EQ(st.st_size, kSize);
        EXPECT_LT(st.st_blocks * 512, 1 << 20) << copy.constData();
        EXPECT_TRUE(GetFile(copy) == content) << copy.constData();
    }
}

// The trash at a volume's top is used only when each level is a real folder
// and the user's own one is the user's and private: a link or someone else's
// folder in its place is passed over for $top/.Trash-$uid, and where that is
// no better either the file stays.
TEST(OtherDisk, AVolumeTrashThatIsALinkOrSomeoneElsesIsNeverUsed) {
    if (::geteuid() != 0) GTEST_SKIP() << "not root: cannot make folders of another user";
    TmpfsMount vol(QStringLiteral("1m"));
    REQUIRE_MOUNT(vol);
    TempFolder home(BuildDisk());
    DataHome data(home.path() + "/data");
    const QByteArray top = vol.nativePath(), uid = QByteArray::number(::getuid());
    const QByteArray shared = top + "/.Trash", mine = shared + '/' + uid, own = top + "/.Trash-" + uid;
    ASSERT_EQ(::mkdir((top + "/pics").constData(), 0755), 0);
    ASSERT_EQ(::mkdir(shared.constData(), 0777), 0);
    ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
    ASSERT_EQ(::mkdir((top + "/elsewhere").constData(), 0777), 0);
    ASSERT_EQ(::chown((top + "/elsewhere").constData(), 65534, 65534), 0);
    const std::function<void()> attacks[] = {
        [&] { ASSERT_EQ(::symlink((top + "/elsewhere").constData(), mine.constData()), 0); },
        [&] {
            ASSERT_EQ(::mkdir(mine.constData(), 0700), 0);
            ASSERT_EQ(::chown(mine.constData(), 65534, 65534), 0);
        },
        [&] { ASSERT_EQ(::mkdir(mine.constData(), 0755), 0); },  // the user's, but open to all
    };
    for (const auto& attack : attacks) {
        attack();
        PutFile(top + "/pics/a.jpg", "A");
        const Tree trap = Stats(shared);
        QString trashed;
        const FileOpResult r = MoveToTrash(Q(top + "/pics/a.jpg"), &trashed);
        ASSERT_TRUE(r.ok()) << r.text.toStdString();
        EXPECT_EQ(EncodePath(trashed), own + "/files/a.jpg");
        EXPECT_EQ(GetFile(own + "/files/a.jpg"), "A");
        EXPECT_EQ(Stats(shared), trap);
        EXPECT_EQ(Snapshot(top + "/elsewhere"), Tree{});
        RemoveTree(own);
        RemoveTree(mine);
    }
    // $top/.Trash-$uid a link as well: no trash, and the file stays.
    attacks[0]();
    ASSERT_EQ(::symlink((top + "/elsewhere").constData(), own.constData()), 0);
    PutFile(top + "/pics/a.jpg", "A");
    const Tree before = Snapshot(top), stats = Stats(top);
    EXPECT_EQ(MoveToTrash(Q(top + "/pics/a.jpg")).status, FileOpStatus::Failed);
    EXPECT_EQ(Snapshot(top), before);
    EXPECT_EQ(Stats(top), stats);
}

// A copy is no more open than its source (less the umask, as cp makes it).
TEST(Access, ACopyIsNoMoreOpenThanItsSource) {
    TempFolder temp;
    const QByteArray d = temp.path();
    const std::pair<const char*, mode_t> files[] = {{"private.jpg", 0600}, {"shared.jpg", 0664}, {"old.jpg", 0640}};
    for (const auto& [name, mode] : files) {
        PutFile(d + '/' + name, name);
        ASSERT_EQ(::chmod((d + '/' + name).constData(), mode), 0);
    }
    const mode_t mask = ::umask(022);
    EXPECT_TRUE(CopyFile(Q(d + "/private.jpg"), Q(d + "/p1.jpg"), Replace::No).ok());
    EXPECT_TRUE(CopyFile(Q(d + "/private.jpg"), Q(d + "/p2.jpg"), Replace::Yes).ok());
    EXPECT_TRUE(CopyFile(Q(d + "/shared.jpg"), Q(d + "/s1.jpg"), Replace::No).ok());
    EXPECT_TRUE(CopyFile(Q(d + "/shared.jpg"), Q(d + "/old.jpg"), Replace::Yes).ok());
    ::umask(077);
    EXPECT_TRUE(CopyFile(Q(d + "/shared.jpg"), Q(d + "/s2.jpg"), Replace::No).ok());
    ::umask(mask);
    EXPECT_EQ(Stats(d), (Tree{{"old.jpg", "0640 1"}, {"p1.jpg", "0600 1"}, {"p2.jpg", "0600 1"},
                              {"private.jpg", "0600 1"}, {"s1.jpg", "0644 1"}, {"s2.jpg", "0600 1"},
                              {"shared.jpg", "0664 1"}}));
}

// Only a regular file is ever replaced: a pipe, device or folder under the
// target's name is refused, with its kind, before anything is written.
// Copies and saves write through a link to the file it names (the link
// stays); moves replace the link itself.
TEST(Targets, OnlyFilesAreReplacedAndLinksAreTakenAsCpAndMvTakeThem) {
    TempFolder temp;
    const QByteArray d = temp.path();
    PutFile(d + "/src.jpg", "new");
    PutFile(d + "/real.jpg", "old");
    ASSERT_EQ(::chmod((d + "/real.jpg").constData(), 0640), 0);
    ASSERT_EQ(::symlink("real.jpg", (d + "/link.jpg").constData()), 0);
    ASSERT_EQ(::mkfifo((d + "/pipe").constData(), 0644), 0);
    ASSERT_EQ(::mkdir((d + "/sub").constData(), 0755), 0);
    QByteArrayList specials = {"pipe", "sub"};
    if (::mknod((d + "/null").constData(), S_IFCHR | 0666, ::makedev(1, 3)) == 0) specials << "null";
    const Tree before = Snapshot(d), stats = Stats(d);
    for (const QByteArray& special : specials) {
        const QString to = Q(d + '/' + special);
        for (Replace replace : {Replace::No, Replace::Yes}) {
            for (const FileOpResult& r : {CopyFile(Q(d + "/src.jpg"), to, replace),
                                          MoveFile(Q(d + "/src.jpg"), to, replace),
                                          RenameFile(Q(d + "/src.jpg"), to, replace)}) {
                EXPECT_EQ(r.status, FileOpStatus::Failed) << special.constData();
                EXPECT_TRUE(r.text.startsWith(QStringLiteral("上書きできません ("))) << r.text.toStdString();
            }
        }
        EXPECT_FALSE(SaveError(d + '/' + special, "saved").isEmpty()) << special.constData();
    }
    EXPECT_TRUE(SaveError(d + "/pipe", "saved").contains(QStringLiteral("名前付きパイプです")));
    EXPECT_EQ(Snapshot(d), before);
    EXPECT_EQ(Stats(d), stats);

    EXPECT_TRUE(CopyFile(Q(d + "/src.jpg"), Q(d + "/link.jpg"), Replace::No).targetExists());
    EXPECT_TRUE(CopyFile(Q(d + "/src.jpg"), Q(d + "/link.jpg"), Replace::Yes).ok());
    EXPECT_EQ(Snapshot(d).at("link.jpg"), "-> real.jpg");
    EXPECT_EQ(GetFile(d + "/real.jpg"), "new");
    EXPECT_EQ(Stats(d).at("real.jpg"), "0640 1");
    EXPECT_EQ(SaveError(d + "/link.jpg", "saved"), QString());
    EXPECT_EQ(Snapshot(d).at("link.jpg"), "-> real.jpg");
    EXPECT_EQ(GetFile(d + "/real.jpg"), "saved");
    EXPECT_TRUE(MoveFile(Q(d + "/src.jpg"), Q(d + "/link.jpg"), Replace::Yes).ok());
    EXPECT_EQ(Snapshot(d).at("link.jpg"), "new");
    EXPECT_EQ(GetFile(d + "/real.jpg"), "saved");
}

// In a shared sticky folder (such as /tmp) a link made by someone who is
// neither the user nor the folder's owner is never followed by a copy or a
// save: it could send the user's write onto any file of the user's.
TEST(Targets, AStrangersLinkInASharedStickyFolderIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "not root: cannot make links of another user";
    TempFolder shared(BuildDisk()), mine(BuildDisk());
    ASSERT_EQ(::chmod(shared.path().constData(), 01777), 0);
    PutFile(mine.path() + "/precious.jpg", "mine");
    PutFile(mine.path() + "/src.jpg", "copied");
    const QByteArray link = shared.path() + "/x.jpg";
    ASSERT_EQ(::symlink((mine.path() + "/precious.jpg").constData(), link.constData()), 0);
    ASSERT_EQ(::lchown(link.constData(), 65534, 65534), 0);
    const Tree before = Snapshot(mine.path());
    const FileOpResult r = CopyFile(Q(mine.path() + "/src.jpg"), Q(link), Replace::Yes);
    EXPECT_EQ(r.text, kForeignLinkText);
    EXPECT_TRUE(SaveError(link, "saved").contains(kForeignLinkText));
    EXPECT_EQ(Snapshot(mine.path()), before);
    EXPECT_EQ(Snapshot(shared.path()).at("x.jpg"), "-> " + mine.path() + "/precious.jpg");
    // The folder's owner's link is followed, as the kernel would.
    ASSERT_EQ(::chown(shared.path().constData(), 65534, 65534), 0);
    EXPECT_TRUE(CopyFile(Q(mine.path() + "/src.jpg"), Q(link), Replace::Yes).ok());
    EXPECT_EQ(GetFile(mine.path() + "/precious.jpg"), "copied");
}

// Names of the longest legal length can be saved, replaced by a copy and
// put in the trash (under a shorter name there; the record keeps the path).
TEST(LongNames, TheLongestLegalNamesCanBeSavedCopiedAndTrashed) {
    TempFolder temp;
    const QByteArray d = temp.path();
    DataHome data(d + "/data");
    ASSERT_EQ(::mkdir((d + "/pics").constData(), 0755), 0);
    const QByteArray ascii = QByteArray(251, 'a') + ".jpg";                      // 255 bytes
    const QByteArray japanese = QString(83, QChar(0x5199)).toUtf8() + ".jpg";  // 253 bytes
    std::vector<FileChange> changes;
    SetFileChangeObserver([&](const FileChange& c) { changes.push_back(c); });
    for (const QByteArray& name : {ascii, japanese}) {
        const QByteArray path = d + "/pics/" + name;
        EXPECT_EQ(SaveError(path, "saved"), QString());
        EXPECT_EQ(SaveError(path, "saved again"), QString());
        PutFile(d + "/src.jpg", "copied");
        EXPECT_TRUE(CopyFile(Q(d + "/src.jpg"), Q(path), Replace::Yes).ok());
        for (int round = 0; round < 2; ++round) {
            QString trashed;
            const FileOpResult r = MoveToTrash(Q(path), &trashed);
            ASSERT_TRUE(r.ok()) << r.text.toStdString();
            const QByteArray entry = EncodePath(trashed).mid(d.size() + 18);  // after /data/Trash/files/
            EXPECT_LE(entry.size() + 10, 255);
            EXPECT_EQ(QString::fromUtf8(entry).toUtf8(), entry);  // no character cut in half
            EXPECT_EQ(GetFile(EncodePath(trashed)), "copied");
            EXPECT_TRUE(GetFile(d + "/data/Trash/info/" + entry + ".trashinfo")
                            .contains("\nPath=" + QUrl::toPercentEncoding(d + "/pics/" + name, "/") + "\n"));
            PutFile(path, "copied");
        }
        ::unlink(path.constData());
    }
    SetFileChangeObserver({});
    EXPECT_EQ(Snapshot(d + "/pics"), Tree{});
    EXPECT_EQ(Snapshot(d + "/data/Trash/files").size(), 4u);
    ASSERT_EQ(changes.size(), 10u);
    EXPECT_EQ(changes[0].kind, FileChange::Written);
    EXPECT_EQ(changes[3].kind, FileChange::Removed);
    EXPECT_EQ(EncodePath(changes[3].path), d + "/pics/" + ascii);
}


TEST(OtherDisk, TrashOnAnotherVolumeUsesThatVolumesTopTrash) {
    TmpfsMount vol(QStringLiteral("1m"));
    REQUIRE_MOUNT(vol);
    TempFolder home(BuildDisk());
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home.path() + "/data");
    ASSERT_EQ(::mkdir((vol.nativePath() + "/pics").constData(), 0755), 0);
    PutFile(vol.nativePath() + "/pics/a.jpg", "A");

    QString trashed;
    const FileOpResult r = MoveToTrash(Q(vol.nativePath() + "/pics/a.jpg"), &trashed);
    ASSERT_TRUE(r.ok()) << r.text.toStdString();
    const QByteArray top = vol.nativePath() + "/.Trash-" + QByteArray::number(::getuid());
    EXPECT_EQ(EncodePath(trashed), top + "/files/a.jpg");
    const Tree after = Snapshot(vol.nativePath());
    EXPECT_EQ(after.at(".Trash-" + QByteArray::number(::getuid()) + "/files/a.jpg"), "A");
    EXPECT_TRUE(after.at(".Trash-" + QByteArray::number(::getuid()) + "/info/a.jpg.trashinfo")
                    .startsWith("[Trash Info]\nPath=pics/a.jpg\n"));
    EXPECT_FALSE(after.count("pics/a.jpg"));

    // An administrator's shared .Trash (sticky) takes the user's files in a
    // folder of the user's id; without the sticky bit it is not trusted.
    const QByteArray uid = QByteArray::number(::getuid());
    ASSERT_EQ(::mkdir((vol.nativePath() + "/.Trash").constData(), 0777), 0);
    PutFile(vol.nativePath() + "/pics/s.jpg", "S");
    ASSERT_TRUE(MoveToTrash(Q(vol.nativePath() + "/pics/s.jpg")).ok());
    EXPECT_EQ(GetFile(top + "/files/s.jpg"), "S");
    ASSERT_EQ(::chmod((vol.nativePath() + "/.Trash").constData(), 01777), 0);
    PutFile(vol.nativePath() + "/pics/s.jpg", "S2");
    ASSERT_TRUE(MoveToTrash(Q(vol.nativePath() + "/pics/s.jpg"), &trashed).ok());
    EXPECT_EQ(EncodePath(trashed), vol.nativePath() + "/.Trash/" + uid + "/files/s.jpg");
    EXPECT_EQ(GetFile(vol.nativePath() + "/.Trash/" + uid + "/files/s.jpg"), "S2");
    RemoveTree(vol.nativePath() + "/.Trash");

    // A volume whose trash cannot be made: the file stays where it is.
    PutFile(vol.nativePath() + "/pics/b.jpg", "B");
    RemoveTree(top);
    PutFile(top, "not a folder");
    const Tree before = Snapshot(vol.nativePath());
    EXPECT_EQ(MoveToTrash(Q(vol.nativePath() + "/pics/b.jpg")).status, FileOpStatus::Failed);
    ASSERT_EQ(::unlink(top.constData()), 0);
    ASSERT_TRUE(vol.MakeReadOnly());
    EXPECT_EQ(MoveToTrash(Q(vol.nativePath() + "/pics/b.jpg")).text, kDenied);
    Tree now = Snapshot(vol.nativePath());
    now[".Trash-" + QByteArray::number(::getuid())] = "not a folder";
    EXPECT_EQ(now, before);
    qputenv("XDG_DATA_HOME", oldXdg);
}

// --- injected faults -----------------------------------------------------

class InjectedFaults : public ::testing::Test {
protected:
    TempFolder temp;
    QByteArray dir = temp.path();
    FileSystemCalls calls = SystemFileCalls();

    void SetUp() override {
        // The block loop by default: the faults are injected there.
        calls.clone = [](int, int) {
            errno = EOPNOTSUPP;
            return -1;
        };
        calls.copyRange = [](int, int, std::size_t) -> long {
            errno = ENOSYS;
            return -1;
        };
    }
    void TearDown() override { SetFileCalls(SystemFileCalls()); }
    void Install() { SetFileCalls(calls); }

    QString P(const QByteArray& name) const { return Q(dir + '/' + name); }
    QByteArray B(const QByteArray& name) const { return dir + '/' + name; }

    // Writes pass until `allowed` bytes went through in total, then fail
    // with `error` (0: the write takes nothing).
    void FailWritesAfter(long allowed, int error) {
        auto written = std::make_shared<long>(0);
        calls.write = [=](int fd, const void* buffer, std::size_t size) -> long {
            const long room = allowed - *written;
            if (room <= 0) {
                errno = error;
                return error ? -1 : 0;
            }
            const long n = long(::write(fd, buffer, std::min<std::size_t>(size, size_t(room))));
            if (n > 0) *written += n;
            return n;
        };
    }
};

TEST_F(InjectedFaults, ShortWritesAreContinuedUntilComplete) {
    const QByteArray photo = Pattern(2 * int(kCopyBlockSize) + 999, 4);
    PutFile(B("a.jpg"), photo);
    calls.write = [](int fd, const void* buffer, std::size_t size) {
        return long(::write(fd, buffer, std::min<std::size_t>(size, 4093)));
    };
    Install();
    EXPECT_TRUE(CopyFile(P("a.jpg"), P("b.jpg"), Replace::No).ok());
    EXPECT_TRUE(CopyFile(P("a.jpg"), P("c.jpg"), Replace::Yes).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{"a.jpg", photo}, {"b.jpg", photo}, {"c.jpg", photo}}));
}

TEST_F(InjectedFaults, AFullDiskHalfWayLeavesEverythingAsItWas) {
    const QByteArray photo = Pattern(3 * int(kCopyBlockSize), 5);
    PutFile(B("a.jpg"), photo);
    PutFile(B("old.jpg"), "old");
    const Tree before = Snapshot(dir);
    for (int error : {ENOSPC, 0 /* a write that takes nothing */, EDQUOT}) {
        FailWritesAfter(kCopyBlockSize + 100, error);
        Install();
        FileOpResult r = CopyFile(P("a.jpg"), P("new.jpg"), Replace::No);
        EXPECT_EQ(r.text, kDiskFull) << error;
        r = CopyFile(P("a.jpg"), P("old.jpg"), Replace::Yes);
        EXPECT_EQ(r.text, kDiskFull) << error;
        EXPECT_EQ(Snapshot(dir), before) << Describe(Snapshot(dir));
    }
}

TEST_F(InjectedFaults, ReadErrorsFlushErrorsAndCloseErrorsRemoveTheTarget) {
    const QByteArray photo = Pattern(int(kCopyBlockSize) + 5, 6);
    PutFile(B("a.jpg"), photo);
    PutFile(B("old.jpg"), "old");
    const Tree before = Snapshot(dir);
    auto reads = std::make_shared<int>(0);
    const std::function<void()> faults[] = {
        [&] {  // the second block cannot be read
            calls.read = [reads](int fd, void* b, std::size_t n) -> long {
                if (++*reads == 2) {
                    errno = EIO;
                    return -1;
                }
                return long(::read(fd, b, n));
            };
        },
        [&] {
            calls.fsync = [](int) {
                errno = EIO;
                return -1;
            };
        },
        [&] {  // a close that reports a delayed write error
            calls.close = [](int fd) {
                ::close(fd);
                errno = EIO;
                return -1;
            };
        },
        [&] {  // the kernel copy fails half-way
            calls.copyRange = [reads](int in, int out, std::size_t) -> long {
                if (++*reads == 2) {
                    errno = EIO;
                    return -1;
                }
                return long(::copy_file_range(in, nullptr, out, nullptr, 1000, 0));
            };
        },
    };
    int which = 0;
    for (const auto& fault : faults) {
        for (Replace replace : {Replace::No, Replace::Yes}) {
            // A copy to a new name is not flushed; the flush protects a
            // replaced file.
            if (which == 1 && replace == Replace::No) continue;
            calls = SystemFileCalls();
            SetUp();
            fault();
            *reads = 0;
            Install();
            const FileOpResult r = CopyFile(P("a.jpg"), P(replace == Replace::No ? "new.jpg" : "old.jpg"), replace);
            EXPECT_EQ(r.status, FileOpStatus::Failed) << which;
            EXPECT_EQ(r.text, QStringLiteral("I/O エラー (5)")) << which;
            SetFileCalls(SystemFileCalls());
            EXPECT_EQ(Snapshot(dir), before) << which << "\n" << Describe(Snapshot(dir));
        }
        ++which;
    }
}

TEST_F(InjectedFaults, TooManyOpenFilesIsReportedBeforeAnythingIsWritten) {
    PutFile(B("a.jpg"), "A");
    PutFile(B("b.jpg"), "B");
    const Tree before = Snapshot(dir);
    // The source opens, the target does not; then nothing opens at all.
    for (int allowed : {1, 0}) {
        auto opened = std::make_shared<int>(0);
        calls.open = [=](int dir, const char* path, int flags, int mode) {
            if ((*opened)++ >= allowed) {
                errno = EMFILE;
                return -1;
            }
            return ::openat(dir, path, flags, mode);
        };
        Install();
        EXPECT_EQ(CopyFile(P("a.jpg"), P("c.jpg"), Replace::No).text,
                  QStringLiteral("オープンしたファイルが多すぎます"));
        *opened = 0;
        EXPECT_EQ(CopyFile(P("a.jpg"), P("b.jpg"), Replace::Yes).text,
                  QStringLiteral("オープンしたファイルが多すぎます"));
        EXPECT_EQ(Snapshot(dir), before);
    }
}

TEST_F(InjectedFaults, WithoutNoReplaceRenamesLinkThenUnlink) {
    PutFile(B("a.jpg"), "A");
    PutFile(B("b.jpg"), "B");
    auto plainRenames = std::make_shared<int>(0);
    calls.rename2 = [=](int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
        if (flags) {
            errno = EINVAL;  // as a file system without RENAME_NOREPLACE answers
            return -1;
        }
        ++*plainRenames;
        return ::renameat(fromDir, from, toDir, to);
    };
    Install();
    EXPECT_TRUE(RenameFile(P("a.jpg"), P("b.jpg"), Replace::No).targetExists());
    EXPECT_TRUE(MoveFile(P("a.jpg"), P("b.jpg"), Replace::No).targetExists());
    EXPECT_EQ(Snapshot(dir), (Tree{{"a.jpg", "A"}, {"b.jpg", "B"}}));
    EXPECT_TRUE(RenameFile(P("a.jpg"), P("c.jpg"), Replace::No).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{"b.jpg", "B"}, {"c.jpg", "A"}}));
    EXPECT_EQ(*plainRenames, 0);
}

// A move across disks, simulated: the rename answers EXDEV.
TEST_F(InjectedFaults, AMoveWhoseSourceCannotBeDeletedTakesBackItsCopy) {
    PutFile(B("a.jpg"), "A");
    PutFile(B("old.jpg"), "old");
    ASSERT_EQ(::mkdir(B("d").constData(), 0755), 0);
    calls.rename2 = [](int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
        if (QByteArray(from).endsWith("a.jpg")) {
            errno = EXDEV;
            return -1;
        }
        return ::renameat2(fromDir, from, toDir, to, flags);
    };
    Install();
    // The copy is complete before the source goes.
    EXPECT_TRUE(MoveFile(P("a.jpg"), P("d/a.jpg"), Replace::No).ok());
    EXPECT_EQ(Snapshot(dir), (Tree{{"d", "<dir>"}, {"d/a.jpg", "A"}, {"old.jpg", "old"}}));

    PutFile(B("a.jpg"), "A");
    calls.unlink = [](int dir, const char* path) {
        if (QByteArray(path).endsWith("/a.jpg") && !QByteArray(path).contains("/d/")) {
            errno = EBUSY;
            return -1;
        }
        return ::unlinkat(dir, path, 0);
    };
    Install();
    const Tree before = Snapshot(dir);
    FileOpResult r = MoveFile(P("a.jpg"), P("d/b.jpg"), Replace::No);
    EXPECT_EQ(r.text, QStringLiteral("I/O エラー (16)"));
    EXPECT_EQ(Snapshot(dir), before) << Describe(Snapshot(dir));
    // The replaced target was agreed to go; the source still stays.
    r = MoveFile(P("a.jpg"), P("old.jpg"), Replace::Yes);
    EXPECT_EQ(r.status, FileOpStatus::Failed);
    EXPECT_EQ(GetFile(B("a.jpg")), "A");
    EXPECT_EQ(GetFile(B("old.jpg")), "A");

    // A copy failure half-way through the move leaves the source and no copy.
    SetFileCalls(SystemFileCalls());
    calls.unlink = SystemFileCalls().unlink;
    FailWritesAfter(0, ENOSPC);
    PutFile(B("big.jpg"), Pattern(100000, 7));
    calls.rename2 = [](int, const char*, int, const char*, unsigned) {
        errno = EXDEV;
        return -1;
    };
    Install();
    const Tree before2 = Snapshot(dir);
    r = MoveFile(P("big.jpg"), P("d/big.jpg"), Replace::No);
    EXPECT_EQ(r.text, kDiskFull);
    EXPECT_EQ(Snapshot(dir), before2) << Describe(Snapshot(dir));
}

}  // namespace

namespace {

// A trash whose record cannot be written, or whose rename fails, keeps the
// file where it was and leaves no record behind.
TEST_F(InjectedFaults, AFailedTrashKeepsTheFileInPlace) {
    const QByteArray oldXdg = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir + "/data");
    ASSERT_EQ(::mkdir(B("pics").constData(), 0755), 0);
    PutFile(B("pics/a.jpg"), "A");
    for (const char* folder : {"data", "data/Trash", "data/Trash/files", "data/Trash/info"})
        ASSERT_EQ(::mkdir(B(folder).constData(), 0700), 0);
    const Tree before = Snapshot(dir);

    FailWritesAfter(0, ENOSPC);
    Install();
    EXPECT_EQ(MoveToTrash(P("pics/a.jpg")).text, kDiskFull);
    EXPECT_EQ(Snapshot(dir), before) << Describe(Snapshot(dir));

    calls = SystemFileCalls();
    calls.rename2 = [](int, const char*, int, const char*, unsigned) {
        errno = EIO;
        return -1;
    };
    Install();
    EXPECT_EQ(MoveToTrash(P("pics/a.jpg")).text, QStringLiteral("I/O エラー (5)"));
    EXPECT_EQ(Snapshot(dir), before) << Describe(Snapshot(dir));

    SetFileCalls(SystemFileCalls());
    EXPECT_TRUE(MoveToTrash(P("pics/a.jpg")).ok());
    EXPECT_EQ(GetFile(B("data/Trash/files/a.jpg")), "A");
    qputenv("XDG_DATA_HOME", oldXdg);
}

// Between disks (simulated), a read error half-way keeps the source and
// leaves no copy.
TEST_F(InjectedFaults, AMoveBetweenDisksWithAReadErrorKeepsTheSource) {
    PutFile(B("a.jpg"), Pattern(3 * int(kCopyBlockSize), 8));
    ASSERT_EQ(::mkdir(B("d").constData(), 0755), 0);
    PutFile(B("d/a.jpg"), "older");
    const Tree before = Snapshot(dir);
    calls.rename2 = [](int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
        if (QByteArray(from).endsWith("/a.jpg")) {
            errno = EXDEV;
            return -1;
        }
        return ::renameat2(fromDir, from, toDir, to, flags);
    };
    auto reads = std::make_shared<int>(0);
    calls.read = [reads](int fd, void* b, std::size_t n) -> long {
        if (++*reads == 3) {
            errno = EIO;
            return -1;
        }
        return long(::read(fd, b, n));
    };
    Install();
    for (Replace replace : {Replace::No, Replace::Yes}) {
        *reads = 0;
        const FileOpResult r = MoveFile(P("a.jpg"), P(replace == Replace::No ? "d/b.jpg" : "d/a.jpg"), replace);
        EXPECT_EQ(r.text, QStringLiteral("I/O エラー (5)"));
        EXPECT_EQ(Snapshot(dir), before) << Describe(Snapshot(dir));
    }
}

}  // namespace
