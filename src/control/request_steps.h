// The steps every request is made of, for the split, join, check and repair commands (one
// file each): each step of the file system or of a rule that may raise an error goes through
// the error trap, so a disk that is not ready can be retried; a refusal or a question's Cancel
// ends the request (GivenUp) once its message is shown. The rules themselves are the plain
// functions of request_plan.
#pragma once

#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "control/request_plan.h"
#include "engine/checksums.h"
#include "engine/commit.h"
#include "engine/numbered_set.h"
#include "engine/progress_display.h"
#include "engine/series_check.h"
#include "engine/series_recovery.h"
#include "platform/file_lock.h"
#include "platform/message_box.h"
#include "platform/path.h"
#include "platform/runtime_error.h"
#include "trap/error_trap.h"

namespace tessarel {

// The series a request reads: how it is cut, and the recovery pieces found beside it.
struct SeriesFound {
    SeriesPlan plan;
    std::vector<FoundRecoveryPiece> recovery;
    bool planned_by_recovery = false;  // the first piece's header did not set the plan
};

class RequestSteps {
  public:
    RequestSteps(ProgressDisplay& display, MessageBox& box)
        : display_(display), box_(box), trap_(box) {}

    // Plans the series whose first piece is first_piece: from its header, or from its recovery
    // pieces' when the pieces there bear theirs out better (a first piece that is lost, cut
    // short, or whose header was damaged); refuses it when neither can.
    SeriesFound FindSeries(const std::string& first_piece);
    // Every piece of that series, with what was found; a stop asked for meanwhile ends the
    // request.
    std::vector<PieceCheck> PiecesOf(const std::string& first_piece, const SeriesPlan& plan,
                                     CheckOptions options);
    // The digests the series' checksum list gives, when it lies beside the first piece.
    ListReading ReadList(const std::string& first_piece, int64_t count);
    // The write lock of what names a run writes, or the request is refused when another run
    // holds it; then what a killed run left there is put right (and said).
    FileLock LockForWriting(const ResultNames& names);
    // A series that is only read: shared with other readers, refused while a run writes it.
    FileLock LockForReading(const std::string& first_piece);
    // The recovery pieces beside a series, judged against its pieces (read through, with their
    // stripes, when they were); each read through when read is set.
    RecoveryCheck RecoveryOf(const std::string& first_piece, const SeriesFound& series,
                             std::vector<PieceCheck>& pieces, const ListReading& list, bool read);
    // Every piece read through by stripes (and against the list, when it is there and compare
    // is set) and the recovery pieces judged against them: what a check, a repair and a
    // rebuilding join know.
    RecoveryCheck Survey(const std::string& first_piece, const SeriesFound& series,
                         const ListReading& list, CheckOptions options,
                         std::vector<PieceCheck>& pieces, bool compare = true);
    void PutRight(const ResultNames& names, bool act);
    // The permission bits of a series: those of its first piece there, else of any piece there
    // (what is rebuilt or joined from it takes them); none when no piece is there.
    uint32_t SeriesAccess(const std::vector<PieceCheck>& pieces);

