#include "batch/BatchRun.h"

#include <algorithm>

#include "batch/RenamePass.h"
#include "platform/Dialogs.h"
#include "platform/ErrorText.h"
#include "platform/Errors.h"
#include "platform/FileOps.h"
#include "platform/Folders.h"

namespace tamarind {
namespace {

enum class Operation { Rename, Copy, Move };

const QString kQuestionCaption = QStringLiteral("確認");
const QString kErrorCaption = QStringLiteral("エラー");
const QString kLineBreak = QStringLiteral("\n\r");

QString Marker(Operation op) {
    switch (op) {
        case Operation::Rename: return QStringLiteral(" (名変)=> ");
        case Operation::Copy: return QStringLiteral(" (コピー)=> ");
        case Operation::Move: return QStringLiteral(" (移動)=> ");
    }
    return {};
}

FileOpResult Apply(Operation op, const QString& source, const QString& target, Replace replace) {
    switch (op) {
        case Operation::Rename: return RenameFile(source, target, replace);
        case Operation::Copy: return CopyFile(source, target, replace);
        case Operation::Move: return MoveFile(source, target, replace);
    }
    return {};
}

// The overwrite question for an existing target; true for "はい(&Y)".
bool AgreesToReplace(Operation op, const QString& source, const QString& target) {
    const QString question = source + kLineBreak + Marker(op) + target +
                             QStringLiteral("　はすでに存在しています。上書きしますか？。");
    return Dialogs().Ask(kQuestionCaption, question, BoxIcon::Information, BoxButtons::YesNo) ==
           BoxAnswer::Yes;
}

// One file with the overwrite question: the operation never replaces a file
// on its own; only when the target exists is the user asked, and only a yes
// lets it replace the target. A skipped file gives Ok with nothing done.
FileOpResult WithPrompt(Operation op, const QString& source, const QString& target) {
    FileOpResult result = Apply(op, source, target, Replace::No);
    if (!result.targetExists()) return result;
    if (!AgreesToReplace(op, source, target)) return {};  // skipped: both files stay as they are
    return Apply(op, source, target, Replace::Yes);
}

void ReportRenameFailure(const QString& source, const QString& target, const QString& more = {}) {
    Dialogs().Ask(kErrorCaption,
                  QStringLiteral("ファイル名変更に失敗しました。") + kLineBreak + source + kLineBreak +
                      QStringLiteral(" => ") + target + more,
                  BoxIcon::Error, BoxButtons::Cancel);
}

// Files a run could not put back under their names (see RenamePassResult).
QString StrandedText(const std::vector<std::pair<QString, QString>>& stranded) {
    if (stranded.empty()) return {};
    QString text = kLineBreak + QStringLiteral("元の名前に戻せなかったファイルがあります：");
    for (const auto& [now, was] : stranded) text += kLineBreak + now + QStringLiteral(" => ") + was;
    return text;
}

// A target that is the source itself leaves the file as it was; the run
// goes on and names the count at its end.
void RenameWithPrompt(const QString& source, const QString& target, int& unchanged) {
    const FileOpResult result = WithPrompt(Operation::Rename, source, target);
    if (result.sameFile()) {
        ++unchanged;
    } else if (!result.ok()) {
        ReportRenameFailure(source, target);
    }
}

// Copy and move: a failure ends the run with the reason.
void CopyOrMoveWithPrompt(Operation op, const QString& source, const QString& target, int& unchanged) {
    const FileOpResult result = WithPrompt(op, source, target);
    if (result.sameFile()) {
        ++unchanged;
    } else if (!result.ok()) {
        throw TamarindError(result.text);
    }
}

// What becomes of one file of a run whose targets include other files' names.
enum class Fate { Unknown, Moves, Replaces, Stays, Same };

// Renames (or moves within one file system) the files of a run of which some
// new names are current names of other files of the run. Nothing is asked
// for those: they are renamed through temporary names, all or none. Targets
// that exist and stay (outside the run, or a file of the run that does not
// move) keep the overwrite question, asked before any file is touched. False,
// with nothing done, when no target belongs to the run: the run then goes
// file by file as usual.
bool RenameWithinRun(Operation op, const QStringList& sources, const QStringList& targets,
                     int& unchanged) {
    const RunFiles files(sources);
    const int n = int(sources.size());
    std::vector<TargetKind> kinds(std::size_t(n), TargetKind::Free);
    std::vector<int> holders(std::size_t(n), -1);
    bool chained = false;
    for (int k = 0; k < n; ++k) {
        if (!files.Exists(k)) continue;
        kinds[std::size_t(k)] = files.Classify(k, targets[k], &holders[std::size_t(k)]);
        chained = chained || kinds[std::size_t(k)] == TargetKind::InRun;
    }
    if (!chained) return false;

    // Each file's fate in run order. A file whose name is wanted by another
    // decides that one's fate: the chain is followed to its end (a free name,
    // an existing file, a cycle) and decided back from there.
    std::vector<Fate> fate(std::size_t(n), Fate::Unknown);
    std::vector<char> onChain(std::size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        if (fate[std::size_t(i)] != Fate::Unknown) continue;
        if (!files.Exists(i)) {
            fate[std::size_t(i)] = Fate::Stays;
            if (op == Operation::Move) throw TamarindError(SystemErrorText(ENOENT));
            ReportRenameFailure(sources[i], targets[i]);
            continue;
        }
        std::vector<int> chain;
        for (int k = i;;) {
            chain.push_back(k);
            onChain[std::size_t(k)] = 1;
            if (kinds[std::size_t(k)] != TargetKind::InRun) break;
            const int j = holders[std::size_t(k)];
            if (fate[std::size_t(j)] != Fate::Unknown) break;
            if (onChain[std::size_t(j)]) {  // a cycle: every file on it moves
                for (auto it = std::find(chain.begin(), chain.end(), j); it != chain.end(); ++it)
                    fate[std::size_t(*it)] = Fate::Moves;
                break;
            }
            k = j;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const auto m = std::size_t(*it);
            onChain[m] = 0;
            if (fate[m] != Fate::Unknown) continue;
            switch (kinds[m]) {
                case TargetKind::Free: fate[m] = Fate::Moves; break;
                case TargetKind::Itself: fate[m] = Fate::Same; break;
                case TargetKind::InRun: {
                    const Fate held = fate[std::size_t(holders[m])];
                    if (held == Fate::Moves || held == Fate::Replaces) {
                        fate[m] = Fate::Moves;
                        break;
                    }
                    [[fallthrough]];  // the file that has the name stays there
                }
                case TargetKind::Outside:
                    fate[m] = AgreesToReplace(op, sources[*it], targets[*it]) ? Fate::Replaces : Fate::Stays;
                    break;
            }
        }
    }

    std::vector<char> vacate(std::size_t(n), 0);
    for (int k = 0; k < n; ++k) {
        if (kinds[std::size_t(k)] == TargetKind::InRun && fate[std::size_t(k)] == Fate::Moves)
            vacate[std::size_t(holders[std::size_t(k)])] = 1;
    }
    std::vector<RenameStep> steps;
    std::vector<int> stepItem;
    for (int k = 0; k < n; ++k) {
        const Fate f = fate[std::size_t(k)];
        if (f == Fate::Same && (op == Operation::Move || FileNameOf(sources[k]) != FileNameOf(targets[k])))
            ++unchanged;
        if (f != Fate::Moves && f != Fate::Replaces) continue;
        steps.push_back({sources[k], targets[k], vacate[std::size_t(k)] != 0, f == Fate::Replaces});
        stepItem.push_back(k);
    }
    const RenamePassResult done = RenameThroughTemporaryNames(steps);
    const QString stranded = StrandedText(done.stranded);
    if (done.ok()) {
        if (!stranded.isEmpty()) Dialogs().Message(stranded.mid(kLineBreak.size()), BoxIcon::Warning);
        return true;
    }
    const int k = stepItem[std::size_t(std::max(done.failedStep, 0))];
    const QString undone = kLineBreak + QStringLiteral("どのファイルも元の名前のままです。");
    if (op == Operation::Move) throw TamarindError(done.result.text + undone + stranded);
    ReportRenameFailure(sources[k], targets[k],
                        kLineBreak + done.result.text + (stranded.isEmpty() ? undone : stranded));
    return true;
}

// The one message at the end of a run for the files that were their own
// targets (copied or moved into their own folder under their own names).
void ReportUnchanged(int unchanged) {
    if (unchanged > 0)
        Dialogs().Message(QStringLiteral("%1 個のファイルは元のファイルと同じファイルのため、そのままにしました。")
                              .arg(unchanged));
}

// The desktop's trash after the user's yes for this file. Declining, like a
// trash that cannot take the file, is a failed deletion; the file is never
// deleted for good instead.
bool DeleteToWastebasket(const QString& path, const QString& name) {
    const BoxAnswer answer =
        Dialogs().Ask(kQuestionCaption, name + QStringLiteral(" をごみ箱に移動しますか？"),
                      BoxIcon::Question, BoxButtons::YesNo);
    if (answer != BoxAnswer::Yes) return false;
    return MoveToTrash(path).ok();
}

void RunFileByFile(const BatchRun& run, QString& targetPath, int& unchanged) {
    for (const BatchItem& item : run.items) {
        const QString source = run.sourceFolder + item.name;
        switch (run.mode) {
            case 1:
                targetPath = run.sourceFolder + item.newName;
                RenameWithPrompt(source, targetPath, unchanged);
                break;
            case 2:
                targetPath = JoinPath(run.destinationFolder, item.newName);
                CopyOrMoveWithPrompt(Operation::Copy, source, targetPath, unchanged);
                break;
            case 3:
                targetPath = JoinPath(run.destinationFolder, item.newName);
                CopyOrMoveWithPrompt(Operation::Move, source, targetPath, unchanged);
                break;
            case 4:
                if (!DeleteToWastebasket(source, item.name))
                    Dialogs().Message(item.name + QStringLiteral(" の削除に失敗しました。"));
                targetPath = run.sourceFolder;
                break;
            case 5:
                targetPath = JoinPath(run.destinationFolder, item.name);
                CopyOrMoveWithPrompt(Operation::Copy, source, targetPath, unchanged);
                break;
            case 6:
                targetPath = JoinPath(run.destinationFolder, item.name);
                CopyOrMoveWithPrompt(Operation::Move, source, targetPath, unchanged);
                break;
            default:
                return;
        }
    }
}

}  // namespace

void RunBatch(const BatchRun& run, QString& targetPath) {
    int unchanged = 0;
    try {
        // Renames (and moves into the source folder itself) whose new names
        // belong to other files of the run go through temporary names.
        if ((run.mode == 1 || run.mode == 3) && !run.items.empty()) {
            QStringList sources, targets;
            for (const BatchItem& item : run.items) {
                sources << run.sourceFolder + item.name;
                targets << (run.mode == 1 ? run.sourceFolder + item.newName
                                          : JoinPath(run.destinationFolder, item.newName));
            }
            if (RenameWithinRun(run.mode == 1 ? Operation::Rename : Operation::Move, sources, targets,
                                unchanged)) {
                targetPath = targets.back();
                ReportUnchanged(unchanged);
                return;
            }
        }
        RunFileByFile(run, targetPath, unchanged);
    } catch (const TamarindError&) {
        ReportUnchanged(unchanged);
        throw;
    }
    ReportUnchanged(unchanged);
}

}  // namespace tamarind
