// Qt's own dialogs speak Japanese although these tests run under
// LANG=C.UTF-8 (see CMakeLists.txt): the save dialog, its overwrite
// question, the input box and the printer dialog.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTabWidget>

#include "platform/QtTexts.h"

using namespace tamarind;

namespace {

// The texts a user reads in a dialog: labels, buttons, group titles, tabs.
QStringList VisibleTexts(const QWidget* dialog) {
    QStringList texts;
    for (const QLabel* l : dialog->findChildren<QLabel*>()) texts << l->text();
    for (const QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) texts << b->text();
    for (const QGroupBox* g : dialog->findChildren<QGroupBox*>()) texts << g->title();
    for (const QTabWidget* t : dialog->findChildren<QTabWidget*>())
        for (int i = 0; i < t->count(); ++i) texts << t->tabText(i);
    texts.removeAll(QString());
    return texts;
}

// An English word: a capital or small letter followed by two small ones
// ("Save", "Off", "binding"); abbreviations such as "PDF" are no words.
QStringList EnglishIn(const QStringList& texts) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z][a-z]{2,}"));
    QStringList english;
    for (const QString& text : texts)
        if (text.contains(word)) english << text;
    return english;
}

QAbstractButton* ButtonOfRole(const QWidget* dialog, QDialogButtonBox::ButtonRole role) {
    const auto* box = dialog->findChild<QDialogButtonBox*>();
    if (!box) return nullptr;
    for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == role) return b;
    return nullptr;
}

}  // namespace

TEST(QtTexts, QtsDialogsSpeakJapaneseUnderTheCLocale) {
    ASSERT_EQ(qgetenv("LANG"), "C.UTF-8");
    ASSERT_TRUE(InstallQtJapaneseTexts(qApp))
        << "Qt's Japanese catalogue is missing (tools/deps.sh installs qt6-translations-l10n)";

    // The save dialog as the detail window opens it.
    QFileDialog save(nullptr, QStringLiteral("変更画像保存"));
    save.setOption(QFileDialog::DontUseNativeDialog);
    save.setAcceptMode(QFileDialog::AcceptSave);
    QAbstractButton* accept = ButtonOfRole(&save, QDialogButtonBox::AcceptRole);
    ASSERT_NE(accept, nullptr);
    EXPECT_FALSE(accept->text().contains(QStringLiteral("Save")));
    EXPECT_TRUE(accept->text().contains(QStringLiteral("保存"))) << accept->text().toStdString();
    QAbstractButton* cancel = ButtonOfRole(&save, QDialogButtonBox::RejectRole);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(EnglishIn(VisibleTexts(&save)), QStringList());
    const QString replace = QCoreApplication::translate(
        "QFileDialog", "%1 already exists.\nDo you want to replace it?");
    EXPECT_EQ(EnglishIn({replace}), QStringList()) << replace.toStdString();

    // The rename input box.
    QInputDialog input;
    input.setLabelText(QStringLiteral("新しいファイル名"));
    input.show();
    cancel = ButtonOfRole(&input, QDialogButtonBox::RejectRole);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(EnglishIn(VisibleTexts(&input)), QStringList());

    // The printer setup dialog, on whatever printer this machine has.
    QPrinter printer;
    QPrintDialog print(&printer);
    print.show();
    EXPECT_EQ(EnglishIn(VisibleTexts(&print)), QStringList());

    // Asked again: one catalogue, still answering.
    EXPECT_TRUE(InstallQtJapaneseTexts(qApp));
    EXPECT_EQ(QCoreApplication::translate("QPrintSettingsOutput", "Long side binding"),
              QStringLiteral("長辺とじ"));
}
