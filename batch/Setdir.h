#pragma once
// The destination folder chooser of the batch window's copy and move runs.
// It answers by writing into the batch window's run field: a new serial for
// "実行", "-" and a new serial for "ｷｬﾝｾﾙ".

#include <QWidget>

class QLabel;
class QPushButton;

namespace tamarind {

class DirectoryListBox;
class DriveComboBox;

class TForm8 : public QWidget {
public:
    explicit TForm8(QWidget* parent = nullptr);

    // The batch window's preparation: the drive and folder of `folder`, and
    // the caption.
    void Prepare(const QString& folder, const QString& caption);

    void DriveComboBox1Change();
    void DirectoryListBox1Change();
    void Button1Click();
    void Button2Click();
    void F8Create();
    void F8Resize();

    int ChooserSerial = 0;

    QLabel* Label1;
    DriveComboBox* DriveComboBox1;
    DirectoryListBox* DirectoryListBox1;
    QPushButton* Button1;
    QPushButton* Button2;
    QLabel* Image1;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool created_ = false;
};

extern TForm8* Form8;

}  // namespace tamarind
