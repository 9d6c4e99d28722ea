#include "app/HelpWindow.h"

#include <QFileInfo>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tamarind {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Tamarind ヘルプ"));
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // Links inside the guide move within it; nothing is opened elsewhere.
    Browser->setOpenExternalLinks(false);
    Browser->setOpenLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
    resize(640, 560);
}

void HelpWindow::ShowContents(const QString& helpFile) {
    const QFileInfo info(helpFile);
    hasDocument_ = info.isFile() && info.isReadable();
    if (hasDocument_) {
        // The file's name ends in ".hlp": say that it is HTML, and always
        // start at the top, where the contents are.
        Browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()),
                           QTextDocument::HtmlResource);
        // Back and forward start afresh (only once a page is shown: Qt's
        // clearHistory needs one).
        Browser->clearHistory();
        Browser->moveCursor(QTextCursor::Start);
        Browser->verticalScrollBar()->setValue(0);
        return;
    }
    Browser->setSource(QUrl());
    Browser->clear();
    Browser->setHtml(QStringLiteral("<h3>ヘルプファイルが見つかりません。</h3><p>%1</p>")
                         .arg(helpFile.toHtmlEscaped()));
}

HelpWindow* ShowHelpContents(QWidget* owner, const QString& helpFile) {
    auto* window = owner ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly)
                         : nullptr;
    if (!window) window = new HelpWindow(owner);
    window->ShowContents(helpFile);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace tamarind
