#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace tamarind {
namespace {

QMessageBox::Icon ToQt(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information: return QMessageBox::Information;
        case BoxIcon::Warning: return QMessageBox::Warning;
        case BoxIcon::Error: return QMessageBox::Critical;
        case BoxIcon::Question: return QMessageBox::Question;
        case BoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Message texts use the old "line feed, carriage return" pair; Qt wants one
// line feed per break.
QString Displayable(QString text) {
    text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.remove(u'\r');
    return text;
}

}  // namespace

void QtDialogs::Message(const QString& text, BoxIcon icon) {
    QMessageBox box(ToQt(icon), kAppTitle, Displayable(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

BoxAnswer QtDialogs::Ask(const QString& caption, const QString& text, BoxIcon icon,
                         BoxButtons buttons) {
    QMessageBox box(ToQt(icon), caption, Displayable(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    QPushButton* first = nullptr;
    QPushButton* second = nullptr;
    switch (buttons) {
        case BoxButtons::Ok:
            first = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            break;
        case BoxButtons::OkCancel:
            first = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            second = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
            break;
        case BoxButtons::YesNo:
            first = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
            second = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
            break;
        case BoxButtons::Cancel:
            second = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
            break;
    }
    box.setDefaultButton(first ? first : second);
    if (second) box.setEscapeButton(second);
    box.exec();
    const bool yes = first && box.clickedButton() == first;
    if (buttons == BoxButtons::YesNo) return yes ? BoxAnswer::Yes : BoxAnswer::No;
    return yes ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

QString QtDialogs::InputBox(const QString& caption, const QString& prompt,
                            const QString& proposed) {
    bool ok = false;
    QString answer = QInputDialog::getText(QApplication::activeWindow(), caption, prompt,
                                           QLineEdit::Normal, proposed, &ok);
    return ok ? answer : proposed;
}

std::optional<QString> QtDialogs::SavePicture(const SaveDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.title, request.folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);  // Qt's own, with the titles and filters as given
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Names only, as the classic save dialog lists them: the detail columns
    // would describe types and dates in the system locale's language.
    dialog.setViewMode(QFileDialog::List);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (!request.filters.isEmpty()) {
        dialog.setNameFilters(request.filters);
        const int index = request.filterIndex - 1;
        if (index >= 0 && index < request.filters.size())
            dialog.selectNameFilter(request.filters.at(index));
    }
    if (!request.defaultExtension.isEmpty()) dialog.setDefaultSuffix(request.defaultExtension);
    dialog.selectFile(request.proposedName);
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty()) return std::nullopt;
        const QFileInfo info(chosen.first());
        if (request.pathMustExist && !info.absoluteDir().exists()) {
            Message(QStringLiteral("フォルダーがありません: ") + info.absolutePath(), BoxIcon::Warning);
            continue;
        }
        if (request.noReadOnly && info.exists() && !info.isWritable()) {
            Message(info.fileName() + QStringLiteral(" は読み取り専用です。"), BoxIcon::Warning);
            continue;
        }
        return info.absoluteFilePath();
    }
    return std::nullopt;
}

bool QtDialogs::PrinterSetup(QPrinter* printer) {
    if (!printer) return false;
    QPrintDialog dialog(printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

void QtDialogs::Beep(BeepKind) { QApplication::beep(); }

}  // namespace tamarind
