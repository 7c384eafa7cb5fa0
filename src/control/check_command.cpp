// The check and repair commands: every piece of a series read through against its checksum
// list and its recovery pieces; a repair rebuilds what is lost in place, in one commit.
#include <map>
#include <mutex>

#include "control/commands.h"
#include "control/messages.h"
#include "control/request_steps.h"
#include "engine/numbered_set.h"
#include "engine/piece_series.h"
#include "engine/recovery.h"
#include "engine/series_recovery.h"
#include "platform/file.h"

namespace tessarel {
namespace {

// The progress of a check's reading, as a copy shows its own: the furthest piece, the share of
// the bytes read, and what is left. Told from whichever thread read, one at a time; the line
// ends when the reading does.
class ReadProgress {
  public:
    ReadProgress(ProgressDisplay& display, int64_t count, int64_t total)
        : display_(display), total_(std::max<int64_t>(total, 1)) {
        display_.ShowTotal(count);
        display_.ShowOperating();
    }
    ~ReadProgress() { display_.ShowIdle(); }
    ReadProgress(const ReadProgress&) = delete;
    ReadProgress& operator=(const ReadProgress&) = delete;

    void Read(int64_t piece, int64_t bytes) {
        const std::lock_guard<std::mutex> lock(mutex_);
        done_ = std::min(done_ + bytes, total_);
        if (piece > piece_) {
            piece_ = piece;
            display_.ShowPiece(piece);
        }
        display_.SetProgress(static_cast<float>(100.0 * double(done_) / double(total_)));
        display_.ShowBytes(done_, total_);
    }

  private:
    ProgressDisplay& display_;
    std::mutex mutex_;
    int64_t total_;
    int64_t done_ = 0;
    int64_t piece_ = 0;
};

class CheckJob : public RequestSteps {
  public:
    using RequestSteps::RequestSteps;
    SeriesReport Run(const std::string& first_piece, bool from_medium);

