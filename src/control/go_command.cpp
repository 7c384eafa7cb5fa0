#include "control/go_command.h"

#include <map>

#include "engine/checksums.h"
#include "engine/commit.h"
#include "engine/piece_series.h"
#include "engine/recovery.h"
#include "engine/series_check.h"
#include "engine/series_recovery.h"
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
    // Every piece of that series, with what was found; a stop asked for meanwhile ends the
    // request.
    std::vector<PieceCheck> PiecesOf(const std::string& first_piece, const SeriesPlan& plan,
                                     CheckOptions options) {
        options.stop = [this] { return display_ && display_->StopRequested(); };
        std::vector<PieceCheck> pieces;
        try {
            Do([&] { pieces = CheckSeries(first_piece, plan, options); });
        } catch (const CheckStopped&) {
            throw GivenUp{};
        }
        return pieces;
    }
    // The digests the series' checksum list gives, when it lies beside the first piece.
    ListReading ReadList(const std::string& first_piece, int64_t count) {
        ListReading list;
        Do([&] { list = ReadChecksumListFor(first_piece, count); });
        return list;
    }
    // The write lock of what names a run writes, or the request is refused when another run
    // holds it; then what a killed run left there is put right (and said).
    FileLock LockForWriting(const ResultNames& names) {
        FileLock lock;
        Do([&] { lock = TakeWriteLock(names.key); });
        if (lock.state() == FileLock::State::kBusy) {
            RefuseIf(Refusal(BusyMessage(NameOf(names.key), names.series.has_value())));
        }
        if (lock.state() == FileLock::State::kHeld) {
            PutRight(names);
        }
        return lock;
    }
    // A series that is only read: shared with other readers, refused while a run writes it.
    FileLock LockForReading(const std::string& first_piece) {
        FileLock lock;
        Do([&] { lock = TakeWriteLock(first_piece); });
        if (lock.state() == FileLock::State::kHeld) {
            ResultNames names;
            Do([&] { names = ResultNames::Series(first_piece); });
            PutRight(names);
            lock.MakeShared();
        } else if (lock.state() == FileLock::State::kBusy) {
            Do([&] { lock = TakeReadLock(first_piece); });
            if (lock.state() == FileLock::State::kBusy) {
                RefuseIf(Refusal(BusyMessage(NameOf(first_piece), true)));
            }
        }
        return lock;
    }
    // The recovery pieces beside a series; read through against the list when read is set.
    RecoveryCheck RecoveryOf(const std::string& first_piece, const SeriesPlan& series,
                             const ListReading& list, bool read) {
        RecoveryCheck recovery;
        Do([&] {
            recovery = CheckRecoveryPieces(
                SeriesNames(first_piece), series, list.digests ? &*list.digests : nullptr, read,
                [this] { return display_ && display_->StopRequested(); });
        });
        return recovery;
    }
    // Pieces rebuilt for a join, in hidden files beside its output that go when it ends.
    struct RebuiltPieces {
        std::vector<std::string> names;  // the pieces'
        std::vector<std::string> files;  // where they were rebuilt
        RebuiltPieces() = default;
        RebuiltPieces(RebuiltPieces&&) = default;
        RebuiltPieces& operator=(RebuiltPieces&& other) noexcept {
            Clear();
            names = std::move(other.names);
            files = std::move(other.files);
            return *this;
        }
        ~RebuiltPieces() { Clear(); }
        void Clear() {
            for (const std::string& file : files) {
                RemoveQuietly(file);
            }
            files.clear();
            names.clear();
        }
    };
    bool Repair(const std::string& first_piece);
    RebuiltPieces RebuildForJoin(const std::string& first_piece, const SeriesPlan& series,
                                 std::vector<PieceCheck>& pieces, const RecoveryCheck& recovery,
                                 const std::string& output, std::vector<File>& open_pieces);
    void PutRight(const ResultNames& names) {
        Recovery recovery;
        Do([&] { recovery = RecoverInterrupted(names); });
        if (recovery.anything()) {
            Show(RecoveryNotice(recovery, NameOf(names.key)));
        }
    }

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
                      int64_t needed) {
        std::optional<Notice> question = CheckFreeRoom(mode, destination, disk, needed);
        if (question) {
            HiddenFiles hidden;
            Do([&] { hidden = HiddenFilesIn(FolderOf(destination)); });
            if (hidden.bytes > 0) {
                question = LowRoomQuestion(mode == Mode::kSplit, NameOf(destination), *disk.free,
                                           needed, hidden.bytes, hidden.names);
            }
        }
        AskOrEnd(question);
    }
    // Whether a file that is replaced has other names that keep its old contents.
    static void NoteLinks(Replacement& replaced, const std::string& path) {
        if (replaced.linked.empty() && InfoOf(path, false).links > 1) {
            replaced.linked = NameOf(path);
        }
    }

    ProgressDisplay* display_;  // none when only a series is looked at
    MessageBox& box_;
    ErrorTrap trap_;
};

