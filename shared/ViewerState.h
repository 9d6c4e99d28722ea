#pragma once
// The shared viewer state: the slot table, the slot roles, the layout, the
// size mode, the display unit and the request serials. It lives for the whole
// run and nothing of it is saved. Per-slot tables are indexed by the slot
// number 1 to 16 (index 0 unused).

#include <QString>
#include <array>

#include "detail/Histogram.h"

namespace tamarind {

inline constexpr int kSlotCount = 16;

template <typename T>
using PerSlot = std::array<T, kSlotCount + 1>;

struct ViewerState {
    PerSlot<QString> SlotFolder{};    // folder of the slot's file, ending in "/"
    PerSlot<QString> SlotFileName{};  // file name without folder; empty = slot empty
    PerSlot<int> SlotPixelWidth{};    // natural size recorded with the size caption
    PerSlot<int> SlotPixelHeight{};
    // The number of slots of layout k as text, indexed by the layout number.
    std::array<QString, 11> SlotCountText{};
    QString PickedFileName;  // the file name last taken from the list or the command line

    int NextSlot = 1;       // where the next loaded file goes (teal marker)
    int SelectedSlot = 0;   // filled most recently (red marker)
    int ProtectedSlot = 0;  // skipped by NextSlot; 0 = none
    int WorkSlot = 0;       // last handed to the detail, full-size or print window

    int LayoutIndex = 4;      // 1..10
    int LayoutSlotCount = 0;  // set by the first layout
    int SizeMode = 0;         // 0..3
    int ScreenWidth = 0;
    int ScreenHeight = 0;
    int WindowWidth = 0;
    int WindowHeight = 0;
    int GridWidth = 0;
    int GridHeight = 0;
    float CellImageWidth = 0;
    float CellImageHeight = 0;
    float CellAspect = 0;
    float PictureWidth = 0;
    float PictureHeight = 0;
    float PictureAspect = 0;

    bool ContinuousMode = false;
    int DisplayUnit = 0;  // 0 Pixel, 1 mm, 2 inch
    double Dpi = 72.0;
    int FilterIndex = 0;
    int JpegQuality = 70;

    // Counted by the detail window, drawn by the histogram window.
    HistogramTables Histogram;

    int DetailRequestSerial = 0;
    int PrintRequestSerial = 0;
    int PrinterSetupSerial = 0;
};

// The one state of the running program.
extern ViewerState Viewer;

}  // namespace tamarind
