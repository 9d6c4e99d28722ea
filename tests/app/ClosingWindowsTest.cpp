// Every window that its back or cancel button hides goes away the same way
// however it is closed (its title bar, Alt+F4, Escape). The window manager's
// side of it, and raising open windows, are in DesktopTest.cpp.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <functional>

#include "Keys.h"
#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "app/Version.h"
#include "batch/Renname.h"
#include "batch/Setdir.h"
#include "detail/Cgrp.h"
#include "detail/DHist.h"
#include "platform/Controls.h"
#include "platform/FileIo.h"
#include "platform/Guard.h"
#include "print/CalibrationWindow.h"
#include "print/Set_Prt.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::PressKey;
using tamarind::test::ScriptedDialogs;

namespace {

const QColor kAqua(0, 255, 255);

class ClosingWindows : public ::testing::Test {
protected:
    void SetUp() override {
        Viewer = ViewerState{};
        WriteFileBytes(dir.filePath(QStringLiteral("a.jpg")), "x");
        CreateForms({});
        RunGuarded([&] { Form1->ShowFolder(dir.path()); });
        Form1->FilterComboBox1->setCurrentIndex(1);
        Form1->show();
    }
    void TearDown() override {
        DestroyForms();
        BatchTargetPath.clear();
        DestinationFolder.clear();
    }
    // The slot frame the detail and histogram windows light while they are open.
    static void LightSlot() { SetBackgroundColor(Form1->Frame(1), kAqua); }
    static bool SlotLit() { return BackgroundColor(Form1->Frame(1)) == kAqua; }
    // The chooser as a copy run opens it.
    static void OpenChooser() {
        RunGuarded([] { Form1->R1Click(); });
        Form7->RadioButton5->click();
        Form7->BitBtn3->click();
        ASSERT_TRUE(Form8->isVisible());
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(ClosingWindows, TitleBarAndEscapeDoWhatTheBackButtonDoes) {
    // Closing by the title bar (close(), as the window manager's request
    // does) and by Escape in the window's first field.
    const std::function<void(QWidget*)> ways[] = {
        [](QWidget* w) { w->close(); },
        [](QWidget* w) { PressKey(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Escape); },
    };
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way == 0 ? "title bar" : "Escape");
        // "戻る" of the histogram and of the detail window tells the main
        // window to put out the slot's aqua frame.
        for (QWidget* lit : std::initializer_list<QWidget*>{Form4, Form3}) {
            SCOPED_TRACE(lit->objectName().toStdString());
            LightSlot();
            lit->show();
            lit->setFocus();
            ways[way](lit);
            EXPECT_FALSE(lit->isVisible());
            EXPECT_FALSE(SlotLit());
        }
        // The chooser's "ｷｬﾝｾﾙ" answers the batch window with a negative
        // serial: nothing runs, the batch window stays.
        OpenChooser();
        const int serial = Form8->ChooserSerial;
        ways[way](Form8);
        EXPECT_FALSE(Form8->isVisible());
        EXPECT_EQ(Form7->Edit4->text(), u'-' + QString::number(serial + 1));
        EXPECT_TRUE(Form7->isVisible());
        // The print layout window's "中止": nothing is printed.
        const QString printRequests = Form1->Edit6->text();
        Form6->show();
        ways[way](Form6);
        EXPECT_FALSE(Form6->isVisible());
        EXPECT_EQ(Form1->Edit6->text(), printRequests);
        // The windows that only hide.
        for (QWidget* w : std::initializer_list<QWidget*>{Form2, Form5, Form7, Form6->Calibration}) {
            SCOPED_TRACE(w->objectName().toStdString());
            w->show();
            ways[way](w);
            EXPECT_FALSE(w->isVisible());
        }
    }
    EXPECT_TRUE(Form1->isVisible());
    EXPECT_TRUE(dialogs.shown().empty());
}
