#pragma once
// Every message box, confirmation, input box, file dialog, printer dialog and
// beep of the program goes through DialogService, so that tests can script
// the user's answers and record what was shown without anything blocking.

#include <QString>
#include <QStringList>
#include <optional>

class QPrinter;

namespace tamarind {

// The application title, the caption of every plain message box.
inline const QString kAppTitle = QStringLiteral("Tamarind");

enum class BeepKind {
    System,   // the plain system beep
    Message,  // the message beep ("no picture" and the like)
    Warning,  // the exclamation sound
    Default,  // the default system sound
};

enum class BoxIcon { None, Information, Warning, Error, Question };
enum class BoxButtons {
    Ok,
    OkCancel,
    YesNo,   // "はい(&Y)" / "いいえ(&N)"
    Cancel,  // a single "キャンセル" button
};
enum class BoxAnswer { Ok, Cancel, Yes, No };

// What a save-picture dialog is asked to show, and the options it enforces.
struct SaveDialogRequest {
    QString title;
    QString folder;            // initial folder
    QString proposedName;      // file name proposed in the name field
    QString defaultExtension;  // without dot, added when the user types none
    QStringList filters;       // "text (*.ext)" entries
    int filterIndex = 1;       // 1-based entry preselected
    bool overwritePrompt = false;
    bool pathMustExist = false;
    bool noReadOnly = false;
};

class DialogService {
public:
    virtual ~DialogService() = default;

    // A modal message box titled "Tamarind" with one OK button.
    virtual void Message(const QString& text, BoxIcon icon = BoxIcon::None) = 0;
    // A modal question; the caption is the window title of the box.
    virtual BoxAnswer Ask(const QString& caption, const QString& text, BoxIcon icon,
                          BoxButtons buttons) = 0;
    // A one-line input box. Cancelling gives back `proposed`, as the classic
    // input box does.
    virtual QString InputBox(const QString& caption, const QString& prompt,
                             const QString& proposed) = 0;
    // The save-picture dialog: the chosen full path, or nothing when cancelled.
    virtual std::optional<QString> SavePicture(const SaveDialogRequest& request) = 0;
    // The printer setup dialog; true when the user confirmed.
    virtual bool PrinterSetup(QPrinter* printer) = 0;
    virtual void Beep(BeepKind kind) = 0;
};

// The service in force. Until the program or a test installs one, a silent
// default answers every question with Cancel/No and shows nothing.
DialogService& Dialogs();
// Installs `service` (not owned) and returns the previous one; nullptr
// restores the silent default.
DialogService* SetDialogs(DialogService* service);

// The program-wide error text: the message with a full stop added when it
// does not already end in one.
QString WithFullStop(const QString& text);

}  // namespace tamarind
