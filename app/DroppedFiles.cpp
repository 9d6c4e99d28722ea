#include "app/DroppedFiles.h"

#include <QFileInfo>

#include "app/SlotFitting.h"

namespace tamarind {

QStringList DroppedFiles(const QList<QUrl>& urls, int limit) {
    QStringList files;
    for (const QUrl& url : urls) {
        if (files.size() >= limit) break;
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile()) files << path;
    }
    return files;
}

std::vector<int> DropTargets(int droppedOn, int count, const PerSlot<QString>& fileNames,
                             int slotCount, int nextSlot, int protectedSlot) {
    std::vector<int> targets;
    if (slotCount < 1 || count < 1) return targets;
    slotCount = std::min(slotCount, kSlotCount);
    if (droppedOn >= 1 && droppedOn <= slotCount) {
        targets.push_back(droppedOn);
    } else {
        for (int n = 1; n <= slotCount && int(targets.size()) < count; ++n)
            if (fileNames[n].isEmpty()) targets.push_back(n);
        if (targets.empty()) targets.push_back(nextSlot >= 1 && nextSlot <= slotCount ? nextSlot : 1);
    }
    while (int(targets.size()) < count)
        targets.push_back(NextSlotAfter(targets.back(), slotCount, protectedSlot));
    return targets;
}

}  // namespace tamarind
