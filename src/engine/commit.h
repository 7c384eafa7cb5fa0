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
// the write lock of that key (SettleInterrupted). That the commit happened is a line the journal
// records once the key file has its name, never inferred from what is on disk; and a journal is
// acted on only by a writer of its own names, as the user who wrote it.
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
    // True when name (a name in the key's folder) is one of these names, whole: the key, or a
    // series' later piece, list or recovery piece.
    bool Holds(const std::string& name) const;
};

// The journal of a run that writes names: a series' and a single file's are named apart, so a
// join's output named like a series' first piece never meets that series' journal.
std::string JournalNameFor(const ResultNames& names);

// The write lock of a key, taken at once or not at all. A writer takes it exclusively; a join or
// check that only reads a series takes it shared once any interrupted commit is put right.
FileLock TakeWriteLock(const std::string& key);
FileLock TakeReadLock(const std::string& key);

// What a run found of an earlier run on the same names that did not finish.
struct Aftermath {
    enum class Journal {
        kNone,
        kUndone,        // its files are back as they were
        kNothingMoved,  // its journal is gone; nothing had been moved
        kCompleted,     // it had committed: what was left to delete is deleted
        kKept,          // it could not be undone or finished here: everything stays as it is
        kUntrusted,     // a journal this run may not act on (another user's, other names)
        kPending,       // (a reader) a journal is there, and was left alone
    };
    Journal journal = Journal::kNone;
    std::string journal_name;  // the journal's name, when there is one
    std::vector<std::string>
        kept;  // kKept: the user's older files under hidden names, "NAME (now .HIDDEN)"
    int64_t removed_bytes = 0;  // of hidden temporary files whose writer is gone
    bool anything() const { return journal != Journal::kNone || removed_bytes > 0; }
    // The run may not go on: what is there is not settled.
    bool blocks() const {
        return journal == Journal::kKept || journal == Journal::kUntrusted ||
               journal == Journal::kPending;
    }
};

// Puts right what an earlier run left of names (its lock must be held exclusively): a journal
// of the running user's that names only these names is undone, or finished when it records
// the commit; temporary files of ours, the running user's, that no program holds are removed,
// unless a journal still names them. With act unset (a reader) no journal is touched: one that
// is there is said to be pending. Quiet: what cannot be done is left as it is, and said.
Aftermath SettleInterrupted(const ResultNames& names, bool act = true);

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

    explicit Commit(ResultNames names) : names_(std::move(names)), key_(names_.key) {}
    ~Commit() { Abandon(); }
    Commit(const Commit&) = delete;
    Commit& operator=(const Commit&) = delete;

    // A new file that is to take final_name, created under a temporary name beside it, for its
    // owner alone until the commit gives it the permission bits given (narrowed by those of a
    // file it replaces, never widened). Raises what the file layer raises.
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
    // After an Abandon that could not put everything back: the journal, and the hidden names that
    // hold the user's older files, which the next writer of these names puts back.
    const std::vector<std::string>& left() const { return left_; }

    struct Entry {
        std::string temporary;  // names in the key's folder, without the folder
        std::string final_name;
        uint32_t permissions = 0600;
    };
    struct Aside {
        std::string final_name;
        std::string aside;
    };
    struct Journal {
        std::vector<Entry> results;  // in the order they take their names: the key file last
        std::vector<Aside> asides;
        bool committed = false;  // the key file took its name, and the folder was flushed
    };

  private:
    ResultNames names_;
    std::string key_;
    std::vector<std::string> left_;
    File journal_file_;
    std::vector<Entry> results_;
    std::vector<std::string> removals_;
    Journal journal_;
    bool journal_written_ = false;
    bool done_ = false;
};

}  // namespace tessarel
