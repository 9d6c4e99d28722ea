#include "FileOpsSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamarind::test {

namespace {
int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
    return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
}
}  // namespace

bool RemoveTree(const QByteArray& path) {
    ::nftw(path.constData(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
    struct stat st {};
    return ::lstat(path.constData(), &st) != 0;
}

TempFolder::TempFolder(const QByteArray& parent) {
    QByteArray pattern = parent + "/tamarind-test-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
    EXPECT_FALSE(path_.isEmpty()) << "cannot make a folder in " << parent.constData();
}

TempFolder::~TempFolder() {
    if (!path_.isEmpty()) RemoveTree(path_);
}

void PutFile(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        ASSERT_GT(w, 0) << path.constData();
        done += w;
    }
    ::close(fd);
}

QByteArray GetFile(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "<missing>";
    QByteArray out;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, n);
    ::close(fd);
    return out;
}

namespace {

void Walk(const QByteArray& root, const QByteArray& relative, Tree& out, bool stats) {
    const QByteArray folder = relative.isEmpty() ? root : root + '/' + relative;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return;
    while (dirent* entry = ::readdir(dir)) {
        const QByteArray name = entry->d_name;
        if (name == "." || name == ".." || (relative.isEmpty() && name == "lost+found")) continue;
        const QByteArray rel = relative.isEmpty() ? name : relative + '/' + name;
        const QByteArray full = root + '/' + rel;
        struct stat st {};
        if (::lstat(full.constData(), &st) != 0) continue;
        if (stats) {
            out[rel] = S_ISLNK(st.st_mode) ? QByteArray("link")
                                           : QByteArray::number(st.st_mode & 07777, 8).rightJustified(4, '0') +
                                                 ' ' + QByteArray::number(qulonglong(st.st_nlink));
            if (S_ISDIR(st.st_mode)) Walk(root, rel, out, stats);
        } else if (S_ISDIR(st.st_mode)) {
            out[rel] = "<dir>";
            Walk(root, rel, out, stats);
        } else if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink(full.constData(), target, sizeof target);
            out[rel] = "-> " + QByteArray(target, n > 0 ? n : 0);
        } else if (S_ISREG(st.st_mode)) {
            out[rel] = GetFile(full);
        } else {
            out[rel] = "<special>";  // a pipe or device: never opened
        }
    }
    ::closedir(dir);
}

}  // namespace

Tree Snapshot(const QByteArray& folder) {
    Tree tree;
    Walk(folder, {}, tree, false);
    return tree;
}

Tree Stats(const QByteArray& folder) {
    Tree tree;
    Walk(folder, {}, tree, true);
    return tree;
}

std::string Describe(const Tree& tree) {
    std::string text;
    for (const auto& [name, bytes] : tree) {
        text += name.toStdString() + " (";
        text += bytes.size() > 40 ? std::to_string(bytes.size()) + " bytes" : bytes.toStdString();
        text += ")\n";
    }
    return text;
}

}  // namespace tamarind::test
