#include "batch/Renname.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>

#include "batch/BatchControls.h"
#include "batch/BatchPlan.h"
#include "batch/BatchRun.h"
#include "batch/Journal.h"
#include "batch/RunPlan.h"
#include "batch/Undo.h"
#include "batch/Setdir.h"
#include "batch/UpDown.h"
#include "platform/BusyCursor.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Folders.h"
#include "platform/Fonts.h"
#include "platform/Guard.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "platform/WindowFrame.h"
#include "shared/MainWindowLink.h"

namespace tamarind {

TForm7* Form7 = nullptr;
QString BatchTargetPath;
QString DestinationFolder;

namespace {

// The plan window's line about the run.
QString PlanHeading(const BatchRun& run, int scope) {
    QString text = ModeCaption(run.mode) + QStringLiteral("　") +
                   (scope == 1 ? QStringLiteral("選択ﾌｧｲﾙ") : QStringLiteral("全ﾌｧｲﾙ")) +
                   QStringLiteral(" %1 個").arg(run.items.size());
    if (run.mode == kModeRenameCopy || run.mode == kModeCopy)
        text += QStringLiteral("　コピー先 ") + run.destinationFolder;
    if (run.mode == kModeRenameMove || run.mode == kModeMove)
        text += QStringLiteral("　移動先 ") + run.destinationFolder;
    return text;
}

}  // namespace

TForm7::TForm7(MainWindowLink* main, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      main_(main) {
    Form7 = this;
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("連番処理"));
    setFont(UiFont(kGothic, 12));
    SetBackgroundColor(this, kMoneyGreen);
    resize(684, 516);
    BuildModeGroup();
    BuildNamingGroup();
    BuildTable();
    BuildCountGroups();
    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
    Edit3 = MakeRequestField(this, QStringLiteral("Edit3"), {});
    Edit4 = MakeRequestField(this, QStringLiteral("Edit4"), [this] { Edit4Change(); });
    PlanWindow = new TBatchPlan(this);
    RunGuarded([this] { F7Create(); });
}

// --- Opening and the table ------------------------------------------------------------

void TForm7::OpenFromMainWindow(int filterIndex, int serial) {
    Memo5->setText(FilterExtensionText(filterIndex));
    SendRequest(Edit1, QString::number(serial));
    ShowInFront(this);
}

void TForm7::Edit1Change() {
    HighlightMode(BatchMode);
    UpdateUndoButton();
    GatherFileList();
    UpdateNamePreview();
}

void TForm7::GatherFileList() {
    FileTable.clear();
    ComputePageSize();
    QStringList names;
    QString folder;
    if (main_) {
        names = main_->ListedNames();
        folder = main_->ListedFolder();
    }
    RowCount = int(names.size());
    Memo7->setText(QString::number(RowCount));
    Memo12->setText(QString::number(RowCount));
    {
        const QSignalBlocker block(ScrollBar1);
        ScrollBar1->setRange(0, std::max(0, RowCount - 1));
        ScrollBar1->setValue(0);
    }
    SourceFolder = WithTrailingSeparator(folder);
    const ExtensionCheck extensions = CheckExtensions(names);
    {
        const BusyCursor busy;  // one directory entry per file
        FileTable = GatherRows(SourceFolder, names);
    }
    TopRow = 0;
    ComputePageSize();
    ShowPage(0, PageRows);
    if (extensions.differing > 0) {
        BitBtn3->setEnabled(false);
        Dialogs().Message(QStringLiteral(
            "ファイル種類（拡張子）が同一でありません。\n\rファイル・フィルターで揃えてください。"));
        return;
    }
    BitBtn3->setEnabled(true);
    // An empty list has no extension to take: the field keeps the filter's text.
    if (RowCount > 0) Memo5->setText(ExtensionFieldText(extensions.reference));
    UpdateNamePreview();
}

void TForm7::ShowPage(int first, int count) {
    {
        const QSignalBlocker block(ListBox1);
        ListBox1->clear();
    }
    for (QListWidget* column : {Memo8, Memo9, Memo10, Memo11}) column->clear();
    const int last = std::min(first + count - 1, RowCount - 1);
    {
        const QSignalBlocker block(ListBox1);
        for (int k = std::max(first, 0); k <= last; ++k) {
            const FileRow& row = FileTable[std::size_t(k)];
            auto* item = new QListWidgetItem(u' ' + row.Name);
            item->setSizeHint(QSize(0, rowHeight_));
            ListBox1->addItem(item);
            AddLine(Memo8, row.SizeText, rowHeight_);
            AddLine(Memo9, row.Attributes, rowHeight_);
            AddLine(Memo10, row.Created, rowHeight_);
            AddLine(Memo11, row.Updated, rowHeight_);
        }
    }
    SelectedCount = 0;
    Memo12->setText(QStringLiteral("0"));
    BitBtn2->setEnabled(false);
}

void TForm7::ComputePageSize() { PageRows = PageRowsFor(ListBox1->height(), rowHeight_); }

void TForm7::LayOutFileTable() {
    const TableLayout t = ComputeTableLayout(size(), GroupBox1->y(), GroupBox1->height(), Base,
                                             kScrollBarWidth);
    // A window shrunk below the groups leaves the table no room, never less.
    Panel1->setGeometry(t.panel.x(), t.panel.y(), std::max(0, t.panel.width()),
                        std::max(0, t.panel.height()));
    Panel3->resize(std::max(0, t.nameWidth), Panel3->height());
    Panel4->resize(std::max(0, t.sizeWidth), Panel4->height());
    Panel6->resize(std::max(0, t.createdWidth), Panel6->height());
    Panel2->Relayout();
    Panel1->Relayout();
    const int height = Panel1->height();
    ListBox1->setGeometry(0, 0, t.listWidth, height);
    Memo8->setGeometry(Panel4->x(), 0, Panel4->width(), height);
    Memo9->setGeometry(Panel5->x(), 0, Panel5->width(), height);
    Memo10->setGeometry(Panel6->x(), 0, Panel6->width(), height);
    Memo11->setGeometry(Panel8->x(), 0, Panel8->width(), height);
    ScrollBar1->setGeometry(t.scrollBar.x(), t.scrollBar.y(), t.scrollBar.width(),
                            std::max(0, t.scrollBar.height()));
    PlaceLowerControls();
}

void TForm7::F7Resize() {
    LayOutFileTable();
    ComputePageSize();
    ShowPage(TopRow, PageRows);
}

void TForm7::F7Create() {
    Base.nameWidth = Panel3->width();
    Base.sizeWidth = Panel4->width();
    Base.createdWidth = Panel6->width();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(1024, 768);
    const int height = screenSize.height() * 9 / 10;
    if (ProgramPlacesWindows())
        move((screenSize.width() - width()) / 2, (screenSize.height() - height) / 2);
    // The body's design width plus 10: 520 pixels.
    const int width = 510 + 10;
    resize(width, height);
    Base.windowWidth = width;
    BatchMode = kModeRename;
    RunNotifySerial = 0;
    created_ = true;
    F7Resize();
    UpdateUndoButton();
}

void TForm7::resizeEvent(QResizeEvent*) {
    if (created_) RunGuarded([this] { F7Resize(); });
}

bool TForm7::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBox1->viewport() && event->type() == QEvent::MouseButtonRelease)
        RunGuarded([this] { ListBox1MouseUP(); });
    return QWidget::eventFilter(watched, event);
}

