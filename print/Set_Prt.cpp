#include "print/Set_Prt.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include "platform/BusyCursor.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Fonts.h"
#include "platform/Printer.h"
#include "platform/Requests.h"
#include "platform/TopLevel.h"
#include "print/Calibration.h"
#include "print/CalibrationWindow.h"
#include "print/PrintJob.h"
#include "shared/MainWindowLink.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

namespace tamarind {

TForm6* Form6 = nullptr;

namespace {

const QColor kSheetGrey(128, 128, 128);
const QColor kSheetRed(255, 0, 0);

void Paint(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLineEdit* ReadOnlyField(QWidget* parent, const QString& name, QRect geometry,
                         bool rightAligned = false) {
    QLineEdit* field = MakeBox(parent, name, geometry);
    field->setReadOnly(true);
    if (rightAligned) field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return field;
}

QScrollBar* MmBar(QWidget* parent, const QString& name, QRect geometry) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setSingleStep(1);
    bar->setPageStep(10);
    bar->setGeometry(geometry);
    return bar;
}

}  // namespace

// Drawn over the whole sheet, above the printable area: with no margins the
// sheet's own red never shows, so the cut part is marked here.
class OverflowMarks final : public QWidget {
public:
    explicit OverflowMarks(QWidget* sheet) : QWidget(sheet) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void SetMarks(const QList<QRect>& marks) {
        if (marks == marks_) return;
        marks_ = marks;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (const QRect& r : marks_) painter.fillRect(r, kSheetRed);
    }

private:
    QList<QRect> marks_;
};

TForm6::TForm6(MainWindowLink* main, QWidget* parent) : QWidget(parent, Qt::Window), main_(main) {
    Form6 = this;
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("プリンター情報"));
    setFont(UiFont(kGothic, 12));

    // Size: keep the aspect, fill, the aspect itself, W and H.
    GroupBox1 = MakeGroupBox(this, "GroupBox1", QStringLiteral("大きさ指定"), {8, 8, 224, 128});
    CheckBox1 = new QCheckBox(QStringLiteral("縦横比維持"), GroupBox1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(10, 22, 110, 22);
    CheckBox1->setChecked(true);
    Button3 = MakeButton(GroupBox1, "Button3", QStringLiteral("全体に配置"), {124, 20, 90, 26});
    Memo14 = ReadOnlyField(GroupBox1, QStringLiteral("Memo14"), QRect(10, 50, 80, 22));
    MakeLabel(GroupBox1, QString(), QStringLiteral("W:"), {10, 79});
    Memo10 = ReadOnlyField(GroupBox1, QStringLiteral("Memo10"), QRect(30, 76, 70, 22), true);
    ScrollBar3 = MmBar(GroupBox1, QStringLiteral("ScrollBar3"), QRect(106, 79, 108, 16));
    MakeLabel(GroupBox1, QString(), QStringLiteral("Y:"), {10, 103});
    Memo11 = ReadOnlyField(GroupBox1, QStringLiteral("Memo11"), QRect(30, 100, 70, 22), true);
    ScrollBar4 = MmBar(GroupBox1, QStringLiteral("ScrollBar4"), QRect(106, 103, 108, 16));
    Label17 = MakeLabel(GroupBox1, "Label17", QString(), {96, 51, 118, 20});
    Label17->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Position: centre, from the left, from the top.
    GroupBox2 = MakeGroupBox(this, "GroupBox2", QStringLiteral("位置指定"), {8, 142, 224, 104});
    CheckBox3 = new QCheckBox(QStringLiteral("中央に配置"), GroupBox2);
    CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
    CheckBox3->setGeometry(10, 22, 110, 22);
    MakeLabel(GroupBox2, QString(), QStringLiteral("右から"), {10, 53});
    Memo12 = ReadOnlyField(GroupBox2, QStringLiteral("Memo12"), QRect(50, 50, 60, 22), true);
    ScrollBar1 = MmBar(GroupBox2, QStringLiteral("ScrollBar1"), QRect(116, 53, 98, 16));
    MakeLabel(GroupBox2, QString(), QStringLiteral("上から"), {10, 77});
    Memo13 = ReadOnlyField(GroupBox2, QStringLiteral("Memo13"), QRect(50, 74, 60, 22), true);
    ScrollBar2 = MmBar(GroupBox2, QStringLiteral("ScrollBar2"), QRect(116, 77, 98, 16));

    Label16 = MakeLabel(this, QString(), QStringLiteral("単位：mm"), {12, 252});

    // The printer's measurements, dots with millimetres in brackets.
    GroupBox3 =
        MakeGroupBox(this, "GroupBox3", QStringLiteral("プリンター情報"), {8, 274, 224, 286});
    MakeLabel(GroupBox3, QString(), QStringLiteral("単位：Pixel (mm)"), {10, 22});
    struct Row {
        const char* label;
        QLineEdit** field;
        const char* name;
    };
    const Row rows[] = {
        {"用紙幅", &Memo1, "Memo1"},   {"用紙長", &Memo2, "Memo2"},   {"印字幅", &Memo3, "Memo3"},
        {"印字長", &Memo4, "Memo4"},   {"ｵﾌｾｯﾄ左", &Memo5, "Memo5"}, {"ｵﾌｾｯﾄ右", &Memo9, "Memo9"},
        {"ｵﾌｾｯﾄ上", &Memo6, "Memo6"}, {"ｵﾌｾｯﾄ下", &Memo15, "Memo15"}, {"DPI X", &Memo7, "Memo7"},
        {"DPI Y", &Memo8, "Memo8"},
    };
    int y = 44;
    for (const Row& row : rows) {
        MakeLabel(GroupBox3, QString(), QString::fromUtf8(row.label), {10, y + 3});
        *row.field =
            ReadOnlyField(GroupBox3, QString::fromLatin1(row.name), QRect(76, y, 138, 22), true);
        y += 24;
    }

    Button1 = MakeButton(this, "Button1", QStringLiteral("印刷実行"), {244, 10, 90, 28});
    Button2 = MakeButton(this, "Button2", QStringLiteral("中止"), {340, 10, 70, 28});
    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("Printer設定"), {416, 10, 100, 28});

