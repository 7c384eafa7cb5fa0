#include "engine/commit.h"

#include <algorithm>
#include <cstdlib>

#include "engine/piece_series.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

constexpr char kJournalFirstLine[] = "tessarel journal 1";
constexpr int64_t kMaxJournalBytes = 1 << 20;

// Named from the key's first hundred bytes, so the name fits wherever the key's does.
std::string HiddenBeside(const std::string& key, const char* what) {
    return JoinPath(FolderOf(key), "." + NameStartOf(NameOf(key)) + what);
}

// A name in a journal line: its length, a colon, its bytes; so any byte may be in a name.
void PutName(std::string& line, const std::string& name) {
    line += " " + std::to_string(name.size()) + ":" + name;
}

// Reads what PutName wrote at text[at]; false when it is not that.
bool TakeName(const std::string& text, size_t& at, std::string& name) {
    if (at >= text.size() || text[at] != ' ') {
        return false;
    }
    const size_t colon = text.find(':', ++at);
    if (colon == std::string::npos || colon == at || colon - at > 5) {
        return false;
    }
    size_t length = 0;
    for (size_t i = at; i < colon; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        length = length * 10 + static_cast<size_t>(text[i] - '0');
    }
    if (colon + 1 + length > text.size()) {
        return false;
    }
    name = text.substr(colon + 1, length);
    at = colon + 1 + length;
    // Only plain names in the journal's own folder: nothing it says can reach elsewhere.
    return !name.empty() && name != "." && name != ".." &&
           std::none_of(name.begin(), name.end(), [](char c) { return IsSeparator(c) || c == 0; });
}

std::string JournalText(const Commit::Journal& journal) {
    std::string text = std::string(kJournalFirstLine) + "\n";
    for (const Commit::Aside& aside : journal.asides) {
        std::string line = "aside";
        PutName(line, aside.final_name);
        PutName(line, aside.aside);
        text += line + "\n";
    }
    for (const Commit::Entry& entry : journal.results) {
        std::string line = "new";
        PutName(line, entry.temporary);
        PutName(line, entry.final_name);
        text += line + "\n";
    }
    return text + "end\n";
}

// The journal a run wrote, or nothing when the text is not a whole one.
std::optional<Commit::Journal> ParseJournal(const std::string& text) {
    Commit::Journal journal;
    size_t at = 0;
    auto line_end = [&] {
        if (at < text.size() && text[at] == '\n') {
            ++at;
            return true;
        }
        return false;
    };
    const std::string first = std::string(kJournalFirstLine) + "\n";
    if (text.compare(0, first.size(), first) != 0) {
        return std::nullopt;
    }
    at = first.size();
    for (;;) {
        if (text.compare(at, 4, "end\n") == 0 && at + 4 == text.size()) {
            break;
        }
        if (text.compare(at, 5, "aside") == 0) {
            at += 5;
            Commit::Aside aside;
            if (!TakeName(text, at, aside.final_name) || !TakeName(text, at, aside.aside) ||
                !line_end() || !IsAsideName(aside.aside)) {
                return std::nullopt;
            }
            journal.asides.push_back(aside);
        } else if (text.compare(at, 3, "new") == 0) {
            at += 3;
            Commit::Entry entry;
            if (!TakeName(text, at, entry.temporary) || !TakeName(text, at, entry.final_name) ||
                !line_end() || !IsTemporaryName(entry.temporary)) {
                return std::nullopt;
            }
            journal.results.push_back(entry);
        } else {
            return std::nullopt;
        }
    }
    if (journal.results.empty()) {
        return std::nullopt;
    }
    return journal;
}

bool Exists(const std::string& path) {
    try {
        return InfoOf(path, false).exists();
    } catch (const RuntimeError&) {
        return true;  // there, as far as we can tell: never replaced blindly
    }
}

