// The detail window's rename, delete, copy and move buttons with scripted
// answers: the files on disk, the messages, and the main window's slot and
// folder view afterwards.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>

#include "ScriptedDialogs.h"
#include "TmpfsMount.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "detail/Cgrp.h"
#include "picture/Bmp.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

QByteArray BmpBytes(int w, int value) {
    Bitmap b(w, 3, 24);
    for (int y = 0; y < 3; ++y) std::memset(b.scanLine(y), value, size_t(w) * 3);
    return EncodeBmp(b);
}

class FileButtons : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        folder = dir.path();
        // Replaced files go to a trash inside the test.
        oldData_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", EncodePath(data.path()));
        ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("other")));
        other = folder + QStringLiteral("/other");
        Viewer = ViewerState{};
        CreateForms({});
        main = Form1;
        detail = Form3;
        Viewer.GridWidth = 1000;
        Viewer.GridHeight = 700;
        main->ApplyLayout(4);
        WriteFileBytes(Path(QStringLiteral("a.bmp")), BmpBytes(5, 10));
        RunGuarded([&] {
            main->ShowFolder(folder);
            main->FillSlotFromList(folder + u'/', QStringLiteral("a.bmp"));
            main->OpenDetailWindow(1);
        });
        ASSERT_EQ(detail->DetailPath, Path(QStringLiteral("a.bmp")));
    }
    void TearDown() override {
        DestroyForms();
        qputenv("XDG_DATA_HOME", oldData_);
        QLocale::setDefault(QLocale::c());
    }
    QString Path(const QString& name) const { return folder + u'/' + name; }
    QStringList Names(const QString& in) const {
        return QDir(in).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QString Shown() const { return main->FileListBox1->Directory(); }

    QTemporaryDir data;
    QTemporaryDir dir;
    QString folder, other;
    QByteArray oldData_;
    TForm1* main = nullptr;
    TForm3* detail = nullptr;
    ScriptedDialogs dialogs;
};

}  // namespace

// Turn, save under a new name and count the colours of a file named in the
// edited fields, in both orders: rename, delete and copy still act on the
// file the window shows, and their questions and proposals name that file.
TEST_F(FileButtons, AfterSaveAsAndHistogramTheOperationsActOnTheShownFile) {
    const QByteArray original = BmpBytes(5, 10);
    for (bool histogramFirst : {false, true}) {
        for (const char* op : {"delete", "copy", "rename"}) {
            SCOPED_TRACE(std::string(op) + (histogramFirst ? ", histogram first" : ""));
            for (const QString& name : Names(folder)) QFile::remove(Path(name));
            for (const QString& name : Names(other)) QFile::remove(other + u'/' + name);
            WriteFileBytes(Path(QStringLiteral("a.bmp")), original);
            WriteFileBytes(other + QStringLiteral("/a_turned.bmp"), BmpBytes(2, 99));
            RunGuarded([&] {
                main->SetNextSlot(1);
                main->FillSlotFromList(folder + u'/', QStringLiteral("a.bmp"));
                main->OpenDetailWindow(1);
            });
            ASSERT_EQ(detail->DetailPath, Path(QStringLiteral("a.bmp")));
            dialogs.clear();
            detail->Button6->click();
            const auto saveAs = [&] {
                dialogs.AnswerSave(Path(QStringLiteral("a_turned.bmp")));
                detail->SpeedButton1->click();
            };
            const auto histogram = [&] {
                detail->Edit2->setText(other + u'/');
                detail->Memo1->setText(QStringLiteral("a_turned.bmp"));
                detail->BitBtn2->click();
            };
            if (histogramFirst) {
                histogram();
                saveAs();
            } else {
                saveAs();
                histogram();
            }
            const QByteArray turned = ReadFileBytes(Path(QStringLiteral("a_turned.bmp")));
            ASSERT_NE(turned, original);
            if (std::string(op) == "delete") {
                dialogs.AnswerAsk(BoxAnswer::Ok);
                detail->Button2->click();
                EXPECT_EQ(dialogs.shown().back().text, QStringLiteral("a.bmpを削除します。"));
                EXPECT_EQ(Names(folder), QStringList{QStringLiteral("a_turned.bmp")});
            } else if (std::string(op) == "copy") {
                dialogs.AnswerSave(other + QStringLiteral("/c.bmp"));
                detail->Button3->click();
                EXPECT_EQ(dialogs.shown().back().save.folder, folder + u'/');
                EXPECT_EQ(dialogs.shown().back().save.proposedName, QStringLiteral("a.bmp"));
                EXPECT_EQ(ReadFileBytes(other + QStringLiteral("/c.bmp")), original);
                QFile::remove(other + QStringLiteral("/c.bmp"));
            } else {
                dialogs.AnswerInput(QStringLiteral("b.bmp"));
                detail->Button1->click();
                EXPECT_EQ(dialogs.shown().back().proposed, QStringLiteral("a.bmp"));
                EXPECT_EQ(Names(folder), (QStringList{QStringLiteral("a_turned.bmp"), QStringLiteral("b.bmp")}));
                EXPECT_EQ(ReadFileBytes(Path(QStringLiteral("b.bmp"))), original);
            }
            EXPECT_EQ(ReadFileBytes(Path(QStringLiteral("a_turned.bmp"))), turned);
            EXPECT_EQ(Names(other), QStringList{QStringLiteral("a_turned.bmp")});
            EXPECT_EQ(ReadFileBytes(other + QStringLiteral("/a_turned.bmp")), BmpBytes(2, 99));
            EXPECT_TRUE(dialogs.messages().empty());
        }
    }
}

