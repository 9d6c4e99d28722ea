#pragma once
// The main browser window: the left panel that chooses drive, folder, filter
// and files, the thumbnail grid of sixteen slots, the menu bar and the status
// bar. It owns the shared viewer state (app/ViewerState.h).

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>

#include "app/CommandLine.h"
#include "app/SlotLoader.h"
#include "picture/Bitmap.h"
#include "picture/Picture.h"
#include "picture/PictureOptions.h"
#include "shared/MainWindowLink.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QStatusBar;

namespace tamarind {

class ClickLabel;
class DirectoryListBox;
class DockPanel;
class DriveComboBox;
class FileListBox;
class FolderBrowser;
class HintRouter;
class PictureBox;
class SlotDragDrop;
class SlotKeyboard;
class SplitterBar;

// Marker states of a slot's marker square.
enum MarkerState { kMarkerPlain = 0, kMarkerNext = 1, kMarkerSelected = 2 };

class TForm1 : public QMainWindow, public MainWindowLink {
public:
    // Builds the window and runs its creation handler with the command-line
    // arguments (without the program name).
    explicit TForm1(const QStringList& args, QWidget* parent = nullptr);
    ~TForm1() override;

    // --- Start-up -----------------------------------------------------------
    void Form1_Create();

    // --- Window size modes and splitters ----------------------------------------
    void ApplySizeMode(int mode);
    void A1Click();
    void M1Click();
    void M2Click();
    void S1Click();
    void Splitter1_Move();
    void Splitter2_Move();

    // --- Grid layouts ---------------------------------------------------------
    void ApplyLayout(int layout);
    void ClearSlots();
    void PaintSlotMarker(int slot, int state);
    void A2Click();
    void B1Click();
    void C1Click();
    void D2Click();
    void E1Click();
    void F1Click();
    void G1Click();
    void H1Click();
    void I1Click();
    void J1Click();

    // --- Size caption unit and resolution (app/FillAndScaleCommands.cpp) ----------
    void PixelP1Click();
    void mmM1Click();
    void inchI1Click();
    void UncheckDpiItems();
    void N721Click();
    void N1501Click();
    void N1801Click();
    void N3001Click();
    void N3601Click();
    void N6001Click();
    void N7201Click();
    void N12001Click();
    void N14401Click();
    void N24001Click();
    void N28801Click();
    void N48001Click();

    // --- Picture options (app/PictureOptionCommands.cpp) -------------------------
    // "Exifの向きで表示(&U)" and "その他の形式も表示(&O)": turn the option over
    // for pictures loaded from now on and keep it in the settings file.
    void Upright1Click();
    void OtherFormats1Click();
    // Puts options in force: the menu's check marks, the filter's entries
    // and the file list's mask.
    void ApplyPictureOptions(const PictureOptions& options);

    // --- Fill mode (app/FillAndScaleCommands.cpp) ----------------------------------
    void SetFillMode(bool continuous);
    void N2Click();

    // --- Folder and file selection ---------------------------------------------------
    void DriveComboBox1Change();
    void DirectoryListBox1Change();
    void FilterComboBox1Change();
    void FileListBox1Change();
    void FLB1_Click();
    void FillSlotFromList(const QString& folder, const QString& name);
    void NavigateToBatchFolder();
    void RefreshFileLists();
    // Shows `folder` in the drive selector, folder tree and file list, the
    // file list read afresh even when the folder is the one shown.
    void ShowFolder(const QString& folder) override;

    // --- Loading pictures into slots ------------------------------------------------
    // `text` is shown as the frame caption and names the file: a full path,
    // or a name in the file list's folder; `path` overrides where it is read.
    void LoadIntoNextSlot(const QString& text, const QString& path = QString());
    // Opens the picture named on the command line in slot 1.
    void OpenStartFile(const QString& text);
    void FitSlotImage(int slot);
    QString FormatSizeCaption(int slot, int width, int height);