void TForm7::SortBy(SortColumn column, bool& descending) {
    descending = !descending;
    SortRows(FileTable, column, descending);
    ShowPage(TopRow, PageRows);
}

void TForm7::Panel3Click() { SortBy(SortColumn::Name, NameDescending); }
void TForm7::Panel4Click() { SortBy(SortColumn::Size, SizeDescending); }
void TForm7::Panel6Click() { SortBy(SortColumn::Created, CreatedDescending); }
void TForm7::Panel8Click() { SortBy(SortColumn::Updated, UpdatedDescending); }

void TForm7::ScrollBar1Change() {
    TopRow = ScrollBar1->value();
    ShowPage(TopRow, PageRows);
}

void TForm7::ListBox1SelectionChange() {
    // The selection is counted whenever it changes (by mouse or keyboard), so
    // a run on the selected rows always runs on the rows shown selected.
    SelectedCount = int(ListBox1->selectedItems().size());
    Memo12->setText(QString::number(SelectedCount));
    BitBtn2->setEnabled(true);
}

void TForm7::ListBox1MouseUP() { ListBox1SelectionChange(); }

void TForm7::SplitterMoved() {
    Base.nameWidth = Panel3->width();
    Base.sizeWidth = Panel4->width();
    Base.createdWidth = Panel6->width();
    Base.windowWidth = width();
    F7Resize();
}

