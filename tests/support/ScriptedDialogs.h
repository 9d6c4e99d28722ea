#pragma once
// A DialogService for tests: records every box, beep and dialog in order and
// answers from a script. A question with no scripted answer fails the test
// and is answered Cancel/No, so nothing ever blocks.

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Dialogs.h"

namespace tamarind::test {

struct ShownDialog {
    enum Kind { Message, Ask, Input, Save, Printer, Beep } kind = Message;
    QString caption;  // Ask/Input caption, Save title
    QString text;     // Message/Ask text, Input prompt
    QString proposed;  // Input: the text the box proposed
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    BeepKind beep = BeepKind::System;
    SaveDialogRequest save;
};

class ScriptedDialogs final : public DialogService {
public:
    // Installs itself for its lifetime.
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void AnswerAsk(BoxAnswer answer) { asks_.push_back(answer); }
    void AnswerInput(const std::optional<QString>& text) { inputs_.push_back(text); }
    void AnswerSave(const std::optional<QString>& path) { saves_.push_back(path); }
    // The setup dialog's answer; `change` stands for what the user changes
    // in it (run on the printer before the answer is given).
    void AnswerPrinterSetup(bool ok, std::function<void(QPrinter*)> change = {}) {
        printer_.push_back({ok, std::move(change)});
    }

    const std::vector<ShownDialog>& shown() const { return shown_; }
    // The texts of the message boxes shown so far, in order.
    std::vector<QString> messages() const;
    std::vector<BeepKind> beeps() const;
    void clear() { shown_.clear(); }

    void Message(const QString& text, BoxIcon icon) override;
    BoxAnswer Ask(const QString& caption, const QString& text, BoxIcon icon,
                  BoxButtons buttons) override;
    QString InputBox(const QString& caption, const QString& prompt,
                     const QString& proposed) override;
    std::optional<QString> SavePicture(const SaveDialogRequest& request) override;
    bool PrinterSetup(QPrinter* printer) override;
    void Beep(BeepKind kind) override;

private:
    DialogService* previous_;
    std::vector<ShownDialog> shown_;
    std::deque<BoxAnswer> asks_;
    std::deque<std::optional<QString>> inputs_;
    std::deque<std::optional<QString>> saves_;
    struct PrinterAnswer {
        bool ok = false;
        std::function<void(QPrinter*)> change;
    };
    std::deque<PrinterAnswer> printer_;
};

}  // namespace tamarind::test
