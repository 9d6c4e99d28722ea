// On a real X server (Xvfb, 1024 x 768): a right press shows a camera-sized
// picture fitted to the screen, and a Ctrl press puts a slot's picture on the
// X11 clipboard, where another program (xclip) reads it as PNG.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <optional>

#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "picture/Bmp.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/Guard.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

void Press(QWidget* w, Qt::MouseButton button, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    const QPoint at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, keys);
    QApplication::sendEvent(w, &press);
}

// Runs a program while this process keeps serving its windows (and so its
// clipboard); gives back its output, or nothing when it failed.
std::optional<QByteArray> RunServing(const QString& program, const QStringList& args) {
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    process.start(program, args);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
    return process.readAllStandardOutput();
}

class X11 : public ::testing::Test {
protected:
    void SetUp() override {
        Viewer = ViewerState{};
        CreateForms({});
        Form1->show();
        folder = dir.path();
    }
    void TearDown() override { DestroyForms(); }
    int Load(const QString& name, const QByteArray& bytes) {
        WriteFileBytes(folder + u'/' + name, bytes);
        const int slot = Viewer.NextSlot;
        RunGuarded([&] {
            Form1->ShowFolder(folder);
            Form1->FillSlotFromList(folder + u'/', name);
        });
        EXPECT_EQ(Viewer.SlotFileName[slot], name);
        return slot;
    }

    QTemporaryDir dir;
    QString folder;
    ScriptedDialogs dialogs;
};

}  // namespace

TEST_F(X11, CameraPictureFitsTheScreenAndCopiesAtNaturalSize) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->size(), QSize(1024, 768));
    Bitmap picture(6000, 4000, 24);
    for (int y = 0; y < 4000; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < 6000; ++x) {
            row[3 * x] = static_cast<uchar>(x / 24);
            row[3 * x + 1] = static_cast<uchar>(y / 16);
            row[3 * x + 2] = static_cast<uchar>(128);
        }
    }
    const int slot = Load(QStringLiteral("camera.jpg"), EncodeJpeg(picture, 90));

    Press(Form1->SlotImage(slot), Qt::RightButton);
    EXPECT_TRUE(Form5->isVisible());
    EXPECT_EQ(Form5->Image1->size(), QSize(972, 648));

    Press(Form1->SlotImage(slot), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(dialogs.messages().back(), QStringLiteral("クリップボードにコピーしました。"));

    const QString xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
    ASSERT_FALSE(xclip.isEmpty()) << "xclip is not installed (tools/deps.sh installs it)";
    const auto targets = RunServing(xclip, {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                            QStringLiteral("-t"), QStringLiteral("TARGETS"),
                                            QStringLiteral("-o")});
    ASSERT_TRUE(targets);
    EXPECT_TRUE(targets->contains("image/png")) << targets->toStdString();
    EXPECT_TRUE(targets->contains("image/bmp")) << targets->toStdString();
    const auto png = RunServing(xclip, {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                        QStringLiteral("-t"), QStringLiteral("image/png"),
                                        QStringLiteral("-o")});
    ASSERT_TRUE(png);
    ASSERT_TRUE(png->startsWith("\x89PNG"));
    const QImage pasted = QImage::fromData(*png, "PNG");
    EXPECT_EQ(pasted.size(), QSize(6000, 4000));
}

TEST_F(X11, BmpRoundTripThroughTheX11ClipboardIsPixelExact) {
    Bitmap picture(800, 600, 24);
    for (int y = 0; y < 600; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < 800; ++x) {
            row[3 * x] = static_cast<uchar>(x * 7 + y);
            row[3 * x + 1] = static_cast<uchar>(y * 3 + x / 5);
            row[3 * x + 2] = static_cast<uchar>(x ^ y);
        }
    }
    const int slot = Load(QStringLiteral("PHOTO.BMP"), EncodeBmp(picture));
    const QImage reference = QImage(folder + QStringLiteral("/PHOTO.BMP"), "BMP")
                                 .convertToFormat(QImage::Format_RGB32);
    Press(Form1->SlotImage(slot), Qt::LeftButton, Qt::ControlModifier);
    const QString xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
    ASSERT_FALSE(xclip.isEmpty());
    const auto png = RunServing(xclip, {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                        QStringLiteral("-t"), QStringLiteral("image/png"),
                                        QStringLiteral("-o")});
    ASSERT_TRUE(png);
    const QImage pasted = QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(pasted == reference);
}
