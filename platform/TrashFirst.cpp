#include "platform/TrashFirst.h"

#include "platform/FileIo.h"

namespace tamarind {

FileOpResult ReplaceKeepingOld(
    const QString& target, Replaces what,
    const std::function<FileOpResult(const QString& target, Replace replace)>& op,
    QString* keptAs, const std::function<void(const QString& kept)>& beforeOp) {
    if (keptAs) keptAs->clear();
    // The file whose content goes: for a copy through a link, the file the
    // link names. Anything odd is left to `op`, which refuses it with its
    // own reason.
    QString replaced = target;
    if (what == Replaces::Content) {
        QByteArray landing;
        bool exists = false;
        struct stat info {};
        FileOpResult refused;
        if (!FindContentTarget(EncodePath(target), landing, exists, info, refused) || !exists)
            return op(target, Replace::Yes);
        replaced = DecodePath(landing);
    } else if (!PathExists(target)) {
        return op(target, Replace::Yes);
    }

    QString kept;
    if (LinkIntoTrash(replaced, &kept).ok()) {
        if (beforeOp) beforeOp(kept);
        const FileOpResult result = op(target, Replace::Yes);
        if (!result.ok()) {
            ForgetTrashEntry(kept);
        } else if (keptAs) {
            *keptAs = kept;
        }
        return result;
    }
    if (MoveToTrash(replaced, &kept).ok()) {
        if (beforeOp) beforeOp(kept);
        const FileOpResult result = op(replaced, Replace::No);
        if (!result.ok()) {
            RestoreFromTrash(kept, replaced);
        } else if (keptAs) {
            *keptAs = kept;
        }
        return result;
    }
    return op(target, Replace::Yes);
}

}  // namespace tamarind
