#include "batch/RunPlan.h"

#include <QHash>
#include <climits>

#include "batch/RenamePass.h"
#include "platform/FileIo.h"
#include "platform/Folders.h"

namespace tamarind {
namespace {

void Flag(PlanRow& row, PlanFlag flag, const QString& reason) {
    row.flags |= flag;
    if (!row.reason.isEmpty()) row.reason += QStringLiteral("、");
    row.reason += reason;
}

// Why no file can have `name` in the run's folder (empty when it can).
QString ImpossibleName(const QString& name) {
    if (name.isEmpty()) return QStringLiteral("名前がありません");
    if (name.contains(u'/') || name.contains(QChar(0))) return QStringLiteral("名前に「/」は使えません");
    // Also "." and "..", which name folders.
    if (name.startsWith(u'.')) return QStringLiteral("先頭に「.」は使えません（隠しファイルになります）");
    if (EncodePath(name).size() > NAME_MAX) return QStringLiteral("名前が 255 バイトを超えます");
    return {};
}

void FlagRiskyName(PlanRow& row, const QString& name) {
    if (name.endsWith(QLatin1String(".*")))
        Flag(row, kPlanRisky, QStringLiteral("拡張子が「*」です（拡張子の揃っていないファイルです）"));
    if (name.front().isSpace() || name.back().isSpace())
        Flag(row, kPlanRisky, QStringLiteral("名前の先頭か末尾に空白があります"));
}

bool Renames(int mode) { return mode == 1 || mode == 2 || mode == 3; }
bool Copies(int mode) { return mode == 2 || mode == 5; }

}  // namespace

int RunPlan::Count(PlanFlag flag) const {
    int n = 0;
    for (const PlanRow& row : rows) n += (row.flags & flag) ? 1 : 0;
    return n;
}

std::vector<int> RunPlan::ImpossibleRows() const {
    std::vector<int> found;
    for (std::size_t k = 0; k < rows.size(); ++k)
        if (rows[k].flags & kPlanImpossible) found.push_back(int(k));
    return found;
}

QString FlagCaption(PlanFlag flag) {
    switch (flag) {
        case kPlanExists: return QStringLiteral("既存");
        case kPlanChained: return QStringLiteral("連鎖");
        case kPlanSame: return QStringLiteral("同一");
        case kPlanImpossible: return QStringLiteral("不可");
        case kPlanRisky: return QStringLiteral("注意");
    }
    return {};
}

QString FlagsText(unsigned flags) {
    QStringList captions;
    for (const unsigned flag : kPlanFlags)
        if (flags & flag) captions << FlagCaption(PlanFlag(flag));
    return captions.join(u'・');
}

RunPlan MakePlan(const BatchRun& run) {
    RunPlan plan;
    plan.mode = run.mode;
    const int n = int(run.items.size());
    plan.rows.resize(std::size_t(n));
    QStringList sources, targets;
    QHash<QString, int> firstWithTarget;
    for (int k = 0; k < n; ++k) {
        const BatchItem& item = run.items[std::size_t(k)];
        PlanRow& row = plan.rows[std::size_t(k)];
        row.name = item.name;
        sources << SourceOf(run, item);
        targets << TargetOf(run, item);
        if (targets.back().isEmpty()) continue;  // a delete run: nothing to name
        row.target = run.mode == 1 ? item.newName : targets.back();
        const QString name = Renames(run.mode) ? item.newName : item.name;
        if (const QString why = ImpossibleName(name); !why.isEmpty()) {
            Flag(row, kPlanImpossible, why);
            continue;
        }
        FlagRiskyName(row, name);
        const auto first = firstWithTarget.constFind(targets.back());
        if (first == firstWithTarget.constEnd()) {
            firstWithTarget.insert(targets.back(), k);
            continue;
        }
        const QString same = QStringLiteral("行 %1 と同じ名前になります");
        Flag(row, kPlanImpossible, same.arg(*first + 1));
        PlanRow& other = plan.rows[std::size_t(*first)];
        if (!(other.flags & kPlanImpossible)) Flag(other, kPlanImpossible, same.arg(k + 1));
    }
    if (run.mode == 4) return plan;

    const RunFiles files(sources);
    for (int k = 0; k < n; ++k) {
        PlanRow& row = plan.rows[std::size_t(k)];
        if (row.flags & kPlanImpossible) continue;
        if (!files.Exists(k)) {
            Flag(row, kPlanRisky, QStringLiteral("元のファイルが見つかりません"));
            continue;
        }
        int holder = -1;
        switch (files.Classify(k, targets[k], &holder)) {
            case TargetKind::Free: break;
            case TargetKind::Itself:
                Flag(row, kPlanSame, QStringLiteral("元のファイルと同じです（そのままにします）"));
                break;
            case TargetKind::Outside:
                Flag(row, kPlanExists, QStringLiteral("同じ名前のファイルがあります（上書きの確認が出ます）"));
                break;
            case TargetKind::InRun:
                if (Copies(run.mode)) {
                    // A copy replaces the content there: the overwrite question
                    // comes, and that file's own copy takes its old content.
                    row.flags |= kPlanExists;
                    Flag(row, kPlanChained,
                         QStringLiteral("行 %1 のファイルの名前です（上書きの確認が出ます。そのファイルは元の内容でコピーします）")
                             .arg(holder + 1));
                } else {
                    Flag(row, kPlanChained,
                         QStringLiteral("行 %1 のファイルの名前です（一時的な名前を使って変えます）").arg(holder + 1));
                }
                break;
        }
    }
    return plan;
}

}  // namespace tamarind
