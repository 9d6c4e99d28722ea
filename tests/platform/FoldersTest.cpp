// Masks, natural order and folder listings, including names that are not
// UTF-8 and files that are not ordinary.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/FileIo.h"
#include "platform/Folders.h"

using namespace tamarind;

namespace {

void Touch(const QString& path) {
    const int fd = ::open(EncodePath(path).constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ::close(fd);
}

const char* kAllPictures = "*.jpg;*.bmp;*.tif;*.png,*.wmf,*.ico,*.gif";

}  // namespace

TEST(FileMasks, PatternsSplitAtSemicolonsAndCommas) {
    EXPECT_EQ(SplitMask(QString::fromLatin1(kAllPictures)),
              (QStringList{"*.jpg", "*.bmp", "*.tif", "*.png", "*.wmf", "*.ico", "*.gif"}));
    EXPECT_EQ(SplitMask(QStringLiteral("*.*")), QStringList{"*.*"});
}

TEST(FileMasks, WildcardsIgnoreLetterCase) {
    EXPECT_TRUE(MatchesPattern(QStringLiteral("PHOTO.JPG"), QStringLiteral("*.jpg")));
    EXPECT_TRUE(MatchesPattern(QStringLiteral("a.jpg"), QStringLiteral("?.jpg")));
    EXPECT_FALSE(MatchesPattern(QStringLiteral("ab.jpg"), QStringLiteral("?.jpg")));
    EXPECT_FALSE(MatchesPattern(QStringLiteral("a.jpeg"), QStringLiteral("*.jpg")));
    EXPECT_FALSE(MatchesPattern(QStringLiteral("a.jpg.txt"), QStringLiteral("*.jpg")));
    EXPECT_TRUE(MatchesPattern(QStringLiteral("写真.JPG"), QStringLiteral("*.jpg")));
    EXPECT_TRUE(MatchesPattern(QStringLiteral("README"), QStringLiteral("*.*")));
    EXPECT_TRUE(MatchesPattern(QStringLiteral("x.tar.gz"), QStringLiteral("*.gz")));
}

TEST(FileOrder, NaturalAndCaseInsensitive) {
    QStringList names{"img10.jpg", "IMG2.jpg", "img1.jpg", "b.jpg", "A.jpg", "img02.jpg"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, (QStringList{"A.jpg", "b.jpg", "img1.jpg", "IMG2.jpg", "img02.jpg", "img10.jpg"}));
    EXPECT_FALSE(NaturalLess(QStringLiteral("a"), QStringLiteral("a")));
    // Very long digit runs compare without overflow.
    EXPECT_TRUE(NaturalLess(QStringLiteral("x99999999999999999999"), QStringLiteral("x100000000000000000000")));
}

TEST(FolderListing, OrdinaryMatchingFilesOnly) {
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const char* name : {"a.jpg", "b.png", "c.gif", "d.BMP", "e.wmf", "f.ico", "g.tif",
                             "h.jpeg", ".hidden.jpg", "notes.txt", "img10.jpg", "img2.jpg"})
        Touch(d + u'/' + QString::fromLatin1(name));
    ASSERT_TRUE(QDir(d).mkdir(QStringLiteral("folder.jpg")));
    ASSERT_EQ(::symlink("a.jpg", QFile::encodeName(d + QStringLiteral("/link.jpg")).constData()), 0);
    ASSERT_EQ(::symlink("missing", QFile::encodeName(d + QStringLiteral("/dangling.jpg")).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(d + QStringLiteral("/pipe.jpg")).constData(), 0644), 0);

    EXPECT_EQ(ListFiles(d, QString::fromLatin1(kAllPictures)),
              (QStringList{"a.jpg", "b.png", "c.gif", "d.BMP", "e.wmf", "f.ico", "g.tif",
                           "img2.jpg", "img10.jpg", "link.jpg"}));
    EXPECT_EQ(ListFiles(d, QStringLiteral("*.jpg")),
              (QStringList{"a.jpg", "img2.jpg", "img10.jpg", "link.jpg"}));
    EXPECT_EQ(ListFiles(d, QStringLiteral("*.*")).size(), 12);  // 11 visible files and the link
    EXPECT_EQ(ListSubfolders(d), QStringList{"folder.jpg"});
}

TEST(FolderListing, LongListCueComesOnceAfterAHundredMatchingNames) {
    QTemporaryDir dir;
    for (int i = 1; i <= kLongListNames; ++i) {
        Touch(dir.filePath(QStringLiteral("p%1.jpg").arg(i)));
        Touch(dir.filePath(QStringLiteral("n%1.txt").arg(i)));  // never counts
    }
    int cues = 0;
    const auto count = [&cues] { ++cues; };
    EXPECT_EQ(ListFiles(dir.path(), QStringLiteral("*.jpg"), count).size(), kLongListNames);
    EXPECT_EQ(cues, 0);
    Touch(dir.filePath(QStringLiteral("p0.jpg")));
    Touch(dir.filePath(QStringLiteral("p101.jpg")));
    EXPECT_EQ(ListFiles(dir.path(), QStringLiteral("*.jpg"), count).size(), kLongListNames + 2);
    EXPECT_EQ(cues, 1);
}

