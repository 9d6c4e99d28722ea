#pragma once
// Where the user guide "tamarind.hlp" is: beside the program (as in the
// build tree), or in the share folder of the installation the program
// belongs to.

#include <QString>
#include <QStringList>

namespace tamarind {

// The places looked at for the program in `programDir`, in order.
QStringList HelpFileCandidates(const QString& programDir);
// The first candidate that exists; the one beside the program when none does.
QString LocateHelpFile(const QString& programDir);

}  // namespace tamarind