Request GoRequest::ReadForm(GoForm& form) {
    RefuseIf(CheckNamesGiven(form.OpenText(), form.SaveText()));
    // A name as a user types it: one without a folder is in the folder the window was started
    // in, never the program's own.
    const std::string folder = form.Folder();
    auto named = [&](const std::string& text) {
        const std::string name = TrimBlanks(text);
        return folder.empty() || name.empty() ? name : AbsoluteIn(folder, name);
    };
    const std::string source = named(form.OpenText());
    const std::string destination = named(form.SaveText());
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
    ResultNames result;
    Do([&] { result = ResultNames::Series(first_piece); });
    // Held until the series is in place: one writer of a series at a time.
    const FileLock lock = LockForWriting(result);
    int64_t file_length = 0;
    PathInfo source_info;
    Do([&] { source_info = InfoOf(source); });
    // A folder, a device, a pipe or a socket is no file to split: said as such, before any
    // rule of sizes is measured against a length it does not have.
    if (source_info.exists() && !source_info.regular()) {
        RefuseIf(Refusal(NotAFileToSplitMessage(NameOf(source), source_info.kind)));
    }
    Do([&] { file_length = FileLength(source); });
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
    int recovery = 0;
    if (!request.recovery.empty()) {
        const std::optional<int> count = RecoveryCountFor(request.recovery, series.count);
        if (!count) {
            RefuseIf(Refusal(TooManyRecoveryPiecesMessage()));
        }
        recovery = *count;
    }
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
                     recovery * (series.piece_size + kRecoveryHeaderLength));
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
        for (int j = 0; RecoveryPieceNamed(names, j); ++j) {
            NoteLinks(replaced, RecoveryPieceName(names, j));
            ++replaced.recovery;
        }
        // So are an older, longer series' pieces after the new last one.
        const std::vector<std::string> tail = FilesAfterSeries(first_piece, series.count);
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
    OperationPlan plan;
    plan.mode = Mode::kSplit;
    plan.whole = source;
    plan.first_piece = first_piece;
    plan.series = series;
    plan.source_modified = source_info.modified;
    plan.write_checksums = request.checksums;
    plan.recovery_pieces = recovery;
    StopIfAsked();
    return Done(RunOperation(plan, *display_, box_));
}

SeriesPlan GoRequest::PlanFromFirstPiece(const std::string& first_piece) {
    // A first piece that is lost, or no longer reads as one, leaves its series to the recovery
    // pieces beside it: their header says how it was cut.
    std::optional<SeriesPlan> from_recovery;
    Do([&] { from_recovery = PlanFromRecoveryPieces(first_piece); });
    bool there = true;
    Do([&] { there = InfoOf(first_piece).exists(); });
    if (!there && from_recovery) {
        return *from_recovery;
    }
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
    if (std::holds_alternative<Notice>(outcome) && from_recovery) {
        return *from_recovery;
    }
    return PlanOrRefuse(outcome);
}

