#include "batch/BatchPlan.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/Controls.h"
#include "platform/Fonts.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"

namespace tamarind {
namespace {

const QColor kMoneyGreen(192, 220, 192);
constexpr int kRowsNamed = 10;

// The heading of the target column by mode.
QString TargetHeading(int mode) {
    switch (mode) {
        case 2:
        case 5: return QStringLiteral("コピー先");
        case 3:
        case 6: return QStringLiteral("移動先");
        case 4: return QStringLiteral("処理");
        default: return QStringLiteral("新しい名前");
    }
}

QColor FlagColour(unsigned flags) {
    if (flags & kPlanImpossible) return Qt::red;
    if (flags & (kPlanExists | kPlanRisky)) return QColor(192, 96, 0);
    if (flags & kPlanChained) return Qt::blue;
    return Qt::black;
}

// What the flags mean for the run, or why it cannot start.
QString Note(const RunPlan& plan) {
    if (!plan.CanStart()) {
        QStringList rows;
        for (const int k : plan.ImpossibleRows()) {
            if (rows.size() == kRowsNamed) {
                rows << QStringLiteral("…");
                break;
            }
            rows << QString::number(k + 1);
        }
        return QStringLiteral("「不可」の行があるため実行できません（行 %1）。名前の指定を直してください。")
            .arg(rows.join(QStringLiteral(", ")));
    }
    QStringList notes;
    if (plan.Count(kPlanExists) > 0) notes << QStringLiteral("「既存」の行では、実行中に上書きの確認が出ます。");
    if (plan.Count(kPlanChained) > 0)
        notes << QStringLiteral("「連鎖」の行は、他のファイルの元の名前や内容を失わないように処理します。");
    return notes.join(u'\n');
}

}  // namespace

TBatchPlan::TBatchPlan(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("BatchPlan"));
    setWindowTitle(QStringLiteral("実行計画"));
    setFont(UiFont(kGothic, 12));
    SetBackgroundColor(this, kMoneyGreen);
    resize(640, 480);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    StringGrid1 = new QTableWidget(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setColumnCount(5);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->horizontalHeader()->setStretchLastSection(true);
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setWordWrap(true);
    Button1 = new QPushButton(QStringLiteral("実行"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    Connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    CloseLikeBackButton(this, [this] { Button2Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Label3, 1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* column = new QVBoxLayout(this);
    column->addWidget(Label1);
    column->addWidget(Label2);
    column->addWidget(StringGrid1, 1);
    column->addLayout(buttons);
}

void TBatchPlan::ShowPlan(const RunPlan& plan, const QString& heading, bool canExecute,
                          std::function<void()> execute) {
    execute_ = std::move(execute);
    Label1->setText(heading);
    QStringList counts;
    for (const unsigned flag : kPlanFlags)
        counts << FlagCaption(PlanFlag(flag)) + u' ' + QString::number(plan.Count(PlanFlag(flag)));
    Label2->setText(counts.join(QStringLiteral("　")));
    Label3->setText(Note(plan));
    Button1->setEnabled(canExecute && plan.CanStart());

    StringGrid1->setUpdatesEnabled(false);
    StringGrid1->clearContents();
    StringGrid1->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("元の名前"),
                                            TargetHeading(plan.mode), QStringLiteral("判定"),
                                            QStringLiteral("理由")});
    StringGrid1->setRowCount(int(plan.rows.size()));
    for (int k = 0; k < int(plan.rows.size()); ++k) {
        const PlanRow& row = plan.rows[std::size_t(k)];
        const QString target = plan.mode == 4 ? QStringLiteral("ごみ箱へ") : row.target;
        const QString cells[5] = {QString::number(k + 1), row.name, target, FlagsText(row.flags),
                                  row.reason};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= 3) item->setForeground(FlagColour(row.flags));
            StringGrid1->setItem(k, c, item);
        }
    }
    StringGrid1->resizeColumnsToContents();
    StringGrid1->setUpdatesEnabled(true);
    setWindowModality(Qt::ApplicationModal);
    // Over the batch window, whole on its screen.
    if (const QWidget* owner = parentWidget(); owner && !isVisible()) {
        QRect place = rect();
        place.moveCenter(owner->frameGeometry().center());
        if (const QScreen* screen = owner->screen()) {
            const QRect room = screen->availableGeometry();
            place.moveLeft(std::clamp(place.left(), room.left(), std::max(room.left(), room.right() - place.width())));
            place.moveTop(std::clamp(place.top(), room.top(), std::max(room.top(), room.bottom() - place.height())));
        }
        move(place.topLeft());
    }
    ShowInFront(this);
}

void TBatchPlan::Button1Click() {
    hide();
    const std::function<void()> execute = std::move(execute_);
    execute_ = {};
    if (execute) execute();
}

void TBatchPlan::Button2Click() {
    execute_ = {};
    hide();
}

}  // namespace tamarind
