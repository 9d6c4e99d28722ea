#include "detail/Save.h"
#include "picture/Picture.h"

#include "detail/FileFacts.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/Folders.h"
#include "platform/SafeWrite.h"

namespace tamarind {

QStringList PictureSaveFilters() {
    return {QStringLiteral("すべての画像ファイル (*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf)"),
            QStringLiteral("JPEG イメージファイル (*.jpg)"),
            QStringLiteral("JPEG イメージファイル (*.jpeg)"),
            QStringLiteral("ビットマップ (*.bmp)"),
            QStringLiteral("アイコン (*.ico)"),
            QStringLiteral("エンハンス メタファイル (*.emf)"),
            QStringLiteral("メタファイル (*.wmf)")};
}

void PrepareSaveDialog(SaveDialogRequest& request, const QString& folder, const QString& fileName) {
    request.folder = folder;
    request.proposedName = fileName;
    const QString e = LowerExtension(fileName);
    const QString stem = fileName.left(fileName.size() - e.size());
    if (e == u".bmp") {
        request.title = QStringLiteral("BMPファイル保存");
        request.defaultExtension = QStringLiteral("bmp");
        request.filterIndex = 4;
        request.proposedName = stem + QStringLiteral(".bmp");
    } else if (e == u".jpg") {
        request.title = QStringLiteral("JPGファイル保存");
        request.defaultExtension = QStringLiteral("jpg");
        request.filterIndex = 2;
        request.proposedName = stem + QStringLiteral(".jpg");
    }
    request.overwritePrompt = true;
    request.pathMustExist = true;
    request.noReadOnly = true;
}

QString SaveKind(const QString& path) {
    return FileExtension(path).left(5).toUpper();
}

bool SavePictureFile(const QString& path, const QString& kind, const Bitmap& bitmap, int quality) {
    if (kind == u"BMP") {
        WriteFileSafely(path, EncodeBmp(bitmap));
        return true;
    }
    if (kind == u"JPG") {
        WriteFileSafely(path, EncodeJpeg(bitmap, quality & 0xFF));
        return true;
    }
    return false;
}

}  // namespace tamarind
