#include "platform/ErrorText.h"

#include <cerrno>

namespace tamarind {

QString SystemErrorText(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("ファイルが見つかりません");
        case EINVAL:
        case ENAMETOOLONG:
            return QStringLiteral("ファイル名の指定が間違っています");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("オープンしたファイルが多すぎます");
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:  // a folder where a file was expected cannot be opened as one
            return QStringLiteral("ファイルへのアクセスが拒否されました");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("ディスクがいっぱいです");
        // Our own words for other errors a user's file can meet; the system's
        // texts would come out in English where no Japanese locale is there.
        case EFBIG:
        case EOVERFLOW:
            return QStringLiteral("ファイルが大きすぎます");
        case EEXIST:
            return QStringLiteral("同じ名前のファイルがすでに存在します");
        case ENOTEMPTY:
            return QStringLiteral("フォルダーが空ではありません");
        case ENOMEM:
            return QStringLiteral("メモリが不足しています");
        case ELOOP:
            return QStringLiteral("シンボリックリンクの参照が多すぎます");
        case ENXIO:
        case ENODEV:
            return QStringLiteral("デバイスが見つかりません");
        case EXDEV:
            return QStringLiteral("別のディスクへは移動できません");
        default:
            return QStringLiteral("I/O エラー (%1)").arg(error);
    }
}

}  // namespace tamarind
