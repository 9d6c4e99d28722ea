// The menu bar's "１／Ｎ(&N)" (fill mode), "スケール(&M)" (the unit of the
// size captions) and "DPI(&I)" (the resolution that turns pixels into mm
// and inches) commands of the main window.
#include <QAction>
#include <QLabel>
#include <QMenu>

#include "app/Cviewer1.h"
#include "app/Geometry.h"
#include "shared/ViewerState.h"

namespace tamarind {

// --- Unit and resolution of the size captions -----------------------------------------

void TForm1::PixelP1Click() {
    Viewer.DisplayUnit = 0;
    PixelP1->setChecked(true);
    mmM1->setChecked(false);
    inchI1->setChecked(false);
    DpiMenu->menuAction()->setEnabled(false);
    N4800dpi1->setEnabled(false);
}

void TForm1::mmM1Click() {
    Viewer.DisplayUnit = 1;
    PixelP1->setChecked(false);
    mmM1->setChecked(true);
    inchI1->setChecked(false);
    DpiMenu->menuAction()->setEnabled(true);
    N4800dpi1->setEnabled(true);
}

void TForm1::inchI1Click() {
    Viewer.DisplayUnit = 2;
    PixelP1->setChecked(false);
    mmM1->setChecked(false);
    inchI1->setChecked(true);
    DpiMenu->menuAction()->setEnabled(true);
    N4800dpi1->setEnabled(true);
}

void TForm1::UncheckDpiItems() {
    for (QAction* item : {N721, N1501, N1801, N3001, N3601, N6001, N7201, N12001, N14401, N24001,
                          N28801, N48001})
        item->setChecked(false);
}

void TForm1::SelectDpi(QAction* item, int dpi) {
    UncheckDpiItems();
    item->setChecked(true);
    Viewer.Dpi = dpi;
    N4800dpi1->setText(QStringLiteral("[%1 dpi]").arg(dpi));
}

void TForm1::N721Click() { SelectDpi(N721, 72); }
void TForm1::N1501Click() { SelectDpi(N1501, 150); }
void TForm1::N1801Click() { SelectDpi(N1801, 180); }
void TForm1::N3001Click() { SelectDpi(N3001, 300); }
void TForm1::N3601Click() { SelectDpi(N3601, 360); }
void TForm1::N6001Click() { SelectDpi(N6001, 600); }
void TForm1::N7201Click() { SelectDpi(N7201, 720); }
void TForm1::N12001Click() { SelectDpi(N12001, 1200); }
void TForm1::N14401Click() { SelectDpi(N14401, 1440); }
void TForm1::N24001Click() { SelectDpi(N24001, 2400); }
void TForm1::N28801Click() { SelectDpi(N28801, 2880); }
void TForm1::N48001Click() { SelectDpi(N48001, 4800); }

// --- Fill mode ----------------------------------------------------------------------

void TForm1::SetFillMode(bool continuous) {
    Viewer.ContinuousMode = !continuous;
    N2->setText(Viewer.ContinuousMode ? QStringLiteral("連続(&N)") : QStringLiteral("個別(&N)"));
    ShowSlotCount();
}

void TForm1::ShowSlotCount() {
    const int layout = Viewer.LayoutIndex;
    Label34->setText(Viewer.ContinuousMode && IsValidLayout(layout)
                         ? Viewer.SlotCountText[layout]
                         : QStringLiteral("1"));
    Label34->adjustSize();
}

void TForm1::N2Click() { SetFillMode(Viewer.ContinuousMode); }

}  // namespace tamarind