bool GoRequest::Join(const JoinRequest& request) {
    const std::string& first_piece = request.first_piece;
    const std::string& output = request.output;
    RefuseIf(CheckFileNamed(first_piece));
    RefuseIf(CheckFileNamed(output));
    // The first piece as output is said as such, before its lock would call it busy.
    std::optional<Notice> refusal;
    Do([&] { refusal = CheckJoinTarget(first_piece, output, 1, SameFile); });
    RefuseIf(refusal);
    // Held until the output is in place, and until every piece is read: nobody writes the
    // output meanwhile, nor the series it is read from.
    const FileLock output_lock = LockForWriting(ResultNames::Single(output));
    const FileLock series_lock = LockForReading(first_piece);
    const SeriesPlan series = PlanFromFirstPiece(first_piece);
    display_->ShowTotal(series.count);
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
    CheckOptions options;
    options.depth = CheckDepth::kOpen;
    options.expected = list.digests ? &*list.digests : nullptr;
    auto open_pieces = std::make_shared<std::vector<File>>();
    options.keep_open = open_pieces.get();
    std::vector<PieceCheck> pieces = PiecesOf(first_piece, series, options);
    // Lost pieces are rebuilt from the recovery pieces beside the series when enough of them
    // are good. With a list, a damaged piece is found before anything is written, so that it
    // too is rebuilt rather than refused at the end.
    const bool listed = list.digests && !list.digests->pieces.empty();
    const RecoveryCheck recovery = RecoveryOf(first_piece, series, list, false);
    // The pieces the join sees as lost are rebuilt first; a piece found damaged while it is
    // read (a damaged recovery piece shows as a rebuilt piece that differs) sends the join back
    // to read everything through first, and to rebuild what that finds.
    RebuiltPieces rebuilt =
        RebuildForJoin(first_piece, series, pieces, recovery, output, *open_pieces);
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
    AskAboutRoom(Mode::kJoin, output, disk, series.source_length());
    StopIfAsked();
    Replacement replaced;
    Do([&] {
        replaced = Replacement();
        if (!DirectoryLookup(output).empty()) {
            replaced.first = NameOf(output);
            NoteLinks(replaced, output);
        }
    });
    if (!ClearTheWay(output, replaced)) {
        return Done(Outcome::kNotDone);
    }
    OperationPlan plan;
    plan.mode = Mode::kJoin;
    plan.whole = output;
    plan.first_piece = first_piece;
    plan.series = series;
    plan.expected = list.digests;
    plan.open_pieces = open_pieces;
    plan.damage_is_rebuilt = recovery.declared > 0 && listed;
    StopIfAsked();
    Outcome outcome = RunOperation(plan, *display_, box_);
    if (outcome == Outcome::kDamaged) {
        const RecoveryCheck read_recovery = RecoveryOf(first_piece, series, list, true);
        CheckOptions read = options;
        read.depth = CheckDepth::kRead;
        read.keep_open = nullptr;
        pieces = PiecesOf(first_piece, series, read);
        plan.open_pieces = std::make_shared<std::vector<File>>();
        rebuilt.Clear();
        rebuilt = RebuildForJoin(first_piece, series, pieces, read_recovery, output,
                                 *plan.open_pieces);
        RefuseIf(CheckPieces(pieces));
        plan.damage_is_rebuilt = false;
        outcome = RunOperation(plan, *display_, box_);
    }
    const bool done = Done(outcome);
    if (done && !rebuilt.names.empty()) {
        Show(RebuiltNotice(rebuilt.names));  // once, at the end: nothing was asked of it
    }
    return done;
}