    // Below the preview, where every sheet leaves room: sizes that measure
    // what the main window says, and the printer's calibration.
    Button4 = MakeButton(this, "Button4", QStringLiteral("表示サイズ(&C)"), {244, 408, 200, 26});
    Button5 =
        MakeButton(this, "Button5", QStringLiteral("ファイル解像度(&F)"), {244, 438, 200, 26});
    Button6 = MakeButton(this, "Button6", QStringLiteral("較正シート印刷"), {244, 476, 200, 26});
    Button7 = MakeButton(this, "Button7", QStringLiteral("較正値入力(&K)"), {244, 506, 200, 26});
    Label18 = MakeLabel(this, "Label18", QString(), {244, 538, 300, 40});
    Label18->setWordWrap(true);
    Calibration = new CalibrationWindow(this, [this] { ShowCalibration(); });

    // The preview: the sheet, the printable area in it, the picture in that.
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(244, 48, 247, 350);
    Paint(Panel1, kSheetGrey);
    Panel2 = new QWidget(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 0, 247, 350);
    Paint(Panel2, Qt::white);
    Image1 = new PictureBox(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 0, 0);
    Shape1 = new OverflowMarks(Panel1);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(Panel1->rect());

    Edit1 = MakeRequestField(this, QStringLiteral("Edit1"), [this] { Edit1Change(); });
    Edit2 = MakeRequestField(this, QStringLiteral("Edit2"), [this] { Edit2Change(); });

    Connect(ScrollBar3, &QScrollBar::valueChanged, this, [this] { ScrollBar3Change(); });
    Connect(ScrollBar4, &QScrollBar::valueChanged, this, [this] { ScrollBar4Change(); });
    Connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] { ScrollBar1Change(); });
    Connect(ScrollBar2, &QScrollBar::valueChanged, this, [this] { ScrollBar2Change(); });
    Connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    Connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
    Connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    Connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    Connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    CloseLikeBackButton(this, [this] { Button2Click(); });
    Connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    Connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    Connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    Connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    Connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
    ShowLayout();
    ShowCalibration();
}

// --- Showing the layout ----------------------------------------------------------------

QScrollBar* TForm6::Bar(PrintLayout::BarId id) const {
    switch (id) {
        case PrintLayout::BarX: return ScrollBar1;
        case PrintLayout::BarY: return ScrollBar2;
        case PrintLayout::BarW: return ScrollBar3;
        case PrintLayout::BarH: return ScrollBar4;
    }
    return nullptr;
}

