#pragma once
// This process's memory as the kernel counts it, for the tests and the
// benchmarks that measure in child processes. Header only.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace tamarind::test {

// Kilobytes of a "Vm...:" line of /proc/self/status ("VmRSS:" the resident
// size, "VmHWM:" its peak), -1 when unknown.
inline long StatusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ')[0].toLong();
    return -1;
}

// Starts the peak resident size afresh from the present resident size
// (Linux 4.0 and later); false where that cannot be done.
inline bool ResetPeakResident() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

}  // namespace tamarind::test
