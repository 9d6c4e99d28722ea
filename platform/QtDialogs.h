#pragma once
// The real dialogs: Qt message boxes, input box, file dialog and printer
// dialog, parented to the active window.

#include "platform/Dialogs.h"

namespace tamarind {

class QtDialogs final : public DialogService {
public:
    void Message(const QString& text, BoxIcon icon) override;
    BoxAnswer Ask(const QString& caption, const QString& text, BoxIcon icon,
                  BoxButtons buttons) override;
    QString InputBox(const QString& caption, const QString& prompt,
                     const QString& proposed) override;
    std::optional<QString> SavePicture(const SaveDialogRequest& request) override;
    bool PrinterSetup(QPrinter* printer) override;
    void Beep(BeepKind kind) override;
};

}  // namespace tamarind
