#include "engine/commit.h"

#include <algorithm>
#include <cstdlib>

#include "engine/piece_series.h"
#include "platform/conversions.h"
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

// Written and flushed after the journal once the key file has its name: the commit happened.
constexpr char kCommittedLine[] = "committed\n";

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
        if (text.compare(at, 4, "end\n") == 0 &&
            text.compare(at + 4, std::string::npos, kCommittedLine) == 0) {
            journal.committed = true;
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

// Runs work; a failure is said of the user's file at name, not of a hidden name of ours.
template <typename F>
void AsFile(const std::string& name, F&& work) {
    try {
        work();
    } catch (const RuntimeError& error) {
        throw RuntimeError(error.number(), error.description(), name);
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
// files go last, as files of a run that has ended. True when all of it was done; otherwise the
// journal and every file it names stay, and kept holds the hidden names still holding the
// user's files. moved tells whether anything had been moved at all.
bool RollBack(const std::string& folder, const std::string& journal_path,
              const Commit::Journal& journal, std::vector<std::string>* kept = nullptr,
              bool* moved = nullptr) {
    bool all = true;
    bool any = false;
    for (auto it = journal.results.rbegin(); it != journal.results.rend(); ++it) {
        const std::string temporary = JoinPath(folder, it->temporary);
        const std::string final_name = JoinPath(folder, it->final_name);
        if (!Exists(temporary) && Exists(final_name)) {
            any = true;
            all = Quietly([&] { RenameOver(final_name, temporary); }) && all;
        }
    }
    for (auto it = journal.asides.rbegin(); it != journal.asides.rend(); ++it) {
        const std::string aside = JoinPath(folder, it->aside);
        const std::string final_name = JoinPath(folder, it->final_name);
        if (Exists(aside)) {
            any = true;
            // Something that took the name meanwhile is not ours to replace: ours stays aside.
            const bool back =
                !Exists(final_name) && Quietly([&] { RenameOver(aside, final_name); });
            if (!back && kept) {
                kept->push_back(it->final_name + " (now " + it->aside + ")");
            }
            all = back && all;
        }
    }
    if (moved) {
        *moved = any;
    }
    all = all && Quietly([&] { SyncFolderOf(journal_path); });
    if (!all) {
        return false;  // the journal stays, for the next run to finish this
    }
    if (!Quietly([&] { DeleteFile(journal_path); })) {
        return false;  // everything is back; the journal tells the next run so
    }
    Quietly([&] { SyncFolderOf(journal_path); });
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

std::string JournalNameFor(const ResultNames& names) {
    return HiddenBeside(names.key, names.series ? ".tessarel-journal" : ".tessarel-output-journal");
}

bool ResultNames::Holds(const std::string& name) const {
    if (name == NameOf(key)) {
        return true;
    }
    if (!series) {
        return false;
    }
    const std::string base = NameOf(series->base);
    if (name.size() < base.size() + 4 || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '.') {
        return false;
    }
    const std::string extension = name.substr(base.size() + 1);
    if (extension == "sha256") {
        return true;
    }
    // A numbered split's pieces: base.001, base.002, ...
    if (extension.size() >= 3 && AllDigits(extension)) {
        return true;
    }
    const std::string number = extension.substr(1);
    return std::string("mMrR").find(extension[0]) != std::string::npos && number.size() >= 2 &&
           AllDigits(number);
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
    const bool numbered = letter >= '0' && letter <= '9';  // base.001, ...
    if (!numbered && letter != 'm' && letter != 'M' && letter != 'r' && letter != 'R') {
        return false;
    }
    if (numbered) {
        const std::string number = start.substr(base.size() + 1);
        return number.size() >= 3 && AllDigits(number);
    }
    const std::string number = start.substr(base.size() + 2);
    return number.size() >= 2 && AllDigits(number);
}

FileLock TakeWriteLock(const std::string& key) {
    return FileLock::Take(LockNameFor(key), true);
}

FileLock TakeReadLock(const std::string& key) {
    return FileLock::Take(LockNameFor(key), false);
}

namespace {

// Every name a journal gives is one of names' whole, and each hidden name was made from the
// name it goes with.
bool OnlyNames(const Commit::Journal& journal, const ResultNames& names) {
    for (const Commit::Entry& entry : journal.results) {
        if (!names.Holds(entry.final_name) ||
            TemporaryNameStart(entry.temporary) != NameStartOf(entry.final_name)) {
            return false;
        }
    }
    for (const Commit::Aside& aside : journal.asides) {
        if (!names.Holds(aside.final_name) ||
            AsideNameStart(aside.aside) != NameStartOf(aside.final_name)) {
            return false;
        }
    }
    return true;
}

// What a journal at path is to a run on names.
struct FoundJournal {
    enum class State { kNone, kUntrusted, kUnfinished, kWhole } state = State::kNone;
    Commit::Journal journal;
};

FoundJournal ReadJournal(const std::string& path, const ResultNames& names) {
    FoundJournal found;
    PathInfo info;
    if (!Quietly([&] { info = InfoOf(path, false); })) {
        found.state = FoundJournal::State::kUntrusted;
        return found;
    }
    if (!info.exists()) {
        return found;
    }
    // Only an ordinary file of the running user's, of a journal's size, is read at all.
    found.state = FoundJournal::State::kUntrusted;
    if (!info.regular() || (info.owner >= 0 && info.owner != CurrentUser()) ||
        info.size > kMaxJournalBytes) {
        return found;
    }
    std::string text;
    if (!Quietly([&] {
            File file = File::OpenForReading(path);
            text.resize(static_cast<size_t>(info.size));
            file.Read(reinterpret_cast<uint8_t*>(text.data()), static_cast<int32_t>(info.size));
        })) {
        return found;
    }
    if (const auto journal = ParseJournal(text)) {
        if (OnlyNames(*journal, names)) {
            found.state = FoundJournal::State::kWhole;
            found.journal = *journal;
        }
        return found;
    }
    // A journal is flushed whole before the first rename: one that does not end was being
    // written when its run ended, and nothing had been moved. Its whole lines must still be ours.
    const std::string first = std::string(kJournalFirstLine) + "\n";
    if (text.find("\nend\n") != std::string::npos) {
        return found;
    }
    if (text.size() <= first.size()) {
        if (first.compare(0, text.size(), text) == 0) {
            found.state = FoundJournal::State::kUnfinished;
        }
        return found;
    }
    const std::string whole_lines = text.substr(0, text.rfind('\n') + 1);
    const auto journal = ParseJournal(whole_lines + "new 22:.x.tessarel-aaaaaa 1:x\nend\n");
    if (journal) {
        Commit::Journal lines = *journal;
        lines.results.pop_back();  // the line added to make it whole
        if (OnlyNames(lines, names)) {
            found.state = FoundJournal::State::kUnfinished;
        }
    }
    return found;
}

}  // namespace

Aftermath SettleInterrupted(const ResultNames& names, bool act) {
    Aftermath aftermath;
    const std::string folder = FolderOf(names.key);
    std::string journal_path = JournalNameFor(names);
    FoundJournal found = ReadJournal(journal_path, names);
    if (found.state == FoundJournal::State::kNone && !names.series) {
        // An output's journal as an earlier version named it, when it names that output alone.
        const std::string earlier = HiddenBeside(names.key, ".tessarel-journal");
        FoundJournal old = ReadJournal(earlier, names);
        if (old.state == FoundJournal::State::kWhole ||
            old.state == FoundJournal::State::kUnfinished) {
            journal_path = earlier;
            found = old;
        }
    }
    if (found.state != FoundJournal::State::kNone) {
        aftermath.journal_name = NameOf(journal_path);
    }
    using J = Aftermath::Journal;
    if (found.state != FoundJournal::State::kNone && !act) {
        aftermath.journal = J::kPending;  // a reader settles nothing
    } else if (found.state == FoundJournal::State::kUntrusted) {
        aftermath.journal = J::kUntrusted;
    } else if (found.state == FoundJournal::State::kUnfinished) {
        const bool gone = Quietly([&] { DeleteFile(journal_path); });
        if (gone) {
            Quietly([&] { SyncFolderOf(journal_path); });
        }
        aftermath.journal = gone ? J::kNothingMoved : J::kKept;
    } else if (found.state == FoundJournal::State::kWhole && found.journal.committed) {
        if (Complete(folder, found.journal) && Quietly([&] { DeleteFile(journal_path); })) {
            Quietly([&] { SyncFolderOf(journal_path); });
            aftermath.journal = J::kCompleted;
        } else {
            aftermath.journal = J::kKept;
            for (const Commit::Aside& aside : found.journal.asides) {
                if (Exists(JoinPath(folder, aside.aside))) {
                    aftermath.kept.push_back(aside.final_name + " (now " + aside.aside + ")");
                }
            }
        }
    } else if (found.state == FoundJournal::State::kWhole) {
        bool moved = false;
        const bool back = RollBack(folder, journal_path, found.journal, &aftermath.kept, &moved);
        aftermath.journal = !back ? J::kKept : moved ? J::kUndone : J::kNothingMoved;
    }
    if (aftermath.blocks()) {
        return aftermath;  // a journal still names the files there: nothing else goes
    }
    // A join of the series into its own folder, killed, leaves its output's and its rebuilt
    // pieces' temporary files under the name of the file the series makes: those too. Only the
    // running user's own are removed.
    const std::string joined = names.series ? NameStartOf(NameOf(names.series->base)) : "";
    for (const std::string& name : NamesIn(folder)) {
        const std::string start = TemporaryNameStart(name);
        if (start.empty() || !(names.Covers(start) || start == joined)) {
            continue;
        }
        const std::string path = JoinPath(folder, name);
        PathInfo info;
        if (Quietly([&] { info = InfoOf(path, false); }) &&
            (info.owner < 0 || info.owner == CurrentUser())) {
            if (const auto bytes = RemoveIfAbandoned(path)) {
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
    File file = CreateTemporaryBeside(final_name);
    results_.push_back({NameOf(file.path()), NameOf(final_name), permissions});
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
    });
    // Each result takes the access of what it comes from, narrowed by that of the file it
    // replaces: never more open than either, and its owner is the user who runs this.
    for (const Entry& entry : journal_.results) {
        const std::string final_name = JoinPath(folder, entry.final_name);
        step([&] {
            const PathInfo replaced = InfoOf(final_name, false);
            const uint32_t bits =
                replaced.regular() ? entry.permissions & replaced.permissions : entry.permissions;
            AsFile(final_name, [&] { SetPermissions(JoinPath(folder, entry.temporary), bits); });
        });
    }
    try {
        const std::string journal_path = JournalNameFor(names_);
        const std::string text = JournalText(journal_);
        // Never over another journal: the run that takes the lock settled any that was there.
        step([&] {
            AsFile(key_, [&] {
                if (!journal_file_.IsOpen()) {
                    journal_file_ = File::CreateNew(journal_path, 0600);
                }
            });
        });
        journal_written_ = true;
        step([&] {
            AsFile(key_, [&] {
                journal_file_.Seek(0);
                journal_file_.Write(reinterpret_cast<const uint8_t*>(text.data()),
                                    static_cast<int32_t>(text.size()));
            });
        });
        step([&] { AsFile(key_, [&] { journal_file_.Sync(); }); });
        step([&] { SyncFolderOf(journal_path); });
        for (const Aside& aside : journal_.asides) {
            const std::string final_name = JoinPath(folder, aside.final_name);
            step([&] {
                AsFile(final_name, [&] { RenameOver(final_name, JoinPath(folder, aside.aside)); });
            });
        }
        for (const Entry& entry : journal_.results) {
            step([&] {
                RenameOver(JoinPath(folder, entry.temporary), JoinPath(folder, entry.final_name));
            });
        }
        step([&] { SyncFolderOf(key_); });
        // The commit, recorded: from here on the next run finishes it rather than undoes it.
        const std::string committed = kCommittedLine;
        step([&] {
            AsFile(key_, [&] {
                journal_file_.Seek(int64_t(text.size()));
                journal_file_.Write(reinterpret_cast<const uint8_t*>(committed.data()),
                                    static_cast<int32_t>(committed.size()));
            });
        });
        step([&] { AsFile(key_, [&] { journal_file_.Sync(); }); });
    } catch (...) {
        Abandon();
        throw;
    }
    done_ = true;
    journal_file_ = File();
    // Settled: what was moved aside goes, then the journal. What fails here is finished by the
    // next run that finds the journal.
    if (Complete(folder, journal_)) {
        RemoveJournal(JournalNameFor(names_));
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
    journal_file_ = File();
    if (!RollBack(folder, JournalNameFor(names_), journal_, &left_)) {
        left_.insert(left_.begin(), NameOf(JournalNameFor(names_)));
    }
    journal_written_ = false;
    results_.clear();
}

}  // namespace tessarel