void TForm6::ShowPrinter() {
    const PrinterMetrics& p = layout_.printer();
    Memo1->setText(FormatDotsRow(p.paperWidthDots, layout_.paperWidthMm()));
    Memo2->setText(FormatDotsRow(p.paperLengthDots, layout_.paperLengthMm()));
    Memo3->setText(FormatDotsRow(p.printableWidthDots, layout_.printableWidthMm()));
    Memo4->setText(FormatDotsRow(p.printableLengthDots, layout_.printableLengthMm()));
    Memo5->setText(FormatDotsRow(p.offsetX, layout_.offsetLeftMm()));
    Memo9->setText(FormatDotsRow(p.paperWidthDots - p.printableWidthDots - p.offsetX,
                                 layout_.offsetRightMm()));
    Memo6->setText(FormatDotsRow(p.offsetY, layout_.offsetTopMm()));
    Memo15->setText(FormatDotsRow(p.paperLengthDots - p.printableLengthDots - p.offsetY,
                                  layout_.offsetBottomMm()));
    Memo7->setText(QString::number(p.dpiX));
    Memo8->setText(QString::number(p.dpiY));
    Panel1->resize(layout_.sheetSize());
    Panel2->setGeometry(layout_.printableRect());
}

// Mirrors the layout into the controls without running their handlers again.
void TForm6::ShowLayout() {
    for (auto id : {PrintLayout::BarX, PrintLayout::BarY, PrintLayout::BarW, PrintLayout::BarH}) {
        QScrollBar* bar = Bar(id);
        const QSignalBlocker block(bar);
        bar->setMaximum(layout_.bar(id).maximum);
        bar->setValue(layout_.bar(id).position);
    }
    {
        const QSignalBlocker block1(CheckBox1);
        const QSignalBlocker block3(CheckBox3);
        CheckBox1->setChecked(layout_.keepAspect());
        CheckBox3->setChecked(layout_.centre());
    }
    if (layout_.aspect() > 0) {
        Memo14->setText(FormatAspect(layout_.aspect()));
        Memo10->setText(FormatMm(layout_.W()));
        Memo11->setText(FormatMm(layout_.H()));
        Label17->setText(FormatPpi(layout_.PpiX(), layout_.PpiY()));
        Paint(Label17, Qt::transparent);
        QPalette palette = Label17->palette();
        palette.setColor(QPalette::WindowText,
                         PpiTooLow(layout_.PpiX(), layout_.PpiY()) ? kSheetRed : QColor(Qt::black));
        Label17->setPalette(palette);
    }
    if (layout_.printer().IsUsable()) {
        Memo12->setText(FormatMm(double(layout_.offsetLeftMm()) + double(layout_.X())));
        Memo13->setText(FormatMm(double(layout_.Y()) + double(layout_.offsetTopMm())));
    }
    Image1->setGeometry(layout_.pictureRect());
    Paint(Panel1, layout_.overflow() ? kSheetRed : kSheetGrey);
    Shape1->setGeometry(QRect(QPoint(0, 0), Panel1->size()));
    Shape1->raise();
    Shape1->SetMarks(layout_.OverflowMarks());
}

void TForm6::FitWindow() {
    const int width = Panel1->x() + Panel1->width() + (layout_.upright() ? 70 : 30);
    const int height = std::max(Panel1->y() + Panel1->height() + 50,
                                GroupBox3->y() + GroupBox3->height() + 50);
    resize(width, height);
}

// --- Handlers ----------------------------------------------------------------------------

void TForm6::RefreshPrinterInfo() {
    const std::optional<PrinterMetrics> metrics = Printer().Measure();
    if (!metrics || !metrics->IsUsable()) {
        // The previous measurement stays.
        Dialogs().Message(QStringLiteral("使用できるプリンターがありません。"));
        return;
    }
    layout_.Measure(*metrics);
    Printing.Printer = *metrics;
    setWindowTitle(QStringLiteral("プリンター情報 - ") + metrics->deviceName);
    ShowPrinter();
    ShowLayout();
    ShowCalibration();
}

// The calibration commands are for real printers; the PDF printer's pages
// measure what they are drawn at.
void TForm6::ShowCalibration() {
    const PrinterMetrics& p = layout_.printer();
    const bool calibrates = p.IsUsable() && !p.writesPdf;
    Button6->setEnabled(calibrates);
    Button7->setEnabled(calibrates);
    const std::optional<PrinterCorrection> correction =
        calibrates ? LoadPrinterCorrection(p) : std::nullopt;
    Label18->setText(correction ? FormatCorrection(*correction) : QString());
}

void TForm6::LayOutPicture() {
    if (!layout_.printer().IsUsable()) return;
    layout_.HandOver(Printing.PicturePixelWidth, Printing.PicturePixelHeight);
    const std::optional<PictureDensity>& density = Printing.FileDensity;
    Button5->setEnabled(density.has_value());
    if (density) {
        const long x = std::lround(density->x), y = std::lround(density->y);
        Button5->setText(QStringLiteral("ファイル解像度 %1 dpi(&F)")
                             .arg(x == y ? QString::number(x) : QStringLiteral("%1×%2").arg(x).arg(y)));
    } else {
        Button5->setText(QStringLiteral("ファイル解像度(&F)"));
    }
    ShowLayout();
    FitWindow();
}

