#include "control/go_command.h"

#include "engine/checksums.h"
#include "engine/piece_series.h"
#include "engine/series_check.h"
#include "engine/split_join.h"
#include "fileutil/error_trap.h"
#include "platform/conversions.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// Runs one request: each step of the file system or of a rule that may raise an error goes
// through the trap; the rules themselves are the plain functions of request_plan.
class GoRequest {
  public:
    GoRequest(ProgressDisplay* display, MessageBox& box)
        : display_(display), box_(box), trap_(box) {}

    // Reads the window's fields into a request, as the Go command of the window does.
    Request ReadForm(GoForm& form);
    bool Split(SplitRequest request);
    bool Join(const JoinRequest& request);
    // Reads the first piece's header and plans the series from it, or refuses it.
    SeriesPlan PlanFromFirstPiece(const std::string& first_piece);
    // Every piece of that series, with what was found.
    std::vector<PieceCheck> PiecesOf(const std::string& first_piece, const SeriesPlan& plan,
                                     CheckDepth depth, const SeriesDigests* expected = nullptr) {
        std::vector<PieceCheck> pieces;
        Do([&] { pieces = CheckSeries(first_piece, plan, depth, expected); });
        return pieces;
    }
    // The digests the series' checksum list gives, when it lies beside the first piece: set in
    // digests, or the reason the list cannot be used. Neither when there is no list.
    struct ListReading {
        std::string path;
        std::optional<SeriesDigests> digests;
        std::string problem;
    };
    ListReading ReadList(const std::string& first_piece, int64_t count);

