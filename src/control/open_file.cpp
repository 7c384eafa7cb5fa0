#include "control/open_file.h"

#include <cctype>

#include "control/messages.h"
#include "engine/numbered_set.h"
#include "engine/piece_series.h"
#include "engine/series_recovery.h"
#include "platform/extension.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

bool IsFirstPiece(const std::string& path) {
    return IsFirstPieceFile(path);
}

// True when recovery pieces of the series whose first piece is first_piece are there.
bool HasRecoveryPieces(const std::string& first_piece) {
    try {
        return !RecoveryPieceNames(SeriesNames(first_piece)).empty();
    } catch (const RuntimeError&) {
        return false;
    }
}

}  // namespace

FileProposal ProposeFor(const std::string& path, bool split) {
    if (split) {
        return {Mode::kSplit, path, path + kFirstPieceExtension};
    }
    if (IsFirstPiece(path)) {
        // The join's output goes beside the series, named after it as the join names the
        // series; a first piece without an extension offers no name, and the user gives one.
        std::string save;
        try {
            save = StripExtension(path);
        } catch (const RuntimeError&) {
        }
        return {Mode::kJoin, path, save};
    }
    // A later piece or a recovery piece stands for its series when something of the series
    // is there to join from: its first piece, or recovery pieces that may rebuild it.
    const std::string first = FirstPieceFor(path);
    if (first != path && (IsFirstPiece(first) || HasRecoveryPieces(first))) {
        return {Mode::kJoin, first, StripExtension(first)};
    }
    // A member of another tool's numbered set stands for the set; plain numbered pieces of ours
    // with recovery pieces, for their series.
    std::optional<NumberedSet> set;
    try {
        const std::string numbered = NumberedSeriesOf(path);
        if (!numbered.empty()) {
            return {Mode::kJoin, numbered, StripExtension(numbered)};
        }
        set = FindNumberedSet(path);
    } catch (const RuntimeError&) {
    }
    if (set) {
        return {Mode::kJoin, set->members.front(), set->output};
    }
    return {Mode::kSplit, path, path + kFirstPieceExtension};
}

std::string JoinOutputFor(const std::string& first_piece) {
    if (!IsFirstPiece(first_piece)) {
        try {
            if (const auto set = FindNumberedSet(first_piece)) {
                return set->output;
            }
        } catch (const RuntimeError&) {
        }
    }
    return StripExtension(first_piece);
}

std::string FirstPieceFor(const std::string& path) {
    try {
        const std::string numbered = NumberedSeriesOf(path);
        if (!numbered.empty()) {
            return numbered;
        }
    } catch (const RuntimeError&) {
        // Nothing to be looked at there: the name says the rest.
    }
    std::string base = SeriesBaseOf(path);
    char letter = base.empty() ? 'm' : path[base.size() + 1];
    if (base.empty()) {
        // A recovery piece stands for its series too (FILE.R02 -> FILE.M00).
        base = RecoveryBaseOf(path);
        if (base.empty()) {
            return path;
        }
        letter = path[base.size() + 1] == 'R' ? 'M' : 'm';
    }
    // Its first piece has the same letter case (FILE.M03 -> FILE.M00).
    const std::string first = base + "." + letter + "00";
    if (first == path || IsFirstPiece(first)) {
        return first;
    }
    // A first piece the user named as a later one is taken under that name; otherwise the
    // series' first piece is its own name's, even when it is lost or no longer reads as one:
    // a later piece never stands in its place.
    return IsFirstPiece(path) ? path : first;
}

std::optional<Notice> CheckDropped(const std::vector<std::string>& paths) {
    if (paths.size() != 1) {
        return Refusal(kDropOneFileMessage);
    }
    bool folder = false;
    try {
        folder = InfoOf(paths.front()).kind == PathInfo::Kind::kFolder;
    } catch (const RuntimeError&) {
        // What cannot be looked at is taken as a file; Go says what is wrong with it.
    }
    if (folder) {
        return Refusal(DroppedFolderMessage(NameOf(paths.front())));
    }
    return std::nullopt;
}

}  // namespace tessarel
