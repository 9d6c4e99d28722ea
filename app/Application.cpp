#include "app/Application.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "app/AppIcon.h"

#include "app/Cviewer1.h"
#include "app/Dimage.h"
#include "app/HelpFile.h"
#include "app/SlotCache.h"
#include "app/Version.h"
#include "app/VersionInfo.h"
#include "batch/Renname.h"
#include "batch/Setdir.h"
#include "detail/Cgrp.h"
#include "detail/DHist.h"
#include "platform/Dialogs.h"
#include "platform/FileIo.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/QtDialogs.h"
#include "platform/QtTexts.h"
#include "platform/SystemPrinter.h"
#include "print/Set_Prt.h"

namespace tamarind {

QString ApplicationHelpFile;

namespace {

// The last line of defence: an error that escapes any event handler (a paint
// running out of memory, say) is shown like every other and the program goes on.
class TamarindApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            const std::exception_ptr error = std::current_exception();
            RunGuarded([error] { std::rethrow_exception(error); });
            return false;
        }
    }
};

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
    return icon;
}

}  // namespace

void CreateForms(const QStringList& args) {
    new TForm1(args);  // runs its creation handler before any other window exists
    new TForm2();
    // The windows below report to the main window through its link.
    new TForm3(Form1);
    new TForm4(Form1);
    new TForm5();
    new TForm6(Form1);
    new TForm7(Form1);
    new TForm8();
}

void DestroyForms() {
    // The thumbnails of this session reach the cache before the program ends.
    FinishThumbnailWrites();
    delete Form8;
    delete Form7;
    delete Form6;
    delete Form5;
    delete Form4;
    delete Form3;
    delete Form2;
    delete Form1;
    Form8 = nullptr;
    Form7 = nullptr;
    Form6 = nullptr;
    Form5 = nullptr;
    Form4 = nullptr;
    Form3 = nullptr;
    Form2 = nullptr;
    Form1 = nullptr;
}

namespace {

// "--version" and "--help" print and end at once, without opening a window
// (so they work without a display too).
std::optional<int> RunInfoOption(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const InfoOption option = InfoOptionOf(args);
    if (option == InfoOption::None) return std::nullopt;
    QCoreApplication core(argc, argv);
    const QString text = option == InfoOption::Version
                             ? VersionText()
                             : UsageText(LocateHelpFile(QCoreApplication::applicationDirPath()));
    const QByteArray bytes = text.toUtf8();
    const bool written = std::fwrite(bytes.constData(), 1, bytes.size(), stdout) ==
                             static_cast<size_t>(bytes.size()) &&
                         std::fflush(stdout) == 0;
    return written ? 0 : 1;
}

}  // namespace

int RunTamarind(int argc, char** argv) {
    if (const std::optional<int> result = RunInfoOption(argc, argv)) return *result;
    // Tamarind's command line is its own: Qt sees only the program name, so
    // no start file is ever taken for one of Qt's options (the platform and
    // style come from the environment as usual).
    int qtArgc = std::min(argc, 1);
    TamarindApplication app(qtArgc, argv);
    // Qt's own dialogs in Japanese before the first window is built.
    InstallQtJapaneseTexts(&app);
    QApplication::setApplicationName(QStringLiteral("Tamarind"));
    // No display name: on X11 Qt would append it to every window title, and
    // the windows' captions are meant to read exactly as set.
    QApplication::setApplicationVersion(VersionEntry("ProductVersion"));
    QApplication::setDesktopFileName(QStringLiteral("tamarind"));
    QApplication::setWindowIcon(AppIcon());
    ApplicationHelpFile = QStringLiteral("Tamarind.hlp");
    InstallFontSubstitutions();
    QtDialogs dialogs;
    SetDialogs(&dialogs);
    SystemPrinter printer;
    SetPrinter(&printer);

    // Paths are decoded so that names that are not UTF-8 still open.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << DecodePath(QByteArray(argv[i]));
    CreateForms(args);
    Form1->show();
    const int result = app.exec();
    DestroyForms();
    SetPrinter(nullptr);
    SetDialogs(nullptr);
    return result;
}

}  // namespace tamarind
