#include "cli/check_report.h"

#include "cli/command_line.h"
#include "control/commands.h"
#include "control/messages.h"
#include "platform/console.h"
#include "platform/conversions.h"
#include "platform/extension.h"
#include "platform/path.h"

namespace tessarel {
namespace {

std::string StateText(const PieceCheck& piece) {
    switch (piece.state) {
        case PieceState::kGood:
            return "good," + StrWithSign(piece.actual) + " bytes";
        case PieceState::kMissing:
            if (!piece.look_alike.empty()) {
                return "missing; " + QuotedName(NameOf(piece.look_alike)) +
                       " looks like it: rename it to " + QuotedName(NameOf(piece.name));
            }
            return "missing";
        case PieceState::kNotOrdinary:
            return "not an ordinary file";
        case PieceState::kShort:
            return PlainNumber(piece.expected - piece.actual) + " bytes short (" +
                   PlainNumber(piece.actual) + " of " + PlainNumber(piece.expected) + ")";
        case PieceState::kLonger:
            return PlainNumber(piece.actual - piece.expected) +
                   " bytes longer than its series says (" + PlainNumber(piece.actual) + " of " +
                   PlainNumber(piece.expected) + ")";
        case PieceState::kUnreadable:
            return "cannot be read: " + piece.reason;
        case PieceState::kDamaged:
            return "damaged: its contents differ from when it was split";
    }
    return "";
}

const char* RecoveryStateText(RecoveryPieceCheck::State state) {
    switch (state) {
        case RecoveryPieceCheck::State::kGood:
            return "good recovery piece";
        case RecoveryPieceCheck::State::kMissing:
            return "recovery piece missing";
        case RecoveryPieceCheck::State::kNotOurs:
            return "not a recovery piece of this series";
        case RecoveryPieceCheck::State::kForeign:
            return "belongs to another series";
        case RecoveryPieceCheck::State::kUncertain:
            return "of this series or of another version of it: there is no telling which";
        case RecoveryPieceCheck::State::kUnreadable:
            return "recovery piece cannot be read";
        case RecoveryPieceCheck::State::kDamaged:
            return "recovery piece damaged: its contents differ from when it was written";
    }
    return "";
}

std::string Pieces(size_t n, const char* what) {
    return PlainNumber(int64_t(n)) + " " + what + (n == 1 ? "" : "s");
}

// What the recovery pieces can do for the lost pieces, in a line.
std::string RebuildSummary(const SeriesReport& report, size_t lost, const std::string& first) {
    const int good = report.recovery.good();
    const std::string pieces = Pieces(lost, "piece");
    const std::string recovery = Pieces(size_t(good), "good recovery piece");
    const char* they = lost == 1 ? "it" : "they";
    if (report.rebuildable) {
        return pieces + " can be rebuilt from the " + recovery + ": tessarel repair " +
               QuotedName(first) + " puts " + (lost == 1 ? "it" : "them") + " in place.";
    }
    if (!report.enough) {
        return pieces + " lost or damaged, and only " + recovery + ": " + they +
               " cannot be rebuilt.";
    }
    if (report.rebuild.listless) {
        return pieces +
               " lost or damaged: the recovery pieces are of the first kind, which "
               "proves a rebuild only with the checksum list, so " +
               they + " cannot be rebuilt.";
    }
    return pieces + " lost or damaged: what the recovery pieces give for " +
           (lost == 1 ? "it" : "them") + " differs from " + (lost == 1 ? "its" : "their") +
           " checksums, so " + they + " cannot be rebuilt.";
}

}  // namespace

int RunCheck(const std::string& first_piece, const TerminalIo& io, FILE* out, bool from_medium,
             bool progress_shown) {
    TerminalProgress progress(io.err, progress_shown);
    TerminalMessageBox box(io, false, &progress);
    const auto report = CheckFirstPiece(first_piece, progress, box, from_medium);
    if (!report) {
        if (StopSignal() != 0) {
            std::fprintf(io.err, "tessarel: stopped\n");
            return StopStatus(StopSignal());
        }
        return kExitFailed;
    }
    bool all_good = true;
    for (const PieceCheck& piece : report->pieces) {
        std::string state = StateText(piece);
        if (piece.state == PieceState::kGood && piece.compared) {
            state += ", contents as listed";
        }
        if (PieceLost(piece) && report->rebuildable) {
            state += "; can be rebuilt";
        }
        std::fprintf(out, "%s: %s\n", QuotedName(piece.name).c_str(), state.c_str());
        all_good = all_good && piece.state == PieceState::kGood;
    }
    for (const RecoveryPieceCheck& piece : report->recovery.pieces) {
        std::fprintf(out, "%s: %s\n", QuotedName(piece.name).c_str(),
                     RecoveryStateText(piece.state));
    }
    // An older, longer series' tail would be taken for part of this one by a join made by hand.
    for (const std::string& name : report->after) {
        std::fprintf(out, "%s: is not part of this series\n", QuotedName(name).c_str());
        all_good = false;
    }
    const std::string list = QuotedName(NameOf(report->list));
    if (report->whole != SeriesReport::Whole::kNotCompared) {
        const bool as_listed = report->whole == SeriesReport::Whole::kAsListed;
        std::fprintf(
            out, "%s: the file these pieces make: %s\n",
            QuotedName(report->output.empty() ? StripExtension(first_piece) : report->output)
                .c_str(),
            as_listed ? "contents as listed" : "differs from its line in the checksum list");
        all_good = all_good && as_listed;
    }
    switch (report->list_state) {
        case SeriesReport::List::kUsed:
            break;
        case SeriesReport::List::kMissing:
            std::fprintf(out, "Contents not compared: there is no checksum list %s.\n",
                         list.c_str());
            break;
        case SeriesReport::List::kUnusable:
            std::fprintf(out, "Contents not compared: the checksum list %s cannot be used: %s.\n",
                         list.c_str(), report->list_problem.c_str());
            all_good = false;
            break;
    }
    const std::vector<int64_t> lost = LostPieces(report->pieces);
    if (!lost.empty() && report->recovery.ambiguous) {
        std::fprintf(out, "%s\n", AmbiguousRecoveryMessage(lost.size()).c_str());
    } else if (!lost.empty() && report->recovery.version > 0) {
        std::fprintf(out, "%s\n", RebuildSummary(*report, lost.size(), first_piece).c_str());
    } else if (!report->lost_recovery.empty()) {
        const size_t n = report->lost_recovery.size();
        if (report->recovery_rewritable) {
            std::fprintf(out, "%s lost or damaged: tessarel repair %s writes %s again.\n",
                         Pieces(n, "recovery piece").c_str(), QuotedName(first_piece).c_str(),
                         n == 1 ? "it" : "them");
        } else {
            std::fprintf(out,
                         "%s lost or damaged: no whole recovery piece and no checksum list is "
                         "there to prove %s written again.\n",
                         Pieces(n, "recovery piece").c_str(), n == 1 ? "it" : "them");
        }
    }
    // Not whole, but repair puts it right: lost pieces that can be rebuilt, lost recovery pieces
    // that can be written again.
    const bool pieces_right = lost.empty() || report->rebuildable;
    const bool recovery_right = report->lost_recovery.empty() || report->recovery_rewritable;
    if (!report->lost_recovery.empty() && all_good && !recovery_right) {
        return kExitFailed;
    }
    if ((!all_good || !report->lost_recovery.empty()) && pieces_right && recovery_right &&
        (!lost.empty() || !report->lost_recovery.empty())) {
        return kExitRebuildable;
    }
    return all_good ? kExitDone : kExitFailed;
}

int RunRepair(const std::string& first_piece, const TerminalIo& io, bool progress_shown) {
    TerminalProgress progress(io.err, progress_shown);
    TerminalMessageBox box(io, false, &progress);
    const bool done = RepairFirstPiece(first_piece, progress, box);
    if (!done && StopSignal() != 0) {
        std::fprintf(io.err, "tessarel: stopped; nothing was changed\n");
        return StopStatus(StopSignal());
    }
    return done ? kExitDone : kExitFailed;
}
}  // namespace tessarel
