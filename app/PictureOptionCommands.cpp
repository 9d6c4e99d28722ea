// The main window's two picture options: read at start-up from the settings
// file and the command line, turned over by their items in "表示(&D)", and
// put in force for the loads that follow. Slots already filled keep what
// they show; their full pictures are read with the options they were made
// with.
#include <QAction>
#include <QComboBox>

#include "app/Cviewer1.h"
#include "app/FileFilter.h"
#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/FolderControls.h"
#include "platform/Settings.h"

namespace tamarind {

void TForm1::ReadPictureOptionsAtStart() {
    PictureOptions options = ReadPictureOptions(*OpenSettings());
    // The switches turn an option on for this run only.
    options.upright = options.upright || startup_.upright;
    options.otherFormats = options.otherFormats || startup_.otherFormats;
    ApplyPictureOptions(options);
}

void TForm1::ApplyPictureOptions(const PictureOptions& given) {
    PictureOptions options = given;
    options.background = ButtonFaceColor().rgb();
    SetPictureOptions(options);
    Upright1->setChecked(options.upright);
    OtherFormats1->setChecked(options.otherFormats);
    const QList<FilterEntry> entries = FilterEntries(options.otherFormats);
    if (FilterComboBox1->count() == entries.size()) return;
    // The first nine entries keep their indexes; an entry of the other
    // formats that goes away leaves the first entry chosen.
    const int chosen = FilterComboBox1->currentIndex();
    {
        const QSignalBlocker quiet(FilterComboBox1);
        while (FilterComboBox1->count() > entries.size())
            FilterComboBox1->removeItem(FilterComboBox1->count() - 1);
        for (int i = 0; i < entries.size(); ++i) {
            if (i < FilterComboBox1->count()) FilterComboBox1->setItemData(i, entries[i].mask);
            else FilterComboBox1->addItem(entries[i].text, entries[i].mask);
        }
        if (chosen >= entries.size()) FilterComboBox1->setCurrentIndex(0);
    }
    FilterComboBox1Change();  // the list is read again with the mask in force
}

void TForm1::SavePictureOptionChange(bool upright, bool value) {
    // Only the option changed is written: a switch of this run stays out of
    // the file.
    const auto settings = OpenSettings();
    PictureOptions saved = ReadPictureOptions(*settings);
    (upright ? saved.upright : saved.otherFormats) = value;
    WritePictureOptions(*settings, saved);
    settings->sync();
    if (settings->status() != QSettings::NoError)
        Dialogs().Message(QStringLiteral("設定ファイル %1 に書き込めません。").arg(SettingsPath()));
}

void TForm1::Upright1Click() {
    PictureOptions options = CurrentPictureOptions();
    options.upright = !options.upright;
    ApplyPictureOptions(options);
    SavePictureOptionChange(true, options.upright);
}

void TForm1::OtherFormats1Click() {
    PictureOptions options = CurrentPictureOptions();
    options.otherFormats = !options.otherFormats;
    ApplyPictureOptions(options);
    SavePictureOptionChange(false, options.otherFormats);
}

}  // namespace tamarind
