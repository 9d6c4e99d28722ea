#pragma once
// Window, panel and grid geometry of the main window as plain arithmetic on
// integers (divisions truncate toward zero), so it is tested without widgets.

#include <QRect>
#include <QSize>

namespace tamarind {

// --- Window size modes ------------------------------------------------------

struct SizeModeGeometry {
    int windowWidth = 0;
    int windowHeight = 0;
    int left = 0;
    int top = 0;
    int panelWidth = 0;     // left panel
    int gridWidth = 0;      // room for the thumbnail grid across
    int selectorWidth = 0;  // drive and filter selectors
    int label17Left = 0;    // the heading label
    int memo1Left = 0;      // the file count box
};

// Size and place the window for `mode` (0 full, 1 large, 2 medium, 3 small) on
// a screen of `screen` pixels taken at start-up. Mode 0 subtracts a part of
// the height the screen has now (`currentScreenHeight`). A mode outside 0..3
// keeps `previousWindow` as the window size.
SizeModeGeometry ComputeSizeMode(int mode, QSize screen, int currentScreenHeight,
                                 QSize previousWindow);

// The left-panel placements that follow the panel's width (also after a drag
// of the splitter): selector width, heading left and count box left.
int SelectorWidthFor(int panelWidth);
int Label17LeftFor(int panelWidth);
int Memo1LeftFor(int panelWidth);
int GridWidthFor(int windowWidth, int panelWidth);

// The grid's height: the client area below the menu bar, less the status bar.
int GridHeightFor(int clientHeight, int menuBarHeight, int statusBarHeight);

// --- Thumbnail grid layouts ---------------------------------------------------

struct LayoutShape {
    int columns = 0;
    int rows = 0;
    int slotCount = 0;
};

// Columns, rows and slot count of layouts 1..10; nullopt-like {0,0,0} outside.
LayoutShape ShapeOfLayout(int layout);
bool IsValidLayout(int layout);

struct GridGeometry {
    LayoutShape shape;
    int frameWidth = 0;
    int frameHeight = 0;
    int imageWidth = 0;  // the picture box of every slot
    int imageHeight = 0;
    // Frame rectangle of slot n (1..slotCount) inside the grid area.
    QRect FrameRect(int slot) const;
};

// Frames and picture boxes of `layout` (1..10) for a grid of gridWidth x
// gridHeight. Sizes may come out zero or negative for tiny grids.
GridGeometry ComputeGrid(int layout, int gridWidth, int gridHeight);

// The position of the size caption, picture box and marker inside a frame.
inline constexpr QPoint kSizeCaptionPos{29, 16};
inline constexpr QPoint kPictureBoxPos{6, 32};
inline constexpr QPoint kMarkerPos{6, 16};
inline constexpr int kMarkerSize = 12;

}  // namespace tamarind