  private:
    template <typename F>
    void Do(F&& step) {
        StopIfAsked();
        trap_.Must(step);
    }
    // A stop asked for before the operation starts ends the request without a word.
    void StopIfAsked() {
        if (display_ && display_->StopRequested()) {
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
        return outcome == Outcome::kDone;
    }
    // Asks before existing files are replaced (the first of them named), then makes and deletes
    // a file beside the destination so a folder that takes none is said before the operation
    // starts. False when the user would not have them replaced.
    bool ClearTheWay(const std::string& destination, const std::vector<std::string>& existing);

    // What the file system that is to hold path says of its room.
    static DiskRoom RoomFor(const std::string& path) {
        return {FreeSpaceOn(path), LargestFileOn(path)};
    }

    ProgressDisplay* display_;  // none when only a series is looked at
    MessageBox& box_;
    ErrorTrap trap_;
};

Request GoRequest::ReadForm(GoForm& form) {
    RefuseIf(CheckNamesGiven(form.OpenText(), form.SaveText()));
    const std::string source = TrimBlanks(form.OpenText());
    const std::string destination = TrimBlanks(form.SaveText());
    if (!form.SplitSelected()) {
        return JoinRequest{source, destination};
    }
    SplitRequest request;
    request.source = source;
    request.destination = destination;
    request.first_piece_settled = [&form](const std::string& name) { form.SetSaveText(name); };
    Do([&] {
        request.piece_size = form.ExactSelected() ? TextToLength(form.ExactText())
                                                  : ApproximateBytes(form.ApproxText());
        // The hidden size field shows the bytes, as a number in a message is shown.
        form.SetSizeText(StrWithSign(request.piece_size));
    });
    return request;
}

bool GoRequest::Split(SplitRequest request) {
    const std::string& source = request.source;
    RefuseIf(CheckFileNamed(source));
    RefuseIf(CheckFileNamed(request.destination));
    std::string first_piece;
    Do([&] { first_piece = FirstPieceName(request.destination); });
    if (first_piece != request.destination && request.first_piece_settled) {
        request.first_piece_settled(first_piece);
    }
    int64_t file_length = 0;
    PathInfo source_info;
    Do([&] { file_length = FileLength(source); });
    Do([&] { source_info = InfoOf(source); });
    if (request.most_pieces > 0) {
        request.piece_size = PieceSizeForCount(file_length, request.most_pieces);
    }
    PlanOrRefusal outcome;
    Do([&] { outcome = PlanSplit(file_length, request.piece_size); });
    const SeriesPlan series = PlanOrRefuse(outcome);
    display_->ShowTotal(series.count);
    std::optional<Notice> onto_source;
    Do([&] { onto_source = CheckSplitTarget(source, first_piece, series.count, SameFile); });
    RefuseIf(onto_source);
    // Every name the series will take must be an ordinary file's, or free.
    SeriesNames names;
    Do([&] { names = SeriesNames(first_piece); });
    for (int64_t n = 1; n <= series.count; ++n) {
        std::optional<Notice> refusal;
        Do([&] { refusal = CheckReplaceable(names[n]); });
        RefuseIf(refusal);
    }
    std::string list_name;
    Do([&] { list_name = ChecksumListName(first_piece); });
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
    AskOrEnd(SplitConfirmation(series.count));
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
    AskOrEnd(CheckFreeRoom(Mode::kSplit, first_piece, disk,
                           series.stream_length + (request.checksums ? 200 * series.count : 0)));
    std::vector<std::string> existing;
    Do([&] {
        existing = ExistingNames(names, series.count);
        // The list is replaced too, or removed when none is written: a list of an older series
        // would call the new pieces damaged.
        if (!list_name.empty() && InfoOf(list_name, false).exists()) {
            existing.push_back(list_name);
        }
    });
    if (!ClearTheWay(first_piece, existing)) {
        return Done(Outcome::kNotDone);
    }
    OperationPlan plan;
    plan.mode = Mode::kSplit;
    plan.whole = source;
    plan.first_piece = first_piece;
    plan.series = series;
    plan.source_modified = source_info.modified;
    plan.write_checksums = request.checksums;
    StopIfAsked();
    return Done(RunOperation(plan, *display_, box_));
}

SeriesPlan GoRequest::PlanFromFirstPiece(const std::string& first_piece) {
    int64_t piece_length = 0;
    Do([&] { piece_length = FileLength(first_piece); });
    std::string header;
    if (piece_length > kHeaderLength) {
        File piece;
        Do([&] { piece = File::OpenForReading(first_piece); });
        for (int i = 0; i < kHeaderLength; ++i) {
            uint8_t byte = 0;
            Do([&] { piece.Read(&byte, 1); });
            header += static_cast<char>(byte);
        }
        Do([&] { piece.Close(); });
    }
    PlanOrRefusal outcome;
    Do([&] { outcome = PlanJoin(header, piece_length); });
    return PlanOrRefuse(outcome);
}

bool GoRequest::Join(const JoinRequest& request) {
    const std::string& first_piece = request.first_piece;
    const std::string& output = request.output;
    RefuseIf(CheckFileNamed(first_piece));
    RefuseIf(CheckFileNamed(output));
    const SeriesPlan series = PlanFromFirstPiece(first_piece);
    display_->ShowTotal(series.count);
    std::optional<Notice> refusal;
    Do([&] { refusal = CheckJoinTarget(first_piece, output, series.count, SameFile); });
    RefuseIf(refusal);
    Do([&] { refusal = CheckReplaceable(output); });
    RefuseIf(refusal);
    // The checksum list, when there is one, also tells a missing piece's look-alike for sure.
    // Every piece is looked at, and opened, before anything is written: a join that would stop
    // half-way must not have replaced the user's file first.
    ListReading list;
    if (request.verify) {
        list = ReadList(first_piece, series.count);
    }
    const std::vector<PieceCheck> pieces =
        PiecesOf(first_piece, series, CheckDepth::kOpen, list.digests ? &*list.digests : nullptr);
    RefuseIf(CheckPieces(pieces));
    AskOrEnd(LongerPiecesQuestion(pieces));
    if (request.verify) {
        if (!list.problem.empty() &&
            Show(UnusableListQuestion(NameOf(list.path), list.problem)) != kAnswerYes) {
            throw GivenUp{};
        }
    }
    const DiskRoom disk = RoomFor(output);
    RefuseIf(CheckLargestFile(Mode::kJoin, output, disk, series.source_length()));
    AskOrEnd(JoinConfirmation(series.count));
    AskOrEnd(CheckFreeRoom(Mode::kJoin, output, disk, series.source_length()));
    StopIfAsked();
    std::vector<std::string> existing;
    Do([&] {
        if (!DirectoryLookup(output).empty()) {
            existing.push_back(output);
        }
    });
    if (!ClearTheWay(output, existing)) {
        return Done(Outcome::kNotDone);
    }
    OperationPlan plan;
    plan.mode = Mode::kJoin;
    plan.whole = output;
    plan.first_piece = first_piece;
    plan.series = series;
    plan.expected = list.digests;
    StopIfAsked();
    return Done(RunOperation(plan, *display_, box_));
}

GoRequest::ListReading GoRequest::ReadList(const std::string& first_piece, int64_t count) {
    ListReading reading;
    SeriesNames names;
    Do([&] {
        names = SeriesNames(first_piece);
        reading.path = ChecksumListName(first_piece);
    });
    std::string text;
    try {
        const PathInfo info = InfoOf(reading.path);
        if (!info.exists()) {
            return reading;
        }
        if (!info.regular() || info.size > kMaxChecksumListBytes) {
            reading.problem = !info.regular() ? "it is not an ordinary file"
                                              : "it is too large to be a list of ours";
            return reading;
        }
        File file = File::OpenForReading(reading.path);
        text.resize(static_cast<size_t>(info.size));
        file.Read(reinterpret_cast<uint8_t*>(text.data()), static_cast<int32_t>(info.size));
    } catch (const RuntimeError& error) {
        // A name too long to exist is a list that is not there.
        if (error.number() != kErrBadFileName) {
            reading.problem = error.description();
        }
        return reading;
    }
    const auto parsed = ParseChecksumList(text);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        reading.problem = *problem;
        return reading;
    }
    const auto digests = DigestsForSeries(std::get<ChecksumList>(parsed), names, count);
    if (const auto* problem = std::get_if<std::string>(&digests)) {
        reading.problem = *problem;
    } else {
        reading.digests = std::get<SeriesDigests>(digests);
    }
    return reading;
}