  private:
    SeriesReport RunSet(const NumberedSet& set);
};

class RepairJob : public RequestSteps {
  public:
    using RequestSteps::RequestSteps;
    bool Run(const std::string& first_piece);
};

// Another tool's numbered set: each member there and of its size, read through against its
// line in the list beside it (with the list's own digest).
SeriesReport CheckJob::RunSet(const NumberedSet& set) {
    SeriesReport report;
    report.output = set.output;
    std::optional<SetList> list = Do([&] { return FindSetList(set); });
    report.list = list ? list->path : set.output + ".sha256";
    report.list_problem = list ? list->problem : "";
    report.list_state = !list                    ? SeriesReport::List::kMissing
                        : !list->problem.empty() ? SeriesReport::List::kUnusable
                                                 : SeriesReport::List::kUsed;
    const bool listed = list && list->problem.empty();
    int64_t piece = -1;
    int64_t total = 0;
    for (const std::string& member : set.members) {
        Do([&] {
            const PathInfo info = InfoOf(member);
            total += info.regular() ? info.size : 0;
        });
    }
    ReadProgress progress(display_, int64_t(set.members.size()), total);
    std::vector<uint8_t> buffer(size_t{1} << 20);
    ListHash whole(list ? list->kind : ListHash::Kind::kSha256);
    bool whole_known = listed && list->members.empty() && list->whole;
    for (size_t i = 0; i < set.members.size(); ++i) {
        StopIfAsked();
        PieceCheck check;
        check.number = int64_t(i) + 1;
        check.name = set.members[i];
        PathInfo info = Do([&] { return InfoOf(check.name); });
        if (!info.exists()) {
            check.state = PieceState::kMissing;
        } else if (!info.regular()) {
            check.state = PieceState::kNotOrdinary;
        } else {
            check.actual = info.size;
            piece = piece < 0 ? info.size : piece;
            const bool last = i + 1 == set.members.size();
            check.expected = last ? std::min(info.size, piece) : piece;
            check.state = info.size < check.expected   ? PieceState::kShort
                          : info.size > check.expected ? PieceState::kLonger
                                                       : PieceState::kGood;
            if (last && info.size > piece) {
                check.expected = piece;
                check.state = PieceState::kLonger;
            }
            try {
                ListHash hash(list ? list->kind : ListHash::Kind::kSha256);
                File file = File::OpenForReading(check.name);
                for (int64_t left = info.size; left > 0;) {
                    StopIfAsked();
                    const auto n =
                        static_cast<int32_t>(std::min<int64_t>(left, int64_t(buffer.size())));
                    file.Read(buffer.data(), n);
                    hash.Update(buffer.data(), size_t(n));
                    whole.Update(buffer.data(), size_t(n));
                    left -= n;
                    progress.Read(check.number, n);
                }
                if (listed && !list->members.empty()) {
                    check.compared = true;
                    if (check.state == PieceState::kGood && hash.Finish() != list->members[i]) {
                        check.state = PieceState::kDamaged;
                    }
                }
            } catch (const RuntimeError& error) {
                check.state = PieceState::kUnreadable;
                check.reason = error.description();
            }
        }
        whole_known = whole_known && check.state == PieceState::kGood;
        report.pieces.push_back(check);
    }
    if (whole_known) {
        report.whole = whole.Finish() == *list->whole ? SeriesReport::Whole::kAsListed
                                                      : SeriesReport::Whole::kDiffers;
    }
    return report;
}

SeriesReport CheckJob::Run(const std::string& first_piece, bool from_medium) {
    const std::optional<NumberedSet> set = OtherToolsSet(first_piece);
    if (set) {
        return RunSet(*set);
    }
    const FileLock lock = LockForReading(first_piece);
    const SeriesFound found = FindSeries(first_piece);
    const SeriesPlan& series = found.plan;
    SeriesReport report;
    const ListReading list = ReadList(first_piece, series.count);
    report.list = list.path;
    report.list_problem = list.problem;
    report.list_state = list.digests            ? SeriesReport::List::kUsed
                        : !list.problem.empty() ? SeriesReport::List::kUnusable
                                                : SeriesReport::List::kMissing;
    CheckOptions options;
    options.from_medium = from_medium;
    ReadProgress progress(display_, series.count, series.stream_length);
    options.read = [&progress](int64_t piece, int64_t bytes) { progress.Read(piece, bytes); };
    // The file the pieces make is compared only where its line is the list's proof of it.
    std::optional<Digest> whole;
    options.whole = list.digests && list.digests->whole_proves() ? &whole : nullptr;
    report.recovery = Survey(first_piece, found, list, options, report.pieces);
    if (whole) {
        report.whole = whole == list.digests->whole ? SeriesReport::Whole::kAsListed
                                                    : SeriesReport::Whole::kDiffers;
    }
    try {
        report.after = FilesAfterSeries(first_piece, series.count);
    } catch (const RuntimeError&) {
        // What cannot be looked at is not listed; the pieces themselves were.
    }
    // What is lost can be rebuilt only when its rebuild, worked out here and thrown away,
    // proves out against the recovery pieces' checksums and the list.
    const SeriesDigests* digests = list.digests ? &*list.digests : nullptr;
    const std::vector<int64_t> lost = LostPieces(report.pieces);
    if (!lost.empty() && report.recovery.version > 0) {
        Do([&] {
            report.enough = EnoughToRebuild(series, report.pieces, report.recovery, digests);
        });
    }
    if (report.enough) {
        std::map<int64_t, File*> trial;
        for (const int64_t n : lost) {
            trial[n] = nullptr;
        }
        report.rebuild = RebuildLost(series, report.pieces, report.recovery, digests, trial, {},
                                     [&](const std::function<void()>& step) { Do(step); });
    }
    report.rebuildable = report.enough && report.rebuild.proven();
    report.lost_recovery = LostRecoveryPieces(report.recovery);
    // A recovery piece is written again from the series' pieces; what proves it is its
    // recovery pieces' table, or its line in the list.
    report.recovery_rewritable =
        !report.lost_recovery.empty() && (lost.empty() || report.rebuildable);
    for (const int j : report.lost_recovery) {
        const bool table = report.recovery.version == 2 && !report.recovery.table.crcs.empty();
        const bool listed = digests && size_t(j) < digests->recovery.size();
        report.recovery_rewritable = report.recovery_rewritable && (table || listed);
    }
    return report;
}

bool RepairJob::Run(const std::string& first_piece) {
    RefuseIf(CheckFileNamed(first_piece));
    // Another tool's set has nothing to rebuild from.
    const std::optional<NumberedSet> set = OtherToolsSet(first_piece);
    if (set) {
        RefuseIf(Refusal(SetWithoutRecoveryMessage(NameOf(set->output))));
    }
    ResultNames result = Do([&] { return ResultNames::Series(first_piece); });
    const FileLock lock = LockForWriting(result);
    const SeriesFound found = FindSeries(first_piece);
    const SeriesPlan& series = found.plan;
    display_.ShowTotal(series.count);
    const ListReading list = ReadList(first_piece, series.count);
    const SeriesDigests* digests = list.digests ? &*list.digests : nullptr;
    std::vector<PieceCheck> pieces;
    const RecoveryCheck recovery = Survey(first_piece, found, list, CheckOptions(), pieces);
    // What is not in its place is written there: a renamed copy too, rebuilt under its name.
    const SeriesNames series_names(first_piece);
    std::map<int64_t, File*> pieces_out;
    std::map<int, File*> recovery_out;
    std::vector<std::string> names;
    std::vector<std::string> lost;
    for (PieceCheck& piece : pieces) {
        if (PieceLost(piece) || piece.state == PieceState::kMissing) {
            piece.look_alike_checked = false;
            pieces_out[piece.number] = nullptr;
            names.push_back(piece.name);
        }
    }
    lost = names;
    for (const int j : LostRecoveryPieces(recovery)) {
        recovery_out[j] = nullptr;
        std::string name = RecoveryPieceName(series_names, j);
        for (const RecoveryPieceCheck& piece : recovery.pieces) {
            if (piece.row == j || (piece.row < 0 && piece.index == j)) {
                name = piece.name;  // in the letter case it has there
                break;
            }
        }
        names.push_back(name);
    }
    if (names.empty()) {
        Show(NothingToRepairNotice());
        return true;
    }
    if (!lost.empty() && recovery.ambiguous) {
        RefuseIf(Refusal(AmbiguousRecoveryMessage(lost.size())));
    }
    // Only ordinary files are replaced: a folder or a link at a name is the user's to move.
    for (const std::string& name : names) {
        std::optional<Notice> refusal = Do([&] { return CheckReplaceable(name); });
        RefuseIf(refusal);
    }
    bool enough = recovery.version > 0;
    if (enough && !pieces_out.empty()) {
        Do([&] { enough = EnoughToRebuild(series, pieces, recovery, digests); });
    }
    if (!enough) {
        RefuseIf(Refusal(CannotRebuildMessage(lost.empty() ? names : lost, recovery.good())));
    }
    AskOrEnd(RepairConfirmation(names));
    const uint32_t permissions = SeriesAccess(pieces);
    Commit commit(result);
    std::vector<File> made(names.size());
    size_t next = 0;
    const auto create = [&](const std::string& name) {
        File& made_file = made[next];
        Do([&] { made_file = commit.Create(name, permissions); });
        return &made[next++];
    };
    for (auto& out : pieces_out) {
        out.second = create(series_names[out.first]);
    }
    for (size_t i = 0; i < recovery_out.size(); ++i) {
        auto out = std::next(recovery_out.begin(), std::ptrdiff_t(i));
        out->second = create(names[pieces_out.size() + i]);
    }
    const RebuildOutcome outcome =
        RebuildLost(series, pieces, recovery, digests, pieces_out, recovery_out,
                    [&](const std::function<void()>& step) { Do(step); });
    if (!outcome.proven()) {
        RefuseIf(Refusal(UnprovenRebuildMessage(names, outcome)));
    }
    for (File& file : made) {
        Do([&] { file.Sync(); });
        Do([&] { file.Close(); });
    }
    try {
        commit.Run([&](const std::function<void()>& work) { trap_.Must(work); });
    } catch (...) {
        left_behind_ = commit.left();
        SayLeftBehind();
        throw;
    }
    Show(RepairedNotice(names));
    return true;
}

}  // namespace

std::optional<SeriesReport> CheckFirstPiece(const std::string& first_piece,
                                            ProgressDisplay& display, MessageBox& message_box,
                                            bool from_medium) {
    return Guarded(message_box, [&]() -> std::optional<SeriesReport> {
        return CheckJob(display, message_box).Run(first_piece, from_medium);
    });
}

bool RepairFirstPiece(const std::string& first_piece, ProgressDisplay& display,
                      MessageBox& message_box) {
    return Guarded(message_box, [&] { return RepairJob(display, message_box).Run(first_piece); });
}

}  // namespace tessarel