    // --- Full pictures of the slots ------------------------------------------------
    // A slot keeps only its thumbnail, unless its picture was changed (turned,
    // mirrored) by the detail window. The slot's full picture: the changed
    // picture when it has one, otherwise its file decoded now (raising the
    // decoder's error); empty for an empty slot. For the clipboard, the
    // detail window, printing and the full-size view.
    Picture SlotFullPicture(int slot) override;
    // Puts a changed full picture into the slot, which keeps it (it exists
    // nowhere else), and into the measuring control Image17. The caller then
    // writes a new serial into Edit1 to have the slot re-fitted.
    void SetSlotFullPicture(int slot, const Picture& picture) override;

    // --- What the other windows ask of it (app/MainWindowLink.cpp) ------------------
    void SetSlotTitle(int slot, const QString& title) override;
    void SetSlotSizeCaption(int slot, const QString& caption) override;
    void PrepareSlotDrawing(int slot) override;
    QString ListedFolder() const override;
    QStringList ListedNames() const override;
    void RequestRefit(const QString& serial) override;
    void RequestSlotFile(const QString& folder, const QString& name, const QString& serial) override;
    void RequestFrameReset(const QString& serial) override;
    void RequestPrintJob(const QString& serial) override;
    void RequestBatchFolder(const QString& serial) override;

