// The split/join operation: writes a whole series of pieces from one file, or reads a series
// back into the whole file, with the progress display running and every failing step put to
// the user through the disk-error handling.
#pragma once

#include <cstdint>
#include <string>

#include <memory>
#include <optional>
#include <vector>

#include "engine/checksums.h"
#include "engine/piece_series.h"
#include "engine/progress_display.h"
#include "platform/file.h"
#include "platform/message_box.h"

namespace tessarel {

constexpr int32_t kChunkSize = 10000;

enum class Mode { kSplit, kJoin };

// One operation, as the request rules planned it.
struct OperationPlan {
    OperationPlan() = default;
    OperationPlan(Mode mode_, std::string whole_, std::string first_piece_, SeriesPlan series_)
        : mode(mode_),
          whole(std::move(whole_)),
          first_piece(std::move(first_piece_)),
          series(series_) {}

    Mode mode = Mode::kSplit;
    std::string whole;        // the file split, or the file a join rebuilds
    std::string first_piece;  // the series' first piece; the later ones are named after it
    SeriesPlan series;
    // The pieces' names, when they are not a series' of first_piece (a numbered set's).
    std::optional<SeriesNames> names;
    int64_t source_modified = 0;   // a split's source's time of change when it was planned
    bool write_checksums = false;  // a split writes the series' checksum list beside it
    int recovery_pieces = 0;       // a split writes this many recovery pieces beside it
    // What a join's pieces and whole file must hash to, when their list is known.
    std::optional<SeriesDigests> expected;
    // A join's pieces as they were checked, still open ([0] is the first piece), so that what
    // was checked is what is copied; a piece not held open is opened again by name.
    std::shared_ptr<std::vector<File>> open_pieces;
    // What was written is read back from its medium, past the system's cache, and compared with
    // what was meant, before anything takes its name.
    bool read_back = false;
    // Told the name of a result whose medium gave back other bytes than were written.
    std::string* not_kept = nullptr;
    // Told the hidden names that still hold the user's files when a failed commit could not put
    // everything back (the journal first): the next run that writes these names does.
    std::vector<std::string>* left_behind = nullptr;
    // A join's output takes these permission bits (the series'); those of the first piece when
    // none are given.
    std::optional<uint32_t> permissions;
    // A join whose lost pieces its recovery pieces can rebuild: a piece that differs from its
    // line ends it quietly (kDamaged) rather than as a failure to report.
    bool damage_is_rebuilt = false;
};

enum class Outcome {
    kDone,     // ran to its end
    kNotDone,  // given up (its messages have been shown), or the plan does not fit together
    kStopped,  // the user stopped it; nothing more is said
    kDamaged,  // a join's piece differed from its line, and the plan asked to be told quietly
    kNotKept,  // read back, a result was not what was written (plan.not_kept names it)
};

// Runs the plan. Every way out but kDone leaves the disk as it was before.
Outcome RunOperation(const OperationPlan& plan, ProgressDisplay& display, MessageBox& message_box);

// The same, true when the operation ran to its end.
bool SplitJoin(const OperationPlan& plan, ProgressDisplay& display, MessageBox& message_box);

// The bar's value for N stream bytes done: the whole part of N / Insize * 100.
float ProgressPercent(int64_t done, int64_t Insize);

}  // namespace tessarel