bool GoRequest::Repair(const std::string& first_piece) {
    RefuseIf(CheckFileNamed(first_piece));
    ResultNames result;
    Do([&] { result = ResultNames::Series(first_piece); });
    const FileLock lock = LockForWriting(result);
    const SeriesPlan series = PlanFromFirstPiece(first_piece);
    display_->ShowTotal(series.count);
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

GoRequest::RebuiltPieces GoRequest::RebuildForJoin(
    const std::string& first_piece, const SeriesPlan& series, std::vector<PieceCheck>& pieces,
    const RecoveryCheck& recovery, const std::string& output, std::vector<File>& open_pieces) {
    RebuiltPieces rebuilt;
    open_pieces.resize(pieces.size());
    for (const PieceCheck& piece : pieces) {
        // A renamed copy that matched its line stands in for its piece.
        if (piece.state == PieceState::kMissing && piece.look_alike_checked) {
            Do([&] {
                open_pieces[size_t(piece.number) - 1] =
                    File::OpenForReading(piece.look_alike, false);
            });
        }
    }
    const std::vector<int64_t> lost = LostPieces(pieces);
    if (lost.empty() || recovery.declared == 0) {
        return rebuilt;
    }
    if (!CanRebuild(pieces, recovery)) {
        std::vector<std::string> names;
        for (const int64_t n : lost) {
            names.push_back(pieces[size_t(n) - 1].name);
        }
        RefuseIf(Refusal(CannotRebuildMessage(names, recovery.good())));
    }
    std::vector<File> made(lost.size());
    std::map<int64_t, File*> out;
    for (size_t i = 0; i < lost.size(); ++i) {
        Do([&] { made[i] = CreateTemporaryBeside(output); });
        rebuilt.files.push_back(made[i].path());
        rebuilt.names.push_back(pieces[size_t(lost[i]) - 1].name);
        out[lost[i]] = &made[i];
    }
    const SeriesNames names(first_piece);
    RebuildLost(names, series, pieces, recovery, out, {},
                [&](const std::function<void()>& step) { Do(step); });
    for (size_t i = 0; i < lost.size(); ++i) {
        Do([&] { made[i].Close(); });
        PieceCheck& piece = pieces[size_t(lost[i]) - 1];
        Do([&] { open_pieces[size_t(lost[i]) - 1] = File::OpenForReading(made[i].path()); });
        piece.state = PieceState::kGood;  // as rebuilt; the join still compares it with its line
        piece.actual = piece.expected;
    }
    return rebuilt;
}

bool GoRequest::ClearTheWay(const std::string& destination, const Replacement& replaced) {
    if (!replaced.first.empty() && Show(OverwriteQuestion(replaced)) != kAnswerOk) {
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
                                            ProgressDisplay& display, MessageBox& message_box) {
    return Guarded(message_box, [&]() -> std::optional<SeriesReport> {
        GoRequest request(&display, message_box);
        const FileLock lock = request.LockForReading(first_piece);
        const SeriesPlan series = request.PlanFromFirstPiece(first_piece);
        SeriesReport report;
        const ListReading list = request.ReadList(first_piece, series.count);
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
        report.pieces = request.PiecesOf(first_piece, series, options);
        if (whole) {
            report.whole = whole == list.digests->whole ? SeriesReport::Whole::kAsListed
                                                        : SeriesReport::Whole::kDiffers;
        }
        try {
            report.after = FilesAfterSeries(first_piece, series.count);
        } catch (const RuntimeError&) {
            // What cannot be looked at is not listed; the pieces themselves were.
        }
        report.recovery = request.RecoveryOf(first_piece, series, list, true);
        report.rebuildable = CanRebuild(report.pieces, report.recovery);
        return report;
    });
}

bool RepairFirstPiece(const std::string& first_piece, ProgressDisplay& display,
                      MessageBox& message_box) {
    return Guarded(message_box,
                   [&] { return GoRequest(&display, message_box).Repair(first_piece); });
}

}  // namespace tessarel
