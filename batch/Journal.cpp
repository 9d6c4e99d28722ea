#include "batch/Journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <algorithm>
#include <cerrno>

#include "platform/ErrorText.h"
#include "platform/FileIo.h"
#include "platform/FileOps.h"
#include "platform/Folders.h"

namespace tamarind {
namespace {

const QByteArray kMagic = "tamarind-batch-journal 1";
const QString kOpen = QStringLiteral(".journal");
const QString kUndone = QStringLiteral(".undone");

// Paths as percent-encoded bytes: one word, whatever the name holds.
QByteArray PathWord(const QString& path) {
    return path.isEmpty() ? QByteArray("-") : EncodePath(path).toPercentEncoding("/");
}
QString PathFrom(const QByteArray& word) {
    return word == "-" ? QString() : DecodePath(QByteArray::fromPercentEncoding(word));
}

QByteArray StampWord(const FileStamp& s) {
    if (!s.valid) return "-";
    return QByteArray::number(qulonglong(s.dev)) + ':' + QByteArray::number(qulonglong(s.ino)) + ':' +
           QByteArray::number(s.size) + ':' + QByteArray::number(s.mtimeNs);
}
FileStamp StampFrom(const QByteArray& word) {
    FileStamp s;
    const QList<QByteArray> parts = word.split(':');
    if (parts.size() != 4) return s;
    s.dev = dev_t(parts[0].toULongLong());
    s.ino = ino_t(parts[1].toULongLong());
    s.size = parts[2].toLongLong();
    s.mtimeNs = parts[3].toLongLong();
    s.valid = true;
    return s;
}

// The stamp of the file a copy writes: through a link, the file it names.
FileStamp ContentStamp(const QString& path, QString* landingPath = nullptr) {
    QByteArray landing;
    bool exists = false;
    struct stat info {};
    FileOpResult refused;
    if (!FindContentTarget(EncodePath(path), landing, exists, info, refused) || !exists) return {};
    if (landingPath) *landingPath = DecodePath(landing);
    return FileStamp::Of(DecodePath(landing));
}

bool Copies(int mode) { return mode == 2 || mode == 5; }

// mkdir -p, private to the user for what it creates.
bool MakeFolder(const QString& folder) {
    const QByteArray path = EncodePath(folder);
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) return S_ISDIR(st.st_mode);
    const QString parent = FolderOf(folder);
    if (parent != folder && !MakeFolder(parent)) return false;
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

// The journals of the folder, oldest first (their names begin with the time).
QStringList JournalNames(const QStringList& suffixes) {
    QStringList names;
    for (const QString& name : QDir(JournalFolder()).entryList(QDir::Files, QDir::Name))
        for (const QString& suffix : suffixes)
            if (name.endsWith(suffix)) names << name;
    return names;
}

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

FileStamp FileStamp::Of(const QString& path) {
    FileStamp s;
    struct stat st {};
    if (path.isEmpty() || ::lstat(EncodePath(path).constData(), &st) != 0) return s;
    s.valid = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

bool FileStamp::Matches(const FileStamp& then) const {
    if (!valid || !then.valid || size != then.size || mtimeNs != then.mtimeNs) return false;
    return dev != then.dev || ino == then.ino;
}

QString JournalFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !state.startsWith(u'/'))
        state = qEnvironmentVariable("HOME") + QStringLiteral("/.local/state");
    return state + QStringLiteral("/tamarind");
}

bool JournalWriter::Begin(const BatchRun& run, QString* why) {
    const auto fail = [&](int error) {
        if (why) *why = SystemErrorText(error);
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
            ::unlink(EncodePath(path_).constData());
        }
        return false;
    };
    mode_ = run.mode;
    const QString folder = JournalFolder();
    if (!MakeFolder(folder)) return fail(errno ? errno : ENOTDIR);
    const QDateTime now = QDateTime::currentDateTime();
    for (int attempt = 0; fd_ < 0; ++attempt) {
        path_ = folder + u'/' + now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
                QStringLiteral("-%1-%2").arg(::getpid()).arg(attempt) + kOpen;
        fd_ = ::open(EncodePath(path_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd_ < 0 && (errno != EEXIST || attempt > 100)) return fail(errno);
    }
    // Held while the run goes on: an undo leaves a running run alone.
    ::flock(fd_, LOCK_EX);

    QByteArray text = kMagic + '\n';
    text += "run " + QByteArray::number(run.mode) + ' ' + QByteArray::number(now.toMSecsSinceEpoch()) +
            ' ' + PathWord(run.sourceFolder) + ' ' + PathWord(run.destinationFolder) + '\n';
    for (const BatchItem& item : run.items) {
        const QString from = SourceOf(run, item), to = TargetOf(run, item);
        const FileStamp replaced = Copies(run.mode) ? ContentStamp(to) : FileStamp::Of(to);
        text += "step " + PathWord(from) + ' ' + PathWord(to) + ' ' + StampWord(FileStamp::Of(from)) +
                ' ' + StampWord(replaced) + '\n';
    }
    text += "begin\n";
    if (!WriteAll(fd_, text) || ::fdatasync(fd_) != 0) return fail(errno);

    // The last ten runs are kept, this one included.
    const QStringList names = JournalNames({kOpen, kUndone});
    for (qsizetype k = 0; k + kJournalsKept < names.size(); ++k)
        ::unlink(EncodePath(folder + u'/' + names[k]).constData());
    return true;
}

void JournalWriter::Write(const QByteArray& line) {
    // Written at once, so that it survives a crash of the program; a record
    // that cannot be written leaves the undo to find the file by its stamp.
    if (fd_ >= 0) WriteAll(fd_, line + '\n');
}

void JournalWriter::Done(int item, const QString& path) {
    QString file = path;
    const FileStamp stamp = Copies(mode_) ? ContentStamp(path, &file) : FileStamp::Of(path);
    Write("done " + QByteArray::number(item) + ' ' + PathWord(file) + ' ' + StampWord(stamp));
}

void JournalWriter::Skipped(int item) { Write("skip " + QByteArray::number(item)); }

void JournalWriter::Kept(int item, const QString& trashed) {
    Write("kept " + QByteArray::number(item) + ' ' + PathWord(trashed));
}

void JournalWriter::Trashed(int item, const QString& trashed) {
    Write("trashed " + QByteArray::number(item) + ' ' + PathWord(trashed));
}

void JournalWriter::End() {
    if (fd_ < 0) return;
    Write("end");
    ::fdatasync(fd_);
    ::close(fd_);
    fd_ = -1;
}

QString LatestJournal() {
    const QStringList names = JournalNames({kOpen});
    return names.isEmpty() ? QString() : JournalFolder() + u'/' + names.back();
}

bool ReadJournal(const QString& path, Journal& journal) {
    QByteArray text;
    if (!TryReadFileBytes(path, -1, text)) return false;
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines[0] != kMagic) return false;
    journal = Journal{};
    journal.path = path;
    std::vector<JournalStep> planned;
    bool begun = false;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> w = line.split(' ');
        const auto step = [&]() -> JournalStep* {
            const qsizetype k = w.size() > 1 ? w[1].toLongLong() : -1;
            return begun && k >= 0 && k < qsizetype(planned.size()) ? &planned[std::size_t(k)] : nullptr;
        };
        if (w[0] == "run" && w.size() == 5) {
            journal.mode = w[1].toInt();
            journal.started = QDateTime::fromMSecsSinceEpoch(w[2].toLongLong());
            journal.sourceFolder = PathFrom(w[3]);
            journal.destinationFolder = PathFrom(w[4]);
        } else if (w[0] == "step" && w.size() == 5 && !begun) {
            JournalStep& s = planned.emplace_back();
            s.from = PathFrom(w[1]);
            s.to = PathFrom(w[2]);
            s.source = StampFrom(w[3]);
            s.replaced = StampFrom(w[4]);
        } else if (w[0] == "begin") {
            begun = true;
        } else if (JournalStep* s = step()) {
            if (w[0] == "done" && w.size() == 4) {
                s->done = true;
                s->result = PathFrom(w[2]);
                s->resultStamp = StampFrom(w[3]);
            } else if (w[0] == "skip") {
                s->skipped = true;
            } else if (w[0] == "kept" && w.size() == 3) {
                s->kept = PathFrom(w[2]);
            } else if (w[0] == "trashed" && w.size() == 3) {
                s->trashed = PathFrom(w[2]);
            }
        }
    }
    // Steps written only in part were never started: nothing to take back.
    if (begun) journal.steps = std::move(planned);
    return journal.mode >= 1 && journal.mode <= 6;
}

bool JournalInUse(const QString& path) {
    const int fd = ::open(EncodePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return busy;
}

void MarkUndone(const QString& path) {
    if (!path.endsWith(kOpen)) return;
    const QString undone = path.left(path.size() - kOpen.size()) + kUndone;
    ::rename(EncodePath(path).constData(), EncodePath(undone).constData());
}

}  // namespace tamarind