TEST(FolderListing, NamesThatAreNotUtf8StayUsable) {
    QTemporaryDir dir;
    const QByteArray raw = QFile::encodeName(dir.path()) + "/\x8e\xca\x90\x5e.jpg";
    const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "xyz", 3), 3);
    ::close(fd);
    const QStringList names = ListFiles(dir.path(), QStringLiteral("*.jpg"));
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(ReadFileBytes(JoinPath(dir.path(), names[0])), QByteArray("xyz"));
}

TEST(FolderListing, UnreadableFolderRaisesAMessage) {
    EXPECT_THROW(ListFiles(QStringLiteral("/nonexistent-folder"), QStringLiteral("*.*")),
                 TamarindError);
    EXPECT_FALSE(IsReadableFolder(QStringLiteral("/nonexistent-folder")));
    EXPECT_TRUE(IsReadableFolder(QStringLiteral("/")));
}

TEST(Paths, FoldersNamesAndVolumes) {
    EXPECT_EQ(WithTrailingSeparator(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(WithTrailingSeparator(QStringLiteral("/photos")), QStringLiteral("/photos/"));
    EXPECT_EQ(WithoutTrailingSeparator(QStringLiteral("/photos/")), QStringLiteral("/photos"));
    EXPECT_EQ(WithoutTrailingSeparator(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("a.jpg")), QStringLiteral("/a.jpg"));
    EXPECT_EQ(JoinPath(QStringLiteral("/p/"), QStringLiteral("a.jpg")), QStringLiteral("/p/a.jpg"));
    EXPECT_EQ(FolderOf(QStringLiteral("/a.jpg")), QStringLiteral("/"));
    EXPECT_EQ(FolderOf(QStringLiteral("/p/q/a.jpg")), QStringLiteral("/p/q"));
    EXPECT_EQ(FileNameOf(QStringLiteral("/p/q/a.jpg")), QStringLiteral("a.jpg"));
    EXPECT_TRUE(AbsolutePath(QStringLiteral("a.jpg")).startsWith(QDir::currentPath()));
    EXPECT_EQ(VolumeRootOf(QStringLiteral("/")), QStringLiteral("/"));
    const auto volumes = MountedVolumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes.front().root, QStringLiteral("/"));
    for (const Volume& v : volumes) EXPECT_FALSE(v.root.startsWith(QStringLiteral("/proc")));
}

TEST(Volumes, TheDriveListTakesUserVolumesAndLeavesSystemMountsOut) {
    // A mount table as a desktop with a camera card, a USB stick and a
    // user's tmpfs shows it, with the kernel's and the system's own mounts.
    const QByteArray table =
        "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
        "23 1 0:22 / /sys rw - sysfs sysfs rw\n"
        "24 1 0:5 / /dev rw - devtmpfs udev rw\n"
        "25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw\n"
        "26 1 0:24 / /run rw - tmpfs tmpfs rw\n"
        "27 26 0:25 / /run/user/1000 rw - tmpfs tmpfs rw\n"
        "28 23 0:26 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
        "29 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "30 1 8:2 / /home rw - ext4 /dev/sda2 rw\n"
        "31 1 8:17 / /media/alice/CANON\\040EOS rw - vfat /dev/sdb1 rw\n"
        "32 26 8:33 / /run/media/bob/STICK rw - exfat /dev/sdc1 rw\n"
        "33 1 0:40 / /home/alice/scratch rw - tmpfs tmpfs rw\n"
        "34 1 0:41 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
        "35 26 0:42 / /run/media rw - tmpfs tmpfs rw\n"
        "36 1 0:43 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n"
        "37 1 0:44 / /mnt/nas rw - nfs4 server:/photos rw\n"
        "broken line\n";
    const std::vector<MountEntry> mounts = ParseMountInfo(table);
    ASSERT_EQ(mounts.size(), 16u);
    EXPECT_EQ(mounts[9].root, QStringLiteral("/media/alice/CANON EOS"));
    EXPECT_EQ(mounts[9].type, QByteArray("vfat"));
    EXPECT_EQ(mounts[9].source, QByteArray("/dev/sdb1"));
    QStringList listed;
    for (const MountEntry& m : mounts)
        if (IsUserVolume(m)) listed << m.root;
    EXPECT_EQ(listed, (QStringList{"/", "/home", "/media/alice/CANON EOS", "/run/media/bob/STICK",
                                   "/home/alice/scratch", "/mnt/nas"}));
}

TEST(Volumes, TheVolumeOfAFolderAndTheNearestFolderLeft) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("a/b")));
    EXPECT_EQ(NearestReadableFolder(dir.path() + QStringLiteral("/a/b")), dir.path() + QStringLiteral("/a/b"));
    EXPECT_EQ(NearestReadableFolder(dir.path() + QStringLiteral("/a/gone/deeper")), dir.path() + QStringLiteral("/a"));
    EXPECT_EQ(NearestReadableFolder(QStringLiteral("/no-such-folder-here")), QStringLiteral("/"));
    EXPECT_EQ(VolumeRootOf(QStringLiteral("/proc/self")), QStringLiteral("/proc"));
    // No file mounted over a file (as containers do with /etc/hosts) is listed.
    for (const Volume& v : MountedVolumes()) EXPECT_TRUE(IsFolder(v.root)) << v.root.toStdString();
}
