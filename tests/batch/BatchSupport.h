#pragma once
// The batch window's widget tests: a folder of small files made by the test,
// the program's windows over it, and helpers that act as the user does.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <map>

#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "batch/BatchPlan.h"
#include "batch/Renname.h"
#include "batch/Setdir.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "shared/ViewerState.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tamarind::test {

class BatchFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        folder = dir.path();
        // Run journals and trashed files stay inside the test.
        oldState_ = qgetenv("XDG_STATE_HOME");
        oldData_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_STATE_HOME", EncodePath(home.path() + "/state"));
        qputenv("XDG_DATA_HOME", EncodePath(home.path() + "/data"));
    }
    void TearDown() override {
        qputenv("XDG_STATE_HOME", oldState_);
        qputenv("XDG_DATA_HOME", oldData_);
        DestroyForms();
        BatchTargetPath.clear();
        DestinationFolder.clear();
        QLocale::setDefault(QLocale::c());
    }
    QString Put(const QString& name, const QByteArray& bytes, const QString& in = {}) {
        const QString path = (in.isEmpty() ? folder : in) + u'/' + name;
        WriteFileBytes(path, bytes);
        return path;
    }
    // The program started on the test folder with filter entry `filter`.
    void Start(int filter = 0, const QString& on = {}) {
        Viewer = ViewerState{};
        CreateForms({});
        main = Form1;
        batch = Form7;
        chooser = Form8;
        RunGuarded([&] { main->ShowFolder(on.isEmpty() ? folder : on); });
        main->FilterComboBox1->setCurrentIndex(filter);
    }
    // "連番処理(&R)".
    void Open() { RunGuarded([&] { main->R1Click(); }); }
    void Click(QPushButton* button) { button->click(); }
    // Row texts of the page shown (without the leading space of the list).
    QStringList Page() const {
        QStringList names;
        for (int r = 0; r < batch->ListBox1->count(); ++r)
            names << batch->ListBox1->item(r)->text().mid(1);
        return names;
    }
    static QStringList Lines(const QListWidget* column) {
        QStringList lines;
        for (int r = 0; r < column->count(); ++r) lines << column->item(r)->text();
        return lines;
    }
    // A mouse release over the name list, as the end of a click.
    void ReleaseMouseOverList() {
        QWidget* viewport = batch->ListBox1->viewport();
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &release);
    }
    void SelectRows(std::initializer_list<int> rows) {
        for (int r : rows) batch->ListBox1->item(r)->setSelected(true);
    }
    // The files of a folder, name -> bytes.
    static std::map<QString, QByteArray> Contents(const QString& in) {
        std::map<QString, QByteArray> files;
        for (const QString& name : QDir(in).entryList(QDir::Files | QDir::Hidden))
            files[name] = ReadFileBytes(in + u'/' + name);
        return files;
    }

    QTemporaryDir home;
    QTemporaryDir dir;
    QString folder;
    TForm1* main = nullptr;
    TForm7* batch = nullptr;
    TForm8* chooser = nullptr;
    ScriptedDialogs dialogs;

private:
    QByteArray oldState_, oldData_;
};

}  // namespace tamarind::test
