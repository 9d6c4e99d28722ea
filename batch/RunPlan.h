#pragma once
// The plan of a batch run, made before any file is touched: every file in
// run order with where it goes and how that target stands, so that the user
// can see the run's conflicts before it starts.

#include <QString>
#include <vector>

#include "batch/BatchRun.h"

namespace tamarind {

// The flags of a row (several may hold).
enum PlanFlag : unsigned {
    kPlanExists = 1,      // "既存": a file is there that the run will ask about
    kPlanChained = 2,     // "連鎖": the target is another file of the run
    kPlanSame = 4,        // "同一": the target is the file itself
    kPlanImpossible = 8,  // "不可": the run cannot make this name
    kPlanRisky = 16,      // "注意": a legal name the user may not want
};
inline constexpr unsigned kPlanFlags[] = {kPlanExists, kPlanChained, kPlanSame, kPlanImpossible,
                                          kPlanRisky};

struct PlanRow {
    QString name;    // the file's name in the source folder
    QString target;  // its new name (renames) or new path (copies and moves); empty for deletes
    unsigned flags = 0;
    QString reason;  // why the row is flagged, in the user's words
};

struct RunPlan {
    int mode = 1;
    std::vector<PlanRow> rows;

    // How many rows carry `flag`.
    int Count(PlanFlag flag) const;
    // The rows (0-based) that keep the run from starting.
    std::vector<int> ImpossibleRows() const;
    bool CanStart() const { return Count(kPlanImpossible) == 0; }
    // Whether the plan must be shown before the run: a question will come,
    // or the run cannot start.
    bool NeedsLook() const { return Count(kPlanExists) > 0 || !CanStart(); }
};

// The plan of `run` as the files stand now.
RunPlan MakePlan(const BatchRun& run);

// The caption of a flag ("既存" ...) and of a set of them ("既存・注意").
QString FlagCaption(PlanFlag flag);
QString FlagsText(unsigned flags);

}  // namespace tamarind