void TForm7::BitBtn1Click() { hide(); }

// --- Names ----------------------------------------------------------------------------

void TForm7::UpdateNamePreview() {
    Naming.digits = UpDown1->Position();
    Naming.startValue = UpDown2->Position() + 10 * UpDown4->Position();
    Naming.increment = UpDown3->Position() + 10 * UpDown5->Position();
    Memo3->setText(QString::number(Naming.startValue));
    Memo4->setText(QString::number(Naming.increment));
    Naming.fixedPart = FirstLine(Memo1->text());
    Memo2->setText(PadNumber(QString::number(Naming.startValue), Naming.digits));
    Naming.extensionPart = u'.' + FirstLine(Memo5->text());
    Memo6->setText(FirstSequenceName(Naming));
}

void TForm7::Memo1Change() {
    // A pasted line break ends the field's text: what follows it goes.
    const qsizetype lineEnd = Memo1->text().indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (lineEnd >= 0) {
        const QSignalBlocker block(Memo1);
        Memo1->setText(Memo1->text().left(lineEnd));
    }
    Naming.fixedPart = Memo1->text();
    UpdateNamePreview();
}

QString TForm7::SequenceName(int k) const { return tamarind::SequenceName(Naming, k); }

// --- Runs -----------------------------------------------------------------------------

void TForm7::SetMode(int mode) {
    BatchMode = mode;
    HighlightMode(mode);
    GroupBox5->setVisible(mode >= kModeRename && mode <= kModeRenameMove);
}

void TForm7::HighlightMode(int mode) {
    QRadioButton* buttons[6] = {RadioButton1, RadioButton2, RadioButton3,
                                RadioButton4, RadioButton5, RadioButton6};
    for (QRadioButton* b : buttons) SetTextColor(b, Qt::black);
    if (mode >= 1 && mode <= 6) SetTextColor(buttons[mode - 1], Qt::red);
}

void TForm7::BitBtn2Click() { StartRun(1); }

void TForm7::BitBtn3Click() { StartRun(2); }

void TForm7::StartRun(int scope) {
    RunScope = scope;
    if (BatchMode == kModeRename || BatchMode == kModeDelete) {
        // Once per click, also when the field already holds "0".
        {
            const QSignalBlocker block(Edit4);
            Edit4->setText(QStringLiteral("0"));
        }
        Edit4Change();
        return;
    }
    OpenDestinationChooser();
}

void TForm7::OpenDestinationChooser() {
    if (!Form8) return;
    // The chooser opens on the folder the table was gathered from.
    const QString folder = WithoutTrailingSeparator(SourceFolder);
    Form8->Prepare(folder, BatchMode == kModeRenameCopy || BatchMode == kModeCopy
                               ? QStringLiteral("コピー先指定")
                               : QStringLiteral("移動先指定"));
    ShowInFront(Form8);
}

void TForm7::Edit4Change() {
    bool ok = false;
    const int number = Edit4->text().toInt(&ok);
    if (!ok || number < 0) return;
    RunOperations();
}