  protected:
    // A check asked to stop (CheckStopped) is no failure of the step: it passes the trap and
    // ends the request without a word.
    // What the step gives back is given back; a step the user skipped gives a value made
    // afresh (T{}).
    template <typename F>
    auto Do(F&& step) -> decltype(step()) {
        using Result = decltype(step());
        if constexpr (std::is_void_v<Result>) {
            StopIfAsked();
            bool stopped = false;
            trap_.Must([&] {
                try {
                    step();
                } catch (const CheckStopped&) {
                    stopped = true;
                }
            });
            if (stopped) {
                throw GivenUp{};
            }
        } else {
            std::optional<Result> result;
            Do([&] { result.emplace(step()); });
            return result ? std::move(*result) : Result{};
        }
    }
    // The numbered set of another tool that path is a member of, when it is neither a first
    // piece of ours nor a member of our own plain numbered series.
    std::optional<NumberedSet> OtherToolsSet(const std::string& path) {
        return Do([&]() -> std::optional<NumberedSet> {
            if (IsFirstPieceFile(path) || !NumberedSeriesOf(path).empty()) {
                return std::nullopt;
            }
            return FindNumberedSet(path);
        });
    }
    // A stop asked for before the operation starts ends the request without a word.
    void StopIfAsked() {
        if (display_.ShouldStop()) {
            throw GivenUp{};
        }
    }
    MsgAnswer Show(const Notice& notice) { return box_.Show(notice); }
    void RefuseIf(const std::optional<Notice>& refusal) {
        if (refusal) {
            Show(*refusal);
            throw GivenUp{};
        }
    }
    // A question whose Cancel ends the request without a further word.
    void AskOrEnd(const std::optional<Notice>& question) {
        if (question && Show(*question) != kAnswerOk) {
            throw GivenUp{};
        }
    }
    PlanOrRefusal PlanOfHeader(const std::string& first_piece, bool quietly = false);
    bool StripesBearOut(const std::string& first_piece, const SeriesPlan& plan,
                        const std::vector<FoundRecoveryPiece>& recovery);
    SeriesPlan PlanOrRefuse(const PlanOrRefusal& outcome) {
        if (const auto* refusal = std::get_if<Notice>(&outcome)) {
            RefuseIf(*refusal);
        }
        return std::get<SeriesPlan>(outcome);
    }
    // The failure message when the operation did not run to its end, unless the user
    // stopped it.
    bool Done(Outcome outcome) {
        if (outcome == Outcome::kNotDone) {
            Show(FailedNotice());
        }
        if (outcome == Outcome::kNotKept) {
            Show(NotKeptNotice(NameOf(not_kept_)));
        }
        SayLeftBehind();
        return outcome == Outcome::kDone;
    }
    // What a failed commit could not put back is said, where it is.
    void SayLeftBehind() {
        if (!left_behind_.empty()) {
            Show(LeftBehindNotice(left_behind_));
            left_behind_.clear();
        }
    }
    std::vector<std::string> left_behind_;
    std::string not_kept_;  // a result its medium did not give back as written
    // Whether what a request writes at destination is read back from its medium.
    static bool ReadsBack(const std::optional<bool>& asked, const std::string& destination) {
        return asked.value_or(OnRemovableMedium(FolderOf(destination)));
    }
    // Asks before existing files are replaced, then makes and deletes a file beside the
    // destination so a folder that takes none is said before the operation starts. False when
    // the user would not have them replaced.
    bool ClearTheWay(const std::string& destination, const Replacement& replaced);

    // What the file system that is to hold path says of its room.
    static DiskRoom RoomFor(const std::string& path) {
        return {FreeSpaceOn(path), LargestFileOn(path)};
    }
    // Asks when the result looks larger than the room left; hidden files of unfinished runs
    // that take room there are named.
    void AskAboutRoom(Mode mode, const std::string& destination, const DiskRoom& disk,
                      int64_t needed);
    // Whether a file that is replaced has other names that keep its old contents.
    static void NoteLinks(Replacement& replaced, const std::string& path) {
        if (replaced.linked.empty() && InfoOf(path, false).links > 1) {
            replaced.linked = NameOf(path);
        }
    }

    ProgressDisplay& display_;
    MessageBox& box_;
    ErrorTrap trap_;
};

// Runs f, which ends a request early by throwing GivenUp once its message is shown. A failure
// outside the checked steps is said, and the program goes on.
template <typename F>
auto Guarded(MessageBox& message_box, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const GivenUp&) {
        // The request ended with its message shown; nothing follows.
    } catch (const std::exception&) {
        ShowErrorReport(message_box, AsRuntimeError(std::current_exception()));
    }
    return {};
}

}  // namespace tessarel
