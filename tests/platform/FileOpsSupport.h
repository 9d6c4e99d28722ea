#pragma once
// Helpers for the file-operation tests: files made from bytes, and a whole
// folder's contents (names, sizes and bytes) to compare before and after.

#include <QByteArray>
#include <QString>
#include <map>

namespace tamarind::test {

// A fresh folder under `parent` (system bytes), removed with everything in
// it, whatever its names, when the object goes.
class TempFolder {
public:
    explicit TempFolder(const QByteArray& parent = "/tmp");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const QByteArray& path() const { return path_; }

private:
    QByteArray path_;
};

// Removes a folder tree (names of any bytes); true when it is gone.
bool RemoveTree(const QByteArray& path);

// Creates or truncates `path` (encoded bytes) with `bytes`; fails the test on error.
void PutFile(const QByteArray& path, const QByteArray& bytes);
// The bytes of `path`, or "<missing>" when it cannot be read.
QByteArray GetFile(const QByteArray& path);

// Every entry below `folder` (recursively, hidden ones too) by relative
// path: the bytes of a file, "<dir>" for a folder, "-> target" for a link,
// "<special>" for a pipe or device.
using Tree = std::map<QByteArray, QByteArray>;
Tree Snapshot(const QByteArray& folder);

// The permission bits and link count of every entry below `folder`, as
// "0644 1" (links themselves: "link"), to compare before and after.
Tree Stats(const QByteArray& folder);

// Text of a snapshot for failure messages.
std::string Describe(const Tree& tree);

}  // namespace tamarind::test
