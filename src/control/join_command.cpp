// The join command: the checks before a join (the names, the series and its list, every
// piece opened, lost ones rebuilt from the recovery pieces), the questions, then the operation.
#include <algorithm>
#include <map>

#include "control/commands.h"
#include "control/messages.h"
#include "control/request_steps.h"
#include "engine/numbered_set.h"
#include "engine/piece_series.h"
#include "engine/split_join.h"
#include "platform/file.h"

namespace tessarel {
namespace {

class JoinJob : public RequestSteps {
  public:
    using RequestSteps::RequestSteps;
    bool Run(const JoinRequest& request);

  private:
    // Pieces rebuilt for a join, in hidden files beside its output that go when it ends.
    struct RebuiltPieces {
        std::vector<std::string> names;  // the pieces'
        std::vector<std::string> files;  // where they were rebuilt
        bool failed = false;             // a tentative rebuild did not prove out
        RebuiltPieces() = default;
        RebuiltPieces(RebuiltPieces&&) = default;
        RebuiltPieces& operator=(RebuiltPieces&& other) noexcept {
            Clear();
            names = std::move(other.names);
            files = std::move(other.files);
            failed = other.failed;
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
    // Rebuilds what the check of the pieces found lost, proven, into hidden files that stand in
    // for the lost pieces; refuses, naming them, when they cannot be rebuilt or do not prove out.
    // Another tool's numbered set: its members checked (none missing, each of the size it
    // must have, their checksum list), then joined as a series without a header.
    bool RunSet(const JoinRequest& request, const NumberedSet& set);
    // The questions every join asks before it writes: room, confirmation, replacing the output.
    // False when the user would not have the output replaced.
    bool AskBeforeJoining(const std::string& output, const SeriesPlan& series);
    RebuiltPieces RebuildForJoin(const SeriesPlan& series, std::vector<PieceCheck>& pieces,
                                 const RecoveryCheck& recovery, const ListReading& list,
                                 const std::string& output, std::vector<File>& open_pieces,
                                 bool tentative = false);
};

bool JoinJob::AskBeforeJoining(const std::string& output, const SeriesPlan& series) {
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
    return ClearTheWay(output, replaced);
}

bool JoinJob::RunSet(const JoinRequest& request, const NumberedSet& set) {
    const std::string& output = request.output;
    for (const std::string& member : set.members) {
        bool same = false;
        Do([&] { same = SameFile(member, output); });
        if (same) {
            RefuseIf(Refusal(kJoinOntoPieceMessage));
        }
    }
    const FileLock output_lock = LockForWriting(ResultNames::Single(output));
    // Nothing is written before every member is there, and of the size it must have.
    if (!set.gaps.empty()) {
        RefuseIf(Refusal(MissingMemberMessage(NameOf(set.gaps.front()))));
    }
    std::vector<int64_t> sizes;
    for (const std::string& member : set.members) {
        Do([&] { sizes.push_back(FileLength(member)); });
    }
    const int64_t piece = sizes.front();
    int64_t total = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const bool last = i + 1 == sizes.size();
        if (last ? sizes[i] < 1 || sizes[i] > piece : sizes[i] != piece) {
            RefuseIf(Refusal(OtherSetMemberMessage(NameOf(set.members[i]), sizes[i], piece)));
        }
        total += sizes[i];
    }
    SeriesPlan series{total, piece, int64_t(sizes.size())};
    series.headerless = true;
    display_.ShowTotal(series.count);
    std::optional<Notice> refusal = Do([&] { return CheckReplaceable(output); });
    RefuseIf(refusal);
    std::optional<SetList> list;
    if (request.verify) {
        Do([&] { list = FindSetList(set); });
    }
    if (list && !list->problem.empty()) {
        if (Show(UnusableListQuestion(NameOf(list->path), list->problem)) != kAnswerYes) {
            throw GivenUp{};
        }
        list.reset();
    }
    // A list of SHA-256 digests is compared while the members are joined, as a series' list;
    // one of other digests first, member by member.
    std::optional<SeriesDigests> expected;
    if (list && list->kind == ListHash::Kind::kSha256) {
        expected = SeriesDigests();
        for (const auto& digest : list->members) {
            Digest d{};
            std::copy(digest.begin(), digest.end(), d.begin());
            expected->pieces.push_back(d);
        }
        if (expected->pieces.empty() && list->whole) {
            Digest d{};
            std::copy(list->whole->begin(), list->whole->end(), d.begin());
            expected->whole = d;
        }
    } else if (list) {
        std::string differing = Do([&] { return FirstDiffering(set, *list); });
        if (!differing.empty()) {
            RefuseIf(Refusal(DiffersFromListMessage(differing, NameOf(list->path))));
        }
    }
    if (!AskBeforeJoining(output, series)) {
        return Done(Outcome::kNotDone);
    }
    OperationPlan plan(Mode::kJoin, output, set.members.front(), series);
    SeriesNames names;
    names.first_piece = set.members.front();
    names.base = set.output;
    names.members = set.members;
    plan.names = names;
    plan.expected = expected;
    Do([&] { plan.permissions = InfoOf(set.members.front()).permissions; });
    Do([&] { plan.read_back = ReadsBack(request.read_back, output); });
    plan.left_behind = &left_behind_;
    plan.not_kept = &not_kept_;
    StopIfAsked();
    const bool done = Done(RunOperation(plan, display_, box_));
    if (done && !list) {
        Show(NothingComparedNotice(NameOf(set.output), NameOf(set.output) + ".sha256"));
    }
    return done;
}

bool JoinJob::Run(const JoinRequest& request) {
    const std::string& first_piece = request.first_piece;
    const std::string& output = request.output;
    RefuseIf(CheckFileNamed(first_piece));
    RefuseIf(CheckFileNamed(output));
    // A member of another tool's numbered set, when it is no first piece of ours.
    const std::optional<NumberedSet> set = OtherToolsSet(first_piece);
    if (set) {
        return RunSet(request, *set);
    }
    // The first piece as output is said as such, before its lock would call it busy.
    std::optional<Notice> refusal =
        Do([&] { return CheckJoinTarget(first_piece, output, 1, SameFile); });
    RefuseIf(refusal);
    // Held until the output is in place, and until every piece is read: nobody writes the
    // output meanwhile, nor the series it is read from.
    const FileLock output_lock = LockForWriting(ResultNames::Single(output));
    const FileLock series_lock = LockForReading(first_piece);
    const SeriesFound found = FindSeries(first_piece);
    const SeriesPlan& series = found.plan;
    display_.ShowTotal(series.count);
    Do([&] { refusal = CheckJoinTarget(first_piece, output, series.count, SameFile); });
    RefuseIf(refusal);
    Do([&] { refusal = CheckReplaceable(output); });
    RefuseIf(refusal);
    // The checksum list, when there is one, also tells a missing piece's look-alike for sure.
    // Every piece is looked at, and opened, before anything is written: a join that would stop
    // half-way must not have replaced the user's file first.
    // Without verify the pieces are not compared with it, but what is rebuilt still is, and it
    // still tells the series' recovery pieces from another version's.
    const ListReading list = ReadList(first_piece, series.count);
    const bool verified = request.verify && list.digests;
    CheckOptions options;
    options.depth = CheckDepth::kOpen;
    options.expected = verified ? &*list.digests : nullptr;
    auto open_pieces = std::make_shared<std::vector<File>>();
    options.keep_open = open_pieces.get();
    std::vector<PieceCheck> pieces = PiecesOf(first_piece, series, options);
    RecoveryCheck recovery = RecoveryOf(first_piece, found, pieces, list, false);
    // With recovery pieces, every piece is read through against their checksums before
    // anything is rebuilt from it: when one is lost, when the recovery pieces had to say how
    // the series was cut, when no list will compare the pieces while they are joined, and when
    // a piece is longer than planned (its planned bytes may be damaged too).
    const bool listed = verified && !list.digests->pieces.empty();
    const bool longer = std::any_of(pieces.begin(), pieces.end(), [](const PieceCheck& piece) {
        return piece.state == PieceState::kLonger;
    });
    // The pieces' own checksums, the recovery pieces' stripes, find what is damaged: the list is
    // read against once, while the pieces are joined (only the first kind of recovery piece
    // needs it before).
    RebuiltPieces rebuilt;
    // Read through by stripes; the list is compared too when the recovery pieces are of the
    // first kind, or when their stripes call a piece damaged that the list may prove whole (the
    // recovery pieces are then another version's).
    const auto survey = [&](std::vector<File>& kept) {
        options.keep_open = &kept;
        recovery = Survey(first_piece, found, list, options, pieces, recovery.version != 2);
        const bool doubted = std::any_of(pieces.begin(), pieces.end(), [](const PieceCheck& p) {
            return p.bad_stripes > 0 && !p.compared;
        });
        if (list.digests && doubted) {
            kept.clear();
            recovery = Survey(first_piece, found, list, options, pieces, true);
        }
    };
    // Pieces that are only missing, short or unreadable, with the list to compare all the rest
    // while they are joined, are first rebuilt without reading the series through: every stripe
    // rebuilt from is compared with the recovery pieces' checksums as it is read, and anything
    // that does not prove out sends the join the long way, through the survey.
    const std::vector<int64_t> lost = LostPieces(pieces);
    bool rebuilt_quickly = false;
    if (recovery.version == 2 && listed && !lost.empty() && !found.planned_by_recovery && !longer &&
        !recovery.ambiguous) {
        rebuilt = RebuildForJoin(series, pieces, recovery, list, output, *open_pieces, true);
        rebuilt_quickly = !rebuilt.failed;
    }
    if (!rebuilt_quickly && recovery.version > 0 &&
        (!lost.empty() || found.planned_by_recovery || longer ||
         (recovery.version == 2 && !listed))) {
        open_pieces = std::make_shared<std::vector<File>>();
        survey(*open_pieces);
        rebuilt = RebuildForJoin(series, pieces, recovery, list, output, *open_pieces);
    }
    RefuseIf(CheckPieces(pieces));
    AskOrEnd(LongerPiecesQuestion(pieces));
    if (request.verify) {
        if (!list.problem.empty() &&
            Show(UnusableListQuestion(NameOf(list.path), list.problem)) != kAnswerYes) {
            throw GivenUp{};
        }
    }
    if (!AskBeforeJoining(output, series)) {
        return Done(Outcome::kNotDone);
    }
    OperationPlan plan(Mode::kJoin, output, first_piece, series);
    plan.expected = verified ? list.digests : std::nullopt;
    plan.permissions = SeriesAccess(pieces);
    Do([&] { plan.read_back = ReadsBack(request.read_back, output); });
    plan.open_pieces = open_pieces;
    // A piece that differs from its line while it is joined sends the join back to read
    // everything through and rebuild what that finds, once.
    plan.damage_is_rebuilt = recovery.version > 0 && listed;
    StopIfAsked();
    plan.left_behind = &left_behind_;
    plan.not_kept = &not_kept_;
    Outcome outcome = RunOperation(plan, display_, box_);
    if (outcome == Outcome::kDamaged) {
        plan.open_pieces = std::make_shared<std::vector<File>>();
        survey(*plan.open_pieces);
        rebuilt.Clear();
        rebuilt = RebuildForJoin(series, pieces, recovery, list, output, *plan.open_pieces);
        RefuseIf(CheckPieces(pieces));
        plan.damage_is_rebuilt = false;
        outcome = RunOperation(plan, display_, box_);
    }
    const bool done = Done(outcome);
    if (done && !rebuilt.names.empty()) {
        Show(RebuiltNotice(rebuilt.names));  // once, at the end: nothing was asked of it
    }
    if (done && request.say_uncompared && request.verify && !list.digests && list.problem.empty()) {
        Show(NothingComparedNotice(NameOf(output), NameOf(list.path)));
    }
    return done;
}

JoinJob::RebuiltPieces JoinJob::RebuildForJoin(const SeriesPlan& series,
                                               std::vector<PieceCheck>& pieces,
                                               const RecoveryCheck& recovery,
                                               const ListReading& list, const std::string& output,
                                               std::vector<File>& open_pieces, bool tentative) {
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
    if (!lost.empty() && recovery.ambiguous) {
        RefuseIf(Refusal(AmbiguousRecoveryMessage(lost.size())));
    }
    if (lost.empty() || recovery.version == 0) {
        return rebuilt;
    }
    std::vector<std::string> names;
    for (const int64_t n : lost) {
        names.push_back(pieces[size_t(n) - 1].name);
    }
    const SeriesDigests* digests = list.digests ? &*list.digests : nullptr;
    bool enough = false;
    Do([&] { enough = EnoughToRebuild(series, pieces, recovery, digests); });
    if (!enough && tentative) {
        rebuilt.failed = true;
        return rebuilt;
    }
    if (!enough) {
        RefuseIf(Refusal(CannotRebuildMessage(names, recovery.good())));
    }
    std::vector<File> made(lost.size());
    std::map<int64_t, File*> out;
    for (size_t i = 0; i < lost.size(); ++i) {
        Do([&] { made[i] = CreateTemporaryBeside(output); });
        rebuilt.files.push_back(made[i].path());
        rebuilt.names.push_back(names[i]);
        out[lost[i]] = &made[i];
    }
    // A tentative rebuild asks nothing: a piece it cannot read sends the join the long way.
    RebuildOutcome outcome;
    try {
        outcome = RebuildLost(series, pieces, recovery, digests, out, {},
                              [&](const std::function<void()>& step) {
                                  if (tentative) {
                                      StopIfAsked();
                                      step();
                                  } else {
                                      Do(step);
                                  }
                              });
    } catch (const RuntimeError&) {
        if (!tentative) {
            throw;
        }
        outcome.changed = true;
    }
    if (!outcome.proven() && tentative) {
        rebuilt.Clear();
        rebuilt.failed = true;
        return rebuilt;
    }
    if (!outcome.proven()) {
        RefuseIf(Refusal(UnprovenRebuildMessage(names, outcome)));
    }
    for (size_t i = 0; i < lost.size(); ++i) {
        Do([&] { made[i].Close(); });
        PieceCheck& piece = pieces[size_t(lost[i]) - 1];
        Do([&] { open_pieces[size_t(lost[i]) - 1] = File::OpenForReading(made[i].path()); });
        piece.state = PieceState::kGood;  // as rebuilt and proven; the join compares it again
        piece.actual = piece.expected;
        piece.bad_stripes = 0;
    }
    return rebuilt;
}

}  // namespace

bool RunJoin(const JoinRequest& request, ProgressDisplay& display, MessageBox& message_box) {
    return Guarded(message_box, [&] { return JoinJob(display, message_box).Run(request); });
}

}  // namespace tessarel