// After a delete the window stays open, but nothing in it acts on the gone
// file until it shows another.
TEST_F(FileButtons, AfterADeleteNothingActsOnTheGoneFile) {
    detail->Button6->click();
    dialogs.AnswerAsk(BoxAnswer::Ok);
    detail->Button2->click();
    ASSERT_TRUE(Names(folder).isEmpty());
    for (QPushButton* b : {detail->Button1, detail->Button2, detail->Button3, detail->Button4, detail->Button5,
                           detail->Button6, detail->Button7, detail->Button8, detail->Button9, detail->Button11,
                           detail->SpeedButton1, detail->SpeedButton2, detail->BitBtn2}) {
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
        b->click();
    }
    EXPECT_FALSE(main->SlotImage(1)->HasPicture());
    EXPECT_TRUE(Names(folder).isEmpty());
    EXPECT_EQ(dialogs.shown().size(), 1u);
    EXPECT_TRUE(detail->BitBtn1->isEnabled());

    WriteFileBytes(Path(QStringLiteral("n.bmp")), BmpBytes(4, 20));
    RunGuarded([&] {
        main->FillSlotFromList(folder + u'/', QStringLiteral("n.bmp"));
        main->OpenDetailWindow(2);
    });
    for (QPushButton* b : {detail->Button1, detail->Button2, detail->Button6, detail->BitBtn2})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
}

TEST_F(FileButtons, RenameCancelledKeepsTheNameAndStillReportsTheSlot) {
    const QString serial = main->Edit2->text();
    dialogs.AnswerInput(std::nullopt);
    detail->Button1->click();
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].caption, QStringLiteral("ファイル名変更"));
    EXPECT_EQ(dialogs.shown()[0].text, QStringLiteral("変更後のファイル名を入力してください。"));
    EXPECT_EQ(Names(folder), QStringList{QStringLiteral("a.bmp")});
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("a.bmp"));
    EXPECT_NE(main->Edit2->text(), serial);  // the slot was reported
    EXPECT_TRUE(main->SlotImage(1)->HasPicture());
}

