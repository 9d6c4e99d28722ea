#include "platform/Folders.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>

#include "platform/Errors.h"
#include "platform/FileIo.h"

namespace tamarind {
namespace {

// File systems that hold no user files: kernel interfaces and the like.
bool IsPseudoFileSystem(const QByteArray& type) {
    static const QList<QByteArray> pseudo = {
        "proc",      "sysfs",   "devtmpfs", "devpts",      "securityfs", "debugfs", "tracefs",
        "configfs",  "fusectl", "mqueue",   "hugetlbfs",   "pstore",     "bpf",     "autofs",
        "binfmt_misc", "efivarfs", "nsfs",  "rpc_pipefs",  "selinuxfs",  "rootfs",  "ramfs",
        "cgroup",    "cgroup2", "fuse.gvfsd-fuse", "fuse.portal"};
    return pseudo.contains(type);
}

bool IsUnder(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + u'/');
}

// Mount points in mountinfo escape a space and the like as "\\040".
QString UnescapeMountPath(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QByteArray code = field.mid(i + 1, 3);
        bool octal = false;
        const int value = code.size() == 3 ? code.toInt(&octal, 8) : 0;
        if (field[i] == '\\' && octal) {
            out += char(value);
            i += 3;
        } else {
            out += field[i];
        }
    }
    return DecodePath(out);
}

class DirHandle {
public:
    explicit DirHandle(const QString& folder) : dir_(::opendir(EncodePath(folder).constData())) {}
    ~DirHandle() {
        if (dir_) ::closedir(dir_);
    }
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

[[noreturn]] void RaiseFolderError(const QString& folder, int error) {
    throw TamarindError(
        QStringLiteral("フォルダー %1 を読めません (%2)").arg(folder, SystemErrorText(error)));
}

// Calls `visit(name, isFile, isFolder)` for each visible entry of the folder.
template <typename Visit>
void Enumerate(const QString& folder, Visit visit) {
    DirHandle dir(folder);
    if (!dir.get()) RaiseFolderError(folder, errno);
    const QByteArray base = EncodePath(WithTrailingSeparator(folder));
    while (dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.') continue;  // hidden files, "." and ".."
        bool isFile = entry->d_type == DT_REG;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st {};
            if (::stat((base + name).constData(), &st) != 0) continue;
            isFile = S_ISREG(st.st_mode);
            isFolder = S_ISDIR(st.st_mode);
        }
        visit(DecodePath(QByteArray(name)), isFile, isFolder);
    }
}

bool MatchFrom(const QString& name, qsizetype n, const QString& pattern, qsizetype p) {
    while (p < pattern.size()) {
        const QChar pc = pattern.at(p);
        if (pc == u'*') {
            while (p < pattern.size() && pattern.at(p) == u'*') ++p;
            if (p == pattern.size()) return true;
            for (qsizetype k = n; k <= name.size(); ++k)
                if (MatchFrom(name, k, pattern, p)) return true;
            return false;
        }
        if (n >= name.size()) return false;
        if (pc != u'?' && pc.toCaseFolded() != name.at(n).toCaseFolded()) return false;
        ++n;
        ++p;
    }
    return n == name.size();
}

}  // namespace

QString Volume::DisplayText() const {
    return name.isEmpty() ? root : root + QStringLiteral(" [") + name + u']';
}

std::vector<MountEntry> ParseMountInfo(const QByteArray& mountinfo) {
    std::vector<MountEntry> mounts;
    for (const QByteArray& line : mountinfo.split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source ...
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 6 || dash + 1 >= fields.size()) continue;
        mounts.push_back({UnescapeMountPath(fields[4]), fields[dash + 1],
                          dash + 2 < fields.size() ? fields[dash + 2] : QByteArray()});
    }
    return mounts;
}

bool IsUserVolume(const MountEntry& mount) {
    if (IsPseudoFileSystem(mount.type)) return false;
    const QString& root = mount.root;
    // Removable media appear under /run/media/<user>; the rest of /run, like
    // /proc, /sys and /dev, is the system's.
    if (root.startsWith(QStringLiteral("/run/media/"))) return root.count(u'/') >= 4;
    for (const char* system : {"/proc", "/sys", "/dev", "/run", "/snap"})
        if (IsUnder(root, QString::fromLatin1(system))) return false;
    return true;
}

QByteArray ReadMountInfo() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

std::vector<Volume> MountedVolumes() {
    std::vector<Volume> volumes;
    for (const MountEntry& mount : ParseMountInfo(ReadMountInfo())) {
        // Files mounted over files (a container's /etc/hosts) are no volumes.
        if (!IsUserVolume(mount) || !IsFolder(mount.root)) continue;
        const auto same = std::find_if(volumes.begin(), volumes.end(),
                                       [&](const Volume& v) { return v.root == mount.root; });
        if (same != volumes.end()) volumes.erase(same);  // the one mounted last shows
        QString label;
        if (mount.source.startsWith("/dev/")) label = QStorageInfo(mount.root).name();
        volumes.push_back({mount.root, label});
    }
    if (std::none_of(volumes.begin(), volumes.end(),
                     [](const Volume& v) { return v.root == QStringLiteral("/"); }))
        volumes.push_back({QStringLiteral("/"), {}});
    std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
        if (a.root == QStringLiteral("/")) return b.root != QStringLiteral("/");
        if (b.root == QStringLiteral("/")) return false;
        return NaturalLess(a.root, b.root);
    });
    return volumes;
}

