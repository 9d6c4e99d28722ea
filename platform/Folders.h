#pragma once
// Drives, folders and file lists. Linux has no drive letters: the "drives"
// are the mounted volumes, and the root of a folder's drive is the root of
// the volume that holds it. Folders carry no trailing "/" except the root.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace tamarind {

struct Volume {
    QString root;  // mount point
    QString name;  // label, may be empty
    // The text the drive selector shows: the root, then the label in brackets.
    QString DisplayText() const;
};

// One line of /proc/self/mountinfo.
struct MountEntry {
    QString root;       // mount point
    QByteArray type;    // file system type
    QByteArray source;  // device or other source
};
std::vector<MountEntry> ParseMountInfo(const QByteArray& mountinfo);
// A volume the drive selector lists: a real or tmpfs file system, not a
// pseudo file system and not mounted for the system under /proc, /sys, /dev,
// /run or /snap. Removable media under /media and /run/media/<user> count.
bool IsUserVolume(const MountEntry& mount);

// The volumes the drive selector lists, folders only, sorted by root; "/"
// always comes first.
std::vector<Volume> MountedVolumes();

// The root of the volume that holds `folder`: its deepest mount point.
QString VolumeRootOf(const QString& folder);
// `folder` when it can be listed, else its nearest ancestor that can ("/").
QString NearestReadableFolder(const QString& folder);

// "/a/b/" -> "/a/b"; "/" stays "/"; "" stays "".
QString WithoutTrailingSeparator(const QString& folder);
// "/a/b" -> "/a/b/"; "/" stays "/".
QString WithTrailingSeparator(const QString& folder);
// Joins a folder and a name with exactly one "/".
QString JoinPath(const QString& folder, const QString& name);
// The folder part of a path (no trailing "/", except the root) and its name.
QString FolderOf(const QString& path);
QString FileNameOf(const QString& path);
// An absolute, cleaned path; a relative one is taken in the current folder.
QString AbsolutePath(const QString& path);

// The patterns of a file mask: split at ";" and at ",".
QStringList SplitMask(const QString& mask);
// Wildcard match ignoring letter case: "*" any run, "?" one character.
bool MatchesPattern(const QString& name, const QString& pattern);
bool MatchesMask(const QString& name, const QStringList& patterns);

// Natural order ignoring letter case: "img2" before "img10".
bool NaturalLess(const QString& a, const QString& b);

// The names of the ordinary files of `folder` (regular files, also through
// symbolic links; no folders, no hidden dot files) matching `mask`, in
// natural order. Raises TamarindError when the folder cannot be read.
// `onLongList` runs once, as soon as more than kLongListNames names have
// matched: the caller's cue to show the busy pointer while the rest is read.
constexpr int kLongListNames = 100;
QStringList ListFiles(const QString& folder, const QString& mask,
                      const std::function<void()>& onLongList = {});
// The names of the visible subfolders of `folder`, in natural order. Raises
// TamarindError when the folder cannot be read.
QStringList ListSubfolders(const QString& folder);
// Raises TamarindError, with the one message for a folder that cannot be
// opened, unless `folder` exists, is a folder and can be listed.
void RequireReadableFolder(const QString& folder);
// True when `folder` exists, is a folder and can be listed.
bool IsReadableFolder(const QString& folder);
bool IsFolder(const QString& path);

}  // namespace tamarind
