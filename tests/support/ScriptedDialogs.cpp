#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace tamarind::test {

ScriptedDialogs::ScriptedDialogs() : previous_(SetDialogs(this)) {}
ScriptedDialogs::~ScriptedDialogs() { SetDialogs(previous_); }

std::vector<QString> ScriptedDialogs::messages() const {
    std::vector<QString> texts;
    for (const auto& d : shown_)
        if (d.kind == ShownDialog::Message) texts.push_back(d.text);
    return texts;
}

std::vector<BeepKind> ScriptedDialogs::beeps() const {
    std::vector<BeepKind> kinds;
    for (const auto& d : shown_)
        if (d.kind == ShownDialog::Beep) kinds.push_back(d.beep);
    return kinds;
}

void ScriptedDialogs::Message(const QString& text, BoxIcon icon) {
    ShownDialog d;
    d.kind = ShownDialog::Message;
    d.caption = kAppTitle;
    d.text = text;
    d.icon = icon;
    shown_.push_back(d);
}

BoxAnswer ScriptedDialogs::Ask(const QString& caption, const QString& text, BoxIcon icon,
                               BoxButtons buttons) {
    ShownDialog d;
    d.kind = ShownDialog::Ask;
    d.caption = caption;
    d.text = text;
    d.icon = icon;
    d.buttons = buttons;
    shown_.push_back(d);
    if (asks_.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Cancel;
    }
    BoxAnswer a = asks_.front();
    asks_.pop_front();
    return a;
}

QString ScriptedDialogs::InputBox(const QString& caption, const QString& prompt,
                                  const QString& proposed) {
    ShownDialog d;
    d.kind = ShownDialog::Input;
    d.caption = caption;
    d.text = prompt;
    d.proposed = proposed;
    shown_.push_back(d);
    if (inputs_.empty()) {
        ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
        return proposed;
    }
    const QString answer = inputs_.front().value_or(proposed);  // cancel: the proposed text
    inputs_.pop_front();
    return answer;
}

std::optional<QString> ScriptedDialogs::SavePicture(const SaveDialogRequest& request) {
    ShownDialog d;
    d.kind = ShownDialog::Save;
    d.caption = request.title;
    d.save = request;
    shown_.push_back(d);
    if (saves_.empty()) {
        ADD_FAILURE() << "unexpected save dialog: " << request.title.toStdString();
        return std::nullopt;
    }
    const bool chosen = saves_.front().has_value();
    const QString path = chosen ? *saves_.front() : QString();
    saves_.pop_front();
    if (!chosen) return std::nullopt;
    return path;
}

bool ScriptedDialogs::PrinterSetup(QPrinter* printer) {
    ShownDialog d;
    d.kind = ShownDialog::Printer;
    shown_.push_back(d);
    if (printer_.empty()) return false;
    const PrinterAnswer a = printer_.front();
    printer_.pop_front();
    if (a.change && printer) a.change(printer);
    return a.ok;
}

void ScriptedDialogs::Beep(BeepKind kind) {
    ShownDialog d;
    d.kind = ShownDialog::Beep;
    d.beep = kind;
    shown_.push_back(d);
}

}  // namespace tamarind::test
