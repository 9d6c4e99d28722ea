#pragma once
// Program start: the application object and the eight windows, created in a
// fixed order, the main window first.

#include <QStringList>

namespace tamarind {

// The help file name the program starts with; the main window replaces it with
// the full path beside the program when it is created.
extern QString ApplicationHelpFile;

// Creates the eight windows in order (TForm1 main window, TForm2 About,
// TForm3 detail, TForm4 histogram, TForm5 full-size view, TForm6 print
// layout, TForm7 batch, TForm8 folder chooser); all but the main window stay
// hidden. `args` are the command-line arguments after the program name.
void CreateForms(const QStringList& args);
// Destroys them again (the last one first).
void DestroyForms();

// The program entry: runs the windows until the main window closes.
int RunTamarind(int argc, char** argv);

}  // namespace tamarind
