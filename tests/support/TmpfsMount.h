#pragma once
// A small tmpfs mounted on a fresh temporary folder for one test. Mounting
// needs root (the tests run as root in CI); elsewhere ok() is false, why()
// says so and REQUIRE_MOUNT skips the test. The mount goes again when the
// object goes, also when the test fails half-way.

#include <sys/mount.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/FileIo.h"

namespace tamarind::test {

class TmpfsMount {
public:
    // `size` as mount(8) takes it ("64k", "1m").
    explicit TmpfsMount(const QString& size) : options_(("size=" + size).toLatin1()) {
        if (!dir_.isValid()) {
            why_ = "cannot make a temporary folder to mount on";
        } else if (::geteuid() != 0) {
            why_ = "not root: cannot mount a file system";
        } else if (::mount("tamarind-test", nativePath().constData(), "tmpfs", 0,
                           options_.constData()) != 0) {
            why_ = std::string("mount tmpfs failed: ") + std::strerror(errno);
        } else {
            mounted_ = true;
        }
    }
    ~TmpfsMount() {
        if (mounted_) ::umount2(nativePath().constData(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool ok() const { return mounted_; }
    // Why the mount is missing (empty when it is there).
    const std::string& why() const { return why_; }
    // The mount point; without a mount, a plain empty temporary folder.
    QString path() const { return dir_.path(); }
    QByteArray nativePath() const { return EncodePath(dir_.path()); }

    bool MakeReadOnly() {
        return ::mount(nullptr, nativePath().constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                       options_.constData()) == 0;
    }
    // The names in the mount, sorted (hidden ones included).
    QStringList Names() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                           QDir::Name);
    }

private:
    QTemporaryDir dir_;
    QByteArray options_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace tamarind::test

#define REQUIRE_MOUNT(m)                                  \
    do {                                                  \
        if (!(m).ok()) GTEST_SKIP() << (m).why();         \
    } while (0)
