#include "batch/BatchRun.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/FileOps.h"
#include "platform/Folders.h"

namespace tamarind {
namespace {

enum class Operation { Rename, Copy, Move };

const QString kQuestionCaption = QStringLiteral("確認");
const QString kErrorCaption = QStringLiteral("エラー");

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

// One file with the overwrite question: the operation never replaces a file
// on its own; only when the target exists is the user asked, and only a yes
// lets it replace the target. A skipped file gives Ok with nothing done.
FileOpResult WithPrompt(Operation op, const QString& source, const QString& target) {
    FileOpResult result = Apply(op, source, target, Replace::No);
    if (!result.targetExists()) return result;
    const QString question = source + QStringLiteral("\n\r") + Marker(op) + target +
                             QStringLiteral("　はすでに存在しています。上書きしますか？。");
    if (Dialogs().Ask(kQuestionCaption, question, BoxIcon::Information, BoxButtons::YesNo) !=
        BoxAnswer::Yes)
        return {FileOpStatus::Ok, 0, {}};  // skipped: both files stay as they are
    return Apply(op, source, target, Replace::Yes);
}

// A target that is the source itself: nothing was written; the run goes on.
void ReportSameFile(Operation op, const QString& source, const QString& target) {
    Dialogs().Message(source + QStringLiteral("\n\r") + Marker(op) + target +
                      QStringLiteral("\n\r") + kSameFileText + QStringLiteral("。"));
}

void RenameWithPrompt(const QString& source, const QString& target) {
    const FileOpResult result = WithPrompt(Operation::Rename, source, target);
    if (result.sameFile()) {
        ReportSameFile(Operation::Rename, source, target);
    } else if (!result.ok()) {
        Dialogs().Ask(kErrorCaption,
                      QStringLiteral("ファイル名変更に失敗しました。\n\r") + source +
                          QStringLiteral("\n\r") + QStringLiteral(" => ") + target,
                      BoxIcon::Error, BoxButtons::Cancel);
    }
}

// Copy and move: a failure ends the run with the reason.
void CopyOrMoveWithPrompt(Operation op, const QString& source, const QString& target) {
    const FileOpResult result = WithPrompt(op, source, target);
    if (result.sameFile()) {
        ReportSameFile(op, source, target);
    } else if (!result.ok()) {
        throw TamarindError(result.text);
    }
}

void CopyWithPrompt(const QString& source, const QString& target) {
    CopyOrMoveWithPrompt(Operation::Copy, source, target);
}

void MoveWithPrompt(const QString& source, const QString& target) {
    CopyOrMoveWithPrompt(Operation::Move, source, target);
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

}  // namespace

void RunBatch(const BatchRun& run, QString& targetPath) {
    for (const BatchItem& item : run.items) {
        const QString source = run.sourceFolder + item.name;
        switch (run.mode) {
            case 1:
                targetPath = run.sourceFolder + item.newName;
                RenameWithPrompt(source, targetPath);
                break;
            case 2:
                targetPath = JoinPath(run.destinationFolder, item.newName);
                CopyWithPrompt(source, targetPath);
                break;
            case 3:
                targetPath = JoinPath(run.destinationFolder, item.newName);
                MoveWithPrompt(source, targetPath);
                break;
            case 4:
                if (!DeleteToWastebasket(source, item.name))
                    Dialogs().Message(item.name + QStringLiteral(" の削除に失敗しました。"));
                targetPath = run.sourceFolder;
                break;
            case 5:
                targetPath = JoinPath(run.destinationFolder, item.name);
                CopyWithPrompt(source, targetPath);
                break;
            case 6:
                targetPath = JoinPath(run.destinationFolder, item.name);
                MoveWithPrompt(source, targetPath);
                break;
            default:
                return;
        }
    }
}

}  // namespace tamarind
