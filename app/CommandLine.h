#pragma once
// The start-up choices of the command line: up to three numbers (layout,
// continuous-mode flag, display unit) or the path of one picture to open.

#include <QString>
#include <QStringList>

namespace tamarind {

struct StartupOptions {
    int layout = 4;           // 1..10
    bool continuous = false;  // fill a layout's worth of files per click
    int displayUnit = 0;      // 0 Pixel, 1 mm, 2 inch
    QString startFile;        // non-empty: open this picture in slot 1
    // "--upright" and "--other-formats": the picture options on for this run.
    bool upright = false;
    bool otherFormats = false;
};

// `args` are the arguments after the program name. A first argument of at
// most two characters is the layout (above 10 taken as 10); the second equal
// to "1" turns continuous mode on; a non-empty third is the unit (1 mm,
// 2 inch, any other number Pixel). A longer first argument is a picture path:
// layout 1, individual mode, Pixel. A layout that is not a whole number or is
// below 1, and a unit that is not a whole number, fall back to the defaults.
// The switches "--upright" and "--other-formats" are taken out wherever they
// stand before the rest is read; any other argument starting with "--" is a
// file name as before (a file named like a switch opens as "./--upright").
StartupOptions ParseCommandLine(const QStringList& args);

}  // namespace tamarind