TEST_F(FileButtons, RenameThenDeleteActsOnTheNewName) {
    dialogs.AnswerInput(QStringLiteral("b.bmp"));
    detail->Button1->click();
    EXPECT_EQ(Names(folder), QStringList{QStringLiteral("b.bmp")});
    EXPECT_EQ(detail->DetailPath, Path(QStringLiteral("b.bmp")));
    EXPECT_EQ(detail->Memo1->text(), QStringLiteral("b.bmp"));
    EXPECT_EQ(main->Frame(1)->title(), QStringLiteral("b.bmp"));
    EXPECT_EQ(Viewer.SlotFolder[1], folder + u'/');
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("b.bmp"));
    EXPECT_EQ(main->FileListBox1->Names(), QStringList{QStringLiteral("b.bmp")});

    // Delete cancelled: nothing happens.
    dialogs.AnswerAsk(BoxAnswer::Cancel);
    detail->Button2->click();
    EXPECT_EQ(Names(folder), QStringList{QStringLiteral("b.bmp")});
    ASSERT_EQ(dialogs.shown().back().text, QStringLiteral("b.bmpを削除します。"));

    dialogs.AnswerAsk(BoxAnswer::Ok);
    detail->Button2->click();
    EXPECT_TRUE(Names(folder).isEmpty());
    EXPECT_EQ(detail->DetailFileName, QString());
    EXPECT_EQ(detail->Edit2->text(), QString());
    EXPECT_EQ(detail->Memo1->text(), QString());
    EXPECT_EQ(Viewer.SlotFileName[1], QString());
    EXPECT_FALSE(main->SlotImage(1)->HasPicture());
    EXPECT_TRUE(main->FileListBox1->Names().isEmpty());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(FileButtons, RenameRefusesPathsAndTakenNamesKeepingEverything) {
    WriteFileBytes(Path(QStringLiteral("taken.bmp")), "other file");
    for (const char* answer : {"../x.bmp", "other/x.bmp", ".", "..", "taken.bmp"}) {
        dialogs.clear();
        dialogs.AnswerInput(QString::fromLatin1(answer));
        detail->Button1->click();
        ASSERT_EQ(dialogs.messages().size(), 1u) << answer;
        EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("ファイル名変更に失敗しました。")));
        EXPECT_EQ(detail->DetailPath, Path(QStringLiteral("a.bmp")));
        EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("a.bmp"));
    }
    EXPECT_EQ(Names(folder), (QStringList{QStringLiteral("a.bmp"), QStringLiteral("taken.bmp")}));
    EXPECT_EQ(ReadFileBytes(Path(QStringLiteral("taken.bmp"))), QByteArray("other file"));
    EXPECT_TRUE(Names(other).isEmpty());
}

TEST_F(FileButtons, DeletingAFileThatWentShowsTheErrorAndKeepsTheSlot) {
    ASSERT_EQ(::unlink(EncodePath(Path(QStringLiteral("a.bmp"))).constData()), 0);
    dialogs.AnswerAsk(BoxAnswer::Ok);
    detail->Button2->click();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("a.bmp"));
    EXPECT_EQ(detail->DetailFileName, QStringLiteral("a.bmp"));
}

TEST_F(FileButtons, CopyToANewNameShowsItsFolder) {
    dialogs.AnswerSave(other + QStringLiteral("/c.bmp"));
    detail->Button3->click();
    const SaveDialogRequest& asked = dialogs.shown()[0].save;
    EXPECT_EQ(asked.title, QStringLiteral("ファイル複写"));
    EXPECT_EQ(asked.filters, QStringList{QStringLiteral("*.bmp")});
    EXPECT_EQ(asked.folder, folder + u'/');
    EXPECT_EQ(asked.proposedName, QStringLiteral("a.bmp"));
    EXPECT_EQ(asked.defaultExtension, QStringLiteral("bmp"));
    EXPECT_EQ(ReadFileBytes(other + QStringLiteral("/c.bmp")), BmpBytes(5, 10));
    EXPECT_EQ(Shown(), other);
    EXPECT_EQ(detail->DetailPath, Path(QStringLiteral("a.bmp")));
    // The save dialog keeps the single pattern afterwards.
    detail->Button6->click();
    dialogs.AnswerSave(std::nullopt);
    detail->SpeedButton1->click();
    EXPECT_EQ(dialogs.shown().back().save.filters, QStringList{QStringLiteral("*.bmp")});
}

