#include "batch/RenamePass.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>

#include "platform/FileIo.h"
#include "platform/Folders.h"

namespace tamarind {
namespace {

QByteArray NameBytes(const QString& path) { return EncodePath(FileNameOf(path)); }

bool StatFolderOf(const QString& path, struct stat& st) {
    return ::stat(EncodePath(FolderOf(path)).constData(), &st) == 0;
}

}  // namespace

FileOpResult RemoveName(const QString& path) {
    if (FileCalls().unlink(AT_FDCWD, EncodePath(path).constData()) == 0) return {};
    return {FileOpStatus::Failed, errno, SystemErrorText(errno)};
}

RunFiles::RunFiles(const QStringList& sources) {
    entries_.resize(std::size_t(sources.size()));
    for (int k = 0; k < sources.size(); ++k) {
        Entry& e = entries_[std::size_t(k)];
        struct stat st {}, folder {};
        if (::lstat(EncodePath(sources[k]).constData(), &st) != 0 || !StatFolderOf(sources[k], folder))
            continue;
        e.exists = true;
        e.dev = st.st_dev;
        e.ino = st.st_ino;
        e.links = st.st_nlink;
        e.folderDev = folder.st_dev;
        e.folderIno = folder.st_ino;
        e.name = NameBytes(sources[k]);
        byInode_.emplace(std::make_pair(e.dev, e.ino), k);
    }
}

bool RunFiles::SameEntry(const Entry& e, const QByteArray& target, dev_t folderDev, ino_t folderIno) {
    if (folderDev != e.folderDev || folderIno != e.folderIno) return false;
    // Another spelling of a name with one link is the same entry on a file
    // system that folds letter case; with more links it may be a hard link.
    return target == e.name || e.links == 1;
}

TargetKind RunFiles::Classify(int index, const QString& target, int* holder) const {
    struct stat st {}, folder {};
    if (::lstat(EncodePath(target).constData(), &st) != 0) return TargetKind::Free;
    if (!StatFolderOf(target, folder)) return TargetKind::Outside;
    const QByteArray name = NameBytes(target);
    const auto found = byInode_.find({st.st_dev, st.st_ino});
    if (found == byInode_.end()) return TargetKind::Outside;
    const Entry& e = entries_[std::size_t(found->second)];
    if (found->second == index) {
        // A new name that differs from the old one only in letter case where
        // the file system does not tell them apart: a rename like any other.
        if (SameEntry(e, name, folder.st_dev, folder.st_ino) && name != e.name) return TargetKind::Free;
        return TargetKind::Itself;
    }
    if (!SameEntry(e, name, folder.st_dev, folder.st_ino)) return TargetKind::Outside;
    if (holder) *holder = found->second;
    return TargetKind::InRun;
}

std::vector<RenameFate> DecideRenames(const RunFiles& files, const QStringList& targets,
                                      const std::function<bool(int item)>& agreesToReplace,
                                      const std::function<void(int item)>& missing) {
    const auto n = std::size_t(files.Count());
    std::vector<TargetKind> kinds(n, TargetKind::Free);
    std::vector<int> holders(n, -1);
    for (std::size_t k = 0; k < n; ++k) {
        if (files.Exists(int(k))) kinds[k] = files.Classify(int(k), targets[qsizetype(k)], &holders[k]);
    }
    std::vector<char> decided(n, 0), onChain(n, 0);
    std::vector<RenameFate> fate(n, RenameFate::Stays);
    const auto decide = [&](std::size_t k, RenameFate f) {
        fate[k] = f;
        decided[k] = 1;
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (decided[i]) continue;
        if (!files.Exists(int(i))) {
            decide(i, RenameFate::Stays);
            if (missing) missing(int(i));
            continue;
        }
        std::vector<std::size_t> chain;
        for (std::size_t k = i;;) {
            chain.push_back(k);
            onChain[k] = 1;
            if (kinds[k] != TargetKind::InRun) break;
            const auto j = std::size_t(holders[k]);
            if (decided[j]) break;
            if (onChain[j]) {  // a cycle: every file on it moves
                for (auto it = std::find(chain.begin(), chain.end(), j); it != chain.end(); ++it)
                    decide(*it, RenameFate::Moves);
                break;
            }
            k = j;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const std::size_t m = *it;
            onChain[m] = 0;
            if (decided[m]) continue;
            switch (kinds[m]) {
                case TargetKind::Free: decide(m, RenameFate::Moves); break;
                case TargetKind::Itself: decide(m, RenameFate::Same); break;
                case TargetKind::InRun: {
                    const RenameFate held = fate[std::size_t(holders[m])];
                    if (held == RenameFate::Moves || held == RenameFate::Replaces) {
                        decide(m, RenameFate::Moves);
                        break;
                    }
                    [[fallthrough]];  // the file that has the name stays there
                }
                case TargetKind::Outside:
                    decide(m, agreesToReplace(int(m)) ? RenameFate::Replaces : RenameFate::Stays);
                    break;
            }
        }
    }
    return fate;
}

std::vector<RenameStep> RenameSteps(const RunFiles& files, const QStringList& sources,
                                    const QStringList& targets,
                                    const std::vector<RenameFate>& fates, std::vector<int>& items) {
    const int n = files.Count();
    // A file moves aside first when another file that moves wants its name.
    std::vector<char> vacate(std::size_t(n), 0);
    for (int k = 0; k < n; ++k) {
        int holder = -1;
        if (fates[std::size_t(k)] == RenameFate::Moves &&
            files.Classify(k, targets[k], &holder) == TargetKind::InRun)
            vacate[std::size_t(holder)] = 1;
    }
    std::vector<RenameStep> steps;
    items.clear();
    for (int k = 0; k < n; ++k) {
        const RenameFate f = fates[std::size_t(k)];
        if (f != RenameFate::Moves && f != RenameFate::Replaces) continue;
        steps.push_back({sources[k], targets[k], vacate[std::size_t(k)] != 0, f == RenameFate::Replaces});
        items.push_back(k);
    }
    return steps;
}

RenamePassResult RenameThroughTemporaryNames(const std::vector<RenameStep>& steps,
                                             const RenamePassHooks& hooks) {
    const auto rename = [&](const QString& from, const QString& to) {
        if (hooks.beforeRename) hooks.beforeRename(from, to);
        return hooks.rename ? hooks.rename(from, to) : RenameFile(from, to, Replace::No, Flush::Later);
    };
    RenamePassResult outcome;
    std::map<QString, QString> folders;  // a path in each folder touched, to flush it by
    // Every rename made, newest last: where the file is now, where it was.
    std::vector<std::pair<QString, QString>> done;
    const auto undo = [&] {
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            if (!rename(it->first, it->second).ok()) outcome.stranded.push_back(*it);
        }
    };
    const auto fail = [&](const FileOpResult& why, int step) {
        outcome.result = why;
        outcome.failedStep = step;
        undo();
        for (const auto& folder : folders) FlushFolderOf(folder.second);
        return outcome;
    };
    // Moves `path` to a new temporary name in its folder: the new path, or
    // empty with `why` set.
    const auto moveAside = [&](const QString& path, FileOpResult& why) -> QString {
        for (int attempt = 0; attempt < 20; ++attempt) {
            const QString temp = DecodePath(TemporaryNameIn(EncodePath(FolderOf(path))));
            why = rename(path, temp);
            if (why.ok()) {
                done.emplace_back(temp, path);
                return temp;
            }
            if (!why.targetExists()) break;
        }
        return {};
    };

    std::vector<QString> current(steps.size());
    std::vector<std::pair<QString, QString>> replaced;  // aside, original
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const RenameStep& step = steps[k];
        current[k] = step.from;
        folders[FolderOf(step.from)] = step.from;
        folders[FolderOf(step.to)] = step.to;
        FileOpResult why;
        if (step.vacate && (current[k] = moveAside(step.from, why)).isEmpty()) return fail(why, int(k));
        if (step.replaces) {
            const QString aside = moveAside(step.to, why);
            if (aside.isEmpty()) return fail(why, int(k));
            replaced.emplace_back(aside, step.to);
        }
    }
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const FileOpResult why = rename(current[k], steps[k].to);
        if (!why.ok()) return fail(why, int(k));
        done.emplace_back(steps[k].to, current[k]);
    }
    for (const auto& [aside, original] : replaced) {
        // The user agreed to its replacement: it goes as a replaced file
        // would, whatever its permissions.
        const FileOpResult why = hooks.dispose ? hooks.dispose(aside, original) : RemoveName(aside);
        if (!why.ok()) outcome.stranded.emplace_back(aside, original);
    }
    for (const auto& folder : folders) FlushFolderOf(folder.second);
    return outcome;
}

}  // namespace tamarind
