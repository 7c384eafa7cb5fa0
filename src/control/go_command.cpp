#include "control/go_command.h"

#include "engine/piece_series.h"
#include "engine/series_check.h"
#include "engine/split_join.h"
#include "fileutil/error_trap.h"
#include "platform/conversions.h"
#include "platform/file.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// Runs one request: each step of the file system or of a rule that may raise an error goes
// through the trap; the rules themselves are the plain functions of request_plan.
class GoRequest {
  public:
    GoRequest(GoForm* form, ProgressDisplay* display, MessageBox& box)
        : form_(form), display_(display), box_(box), trap_(box) {}

    bool Run();
    // Reads the first piece's header and plans the series from it, or refuses it.
    SeriesPlan PlanFromFirstPiece(const std::string& first_piece);
    // Every piece of that series, with what was found.
    std::vector<PieceCheck> PiecesOf(const std::string& first_piece, const SeriesPlan& plan) {
        std::vector<PieceCheck> pieces;
        Do([&] { pieces = CheckSeries(first_piece, plan.stream_length, plan.piece_size); });
        return pieces;
    }

  private:
    template <typename F>
    void Do(F&& step) {
        trap_.Must(step);
    }
    int Show(const Notice& notice) { return box_.Show(notice.prompt, notice.style, notice.title); }
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

    bool SplitBranch();
    bool JoinBranch();
    // Asks before an existing destination is replaced, then creates and deletes it so the
    // engine starts on a free name. False when the user would not have it replaced.
    bool ClearDestination();

    GoForm* form_;  // none when only a series is looked at
    ProgressDisplay* display_;
    MessageBox& box_;
    ErrorTrap trap_;
    std::string source_;
    std::string destination_;
};

bool GoRequest::Run() {
    RefuseIf(CheckNamesGiven(form_->OpenText(), form_->SaveText()));
    source_ = TrimBlanks(form_->OpenText());
    destination_ = TrimBlanks(form_->SaveText());
    const bool done = form_->SplitSelected() ? SplitBranch() : JoinBranch();
    if (!done) {
        Show(FailedNotice());
    }
    return done;
}

bool GoRequest::SplitBranch() {
    std::string first_piece;
    Do([&] { first_piece = FirstPieceName(destination_); });
    if (first_piece != destination_) {
        destination_ = first_piece;
        form_->SetSaveText(destination_);
    }
    Do([&] {
        form_->SetSizeText(
            PieceSizeText(form_->ExactSelected(), form_->ExactText(), form_->ApproxText()));
    });
    int64_t file_length = 0;
    int32_t piece_size = 0;
    Do([&] { file_length = FileLength(source_); });
    Do([&] { piece_size = TextToInt32(form_->SizeText()); });
    PlanOrRefusal outcome;
    Do([&] { outcome = PlanSplit(file_length, piece_size); });
    const SeriesPlan plan = PlanOrRefuse(outcome);
    form_->SetTotalCaption(PlainNumber(plan.count));
    std::optional<Notice> onto_source;
    Do([&] { onto_source = CheckSplitTarget(source_, destination_, plan.count, SameFile); });
    RefuseIf(onto_source);
    AskOrEnd(SplitConfirmation(plan.count));
    // Reading one byte now reports a source that cannot be read before anything is written.
    // The source is opened for reading only, so a read-only file can be split.
    File probe;
    uint8_t byte = 0;
    Do([&] { probe = File::OpenForReading(source_); });
    Do([&] { probe.Read(&byte, 1); });
    Do([&] { probe.Close(); });
    if (!ClearDestination()) {
        return false;
    }
    return SplitJoin(source_, destination_, Mode::kSplit, plan.stream_length, plan.piece_size,
                     plan.count, *display_, box_);
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

bool GoRequest::JoinBranch() {
    const SeriesPlan plan = PlanFromFirstPiece(source_);
    form_->SetTotalCaption(PlainNumber(plan.count));
    std::optional<Notice> onto_piece;
    Do([&] { onto_piece = CheckJoinTarget(source_, destination_, plan.count, SameFile); });
    RefuseIf(onto_piece);
    // Every piece is looked at before anything is written: a join that would stop half-way
    // must not have replaced the user's file first.
    const std::vector<PieceCheck> pieces = PiecesOf(source_, plan);
    RefuseIf(CheckPieces(pieces));
    AskOrEnd(LongerPiecesQuestion(pieces));
    AskOrEnd(JoinConfirmation(plan.count));
    if (!ClearDestination()) {
        return false;
    }
    return SplitJoin(source_, destination_, Mode::kJoin, plan.stream_length, plan.piece_size,
                     plan.count, *display_, box_);
}

bool GoRequest::ClearDestination() {
    std::string existing;
    Do([&] { existing = DirectoryLookup(destination_); });
    if (!existing.empty() && Show(OverwriteQuestion(existing)) != kAnswerOk) {
        return false;
    }
    File cleared;
    Do([&] { cleared = File::OpenBinary(destination_); });
    Do([&] { cleared.Close(); });
    Do([&] { DeleteFile(destination_); });
    return true;
}

}  // namespace

namespace {

// Runs f, which ends a request early by throwing GivenUp once its message is shown. A failure
// outside the checked steps is said, and the program goes on.
template <typename F>
auto Guarded(MessageBox& message_box, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const GivenUp&) {
        // The request ended with its message shown; nothing follows.
    } catch (const std::exception& e) {
        ShowErrorReport(message_box, kErrInternal,
                        ErrorDescription(kErrInternal) + " (" + e.what() + ")");
    }
    return {};
}

}  // namespace

bool cmdGo_Click(GoForm& form, ProgressDisplay& display, MessageBox& message_box) {
    return Guarded(message_box, [&] { return GoRequest(&form, &display, message_box).Run(); });
}

std::optional<std::vector<PieceCheck>> CheckFirstPiece(const std::string& first_piece,
                                                       MessageBox& message_box) {
    return Guarded(message_box, [&]() -> std::optional<std::vector<PieceCheck>> {
        GoRequest request(nullptr, nullptr, message_box);
        return request.PiecesOf(first_piece, request.PlanFromFirstPiece(first_piece));
    });
}

}  // namespace tessarel
