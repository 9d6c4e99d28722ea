#include "platform/QtTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstring>

namespace tamarind {
namespace {

// Texts of Qt's dialogs that its Japanese catalogue leaves in English: the
// type column of the file dialog and parts of the printer dialog.
struct MissingText {
    const char* context;
    const char* source;
    const char16_t* japanese;
};

constexpr MissingText kMissingTexts[] = {
    {"QAbstractFileIconProvider", "Drive", u"ドライブ"},
    {"QAbstractFileIconProvider", "Folder", u"フォルダー"},
    {"QPrintSettingsOutput", "Pages", u"ページ指定"},
    {"QPrintSettingsOutput",
     "Specify pages or ranges separated by commas. Ranges are specified by two numbers "
     "separated by a hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
     u"ページをカンマで区切って指定します。範囲は 2 つの数をハイフンでつなぎます。"
     u"例: 3,5-7,9 は 3、5、6、7、9 ページを印刷します。"},
    {"QPrintSettingsOutput", "Double Sided Printing", u"両面印刷"},
    {"QPrintSettingsOutput", "Off", u"しない"},
    {"QPrintSettingsOutput", "Long side binding", u"長辺とじ"},
    {"QPrintSettingsOutput", "Short side binding", u"短辺とじ"},
    {"QPrintPropertiesWidget", "Advanced", u"詳細設定"},
    {"QPrintPropertiesWidget", "There are conflicts in some options. Please fix them.",
     u"設定が矛盾しているオプションがあります。直してください。"},
};

// Asked before Qt's catalogue: answers only the texts the catalogue lacks.
class MissingTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (!context || !source) return {};
        for (const MissingText& t : kMissingTexts)
            if (std::strcmp(t.context, context) == 0 && std::strcmp(t.source, source) == 0)
                return QString::fromUtf16(t.japanese);
        return {};
    }
    bool isEmpty() const override { return false; }
};

const char kCatalogueName[] = "tamarindQtJapanese";

}  // namespace

bool InstallQtJapaneseTexts(QCoreApplication* app) {
    if (!app) return false;
    if (app->findChild<QTranslator*>(QString::fromLatin1(kCatalogueName))) return true;
    // Owned by the application, so they live as long as texts are asked for.
    auto* catalogue = new QTranslator(app);
    catalogue->setObjectName(QString::fromLatin1(kCatalogueName));
    if (!catalogue->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(catalogue)) {
        delete catalogue;
        return false;
    }
    // Installed last, so asked first.
    QCoreApplication::installTranslator(new MissingTexts(app));
    return true;
}

}  // namespace tamarind
