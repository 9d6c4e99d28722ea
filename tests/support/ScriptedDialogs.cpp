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
    ShownDialog d{ShownDialog::Message};
    d.caption = kAppTitle;
    d.text = text;
    d.icon = icon;
    shown_.push_back(d);
}

BoxAnswer ScriptedDialogs::Ask(const QString& caption, const QString& text, BoxIcon icon,
                               BoxButtons buttons) {
    ShownDialog d{ShownDialog::Ask};
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
    ShownDialog d{ShownDialog::Input};
    d.caption = caption;
    d.text = prompt;
    shown_.push_back(d);
    if (inputs_.empty()) {
        ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
        return proposed;
    }
    auto a = inputs_.front();
    inputs_.pop_front();
    return a ? *a : proposed;  // cancel gives back the proposed text
}

std::optional<QString> ScriptedDialogs::SavePicture(const SaveDialogRequest& request) {
    ShownDialog d{ShownDialog::Save};
    d.caption = request.title;
    d.save = request;
    shown_.push_back(d);
    if (saves_.empty()) {
        ADD_FAILURE() << "unexpected save dialog: " << request.title.toStdString();
        return std::nullopt;
    }
    auto a = saves_.front();
    saves_.pop_front();
    return a;
}

bool ScriptedDialogs::PrinterSetup(QPrinter*) {
    shown_.push_back(ShownDialog{ShownDialog::Printer});
    if (printer_.empty()) return false;
    bool a = printer_.front();
    printer_.pop_front();
    return a;
}

void ScriptedDialogs::Beep(BeepKind kind) {
    ShownDialog d{ShownDialog::Beep};
    d.beep = kind;
    shown_.push_back(d);
}

}  // namespace tamarind::test