QString VolumeRootOf(const QString& folder) {
    // The deepest mount point that is an ancestor of the folder.
    QString best = QStringLiteral("/");
    const QString path = WithTrailingSeparator(AbsolutePath(folder));
    for (const MountEntry& mount : ParseMountInfo(ReadMountInfo())) {
        const QString& root = mount.root;
        if (root.size() > best.size() && path.startsWith(WithTrailingSeparator(root))) best = root;
    }
    return best;
}

QString NearestReadableFolder(const QString& folder) {
    QString f = WithoutTrailingSeparator(AbsolutePath(folder));
    while (!IsReadableFolder(f) && f != QStringLiteral("/")) f = FolderOf(f);
    return f;
}

QString WithoutTrailingSeparator(const QString& folder) {
    QString f = folder;
    while (f.size() > 1 && f.endsWith(u'/')) f.chop(1);
    return f;
}

QString WithTrailingSeparator(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty()) return name;
    return WithTrailingSeparator(folder) + name;
}

QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0) return QString();
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

QString FileNameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString AbsolutePath(const QString& path) {
    // QDir::cleanPath keeps the lone surrogates of undecodable names intact.
    if (path.startsWith(u'/')) return QDir::cleanPath(path);
    return QDir::cleanPath(QDir::currentPath() + u'/' + path);
}

QStringList SplitMask(const QString& mask) {
    QStringList patterns;
    for (const QString& part : mask.split(QRegularExpression(QStringLiteral("[;,]"))))
        if (!part.trimmed().isEmpty()) patterns << part.trimmed();
    return patterns;
}

bool MatchesPattern(const QString& name, const QString& pattern) {
    // "*.*" matches every name, also names without a dot, as on the classic file list.
    if (pattern == QStringLiteral("*.*")) return true;
    return MatchFrom(name, 0, pattern, 0);
}

bool MatchesMask(const QString& name, const QStringList& patterns) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const QString& p) { return MatchesPattern(name, p); });
}

bool NaturalLess(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const QChar ca = a.at(i);
        const QChar cb = b.at(j);
        if (ca.isDigit() && cb.isDigit() && ca.unicode() < 128 && cb.unicode() < 128) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).unicode() < 128 && a.at(ei).isDigit()) ++ei;
            while (ej < b.size() && b.at(ej).unicode() < 128 && b.at(ej).isDigit()) ++ej;
            // Compare the digit runs as numbers: skip leading zeros, then length, then digits.
            qsizetype si = i;
            qsizetype sj = j;
            while (si + 1 < ei && a.at(si) == u'0') ++si;
            while (sj + 1 < ej && b.at(sj) == u'0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            for (qsizetype k = 0; k < ei - si; ++k)
                if (a.at(si + k) != b.at(sj + k)) return a.at(si + k) < b.at(sj + k);
            if (ei - i != ej - j) return ei - i < ej - j;  // fewer leading zeros first
            i = ei;
            j = ej;
            continue;
        }
        const QChar fa = ca.toCaseFolded();
        const QChar fb = cb.toCaseFolded();
        if (fa != fb) return fa < fb;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // equal but for letter case: a fixed order
}

QStringList ListFiles(const QString& folder, const QString& mask,
                      const std::function<void()>& onLongList) {
    const QStringList patterns = SplitMask(mask);
    QStringList names;
    Enumerate(folder, [&](const QString& name, bool isFile, bool) {
        if (!isFile || !MatchesMask(name, patterns)) return;
        names << name;
        if (names.size() == kLongListNames + 1 && onLongList) onLongList();
    });
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

QStringList ListSubfolders(const QString& folder) {
    QStringList names;
    Enumerate(folder, [&](const QString& name, bool, bool isFolder) {
        if (isFolder) names << name;
    });
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

void RequireReadableFolder(const QString& folder) {
    const QByteArray path = EncodePath(folder);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) RaiseFolderError(folder, errno);
    if (!S_ISDIR(st.st_mode)) RaiseFolderError(folder, ENOTDIR);
    DirHandle dir(folder);
    if (!dir.get()) RaiseFolderError(folder, errno);
}

bool IsReadableFolder(const QString& folder) {
    const QByteArray path = EncodePath(folder);
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.constData(), R_OK | X_OK) == 0;
}

bool IsFolder(const QString& path) {
    struct stat st {};
    return ::stat(EncodePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace tamarind
