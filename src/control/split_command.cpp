// The split command: the checks before a split (the names, the source, the plan, every name
// the series takes, the room), the questions, then the operation.
#include "control/commands.h"
#include "control/messages.h"
#include "control/request_steps.h"
#include "engine/piece_series.h"
#include "engine/recovery.h"
#include "engine/split_join.h"
#include "platform/extension.h"
#include "platform/file.h"

namespace tessarel {
namespace {

class SplitJob : public RequestSteps {
  public:
    using RequestSteps::RequestSteps;
    bool Run(SplitRequest request);
};

bool SplitJob::Run(SplitRequest request) {
    const std::string& source = request.source;
    RefuseIf(CheckFileNamed(source));
    RefuseIf(CheckFileNamed(request.destination));
    std::string first_piece = Do([&] {
        return request.numbered ? FirstNumberedName(request.destination)
                                : FirstPieceName(request.destination);
    });
    if (first_piece != request.destination && request.first_piece_settled) {
        request.first_piece_settled(first_piece);
    }
    ResultNames result = Do([&] { return ResultNames::Series(first_piece); });
    // Held until the series is in place: one writer of a series at a time.
    const FileLock lock = LockForWriting(result);
    int64_t file_length = 0;
    PathInfo source_info = Do([&] { return InfoOf(source); });
    // A folder, a device, a pipe or a socket is no file to split: said as such, before any
    // rule of sizes is measured against a length it does not have.
    if (source_info.exists() && !source_info.regular()) {
        RefuseIf(Refusal(NotAFileToSplitMessage(NameOf(source), source_info.kind)));
    }
    Do([&] { file_length = FileLength(source); });
    if (request.most_pieces > 0) {
        request.piece_size = PieceSizeForCount(file_length, request.most_pieces);
    }
    PlanOrRefusal outcome =
        Do([&] { return PlanSplit(file_length, request.piece_size, request.numbered); });
    const SeriesPlan series = PlanOrRefuse(outcome);
    display_.ShowTotal(series.count);
    std::optional<Notice> onto_source =
        Do([&] { return CheckSplitTarget(source, first_piece, series.count, SameFile); });
    RefuseIf(onto_source);
    // Every name the series will take must be an ordinary file's, or free.
    SeriesNames names = Do([&] {
        return request.numbered ? NumberedNames(StripExtension(first_piece))
                                : SeriesNames(first_piece);
    });
    for (int64_t n = 1; n <= series.count; ++n) {
        std::optional<Notice> refusal = Do([&] { return CheckReplaceable(names[n]); });
        RefuseIf(refusal);
    }
    // So must the names the commit takes away: an older series' tail, its recovery pieces.
    std::vector<std::string> going;
    Do([&] {
        going = FilesAfterSeries(names, series.count);
        for (const auto& there : RecoveryPieceNames(names)) {
            going.push_back(there.second);
        }
    });
    for (const std::string& name : going) {
        std::optional<Notice> refusal = Do([&] { return CheckReplaceable(name); });
        RefuseIf(refusal);
    }
    std::string list_name = Do([&] { return ChecksumListName(first_piece); });
    try {
        RefuseIf(CheckReplaceable(list_name));
    } catch (const RuntimeError& error) {
        // A name at the file system's limit leaves no room for ".sha256": such a series goes
        // without its list rather than not at all.
        if (error.number() != kErrBadFileName) {
            throw;
        }
        request.checksums = false;
        list_name.clear();
    }
    const DiskRoom disk = RoomFor(first_piece);
    RefuseIf(CheckLargestFile(Mode::kSplit, first_piece, disk, series.piece_size));
    const std::optional<int> count = request.recovery.For(series.count);
    if (!count) {
        RefuseIf(Refusal(TooManyRecoveryPiecesMessage()));
    }
    const int recovery = *count;
    const RecoveryHeader recovery_piece{
        kRecoveryFormatVersion, int(series.count),   recovery, 0, series.piece_size,
        series.stream_length,   StripeSizeOf(series)};
    AskOrEnd(SplitConfirmation(series.count, recovery));
    StopIfAsked();
    // Reading one byte now reports a source that cannot be read before anything is written.
    // The source is opened for reading only, so a read-only file can be split.
    File probe;
    uint8_t byte = 0;
    Do([&] { probe = File::OpenForReading(source); });
    Do([&] { probe.Read(&byte, 1); });
    Do([&] { probe.Close(); });
    // Older pieces of the name are replaced only once the new ones are whole: the room needed
    // is the whole series' (its checksum list is a line of about a hundred bytes a piece).
    AskAboutRoom(Mode::kSplit, first_piece, disk,
                 series.stream_length + (request.checksums ? 200 * series.count : 0) +
                     recovery * recovery_piece.file_length());
    Replacement replaced;
    Do([&] {
        replaced = Replacement();
        const std::vector<std::string> pieces = ExistingNames(names, series.count);
        for (const std::string& piece : pieces) {
            NoteLinks(replaced, piece);
        }
        if (!pieces.empty()) {
            replaced.first = NameOf(pieces.front());
            replaced.more_pieces = static_cast<int64_t>(pieces.size()) - 1;
        }
        // The list is replaced too, or removed when none is written: a list of an older series
        // would call the new pieces damaged.
        if (!list_name.empty() && InfoOf(list_name, false).exists()) {
            NoteLinks(replaced, list_name);
            (replaced.first.empty() ? replaced.first : replaced.list) = NameOf(list_name);
        }
        // So are recovery pieces of that name.
        for (const auto& there : RecoveryPieceNames(names)) {
            NoteLinks(replaced, there.second);
            ++replaced.recovery;
        }
        // So are an older, longer series' pieces after the new last one.
        const std::vector<std::string> tail = FilesAfterSeries(names, series.count);
        if (!tail.empty() && replaced.first.empty()) {
            replaced.first = NameOf(tail.front());
            replaced.tail = static_cast<int64_t>(tail.size()) - 1;
        } else {
            replaced.tail = static_cast<int64_t>(tail.size());
        }
    });
    if (!ClearTheWay(first_piece, replaced)) {
        return Done(Outcome::kNotDone);
    }
    OperationPlan plan(Mode::kSplit, source, first_piece, series);
    plan.source_modified = source_info.modified;
    plan.write_checksums = request.checksums;
    plan.recovery_pieces = recovery;
    if (request.numbered) {
        plan.names = names;
    }
    Do([&] { plan.read_back = ReadsBack(request.read_back, first_piece); });
    StopIfAsked();
    plan.left_behind = &left_behind_;
    plan.not_kept = &not_kept_;
    return Done(RunOperation(plan, display_, box_));
}

}  // namespace

bool RunSplit(const SplitRequest& request, ProgressDisplay& display, MessageBox& message_box) {
    return Guarded(message_box, [&] { return SplitJob(display, message_box).Run(request); });
}

}  // namespace tessarel
