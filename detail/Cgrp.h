#pragma once
// The detail window of one picture file: file facts, the working picture and
// the operations on it. It is filled on request from the main window and
// reports changes of the slot's picture and file back to it.

#include <QWidget>

#include "picture/Bitmap.h"
#include "platform/Dialogs.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace tamarind {

class MainWindowLink;

class TForm3 : public QWidget {
public:
    // `main` is the main window the window reports to (none: it reports
    // nowhere).
    explicit TForm3(MainWindowLink* main = nullptr, QWidget* parent = nullptr);

    void F3_Create();
    // Fill request from the main window (folder in Edit2, name in Memo1).
    void Edit1Change();
    void ShowFileFacts(const QString& path);
    void ShowImageFacts(const QString& path);
    void BitBtn1Click();
    void F3_Close();
    // Tells the main window the slot's new folder and name (empty: no file).
    void ReportSlotChange();
    // Shows the folder of `path` in the main window's lists.
    void ShowFolderInMainWindow(const QString& path);

    // Turning and mirroring.
    void ApplyTransform(int mode);
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();

    // Resizing.
    void Button11Click();
    void Edit3Change();
    void Button12Click();

    // File operations on the shown file.
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();

    // Counts the shown file's colours and opens the histogram window.
    void BitBtn2Click();

    // Saving.
    void SaveDetailPicture();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void ScrollBar1Change();

    // File state of the shown file: the file the four file operations act on
    // and name in their questions and proposals. Set together, only through
    // SetShownFile, so that the three never disagree.
    QString DetailFolder;    // as received, ending in "/"
    QString DetailFileName;  // without folder
    QString DetailPath;      // DetailFolder + DetailFileName; empty once deleted
    int DetailWidth = 0;
    int DetailHeight = 0;
    Bitmap DetailBitmap;        // the working picture
    Bitmap DetailResultBitmap;  // target of resizing
    int TransformMode = 0;
    // The save dialog's settings, kept from one use to the next.
    SaveDialogRequest SavePictureDialog1;

    // Controls, by their form names.
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label8, *Label9, *Label10, *Label11;
    QLineEdit* Edit2;  // folder path
    QLineEdit* Memo1;  // file name
    QLineEdit *Memo9, *Memo3, *Memo8, *Memo4, *Memo5, *Memo2;
    QPushButton *BitBtn1, *BitBtn2;
    QLineEdit* Edit1;  // hidden request field
    QGroupBox* GroupBox1;
    QPushButton *Button1, *Button2, *Button3, *Button4;
    QPushButton *Button5, *Button6, *Button7, *Button8, *Button9;
    QPushButton *Button11, *SpeedButton1, *SpeedButton2;
    QScrollBar* ScrollBar1;
    QGroupBox* GroupBox2;
    QLabel *Label6, *Label7;
    QLineEdit *Edit3, *Edit4;
    QPushButton* Button12;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetShownFile(const QString& folder, const QString& name);
    // Rename, delete, copy, move and histogram: usable while a file is shown.
    void SetFileButtonsEnabled(bool on);
    // Window height from the processing group's height and a margin below it.
    void FitHeight(int margin);
    void SetProcessingEnabled(bool turnAndResize);
    QString NextMainSerial();
    // Prepares the save dialog for copying or moving the shown file.
    void PrepareFileDialog(const QString& title);

    MainWindowLink* main_;
};

extern TForm3* Form3;
// Incremented before every write into one of the main window's request fields.
extern int MainRequestSerial;

}  // namespace tamarind
