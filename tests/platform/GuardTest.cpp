// The program-wide error display and the request fields between windows.
#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

#include <QLineEdit>
#include <QWidget>

#include "ScriptedDialogs.h"
#include "platform/Errors.h"
#include "platform/Guard.h"
#include "platform/Requests.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

TEST(ErrorDisplay, AddsFullStopOnlyWhenMissing) {
    EXPECT_EQ(WithFullStop(QStringLiteral("Bitmap Size Error")), QStringLiteral("Bitmap Size Error."));
    EXPECT_EQ(WithFullStop(QStringLiteral("done.")), QStringLiteral("done."));
    EXPECT_EQ(WithFullStop(QStringLiteral("画像がありません。")), QStringLiteral("画像がありません。"));
    EXPECT_EQ(WithFullStop(QString()), QString());
}

TEST(ErrorDisplay, HandlerErrorIsShownOnceWithErrorIcon) {
    ScriptedDialogs dialogs;
    bool after = false;
    RunGuarded([&] {
        throw TamarindError(QStringLiteral("ビットマップイメージが不正です"));
        after = true;
    });
    EXPECT_FALSE(after);
    ASSERT_EQ(dialogs.shown().size(), 1u);
    EXPECT_EQ(dialogs.shown()[0].text, QStringLiteral("ビットマップイメージが不正です."));
    EXPECT_EQ(dialogs.shown()[0].icon, BoxIcon::Error);
    EXPECT_EQ(GuardDepth(), 0);
}

TEST(ErrorDisplay, StandardExceptionsShowTheirText) {
    ScriptedDialogs dialogs;
    RunGuarded([] { throw std::runtime_error("I/O エラー (5)"); });
    RunGuarded([] { throw std::bad_alloc(); });
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[0], QStringLiteral("I/O エラー (5)."));
    EXPECT_EQ(dialogs.messages()[1], QStringLiteral("メモリが不足しています."));

    // A failed system call from the standard library shows our own words,
    // not the system's English text ("File too large").
    RunGuarded([] { throw std::system_error(EFBIG, std::generic_category()); });
    RunGuarded([] { throw std::system_error(EACCES, std::system_category(), "open"); });
    ASSERT_EQ(dialogs.messages().size(), 4u);
    EXPECT_EQ(dialogs.messages()[2], QStringLiteral("ファイルが大きすぎます."));
    EXPECT_EQ(dialogs.messages()[3], QStringLiteral("ファイルへのアクセスが拒否されました."));
}

TEST(RequestFields, HandlerRunsOnlyWhenTheTextChanges) {
    QWidget owner;
    int runs = 0;
    QLineEdit* field = MakeRequestField(&owner, QStringLiteral("Edit1"), [&] { ++runs; });
    EXPECT_FALSE(field->isVisibleTo(&owner));
    SendRequest(field, QStringLiteral("1"));
    SendRequest(field, QStringLiteral("1"));
    SendRequest(field, QStringLiteral("2"));
    EXPECT_EQ(runs, 2);
}

TEST(RequestFields, ErrorInReceiverEndsTheSenderAndIsShownOnce) {
    ScriptedDialogs dialogs;
    QWidget owner;
    QLineEdit* field = MakeRequestField(&owner, QStringLiteral("Edit1"), [] {
        throw TamarindError(QStringLiteral("JPEG エラー #53"));
    });
    bool senderGoesOn = false;
    RunGuarded([&] {
        SendRequest(field, QStringLiteral("1"));
        senderGoesOn = true;
    });
    EXPECT_FALSE(senderGoesOn);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("JPEG エラー #53.")});
}

TEST(RequestFields, NestedErrorIgnoredBySenderIsStillShown) {
    ScriptedDialogs dialogs;
    QWidget owner;
    QLineEdit* field = MakeRequestField(&owner, QStringLiteral("Edit2"), [] {
        throw TamarindError(QStringLiteral("nested"));
    });
    bool senderGoesOn = false;
    RunGuarded([&] {
        field->setText(QStringLiteral("x"));  // not through SendRequest
        senderGoesOn = true;
    });
    EXPECT_TRUE(senderGoesOn);
    EXPECT_EQ(dialogs.messages(), std::vector<QString>{QStringLiteral("nested.")});
}
