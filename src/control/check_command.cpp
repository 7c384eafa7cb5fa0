// The check and repair commands: every piece of a series read through against its checksum
// list and its recovery pieces; a repair rebuilds what is lost in place, in one commit.
#include <map>

#include "control/commands.h"
#include "control/messages.h"
#include "control/request_steps.h"
#include "engine/piece_series.h"
#include "engine/recovery.h"
#include "platform/file.h"

namespace tessarel {
namespace {

class CheckJob : public RequestSteps {
  public:
    using RequestSteps::RequestSteps;
    SeriesReport Run(const std::string& first_piece);
};

class RepairJob : public RequestSteps {
  public:
    using RequestSteps::RequestSteps;
    bool Run(const std::string& first_piece);
};

SeriesReport CheckJob::Run(const std::string& first_piece) {
    const FileLock lock = LockForReading(first_piece);
    const SeriesPlan series = PlanFromFirstPiece(first_piece);
    SeriesReport report;
    const ListReading list = ReadList(first_piece, series.count);
    report.list = list.path;
    report.list_problem = list.problem;
    report.list_state = list.digests            ? SeriesReport::List::kUsed
                        : !list.problem.empty() ? SeriesReport::List::kUnusable
                                                : SeriesReport::List::kMissing;
    CheckOptions options;
    options.depth = CheckDepth::kRead;
    options.expected = list.digests ? &*list.digests : nullptr;
    // The file the pieces make is compared only where its line is the list's proof of it.
    std::optional<Digest> whole;
    options.whole = list.digests && list.digests->whole_proves() ? &whole : nullptr;
    report.pieces = PiecesOf(first_piece, series, options);
    if (whole) {
        report.whole = whole == list.digests->whole ? SeriesReport::Whole::kAsListed
                                                    : SeriesReport::Whole::kDiffers;
    }
    try {
        report.after = FilesAfterSeries(first_piece, series.count);
    } catch (const RuntimeError&) {
        // What cannot be looked at is not listed; the pieces themselves were.
    }
    report.recovery = RecoveryOf(first_piece, series, list, true);
    report.rebuildable = CanRebuild(report.pieces, report.recovery);
    return report;
}

bool RepairJob::Run(const std::string& first_piece) {
    RefuseIf(CheckFileNamed(first_piece));
    ResultNames result;
    Do([&] { result = ResultNames::Series(first_piece); });
    const FileLock lock = LockForWriting(result);
    const SeriesPlan series = PlanFromFirstPiece(first_piece);
    display_.ShowTotal(series.count);
    const ListReading list = ReadList(first_piece, series.count);
    CheckOptions options;
    options.depth = CheckDepth::kRead;
    options.expected = list.digests ? &*list.digests : nullptr;
    std::vector<PieceCheck> pieces = PiecesOf(first_piece, series, options);
    const RecoveryCheck recovery = RecoveryOf(first_piece, series, list, true);
    // What is not in its place is written there: a renamed copy too, rebuilt under its name.
    std::map<int64_t, File*> pieces_out;
    std::map<int, File*> recovery_out;
    std::vector<std::string> names;
    for (PieceCheck& piece : pieces) {
        if (PieceLost(piece) || piece.state == PieceState::kMissing) {
            piece.look_alike_checked = false;
            pieces_out[piece.number] = nullptr;
            names.push_back(piece.name);
        }
    }
    for (const RecoveryPieceCheck& piece : recovery.pieces) {
        if (piece.state != RecoveryPieceCheck::State::kGood) {
            recovery_out[piece.index] = nullptr;
            names.push_back(piece.name);
        }
    }
    if (names.empty()) {
        Show(NothingToRepairNotice());
        return true;
    }
    if (int(pieces_out.size()) > recovery.good()) {
        std::vector<std::string> lost;
        for (const auto& [n, file] : pieces_out) {
            lost.push_back(pieces[size_t(n) - 1].name);
        }
        RefuseIf(Refusal(CannotRebuildMessage(lost, recovery.good())));
    }
    AskOrEnd(RepairConfirmation(names));
    const SeriesNames series_names(first_piece);
    uint32_t permissions = 0666;
    Do([&] { permissions = InfoOf(PiecePath(pieces.front())).permissions; });
    Commit commit(first_piece);
    std::vector<File> made(names.size());
    size_t next = 0;
    // (Named copies, not structured bindings: a lambda may not capture those in C++17.)
    for (auto& out : pieces_out) {
        const int64_t n = out.first;
        File& made_file = made[next++];
        Do([&] { made_file = commit.Create(series_names[n], permissions ? permissions : 0666); });
        out.second = &made_file;
    }
    for (auto& out : recovery_out) {
        const auto j = out.first;
        File& made_file = made[next++];
        Do([&] {
            made_file =
                commit.Create(RecoveryPieceName(series_names, j), permissions ? permissions : 0666);
        });
        const std::vector<uint8_t> header = RecoveryHeaderBytes(
            {int(series.count), recovery.declared, j, series.piece_size, series.stream_length});
        Do([&] { made_file.Write(header.data(), kRecoveryHeaderLength); });
        out.second = &made_file;
    }
    const auto step = [&](const std::function<void()>& work) { Do(work); };
    RebuildLost(series_names, series, pieces, recovery, pieces_out, recovery_out, step);
    for (File& file : made) {
        Do([&] { file.Sync(); });
        Do([&] { file.Close(); });
    }
    commit.Run([&](const std::function<void()>& work) { trap_.Must(work); });
    Show(RepairedNotice(names));
    return true;
}

}  // namespace

std::optional<SeriesReport> CheckFirstPiece(const std::string& first_piece,
                                            ProgressDisplay& display, MessageBox& message_box) {
    return Guarded(message_box, [&]() -> std::optional<SeriesReport> {
        return CheckJob(display, message_box).Run(first_piece);
    });
}

bool RepairFirstPiece(const std::string& first_piece, ProgressDisplay& display,
                      MessageBox& message_box) {
    return Guarded(message_box, [&] { return RepairJob(display, message_box).Run(first_piece); });
}

}  // namespace tessarel
