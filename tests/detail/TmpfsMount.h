#pragma once
// A small tmpfs mounted for one test (the tests run as root in CI); it is
// unmounted again when the object goes, also when the test fails.

#include <sys/mount.h>

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace tamarind::test {

class TmpfsMount {
public:
    explicit TmpfsMount(const QString& size) : size_(size.toLatin1()) {
        const QByteArray dir = dir_.path().toLocal8Bit();
        mounted_ = ::mount("tmpfs", dir.constData(), "tmpfs", 0, ("size=" + size_).constData()) == 0;
    }
    ~TmpfsMount() {
        if (mounted_) ::umount2(dir_.path().toLocal8Bit().constData(), MNT_DETACH);
    }
    bool ok() const { return mounted_; }
    QString path() const { return dir_.path(); }
    bool MakeReadOnly() {
        return ::mount(nullptr, dir_.path().toLocal8Bit().constData(), nullptr,
                       MS_REMOUNT | MS_RDONLY, ("size=" + size_).constData()) == 0;
    }
    // The names in the mount, sorted (hidden ones included).
    QStringList Names() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                           QDir::Name);
    }

private:
    QTemporaryDir dir_;
    QByteArray size_;
    bool mounted_ = false;
};

}  // namespace tamarind::test

#define REQUIRE_MOUNT(m) \
    do {                 \
        if (!(m).ok()) GTEST_SKIP() << "cannot mount a tmpfs here (tests run as root in CI)"; \
    } while (0)
