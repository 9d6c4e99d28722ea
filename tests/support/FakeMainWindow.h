#pragma once
// A main window for tests of the detail, histogram, print layout and batch
// windows on their own: it keeps what they hand it and notes what they ask.

#include <QString>
#include <QStringList>
#include <map>

#include "shared/MainWindowLink.h"

namespace tamarind::test {

class FakeMainWindow final : public MainWindowLink {
public:
    Picture SlotFullPicture(int slot) override { return pictures[slot]; }
    void SetSlotFullPicture(int slot, const Picture& picture) override { pictures[slot] = picture; }
    void SetSlotTitle(int slot, const QString& title) override { titles[slot] = title; }
    void SetSlotSizeCaption(int slot, const QString& caption) override {
        sizeCaptions[slot] = caption;
    }
    void PrepareSlotDrawing(int) override {}
    QString ListedFolder() const override { return listedFolder; }
    QStringList ListedNames() const override { return listedNames; }
    void ShowFolder(const QString& folder) override { shownFolders << folder; }
    void RequestRefit(const QString& serial) override { refit = serial; }
    void RequestSlotFile(const QString& folder, const QString& name, const QString& serial) override {
        slotFolder = folder;
        slotName = name;
        slotFile = serial;
    }
    void RequestFrameReset(const QString& serial) override { frameReset = serial; }
    void RequestPrintJob(const QString& serial) override { printJob = serial; }
    void RequestBatchFolder(const QString& serial) override { batchFolder = serial; }

    std::map<int, Picture> pictures;
    std::map<int, QString> titles;
    std::map<int, QString> sizeCaptions;
    QString listedFolder;
    QStringList listedNames;
    QStringList shownFolders;  // in the order asked
    QString slotFolder, slotName;
    // The serial each request came with last (empty: never asked).
    QString refit, slotFile, frameReset, printJob, batchFolder;
};

}  // namespace tamarind::test
