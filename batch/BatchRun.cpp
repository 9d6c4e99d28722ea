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
    bool chained = false;
    for (int k = 0; k < files.Count() && !chained; ++k)
        chained = files.Exists(k) && files.Classify(k, targets[k]) == TargetKind::InRun;
    if (!chained) return false;

    const std::vector<RenameFate> fates = DecideRenames(
        files, targets, [&](int k) { return AgreesToReplace(op, sources[k], targets[k]); },
        [&](int k) {
            if (op == Operation::Move) throw TamarindError(SystemErrorText(ENOENT));
            ReportRenameFailure(sources[k], targets[k]);
        });
    for (int k = 0; k < files.Count(); ++k) {
        if (fates[std::size_t(k)] == RenameFate::Same &&
            (op == Operation::Move || FileNameOf(sources[k]) != FileNameOf(targets[k])))
            ++unchanged;
    }
    std::vector<int> items;
    const RenamePassResult done = RenameThroughTemporaryNames(RenameSteps(files, sources, targets, fates, items));
    const QString stranded = StrandedText(done.stranded);
    if (done.ok()) {
        if (!stranded.isEmpty()) Dialogs().Message(stranded.mid(kLineBreak.size()), BoxIcon::Warning);
        return true;
    }
    const int k = items[std::size_t(std::max(done.failedStep, 0))];
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
