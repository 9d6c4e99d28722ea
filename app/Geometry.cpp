#include "app/Geometry.h"

namespace tamarind {

int SelectorWidthFor(int panelWidth) { return panelWidth - 16; }
int Label17LeftFor(int panelWidth) { return (panelWidth - 117) / 2; }
int Memo1LeftFor(int panelWidth) { return (panelWidth - 65) / 2 + 10; }
int GridWidthFor(int windowWidth, int panelWidth) { return windowWidth - panelWidth - 12; }

int GridHeightFor(int clientHeight, int menuBarHeight, int statusBarHeight) {
    return clientHeight - menuBarHeight - statusBarHeight;
}

SizeModeGeometry ComputeSizeMode(int mode, QSize screen, int currentScreenHeight,
                                 QSize previousWindow) {
    SizeModeGeometry g;
    const int sw = screen.width();
    const int sh = screen.height();
    switch (mode) {
        case 0:
            g.windowWidth = sw;
            g.windowHeight = sh - currentScreenHeight * 34 / 1024;
            break;
        case 1:
            g.windowWidth = sw * 866 / 1000;
            g.windowHeight = sh * 866 / 1000;
            break;
        case 2:
            g.windowWidth = sw * 707 / 1000;
            g.windowHeight = sh * 707 / 1000;
            break;
        case 3:
            g.windowWidth = sw / 2;
            g.windowHeight = sh / 2;
            break;
        default:
            g.windowWidth = previousWindow.width();
            g.windowHeight = previousWindow.height();
            break;
    }
    g.panelWidth = 160 - 15 * mode;
    g.top = mode == 0 ? 0 : (sh - g.windowHeight) / 2;
    g.left = (sw - g.windowWidth) / 2;
    g.gridWidth = GridWidthFor(g.windowWidth, g.panelWidth);
    g.selectorWidth = SelectorWidthFor(g.panelWidth);
    g.label17Left = Label17LeftFor(g.panelWidth);
    g.memo1Left = Memo1LeftFor(g.panelWidth);
    return g;
}

LayoutShape ShapeOfLayout(int layout) {
    static constexpr LayoutShape kShapes[11] = {
        {0, 0, 0}, {1, 1, 1}, {2, 1, 2}, {1, 2, 2}, {2, 2, 4}, {3, 2, 6},
        {2, 3, 6}, {3, 3, 9}, {4, 3, 12}, {3, 4, 12}, {4, 4, 16},
    };
    return IsValidLayout(layout) ? kShapes[layout] : kShapes[0];
}

bool IsValidLayout(int layout) { return layout >= 1 && layout <= 10; }

QRect GridGeometry::FrameRect(int slot) const {
    if (shape.columns <= 0) return {};
    const int index = slot - 1;
    const int r = index / shape.columns;
    const int c = index % shape.columns;
    return QRect(8 + c * (frameWidth + 8), 8 + r * (frameHeight + 8), frameWidth, frameHeight);
}

GridGeometry ComputeGrid(int layout, int gridWidth, int gridHeight) {
    GridGeometry g;
    g.shape = ShapeOfLayout(layout);
    if (g.shape.columns == 0) return g;
    const int cw = gridWidth / g.shape.columns;
    const int ch = gridHeight / g.shape.rows;
    if (layout == 1) {
        g.frameWidth = gridWidth - 16;
        g.frameHeight = gridHeight - 16;
    } else {
        g.frameWidth = cw - 12;
        g.frameHeight = ch - 12;
    }
    g.imageWidth = g.frameWidth - 16;
    g.imageHeight = g.frameHeight - 48;
    return g;
}

}  // namespace tamarind
