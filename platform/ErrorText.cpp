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
        default:
            return QStringLiteral("I/O エラー (%1)").arg(error);
    }
}

}  // namespace tamarind
