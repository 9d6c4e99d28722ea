#include "app/HelpFile.h"

#include <QDir>
#include <QFileInfo>

#ifndef TAMARIND_DATA_FROM_BIN
#define TAMARIND_DATA_FROM_BIN "../share/tamarind"
#endif

namespace tamarind {

QStringList HelpFileCandidates(const QString& programDir) {
    const QDir dir(programDir);
    return {dir.filePath(QStringLiteral("tamarind.hlp")),
            QDir::cleanPath(dir.filePath(QStringLiteral(TAMARIND_DATA_FROM_BIN "/tamarind.hlp")))};
}

QString LocateHelpFile(const QString& programDir) {
    const QStringList candidates = HelpFileCandidates(programDir);
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile()) return path;
    return candidates.front();
}

}  // namespace tamarind
