#pragma once
// The journal of a batch run: what the run is about to do, written and
// flushed before it touches any file, then what became of each file, so that
// the run can be taken back afterwards, also after a crash in the middle.
// One file per run in $XDG_STATE_HOME/tamarind/ (by default
// ~/.local/state/tamarind/); the last ten are kept.

#include <QDateTime>
#include <QString>
#include <sys/types.h>
#include <vector>

#include "batch/BatchRun.h"

namespace tamarind {

inline constexpr int kJournalsKept = 10;

// What tells a file apart for taking a run back: the same entry (device and
// inode) with the size and modification time it had.
struct FileStamp {
    bool valid = false;
    dev_t dev = 0;
    ino_t ino = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;

    // The stamp of the entry at `path` (a link itself, not what it names).
    static FileStamp Of(const QString& path);
    // Whether this is `then`, unchanged: the same entry with the same size and
    // time, or on another device (a move between disks, which keeps the
    // time) the same size and time.
    bool Matches(const FileStamp& then) const;
};

struct JournalStep {
    QString from;        // the file's path when the run started
    QString to;          // where the run takes it (empty for a delete)
    FileStamp source;    // the file at `from` when the run started
    FileStamp replaced;  // the file at `to` when the run started, if any
    bool done = false;
    bool skipped = false;   // the user kept the file at `to`
    QString result;         // where a done step's file is (a copy: the new file)
    FileStamp resultStamp;  // and its stamp then
    QString kept;     // where the file replaced at `to` is in the trash
    QString trashed;  // where a deleted file is in the trash
};

struct Journal {
    QString path;
    int mode = 0;
    QDateTime started;
    QString sourceFolder;
    QString destinationFolder;
    std::vector<JournalStep> steps;
};

// Writes the journal of one run.
class JournalWriter final : public RunRecorder {
public:
    JournalWriter() = default;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;
    ~JournalWriter() override { End(); }

    // Creates the run's journal and writes every step of `run`, flushed to
    // disk. False, with the reason in `why`, when it cannot be written.
    bool Begin(const BatchRun& run, QString* why = nullptr);
    bool IsOpen() const { return fd_ >= 0; }
    const QString& Path() const { return path_; }

    void Done(int item, const QString& path) override;
    void Skipped(int item) override;
    void Kept(int item, const QString& trashed) override;
    void Trashed(int item, const QString& trashed) override;

    // The run is over: the journal is flushed and closed.
    void End();

private:
    void Write(const QByteArray& line);
    int fd_ = -1;
    int mode_ = 0;
    QString path_;
};

// The folder of the journals.
QString JournalFolder();
// The newest journal whose run was not taken back yet; empty when none.
QString LatestJournal();
// Reads a journal; false when it is no journal or cannot be read.
bool ReadJournal(const QString& path, Journal& journal);
// Whether a running batch run (of this or another Tamarind) writes it now.
bool JournalInUse(const QString& path);
// Marks the journal's run as taken back.
void MarkUndone(const QString& path);

}  // namespace tamarind