// Runs a step that clearing up needs; false when it failed (it is left for a later run).
template <typename F>
bool Quietly(F&& step) {
    try {
        step();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

// The journal goes once what it describes is settled, for good.
void RemoveJournal(const std::string& journal) {
    if (Quietly([&] { DeleteFile(journal); })) {
        Quietly([&] { SyncFolderOf(journal); });
    }
}

// Puts the folder back as it was before the commit began, in an order that a run killed at any
// step of it can take up again from the journal: the new files that took a name go back to
// their temporary names first (so a temporary file that is missing always means a new file in
// place), the moved-aside files take their names again, and the journal goes; the temporary
// files go last, as files of a run that has ended. True when the journal could go.
bool RollBack(const std::string& folder, const std::string& journal_path,
              const Commit::Journal& journal) {
    bool all = true;
    for (auto it = journal.results.rbegin(); it != journal.results.rend(); ++it) {
        const std::string temporary = JoinPath(folder, it->temporary);
        const std::string final_name = JoinPath(folder, it->final_name);
        if (!Exists(temporary) && Exists(final_name)) {
            all = Quietly([&] { RenameOver(final_name, temporary); }) && all;
        }
    }
    for (auto it = journal.asides.rbegin(); it != journal.asides.rend(); ++it) {
        const std::string aside = JoinPath(folder, it->aside);
        const std::string final_name = JoinPath(folder, it->final_name);
        if (Exists(aside)) {
            // Something that took the name meanwhile is not ours to replace: ours stays aside.
            all = !Exists(final_name) && Quietly([&] { RenameOver(aside, final_name); }) && all;
        }
    }
    all = all && Quietly([&] { SyncFolderOf(journal_path); });
    if (!all) {
        return false;  // the journal stays, for the next run to finish this
    }
    RemoveJournal(journal_path);
    for (const Commit::Entry& entry : journal.results) {
        RemoveQuietly(JoinPath(folder, entry.temporary));
    }
    return true;
}

// What is left once the new files have their names: the moved-aside files go.
bool Complete(const std::string& folder, const Commit::Journal& journal) {
    bool all = true;
    for (const Commit::Aside& aside : journal.asides) {
        const std::string path = JoinPath(folder, aside.aside);
        all = (!Exists(path) || Quietly([&] { DeleteFile(path); })) && all;
    }
    return all;
}

}  // namespace

std::string LockNameFor(const std::string& key) {
    return HiddenBeside(key, ".tessarel-lock");
}

std::string JournalNameFor(const std::string& key) {
    return HiddenBeside(key, ".tessarel-journal");
}

ResultNames ResultNames::Series(const std::string& first_piece) {
    return {first_piece, SeriesNames(first_piece)};
}

bool ResultNames::Covers(const std::string& start) const {
    if (start == NameStartOf(NameOf(key))) {
        return true;
    }
    if (!series) {
        return false;
    }
    const std::string base = NameOf(series->base);
    // Pieces (.m01 ...), recovery pieces (.r00 ...) and the list, in either letter case.
    for (const std::string& extension :
         {std::string(".sha256"), std::string(kFirstPieceExtension), std::string(".M00"),
          std::string(".r00"), std::string(".R00")}) {
        if (start == NameStartOf(base + extension)) {
            return true;
        }
    }
    if (start.size() < base.size() + 4 || start.compare(0, base.size(), base) != 0 ||
        start[base.size()] != '.') {
        return false;
    }
    const char letter = start[base.size() + 1];
    if (letter != 'm' && letter != 'M' && letter != 'r' && letter != 'R') {
        return false;
    }
    const std::string number = start.substr(base.size() + 2);
    return number.size() >= 2 &&
           std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

FileLock TakeWriteLock(const std::string& key) {
    return FileLock::Take(LockNameFor(key), true);
}

FileLock TakeReadLock(const std::string& key) {
    return FileLock::Take(LockNameFor(key), false);
}

Aftermath SettleInterrupted(const ResultNames& names) {
    Aftermath aftermath;
    const std::string folder = FolderOf(names.key);
    const std::string journal_path = JournalNameFor(names.key);
    if (Exists(journal_path)) {
        std::string text;
        const bool read = Quietly([&] {
            const PathInfo info = InfoOf(journal_path, false);
            if (!info.regular() || info.size > kMaxJournalBytes) {
                throw RuntimeError(kErrInvalidArgument);
            }
            File file = File::OpenForReading(journal_path);
            text.resize(static_cast<size_t>(info.size));
            file.Read(reinterpret_cast<uint8_t*>(text.data()), static_cast<int32_t>(info.size));
        });
        std::optional<Commit::Journal> journal =
            read ? ParseJournal(text) : std::optional<Commit::Journal>();
        // A journal acts only on names a run for this key writes.
        if (journal) {
            for (const Commit::Entry& entry : journal->results) {
                if (!names.Covers(NameStartOf(entry.final_name))) {
                    journal.reset();
                    break;
                }
            }
        }
        if (!journal) {
            // A journal is flushed whole before the first rename: one that is not whole was
            // being written when its run ended, and nothing had been moved yet.
            aftermath.journal = Aftermath::Journal::kUnreadable;
            if (read && text.rfind("end\n") == std::string::npos) {
                RemoveJournal(journal_path);
            }
        } else {
            // The key file's temporary name is gone only once it took its final name.
            const bool committed = !Exists(JoinPath(folder, journal->results.back().temporary));
            aftermath.journal =
                committed ? Aftermath::Journal::kCompleted : Aftermath::Journal::kUndone;
            if (committed && Complete(folder, *journal)) {
                RemoveJournal(journal_path);
            } else if (!committed) {
                RollBack(folder, journal_path, *journal);
            }
        }
    }
    // A join of the series into its own folder, killed, leaves its output's and its rebuilt
    // pieces' temporary files under the name of the file the series makes: those too.
    const std::string joined = names.series ? NameStartOf(NameOf(names.series->base)) : "";
    for (const std::string& name : NamesIn(folder)) {
        const std::string start = TemporaryNameStart(name);
        if (!start.empty() && (names.Covers(start) || start == joined)) {
            if (const auto bytes = RemoveIfAbandoned(JoinPath(folder, name))) {
                aftermath.removed_bytes += *bytes;
            }
        }
    }
    return aftermath;
}

HiddenFiles HiddenFilesIn(const std::string& folder) {
    HiddenFiles hidden;
    for (const std::string& name : NamesIn(folder)) {
        if (!IsTemporaryName(name) && !IsAsideName(name)) {
            continue;
        }
        try {
            const PathInfo info = InfoOf(JoinPath(folder, name), false);
            if (info.regular()) {
                hidden.names.push_back(name);
                hidden.bytes += info.size;
            }
        } catch (const RuntimeError&) {
            // Gone meanwhile, or not to be looked at: not counted.
        }
    }
    std::sort(hidden.names.begin(), hidden.names.end());
    return hidden;
}

File Commit::Create(const std::string& final_name, uint32_t permissions) {
    File file = CreateTemporaryBeside(final_name, permissions);
    results_.push_back({NameOf(file.path()), NameOf(final_name)});
    return file;
}

void Commit::Run(const StepRunner& step) {
    const std::string folder = FolderOf(key_);
    // The key file takes its name last: until then no reader takes the result for whole.
    std::stable_partition(results_.begin(), results_.end(),
                          [&](const Entry& e) { return e.final_name != NameOf(key_); });
    journal_ = Journal();
    journal_.results = results_;
    auto move_aside = [&](const std::string& final_name) {
        const std::string path = JoinPath(folder, final_name);
        for (const Aside& aside : journal_.asides) {
            if (aside.final_name == final_name) {
                return;
            }
        }
        if (Exists(path)) {
            journal_.asides.push_back({final_name, NameOf(AsideNameBeside(path))});
        }
    };
    step([&] {
        journal_.asides.clear();
        // The key file's older self goes first: no moment shows it heading new files.
        for (auto it = journal_.results.rbegin(); it != journal_.results.rend(); ++it) {
            move_aside(it->final_name);
        }
        for (const std::string& name : removals_) {
            move_aside(NameOf(name));
        }
        for (const Entry& entry : journal_.results) {
            const std::string final_name = JoinPath(folder, entry.final_name);
            if (Exists(final_name)) {
                // A replaced file keeps its access.
                TakeAccessOf(final_name, JoinPath(folder, entry.temporary));
            }
        }
    });
    try {
        const std::string journal_path = JournalNameFor(key_);
        const std::string text = JournalText(journal_);
        File journal;
        step([&] { journal = File::OpenReplacing(journal_path); });
        journal_written_ = true;
        step([&] {
            journal.Write(reinterpret_cast<const uint8_t*>(text.data()),
                          static_cast<int32_t>(text.size()));
        });
        step([&] { journal.Sync(); });
        step([&] { journal.Close(); });
        step([&] { SyncFolderOf(journal_path); });
        for (const Aside& aside : journal_.asides) {
            step([&] {
                RenameOver(JoinPath(folder, aside.final_name), JoinPath(folder, aside.aside));
            });
        }
        for (const Entry& entry : journal_.results) {
            step([&] {
                RenameOver(JoinPath(folder, entry.temporary), JoinPath(folder, entry.final_name));
            });
        }
        step([&] { SyncFolderOf(key_); });
    } catch (...) {
        Abandon();
        throw;
    }
    done_ = true;
    // Settled: what was moved aside goes, then the journal. What fails here is finished by the
    // next run that finds the journal.
    if (Complete(folder, journal_)) {
        RemoveJournal(JournalNameFor(key_));
    }
}

void Commit::Abandon() {
    if (done_) {
        return;
    }
    const std::string folder = FolderOf(key_);
    if (!journal_written_) {
        for (const Entry& entry : results_) {
            const std::string temporary = JoinPath(folder, entry.temporary);
            RemoveQuietly(temporary);
        }
        results_.clear();
        return;
    }
    RollBack(folder, JournalNameFor(key_), journal_);
    journal_written_ = false;
    results_.clear();
}

}  // namespace tessarel
