// The one owner of a result's way onto the disk: the files it writes under temporary names, the
// user's files they replace, the order of renames and flushes, and the undo. QSaveFile's commit
// grown to a set of files, with SQLite's hot journal for a run that is killed half-way.
//
// Nothing takes a final name until everything is written and flushed. Then, in Run: a journal
// saying what is about to happen is written and flushed beside the result; every file of the
// user's that a result replaces, and every name that is to go (an older series' tail, an older
// list), is moved aside under a hidden name of ours, the key file's first (a split's first piece,
// a join's output: what makes the result count); the new files take their names, the key file
// last; the folder is flushed. That flush is the commit. Only then are the moved-aside files and
// the journal deleted. A failure at any step before it moves everything back (renames only); a
// killed run is put back, or finished when only deletions were left, by the next run that takes
// the write lock of that key (SettleInterrupted).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/piece_series.h"
#include "platform/file.h"
#include "platform/file_lock.h"

namespace tessarel {

// The hidden files of ours that go with a key file: its write lock and its journal.
std::string LockNameFor(const std::string& key);
std::string JournalNameFor(const std::string& key);

// The names a run may write for a key: a series (its first piece is the key; its later pieces,
// checksum list and recovery pieces come with it), or a single file.
struct ResultNames {
    std::string key;
    std::optional<SeriesNames> series;

    static ResultNames Series(const std::string& first_piece);
    static ResultNames Single(const std::string& file) { return {file, std::nullopt}; }
    // True when a temporary file of ours whose name was made from a name starting with start
    // (TemporaryNameStart) may be one of these names'.
    bool Covers(const std::string& start) const;
};

// The write lock of a key, taken at once or not at all. A writer takes it exclusively; a join or
// check that only reads a series takes it shared once any interrupted commit is put right.
FileLock TakeWriteLock(const std::string& key);
FileLock TakeReadLock(const std::string& key);

// What the run that takes a key's lock found of an earlier run there that was killed.
struct Aftermath {
    enum class Journal { kNone, kUndone, kCompleted, kUnreadable };
    Journal journal = Journal::kNone;
    int64_t removed_bytes = 0;  // of hidden temporary files whose writer is gone
    bool anything() const { return journal != Journal::kNone || removed_bytes > 0; }
};

// Puts right what a killed run left of names (its lock must be held exclusively): an interrupted
// commit is undone, or finished when it had passed its commit, and temporary files of ours that
// no running program holds are removed. Quiet: what cannot be done is left for a later run.
Aftermath SettleInterrupted(const ResultNames& names);

// Hidden files of ours in folder (temporary and moved-aside ones) and the room they take: what
// an unfinished run holds, or left behind.
struct HiddenFiles {
    std::vector<std::string> names;
    int64_t bytes = 0;
};
HiddenFiles HiddenFilesIn(const std::string& folder);

class Commit {
  public:
    // Runs one step of the commit: the operation's error trap, so a failure can be retried or
    // given up (which throws).
    using StepRunner = std::function<void(const std::function<void()>&)>;

    explicit Commit(std::string key) : key_(std::move(key)) {}
    ~Commit() { Abandon(); }
    Commit(const Commit&) = delete;
    Commit& operator=(const Commit&) = delete;

    // A new file that is to take final_name, created under a temporary name beside it with
    // the permission bits given. Raises what the file layer raises.
    File Create(const std::string& final_name, uint32_t permissions);
    // A name that is to be gone once the commit is done (when there is a file there then).
    void Remove(const std::string& name) { removals_.push_back(name); }

    // Puts every new file in its place, as said at the top. Each step goes through step; a
    // failure or a give-up before the commit moves everything back and is raised again.
    void Run(const StepRunner& step);
    bool done() const { return done_; }

    // A result that will not be committed: its temporary files go; anything already moved is
    // put back. Quiet, and a no-op once done.
    void Abandon();

    struct Entry {
        std::string temporary;  // names in the key's folder, without the folder
        std::string final_name;
    };
    struct Aside {
        std::string final_name;
        std::string aside;
    };
    struct Journal {
        std::vector<Entry> results;  // in the order they take their names: the key file last
        std::vector<Aside> asides;
    };

  private:
    std::string key_;
    std::vector<Entry> results_;
    std::vector<std::string> removals_;
    Journal journal_;
    bool journal_written_ = false;
    bool done_ = false;
};

}  // namespace tessarel
