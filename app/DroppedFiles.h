#pragma once
// What a drop on the grid loads, and where: plain rules, tested without
// widgets.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

#include "shared/ViewerState.h"

namespace tamarind {

// The files among dropped URLs, in their order, at most `limit`: local
// files only; folders, other schemes and names that do not exist (any
// more) are left out.
QStringList DroppedFiles(const QList<QUrl>& urls, int limit);

// The slots `count` dropped files go to, in order. Dropped on slot
// `droppedOn` (1..slotCount): that slot first, then on by the next-slot
// rule. Dropped beside the slots (`droppedOn` 0): the empty slots of the
// layout from the first on, so that no picture is replaced while one is
// empty; more files go on from the last of them by the rule, and when no
// slot is empty the files start at `nextSlot`.
std::vector<int> DropTargets(int droppedOn, int count, const PerSlot<QString>& fileNames,
                             int slotCount, int nextSlot, int protectedSlot);

}  // namespace tamarind
