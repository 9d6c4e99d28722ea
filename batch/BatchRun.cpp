#include "batch/BatchRun.h"

#include <fcntl.h>

#include <algorithm>

#include "batch/RenamePass.h"
#include "platform/Dialogs.h"
#include "platform/ErrorText.h"
#include "platform/Errors.h"
#include "platform/FileOps.h"
#include "platform/FileIo.h"
#include "platform/Folders.h"
#include "platform/TrashFirst.h"

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

// One item of a run, telling the run's recorder (if any) what became of it.
struct Step {
    RunRecorder* recorder = nullptr;
    int item = 0;

    void Done(const QString& path) const {
        if (recorder) recorder->Done(item, path);
    }
    void Skipped() const {
        if (recorder) recorder->Skipped(item);
    }
    void Kept(const QString& trashed) const {
        if (recorder && !trashed.isEmpty()) recorder->Kept(item, trashed);
    }
};

// One file with the overwrite question: the operation never replaces a file
// on its own; only when the target exists is the user asked, and only a yes
// lets it replace the target, which goes to the trash first. A skipped file
// gives Ok with nothing done. A copy reads `readFrom` (normally the source).
FileOpResult WithPrompt(Operation op, const QString& source, const QString& target, const Step& step,
                        const QString& readFrom = {}) {
    const QString from = readFrom.isEmpty() ? source : readFrom;
    FileOpResult result = Apply(op, from, target, Replace::No);
    if (!result.targetExists()) {
        if (result.ok()) step.Done(target);
        return result;
    }
    if (!AgreesToReplace(op, source, target)) {  // skipped: both files stay as they are
        step.Skipped();
        return {};
    }
    // The journal learns where the replaced file waits before it is replaced.
    result = ReplaceKeepingOld(
        target, op == Operation::Copy ? Replaces::Content : Replaces::Entry,
        [&](const QString& to, Replace replace) { return Apply(op, from, to, replace); }, nullptr,
        [&](const QString& kept) { step.Kept(kept); });
    if (result.ok()) step.Done(target);
    return result;
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
void RenameWithPrompt(const QString& source, const QString& target, const Step& step, int& unchanged) {
    const FileOpResult result = WithPrompt(Operation::Rename, source, target, step);
    if (result.sameFile()) {
        ++unchanged;
    } else if (!result.ok()) {
        ReportRenameFailure(source, target);
    }
}

// Copy and move: a failure ends the run with the reason.
void CopyOrMoveWithPrompt(Operation op, const QString& source, const QString& target,
                          const Step& step, int& unchanged, const QString& readFrom = {}) {
    const FileOpResult result = WithPrompt(op, source, target, step, readFrom);
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
                     RunRecorder* recorder, int& unchanged) {
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
    const std::vector<RenameStep> steps = RenameSteps(files, sources, targets, fates, items);
    RenamePassHooks hooks;
    // A file the user agreed to replace waits aside until every rename is
    // done, then goes to the trash under the name it had.
    hooks.dispose = [&](const QString& aside, const QString& original) {
        QString trashed;
        const FileOpResult result = MoveToTrash(aside, &trashed, original);
        // Where the volume has no usable trash it goes, as the user agreed.
        if (!result.ok()) return RemoveName(aside);
        for (std::size_t k = 0; k < steps.size(); ++k) {
            if (steps[k].to == original) Step{recorder, items[k]}.Kept(trashed);
        }
        return result;
    };
    const RenamePassResult done = RenameThroughTemporaryNames(steps, hooks);
    const QString stranded = StrandedText(done.stranded);
    if (done.ok()) {
        for (std::size_t k = 0; k < steps.size(); ++k) Step{recorder, items[k]}.Done(steps[k].to);
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
bool DeleteToWastebasket(const QString& path, const QString& name, const Step& step) {
    const BoxAnswer answer =
        Dialogs().Ask(kQuestionCaption, name + QStringLiteral(" をごみ箱に移動しますか？"),
                      BoxIcon::Question, BoxButtons::YesNo);
    if (answer != BoxAnswer::Yes) {
        step.Skipped();
        return false;
    }
    QString trashed;
    if (!MoveToTrash(path, &trashed).ok()) return false;
    if (step.recorder) step.recorder->Trashed(step.item, trashed);
    return true;
}

// Second names, in their own folders, for files of a copy run whose names
// earlier copies of the run take: each such file is copied from its second
// name, that is with its content as it was when the run started. The names
// go again when the run ends.
class StartContents {
public:
    StartContents() = default;
    StartContents(const StartContents&) = delete;
    StartContents& operator=(const StartContents&) = delete;
    ~StartContents() {
        for (const QByteArray& path : kept_) FileCalls().unlink(AT_FDCWD, path.constData());
    }
    // A second name for `source`: a hard link, or where the file system has
    // none, a copy. Raises TamarindError when neither can be made.
    QString Keep(const QString& source) {
        const QByteArray from = EncodePath(source);
        for (int attempt = 0; attempt < 20; ++attempt) {
            const QByteArray temp = TemporaryNameIn(EncodePath(FolderOf(source)));
            bool made = FileCalls().link(AT_FDCWD, from.constData(), AT_FDCWD, temp.constData()) == 0;
            if (!made && errno != EEXIST) {
                const FileOpResult copied = CopyFile(source, DecodePath(temp), Replace::No);
                if (!copied.ok() && !copied.targetExists()) throw TamarindError(copied.text);
                made = copied.ok();
            }
            if (made) {
                kept_.push_back(temp);
                return DecodePath(temp);
            }
        }
        throw TamarindError(SystemErrorText(EEXIST));
    }

private:
    std::vector<QByteArray> kept_;
};

void RunFileByFile(const BatchRun& run, QString& targetPath, RunRecorder* recorder, int& unchanged) {
    // In the copy modes, what each file is copied from.
    std::vector<QString> readFrom(run.items.size());
    StartContents startContents;
    if (run.mode == 2 || run.mode == 5) {
        QStringList sources;
        for (const BatchItem& item : run.items) sources << SourceOf(run, item);
        const RunFiles files(sources);
        for (int k = 0; k < files.Count(); ++k) {
            int holder = -1;
            if (files.Exists(k) &&
                files.Classify(k, TargetOf(run, run.items[std::size_t(k)]), &holder) == TargetKind::InRun &&
                holder > k && readFrom[std::size_t(holder)].isEmpty())
                readFrom[std::size_t(holder)] = startContents.Keep(sources[holder]);
        }
    }
    for (std::size_t k = 0; k < run.items.size(); ++k) {
        const BatchItem& item = run.items[k];
        const QString source = SourceOf(run, item);
        const Step step{recorder, int(k)};
        targetPath = TargetOf(run, item);
        switch (run.mode) {
            case 1: RenameWithPrompt(source, targetPath, step, unchanged); break;
            case 2:
            case 5:
                CopyOrMoveWithPrompt(Operation::Copy, source, targetPath, step, unchanged, readFrom[k]);
                break;
            case 3:
            case 6: CopyOrMoveWithPrompt(Operation::Move, source, targetPath, step, unchanged); break;
            case 4:
                if (!DeleteToWastebasket(source, item.name, step))
                    Dialogs().Message(item.name + QStringLiteral(" の削除に失敗しました。"));
                targetPath = run.sourceFolder;
                break;
            default:
                return;
        }
    }
}

}  // namespace

QString ModeCaption(int mode) {
    static const char16_t* const captions[6] = {u"名前の変更", u"名変とコピー", u"名変と移動",
                                                u"削除",       u"コピー",       u"移動"};
    return mode >= 1 && mode <= 6 ? QString::fromUtf16(captions[mode - 1]) : QString();
}

QString SourceOf(const BatchRun& run, const BatchItem& item) { return run.sourceFolder + item.name; }

QString TargetOf(const BatchRun& run, const BatchItem& item) {
    switch (run.mode) {
        case 1: return run.sourceFolder + item.newName;
        case 2:
        case 3: return JoinPath(run.destinationFolder, item.newName);
        case 5:
        case 6: return JoinPath(run.destinationFolder, item.name);
        default: return {};
    }
}

void RunBatch(const BatchRun& run, QString& targetPath, RunRecorder* recorder) {
    int unchanged = 0;
    try {
        // Renames (and moves into the source folder itself) whose new names
        // belong to other files of the run go through temporary names.
        if ((run.mode == 1 || run.mode == 3) && !run.items.empty()) {
            QStringList sources, targets;
            for (const BatchItem& item : run.items) {
                sources << SourceOf(run, item);
                targets << TargetOf(run, item);
            }
            if (RenameWithinRun(run.mode == 1 ? Operation::Rename : Operation::Move, sources, targets,
                                recorder, unchanged)) {
                targetPath = targets.back();
                ReportUnchanged(unchanged);
                return;
            }
        }
        RunFileByFile(run, targetPath, recorder, unchanged);
    } catch (const TamarindError&) {
        ReportUnchanged(unchanged);
        throw;
    }
    ReportUnchanged(unchanged);
}

}  // namespace tamarind
