#include "app/HelpWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/TopLevel.h"

namespace tamarind {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Tamarind ヘルプ"));
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // Links inside the guide move within it; nothing is opened elsewhere.
    Browser->setOpenExternalLinks(false);
    Browser->setOpenLinks(true);
    ContentsButton = new QPushButton(QStringLiteral("目次"), this);
    BackButton = new QPushButton(QStringLiteral("戻る"), this);
    ForwardButton = new QPushButton(QStringLiteral("進む"), this);
    BackButton->setEnabled(false);
    ForwardButton->setEnabled(false);
    connect(ContentsButton, &QPushButton::clicked, Browser, &QTextBrowser::home);
    connect(BackButton, &QPushButton::clicked, Browser, &QTextBrowser::backward);
    connect(ForwardButton, &QPushButton::clicked, Browser, &QTextBrowser::forward);
    connect(Browser, &QTextBrowser::backwardAvailable, BackButton, &QWidget::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, ForwardButton, &QWidget::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 4, 4, 0);
    buttons->addWidget(ContentsButton);
    buttons->addWidget(BackButton);
    buttons->addWidget(ForwardButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(buttons);
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
    BackButton->setEnabled(false);
    ForwardButton->setEnabled(false);
    Browser->setHtml(QStringLiteral("<h3>ヘルプファイルが見つかりません。</h3><p>%1</p>")
                         .arg(helpFile.toHtmlEscaped()));
}

HelpWindow* ShowHelpContents(QWidget* owner, const QString& helpFile) {
    auto* window = owner ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly)
                         : nullptr;
    if (!window) window = new HelpWindow(owner);
    window->ShowContents(helpFile);
    ShowInFront(window);
    return window;
}

}  // namespace tamarind