TEST_F(FileButtons, CopyOntoAnExistingFileAsksAndHonoursTheAnswer) {
    const QString target = other + QStringLiteral("/c.bmp");
    WriteFileBytes(target, "old target");
    // Cancel: nothing copied, the destination folder is shown.
    dialogs.AnswerSave(target);
    dialogs.AnswerAsk(BoxAnswer::Cancel);
    detail->Button3->click();
    EXPECT_EQ(dialogs.shown()[1].text, QStringLiteral("上書きしますか？。"));
    EXPECT_EQ(ReadFileBytes(target), QByteArray("old target"));
    EXPECT_EQ(Shown(), other);

    // OK: replaced, the old file in the trash, and the folder view stays
    // where it was.
    RunGuarded([&] { main->ShowFolder(folder); });
    dialogs.AnswerSave(target);
    dialogs.AnswerAsk(BoxAnswer::Ok);
    detail->Button3->click();
    EXPECT_EQ(ReadFileBytes(target), BmpBytes(5, 10));
    EXPECT_EQ(Shown(), folder);
    EXPECT_EQ(Names(other), QStringList{QStringLiteral("c.bmp")});
    EXPECT_EQ(ReadFileBytes(data.path() + QStringLiteral("/Trash/files/c.bmp")), QByteArray("old target"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(FileButtons, CopyOrMoveOntoTheFileItselfLeavesItIntact) {
    dialogs.AnswerSave(Path(QStringLiteral("a.bmp")));
    detail->Button3->click();
    dialogs.AnswerSave(Path(QStringLiteral("./a.bmp")));
    detail->Button4->click();
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("ファイル複写に失敗しました。")));
    EXPECT_TRUE(dialogs.messages()[1].startsWith(QStringLiteral("ファイル移動に失敗いました。")));
    EXPECT_EQ(ReadFileBytes(Path(QStringLiteral("a.bmp"))), BmpBytes(5, 10));
    EXPECT_EQ(Names(folder), QStringList{QStringLiteral("a.bmp")});
    // No overwrite question was asked.
    for (const auto& shown : dialogs.shown()) EXPECT_NE(shown.kind, tamarind::test::ShownDialog::Ask);
}

TEST_F(FileButtons, MoveOntoAnExistingFileFailsAndShowsTheDestination) {
    const QString target = other + QStringLiteral("/a.bmp");
    WriteFileBytes(target, "keep me");
    dialogs.AnswerSave(target);
    detail->Button4->click();
    EXPECT_EQ(dialogs.shown()[0].save.title, QStringLiteral("ファイル移動"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("ファイル移動に失敗いました。")));
    EXPECT_EQ(ReadFileBytes(target), QByteArray("keep me"));
    EXPECT_EQ(ReadFileBytes(Path(QStringLiteral("a.bmp"))), BmpBytes(5, 10));
    EXPECT_EQ(Shown(), other);
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("a.bmp"));
}

TEST_F(FileButtons, MoveToANewNameMovesTheFile) {
    dialogs.AnswerSave(other + QStringLiteral("/m.bmp"));
    detail->Button4->click();
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_TRUE(Names(folder).isEmpty());
    EXPECT_EQ(ReadFileBytes(other + QStringLiteral("/m.bmp")), BmpBytes(5, 10));
    EXPECT_EQ(Shown(), other);
    EXPECT_EQ(main->FileListBox1->Names(), QStringList{QStringLiteral("m.bmp")});
    // The window and the slot keep the old name.
    EXPECT_EQ(detail->DetailPath, Path(QStringLiteral("a.bmp")));
    EXPECT_EQ(Viewer.SlotFileName[1], QStringLiteral("a.bmp"));
}

// Another file system: a copy that does not fit says so and leaves nothing
// behind; a move that fits lands there and removes the source.
TEST_F(FileButtons, CopyOntoAFullDiskAndMoveToAnotherDisk) {
    tamarind::test::TmpfsMount disk(QStringLiteral("64k"));
    REQUIRE_MOUNT(disk);
    WriteFileBytes(Path(QStringLiteral("big.bmp")), BmpBytes(12000, 20));  // about 108 kB
    RunGuarded([&] {
        main->FillSlotFromList(folder + u'/', QStringLiteral("big.bmp"));
        main->OpenDetailWindow(2);
    });
    dialogs.AnswerSave(disk.path() + QStringLiteral("/big.bmp"));
    detail->Button3->click();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].contains(QStringLiteral("ディスクがいっぱいです")));
    EXPECT_TRUE(disk.Names().isEmpty());
    EXPECT_EQ(ReadFileBytes(Path(QStringLiteral("big.bmp"))), BmpBytes(12000, 20));

    dialogs.clear();
    RunGuarded([&] { main->OpenDetailWindow(1); });
    dialogs.AnswerSave(disk.path() + QStringLiteral("/a.bmp"));
    detail->Button4->click();
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(disk.Names(), QStringList{QStringLiteral("a.bmp")});
    EXPECT_EQ(ReadFileBytes(disk.path() + QStringLiteral("/a.bmp")), BmpBytes(5, 10));
    EXPECT_FALSE(Names(folder).contains(QStringLiteral("a.bmp")));
    EXPECT_EQ(Shown(), disk.path());
}