bool GoRequest::ClearTheWay(const std::string& destination,
                            const std::vector<std::string>& existing) {
    if (!existing.empty() &&
        Show(OverwriteQuestion(NameOf(existing.front()),
                               static_cast<int64_t>(existing.size()) - 1)) != kAnswerOk) {
        return false;
    }
    // A file can be made where the result goes: what cannot be written is said now, before
    // the operation starts. Nothing of the user's is touched.
    File probe;
    std::string name;
    Do([&] {
        probe = CreateTemporaryBeside(destination);
        name = probe.path();
    });
    // Gone again whatever comes next, a stop included.
    struct Removal {
        const std::string& name;
        ~Removal() { RemoveQuietly(name); }
    } removal{name};
    Do([&] { probe.Close(); });
    Do([&] { DeleteFile(name); });
    return true;
}

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

}  // namespace

std::optional<Request> ReadGoForm(GoForm& form, MessageBox& message_box) {
    return Guarded(message_box, [&]() -> std::optional<Request> {
        return GoRequest(nullptr, message_box).ReadForm(form);
    });
}

bool RunRequest(const Request& request, ProgressDisplay& display, MessageBox& message_box) {
    if (const auto* split = std::get_if<SplitRequest>(&request)) {
        return RunSplit(*split, display, message_box);
    }
    return RunJoin(std::get<JoinRequest>(request), display, message_box);
}

bool cmdGo_Click(GoForm& form, ProgressDisplay& display, MessageBox& message_box) {
    const auto request = ReadGoForm(form, message_box);
    return request && RunRequest(*request, display, message_box);
}

bool RunSplit(const SplitRequest& request, ProgressDisplay& display, MessageBox& message_box) {
    return Guarded(message_box, [&] { return GoRequest(&display, message_box).Split(request); });
}

bool RunJoin(const JoinRequest& request, ProgressDisplay& display, MessageBox& message_box) {
    return Guarded(message_box, [&] { return GoRequest(&display, message_box).Join(request); });
}

std::optional<SeriesReport> CheckFirstPiece(const std::string& first_piece,
                                            MessageBox& message_box) {
    return Guarded(message_box, [&]() -> std::optional<SeriesReport> {
        GoRequest request(nullptr, message_box);
        const SeriesPlan series = request.PlanFromFirstPiece(first_piece);
        SeriesReport report;
        const auto list = request.ReadList(first_piece, series.count);
        report.list = list.path;
        report.list_problem = list.problem;
        report.list_state = list.digests            ? SeriesReport::List::kUsed
                            : !list.problem.empty() ? SeriesReport::List::kUnusable
                                                    : SeriesReport::List::kMissing;
        report.pieces = request.PiecesOf(first_piece, series, CheckDepth::kRead,
                                         list.digests ? &*list.digests : nullptr);
        return report;
    });
}

}  // namespace tessarel
