#pragma once
// The plan window of the batch window ("実行計画"): every file of a run in
// run order with where it goes and a flag for each conflict, the counts per
// flag above the list. Shown before a run that will ask questions or cannot
// start, and at any time from the batch window's "実行計画(&P)". "実行" goes
// on with the run; "ｷｬﾝｾﾙ" touches nothing.

#include <QWidget>
#include <functional>

#include "batch/RunPlan.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace tamarind {

class TBatchPlan : public QWidget {
public:
    explicit TBatchPlan(QWidget* parent = nullptr);

    // Shows `plan` of the run `heading` describes, on top of every other
    // window of the program. `execute` runs on "実行", which is offered only
    // when `canExecute` holds and the plan has no "不可" row.
    void ShowPlan(const RunPlan& plan, const QString& heading, bool canExecute,
                  std::function<void()> execute);

    void Button1Click();  // 実行
    void Button2Click();  // ｷｬﾝｾﾙ

    QLabel* Label1;             // the run
    QLabel* Label2;             // the counts per flag
    QTableWidget* StringGrid1;  // the rows
    QLabel* Label3;             // what the flags mean for this run
    QPushButton* Button1;
    QPushButton* Button2;

private:
    std::function<void()> execute_;
};

}  // namespace tamarind
