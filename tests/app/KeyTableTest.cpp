// The key table's page in the help file, and where dropped files go.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/DroppedFiles.h"
#include "app/KeyActions.h"

using namespace tamarind;

TEST(KeyTable, TheHelpFilesKeyPageIsWrittenFromTheTable) {
    QFile file(QStringLiteral(TAMARIND_SOURCE_DIR "/data/tamarind.hlp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString help = QString::fromUtf8(file.readAll());
    ASSERT_TRUE(help.contains(kKeyPageBegin) && help.contains(kKeyPageEnd));
    EXPECT_EQ(WithKeyPage(help, KeyPageHtml()), help)
        << "the key page is out of date: cmake --build build --target key_page";
    // Every key the table names is on the page, with what it does.
    for (const KeyBinding& binding : KeyTable())
        EXPECT_TRUE(help.contains(binding.description.toHtmlEscaped()))
            << binding.keyText.toStdString();
}

TEST(DroppedFiles, OnASlotThenOnBesideTheSlotsTheEmptyOnesFirst) {
    PerSlot<QString> names;
    names[1] = QStringLiteral("a.jpg");
    names[3] = QStringLiteral("c.jpg");
    // On slot 2 of a 2 x 2 grid with slot 3 protected: 2, then the cursor's way.
    EXPECT_EQ(DropTargets(2, 3, names, 4, 2, 3), (std::vector<int>{2, 4, 1}));
    // Beside the slots: the empty 2 and 4 before anything shown is replaced.
    EXPECT_EQ(DropTargets(0, 3, names, 4, 1, 0), (std::vector<int>{2, 4, 1}));
    // All full: from the cursor on.
    for (int n = 1; n <= 4; ++n) names[n] = QStringLiteral("x.jpg");
    EXPECT_EQ(DropTargets(0, 2, names, 4, 3, 0), (std::vector<int>{3, 4}));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("名前 1.jpg"));
    QFile(file).open(QIODevice::WriteOnly);
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    const QList<QUrl> urls = {QUrl(QStringLiteral("https://example.org/a.jpg")),
                              QUrl::fromLocalFile(dir.filePath(QStringLiteral("sub"))),
                              QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.jpg"))),
                              QUrl::fromLocalFile(file), QUrl::fromLocalFile(file)};
    EXPECT_EQ(DroppedFiles(urls, 16), (QStringList{file, file}));
    EXPECT_EQ(DroppedFiles(urls, 1), QStringList{file});
}
