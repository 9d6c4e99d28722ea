#include "platform/Dialogs.h"

namespace tamarind {
namespace {

class SilentDialogs final : public DialogService {
public:
    void Message(const QString&, BoxIcon) override {}
    BoxAnswer Ask(const QString&, const QString&, BoxIcon, BoxButtons buttons) override {
        return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Cancel;
    }
    QString InputBox(const QString&, const QString&, const QString& proposed) override {
        return proposed;
    }
    std::optional<QString> SavePicture(const SaveDialogRequest&) override { return std::nullopt; }
    bool PrinterSetup(QPrinter*) override { return false; }
    void Beep(BeepKind) override {}
};

SilentDialogs gSilent;
DialogService* gService = nullptr;

}  // namespace

DialogService& Dialogs() { return gService ? *gService : gSilent; }

DialogService* SetDialogs(DialogService* service) {
    DialogService* previous = gService;
    gService = service;
    return previous;
}

QString WithFullStop(const QString& text) {
    if (text.isEmpty()) return text;
    const QChar last = text.back();
    if (last == u'.' || last == u'。' || last == u'．') return text;
    return text + u'.';
}

}  // namespace tamarind
