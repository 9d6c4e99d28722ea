#pragma once
// The batch window: the folder's files as a table, renamed, copied, moved or
// deleted under sequential numbered names.

#include <QString>
#include <QWidget>
#include <vector>

#include "batch/BatchLayout.h"
#include "batch/BatchRun.h"
#include "batch/FileTable.h"
#include "batch/SequenceName.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace tamarind {

class ClickLabel;
class TBatchPlan;
class DockPanel;
class MainWindowLink;
class SplitterBar;
class UpDown;

// The target path of the file a batch run handled last (for a delete run the
// source folder); empty until the first run. The main window shows its folder.
extern QString BatchTargetPath;
// The destination folder chosen for copy and move runs.
extern QString DestinationFolder;

// The six modes of a run.
enum BatchModes {
    kModeRename = 1,
    kModeRenameCopy = 2,
    kModeRenameMove = 3,
    kModeDelete = 4,
    kModeCopy = 5,
    kModeMove = 6,
};

class TForm7 : public QWidget {
public:
    // `main` is the main window the window reports to (none: it reports
    // nowhere).
    explicit TForm7(MainWindowLink* main = nullptr, QWidget* parent = nullptr);

    // --- Opening and the table ------------------------------------------------
    // The main window's "連番処理(&R)": the extension text of its filter entry,
    // the open request with its serial, then the window is shown.
    void OpenFromMainWindow(int filterIndex, int serial);
    // Reload the file table and the naming fields.
    void Edit1Change();
    void GatherFileList();
    void ShowPage(int first, int count);
    void ComputePageSize();
    void LayOutFileTable();
    void F7Create();
    void F7Resize();
    void Panel3Click();
    void Panel4Click();
    void Panel6Click();
    void Panel8Click();
    void ScrollBar1Change();
    void ListBox1MouseUP();
    void ListBox1SelectionChange();
    void SplitterMoved();
    void BitBtn1Click();

    // --- Names ------------------------------------------------------------------
    void UpdateNamePreview();
    void Memo1Change();
    QString SequenceName(int k) const;

    // --- Runs -------------------------------------------------------------------
    void SetMode(int mode);  // RadioButton1Click .. RadioButton6Click
    void HighlightMode(int mode);
    void BitBtn2Click();
    void BitBtn3Click();
    // The selected rows (scope 1) or all rows (scope 2): run at once where no
    // destination is needed, else ask for the destination first.
    void StartRun(int scope);
    void OpenDestinationChooser();
    // Start the run (a negative number: the destination choice was cancelled).
    void Edit4Change();
    // "実行計画(&P)": the plan of a run on the selected rows (when any are
    // selected) or on all rows, in the current mode.
    void BitBtn4Click();
    // "元に戻す(&U)": takes the last run back.
    void BitBtn5Click();
    // Enables "元に戻す(&U)" when there is a run to take back.
    void UpdateUndoButton();

    // --- State ------------------------------------------------------------------
    std::vector<FileRow> FileTable;
    int RowCount = 0;
    int TopRow = 0;
    int PageRows = 0;
    int SelectedCount = 0;
    QString SourceFolder;  // the folder the table was gathered from, with "/"
    bool NameDescending = false;
    bool SizeDescending = false;
    bool CreatedDescending = false;
    bool UpdatedDescending = false;
    TableBase Base;
    NamingSettings Naming;
    int BatchMode = kModeRename;
    int RunScope = 0;  // 1 selected rows, 2 all rows, 0 none pending
    int RunNotifySerial = 0;

    // --- Controls ---------------------------------------------------------------
    QGroupBox* GroupBox1;  // 処理モード
    QRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4, *RadioButton5,
        *RadioButton6;
    QGroupBox* GroupBox5;  // 連番指定
    QGroupBox *GroupBox8, *GroupBox9, *GroupBox10, *GroupBox6, *GroupBox7;
    QLineEdit* Memo1;  // fixed part, one line
    QLabel *Label1, *Label2, *Label3;
    QLineEdit *Memo2, *Memo3, *Memo4, *Memo5, *Memo6;
    UpDown *UpDown1, *UpDown2, *UpDown3, *UpDown4, *UpDown5;

    DockPanel* Panel1;  // the table
    DockPanel* Panel2;  // its header
    ClickLabel *Panel3, *Panel4, *Panel5, *Panel6, *Panel8;
    SplitterBar *Splitter4, *Splitter5, *Splitter6, *Splitter1;
    QWidget* Panel7;  // the body
    QListWidget* ListBox1;
    QListWidget *Memo8, *Memo9, *Memo10, *Memo11;
    QScrollBar* ScrollBar1;

    QGroupBox* GroupBox2;  // 全ﾌｧｲﾙ処理
    QLabel* Label4;
    QLineEdit* Memo7;
    QPushButton* BitBtn3;
    QGroupBox* GroupBox3;  // 選択ﾌｧｲﾙ処理
    QLabel* Label6;
    QLineEdit* Memo12;
    QPushButton* BitBtn2;
    QPushButton* BitBtn1;  // キャンセル
    QPushButton* BitBtn4;  // 実行計画(&P)
    QPushButton* BitBtn5;  // 元に戻す(&U)
    TBatchPlan* PlanWindow;

    QLineEdit* Edit1;  // open request
    QLineEdit* Edit3;  // the main window's current folder (data only)
    QLineEdit* Edit4;  // run request

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildModeGroup();
    void BuildNamingGroup();
    void BuildTable();
    void BuildCountGroups();
    void PlaceLowerControls();
    void SortBy(SortColumn column, bool& descending);
    void RunOperations();
    // The files of a run on `scope` (1 selected rows, 2 all rows), as the run
    // will take them.
    BatchRun CollectRun(int scope);
    // Carries out `run` with its journal, then tells the main window.
    void ExecuteRun(const BatchRun& run);
    MainWindowLink* main_;
    bool created_ = false;
    int rowHeight_ = kTableRowHeight;  // of the file table
};

extern TForm7* Form7;

}  // namespace tamarind