    // --- Slot cursor, protection and gestures --------------------------------------------
    void SetNextSlot(int slot);
    void Label18Click();
    void Label19Click();
    void Label20Click();
    void Label21Click();
    void ToggleProtectedSlot(int slot);
    void GroupBoxClick(int slot);
    void ImageMouseDown(int slot, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void ImageDoubleClick(int slot);
    void OpenDetailWindow(int slot);
    void ResetSlotFrames();
    // Empties one slot (the Delete key; app/SlotClearing.cpp).
    void ClearSlot(int slot);
    // Loads dropped files: into `slot` and on, or with `slot` 0 into the
    // empty slots first (app/SlotDragDrop.cpp).
    void DropFiles(int slot, const QStringList& paths);
    // The grid's keyboard and its drag and drop.
    SlotKeyboard* Keyboard() const { return keys_; }
    SlotDragDrop* DragDrop() const { return drops_; }
    // Operations of the windows that come later.
    void ShowFullSize(int slot);
    void CopySlotToClipboard(int slot);
    // Printing (app/PrintCommands.cpp).
    void PreparePrintPicture(int slot);
    void RunPrintJob();

    // --- Commands whose windows come later ---------------------------------------
    void S2Click();
    void B2Click();
    void B3Click();
    void Exit2Click();
    void R1Click();
    void Contents1Click();
    void About1Click();

    // --- Request fields -----------------------------------------------------------
    void Edit1_Change();
    void Edit2Change();
    void Edit5Change();
    void Edit6Change();
    void Edit7Change();

    // --- Slot controls by slot number 1..16 -------------------------------------
    QGroupBox* Frame(int slot) const { return frames_[slot]; }
    QLabel* SizeCaption(int slot) const { return sizeCaptions_[slot]; }
    PictureBox* SlotImage(int slot) const { return images_[slot]; }
    ClickLabel* Marker(int slot) const { return markers_[slot]; }

    // The text the status bar shows now.
    QString StatusText() const;
    // Shows the hint of `widget` (or of its nearest parent with one).
    void ShowHintFor(const QWidget* widget);

    // The start-up options read from the command line.
    const StartupOptions& Startup() const { return startup_; }
    // The help file beside the program.
    const QString& HelpFile() const { return helpFile_; }

    // Controls, by their form names.
    QMenu* PrintMenu;
    QAction *S2, *B2, *B3, *Exit2;
    QMenu* ScreenMenu;
    QAction *A1, *M1, *M2, *S1;
    QAction* R1;
    QMenu* DisplayMenu;
    QAction *A2, *B1, *C1, *D2, *E1, *F1, *G1, *H1, *I1, *J1;
    QAction *Upright1, *OtherFormats1;
    QAction* N2;
    QMenu* ScaleMenu;
    QAction *PixelP1, *mmM1, *inchI1;
    QMenu* DpiMenu;
    QAction *N721, *N1501, *N1801, *N3001, *N3601, *N6001, *N7201, *N12001, *N14401, *N24001,
        *N28801, *N48001;
    QAction* N4800dpi1;
    QMenu* HelpMenu;
    QAction *Contents1, *About1;

    DockPanel* ClientArea;
    DockPanel* Panel1;
    QWidget* Panel3;
    QLabel* Label17;
    DriveComboBox* DriveComboBox1;
    QComboBox* FilterComboBox1;
    QLabel* Label34;
    QLineEdit* Memo1;
    DirectoryListBox* DirectoryListBox1;
    SplitterBar* Splitter2;
    FileListBox* FileListBox1;
    SplitterBar* Splitter1;
    QWidget* Panel2;
    QGroupBox *GroupBox1, *GroupBox2, *GroupBox3, *GroupBox4, *GroupBox5, *GroupBox6, *GroupBox7,
        *GroupBox8, *GroupBox9, *GroupBox10, *GroupBox11, *GroupBox12, *GroupBox13, *GroupBox14,
        *GroupBox15, *GroupBox16;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9,
        *Label10, *Label11, *Label12, *Label13, *Label14, *Label15, *Label16;
    PictureBox *Image1, *Image2, *Image3, *Image4, *Image5, *Image6, *Image7, *Image8, *Image9,
        *Image10, *Image11, *Image12, *Image13, *Image14, *Image15, *Image16;
    ClickLabel *Label18, *Label19, *Label20, *Label21, *Label22, *Label23, *Label24, *Label25,
        *Label26, *Label27, *Label28, *Label29, *Label30, *Label31, *Label32, *Label33;
    PictureBox* Image17;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7;
    QStatusBar* StatusBar1;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void BuildLeftPanel();
    void BuildGrid();
    void BuildRequestFields();
    void SelectDpi(QAction* item, int dpi);
    QAction* LayoutItem(int layout) const;
    void PlaceLeftPanelControls(int panelWidth);
    // Tells the batch window which folder the file list shows.
    void TellBatchWindowFolder();
    QString FilterMask(int index) const;
    // The picture box of the current cell for a picture of the natural size,
    // in device pixels (what thumbnails are made at).
    BoxForSize SlotBoxFor() const;
    // The file `text` names (see LoadIntoNextSlot).
    QString SlotPath(const QString& text, const QString& givenPath) const;
    // Draws `image` in the slot's box, fitted for a picture of `natural`
    // pixels, until the slot is filled; false when nothing was drawn.
    bool ShowStandIn(int slot, const QImage& image, QSize natural);
    // The preview's stand-in in the next slot while the file decodes.
    SlotLoad LoadShowingPreview(const QString& path);
    // Steps 1 to 6 of a load, with the file already decoded.
    void CommitToNextSlot(const QString& text, const QString& path, const SlotLoad& load);
    // A fill from the file list whose decoding `load` does.
    void FillSlotWith(const QString& folder, const QString& name,
                      const std::function<SlotLoad()>& load);
    // The continuous run from file list row `first`: decoded in parallel,
    // committed in list order.
    void FillRunFromList(const QString& folder, int first);
    // Label34: the slot count of the layout in continuous mode, else 1.
    void ShowSlotCount();
    // Loads into the next slot; only a load that succeeded makes the slot
    // name `folder` and `name` (a failed one leaves the slot as it was).
    void LoadNamedIntoNextSlot(const QString& text, const QString& path, const QString& folder,
                               const QString& name);

    QStringList args_;
    StartupOptions startup_;
    QString helpFile_;
    std::array<QGroupBox*, 17> frames_{};
    std::array<QLabel*, 17> sizeCaptions_{};
    std::array<PictureBox*, 17> images_{};
    std::array<ClickLabel*, 17> markers_{};
    std::unique_ptr<FolderBrowser> folders_;
    HintRouter* hints_ = nullptr;
    SlotKeyboard* keys_ = nullptr;
    SlotDragDrop* drops_ = nullptr;
    // The window as the size mode placed it: outside and inside.
    QRect placedOuter_;
    QRect placed_;
    // The frame the placement counted with, and whether the first show
    // has looked at the real one.
    QMargins placedFrame_;
    bool frameChecked_ = false;
    void ReplaceWithFrame();
    // The options read from the settings file and the command line at
    // start-up, and written back when a menu item changes one of them.
    void ReadPictureOptionsAtStart();
    void SavePictureOptionChange(bool upright, bool value);
};

// The main window of the running program (null before it is created).
extern TForm1* Form1;

}  // namespace tamarind