void TForm6::Edit1Change() {
    const BusyCursor busy;
    // The printer is measured at the first hand-over of the run, and again
    // as long as no measurement has succeeded.
    if (Edit1->text().toInt() < 2 || !layout_.printer().IsUsable()) RefreshPrinterInfo();
    LayOutPicture();
}

void TForm6::Edit2Change() { RefreshPrinterInfo(); }

void TForm6::BarMoved(PrintLayout::BarId id) {
    layout_.SetBar(id, Bar(id)->value());
    ShowLayout();
}

void TForm6::ScrollBar3Change() { BarMoved(PrintLayout::BarW); }
void TForm6::ScrollBar4Change() { BarMoved(PrintLayout::BarH); }
void TForm6::ScrollBar1Change() { BarMoved(PrintLayout::BarX); }
void TForm6::ScrollBar2Change() { BarMoved(PrintLayout::BarY); }

void TForm6::CheckBox1Click() { layout_.SetKeepAspect(CheckBox1->isChecked()); }

void TForm6::CheckBox3Click() {
    layout_.SetCentre(CheckBox3->isChecked());
    ShowLayout();
}

void TForm6::Button3Click() {
    layout_.Button3Click();
    ShowLayout();
}

void TForm6::Button1Click() {
    Printing.PlacementRect = layout_.Placement();
    ++Printing.PrintJobSerial;
    if (main_) main_->RequestPrintJob(QString::number(Printing.PrintJobSerial));
    hide();
}

void TForm6::Button2Click() { hide(); }

// W and H as given, exactly; what does not fit the printable area is
// brought down in proportion, and the user told so.
void TForm6::ApplySize(double w, double h) {
    if (!layout_.printer().IsUsable() || layout_.aspect() <= 0) return;
    const bool fits = layout_.SetSizeMm(w, h);
    ShowLayout();
    if (!fits)
        Dialogs().Message(QStringLiteral("%1 × %2 mm は印字範囲 (%3 × %4 mm) に収まらないため、縦横比を保って縮小しました。")
                              .arg(FormatMm(w), FormatMm(h), FormatMm(layout_.printableWidthMm()),
                                   FormatMm(layout_.printableLengthMm())));
}

void TForm6::Button4Click() {
    // The caption's size in any unit: pixels at the main window's resolution.
    const double dpi = Viewer.Dpi;
    ApplySize(PixelsToMm(Printing.PicturePixelWidth, dpi), PixelsToMm(Printing.PicturePixelHeight, dpi));
}

void TForm6::Button5Click() {
    if (!Printing.FileDensity) return;
    ApplySize(PixelsToMm(Printing.PicturePixelWidth, Printing.FileDensity->x),
              PixelsToMm(Printing.PicturePixelHeight, Printing.FileDensity->y));
}

// The calibration sheet for the printer in force; nothing (and the user
// told why) for the PDF printer or a sheet too small for it.
std::optional<CalibrationSheet> TForm6::SheetToCalibrate() const {
    const PrinterMetrics& printer = layout_.printer();
    if (!printer.IsUsable() || printer.writesPdf) return std::nullopt;
    const std::optional<CalibrationSheet> sheet = CalibrationSheetFor(printer);
    if (!sheet) Dialogs().Message(QStringLiteral("この用紙には較正シートが収まりません。"));
    return sheet;
}

void TForm6::Button6Click() {
    const PrinterMetrics printer = layout_.printer();
    const std::optional<CalibrationSheet> sheet = SheetToCalibrate();
    if (!sheet || !Printer().ConfirmPrint()) return;
    {
        // Printed as the printer prints, without its correction: that is
        // what is to be measured.
        const BusyCursor busy;
        Printer().PrintPage(QStringLiteral("較正シート"), [&](QPainter& painter) {
            DrawCalibrationSheet(painter, printer, *sheet);
        });
    }
    Calibration->Open(printer, *sheet);
}

void TForm6::Button7Click() {
    if (const std::optional<CalibrationSheet> sheet = SheetToCalibrate())
        Calibration->Open(layout_.printer(), *sheet);
}

void TForm6::BitBtn1Click() {
    Printer().Setup();
    RefreshPrinterInfo();
    LayOutPicture();
}

}  // namespace tamarind
