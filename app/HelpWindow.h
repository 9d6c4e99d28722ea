#pragma once
// The help window: the user guide "tamarind.hlp" (an HTML document) in a
// small browser of its own, opened at its table of contents.

#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace tamarind {

class HelpWindow : public QWidget {
    Q_OBJECT  // found among the owner's children by its type

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the contents page of `helpFile`, or a note that it is missing.
    void ShowContents(const QString& helpFile);
    // True when the last ShowContents found its file.
    bool HasDocument() const { return hasDocument_; }

    QTextBrowser* Browser;
    // Back to the contents, and back and forward along the links followed.
    QPushButton *ContentsButton, *BackButton, *ForwardButton;

private:
    bool hasDocument_ = false;
};

// The help window of `owner` (created on first use and closed with it),
// showing the contents page of `helpFile`.
HelpWindow* ShowHelpContents(QWidget* owner, const QString& helpFile);

}  // namespace tamarind