BatchRun TForm7::CollectRun(int scope) {
    BatchRun run;
    run.mode = BatchMode;
    run.sourceFolder = SourceFolder;
    run.destinationFolder = DestinationFolder;
    UpdateNamePreview();
    if (scope == 1) {
        int i = 0;
        for (int r = 0; r < ListBox1->count() && i < SelectedCount; ++r) {
            const QListWidgetItem* item = ListBox1->item(r);
            if (!item->isSelected()) continue;
            run.items.push_back({item->text().mid(1), SequenceName(i)});
            ++i;
        }
    } else if (scope == 2) {
        for (int k = 0; k < RowCount; ++k)
            run.items.push_back({FileTable[std::size_t(k)].Name, SequenceName(k)});
    }
    return run;
}

void TForm7::RunOperations() {
    const BatchRun run = CollectRun(RunScope);
    // The plan comes first when the run will ask questions or cannot start.
    const RunPlan plan = MakePlan(run);
    if (plan.NeedsLook()) {
        PlanWindow->ShowPlan(plan, PlanHeading(run, RunScope), true, [this, run] { ExecuteRun(run); });
        return;
    }
    ExecuteRun(run);
}

void TForm7::ExecuteRun(const BatchRun& run) {
    JournalWriter journal;
    QString why;
    if (!run.items.empty() && !journal.Begin(run, &why) &&
        Dialogs().Ask(QStringLiteral("確認"),
                      QStringLiteral("元に戻すための記録を書けません（%1）。\n\r記録なしで実行しますか？").arg(why),
                      BoxIcon::Warning, BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    try {
        const BusyCursor busy;
        RunBatch(run, BatchTargetPath, journal.IsOpen() ? &journal : nullptr);
    } catch (...) {  // an input/output failure ends the run here
        journal.End();
        UpdateUndoButton();
        throw;
    }
    journal.End();
    RunScope = 0;
    ++RunNotifySerial;
    if (main_) main_->RequestBatchFolder(QString::number(RunNotifySerial));
    hide();
    UpdateUndoButton();
}

void TForm7::BitBtn4Click() {
    const int scope = SelectedCount > 0 ? 1 : 2;
    const bool chooses = BatchMode != kModeRename && BatchMode != kModeDelete;
    BatchRun run = CollectRun(scope);
    // Before the chooser has answered, copies and moves are planned into the
    // folder it last chose, or else the one it opens on.
    if (chooses && run.destinationFolder.isEmpty())
        run.destinationFolder = WithoutTrailingSeparator(SourceFolder);
    const bool canExecute = (scope == 1 ? BitBtn2 : BitBtn3)->isEnabled();
    PlanWindow->ShowPlan(MakePlan(run), PlanHeading(run, scope), canExecute, [this, scope, run, chooses] {
        if (chooses) return StartRun(scope);  // the chooser, then the run
        RunScope = scope;
        ExecuteRun(run);
    });
}

void TForm7::BitBtn5Click() {
    const QString path = LatestJournal();
    Journal journal;
    if (path.isEmpty() || !ReadJournal(path, journal)) return UpdateUndoButton();
    if (JournalInUse(path)) {
        Dialogs().Message(QStringLiteral("この一括処理はまだ実行中です。"));
        return;
    }
    if (Dialogs().Ask(QStringLiteral("確認"), UndoQuestion(journal), BoxIcon::Question,
                      BoxButtons::YesNo) != BoxAnswer::Yes)
        return;
    UndoResult result;
    {
        const BusyCursor busy;
        result = UndoRun(journal);
    }
    if (result.failure.isEmpty()) MarkUndone(path);
    Dialogs().Message(UndoReport(result), result.leftAlone.isEmpty() ? BoxIcon::Information : BoxIcon::Warning);
    // The main window shows the folder again, read afresh.
    BatchTargetPath = WithTrailingSeparator(journal.sourceFolder);
    ++RunNotifySerial;
    if (main_) main_->RequestBatchFolder(QString::number(RunNotifySerial));
    hide();
    UpdateUndoButton();
}

void TForm7::UpdateUndoButton() { BitBtn5->setEnabled(!LatestJournal().isEmpty()); }

}  // namespace tamarind
