#include "app/VersionInfo.h"

#include <QFileInfo>
#include <cstring>

#include "picture/OtherFormats.h"

namespace tamarind {

namespace {

// The string table: key, NUL, value, NUL, ... and an empty key at the end.
// It starts with a marker so that it is easily found in the program file.
__attribute__((used, section(".tamarind_version"))) const char kVersionStrings[] =
    "TamarindVersionRecord\0"
    "FileVersion\0"
    "2.2.0.0\0"
    "ProductVersion\0"
    "2.20\0"
    "FileDescription\0"
    "2004/5\0"
    "Comments\0"
    "Free Soft\0"
    "InternalName\0"
    "\0"
    "ProductName\0"
    "\0"
    "CompanyName\0"
    "Tamarind 開発チーム\0"
    "LegalCopyright\0"
    "Free Soft\0"
    "OriginalFilename\0"
    "tamarind\0";

__attribute__((used, section(".tamarind_version"))) const std::uint16_t kFileVersion[4] = {2, 2, 0,
                                                                                           0};

}  // namespace

QString VersionEntry(const char* key) {
    const char* p = kVersionStrings + std::strlen(kVersionStrings) + 1;  // past the marker
    const char* const end = kVersionStrings + sizeof kVersionStrings - 1;
    while (p < end && *p != '\0') {
        const char* value = p + std::strlen(p) + 1;
        if (std::strcmp(p, key) == 0) return QString::fromUtf8(value);
        p = value + std::strlen(value) + 1;
    }
    return QString();
}

std::array<std::uint16_t, 4> FileVersionNumbers() {
    return {kFileVersion[0], kFileVersion[1], kFileVersion[2], kFileVersion[3]};
}

InfoOption InfoOptionOf(const QStringList& args) {
    if (args.isEmpty()) return InfoOption::None;
    if (args.front() == u"--version") return InfoOption::Version;
    if (args.front() == u"--help") return InfoOption::Help;
    return InfoOption::None;
}

QString VersionText() {
    return QStringLiteral("Tamarind %1 (%2)\nファイル バージョン %3\n%4\n")
        .arg(VersionEntry("ProductVersion"), VersionEntry("FileDescription"),
             VersionEntry("FileVersion"), VersionEntry("Comments"));
}

QString UsageText(const QString& helpFile) {
    QString text = QStringLiteral(
        "使い方: tamarind [--upright] [--other-formats] [分割 [連続 [単位]]]\n"
        "        tamarind [--upright] [--other-formats] 画像ファイル\n"
        "        tamarind --version | --help\n"
        "\n"
        "画像ビューア Tamarind を起動します。\n"
        "\n"
        "  分割        画面分割の番号 1～10 (省略時 4)\n"
        "              1: 横1×縦1, 2: 横2×縦1, 3: 横1×縦2, 4: 横2×縦2, 5: 横3×縦2,\n"
        "              6: 横2×縦3, 7: 横3×縦3, 8: 横4×縦3, 9: 横3×縦4, 10: 横4×縦4\n"
        "  連続        1 のとき連続表示モードで始めます (それ以外は個別表示)\n"
        "  単位        サイズ表示の単位: 1 mm, 2 inch, それ以外は Pixel\n"
        "  画像ファイル 3 文字以上の引数は画像ファイルのパスとみなし、\n"
        "              1×1 の画面の 1 番目に表示します (BMP, JPEG, WMF, EMF, ICO)。\n"
        "              \"--\" で始まるファイルは \"./--version\" のように指定します。\n"
        "  --upright   今回の起動では JPEG を Exif の向きで表示します\n"
        "              (メニュー「表示(D)」の「Exifの向きで表示」と同じ)\n"
        "  --other-formats\n"
        "              今回の起動では PNG・GIF・TIFF・WebP・HEIC・AVIF も表示します\n"
        "              (メニュー「表示(D)」の「その他の形式も表示」と同じ)\n"
        "  --version   バージョン情報を表示して終了します\n"
        "  --help      この説明を表示して終了します\n"
        "\n");
    text += QStringLiteral("その他の形式 (この環境):\n");
    for (const QString& line : OtherFormatSupportText().split(u'\n', Qt::SkipEmptyParts))
        text += QStringLiteral("  ") + line + u'\n';
    text += u'\n';
    text += QStringLiteral("ヘルプファイル: %1").arg(helpFile);
    if (!QFileInfo(helpFile).isFile()) text += QStringLiteral(" (見つかりません)");
    text += u'\n';
    return text;
}

}  // namespace tamarind
