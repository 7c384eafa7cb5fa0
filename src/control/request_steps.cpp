#include "control/request_steps.h"

#include "control/messages.h"
#include "engine/piece_series.h"
#include "engine/series_check.h"
#include "engine/split_join.h"
#include "platform/file.h"
#include "platform/path.h"

namespace tessarel {

// Every piece of that series, with what was found; a stop asked for meanwhile ends the
// request.
std::vector<PieceCheck> RequestSteps::PiecesOf(const std::string& first_piece,
                                               const SeriesPlan& plan, CheckOptions options) {
    options.stop = [this] { return display_.ShouldStop(); };
    std::vector<PieceCheck> pieces = Do([&] { return CheckSeries(first_piece, plan, options); });
    return pieces;
}

// The digests the series' checksum list gives, when it lies beside the first piece.
ListReading RequestSteps::ReadList(const std::string& first_piece, int64_t count) {
    ListReading list = Do([&] { return ReadChecksumListFor(first_piece, count); });
    return list;
}

// The write lock of what names a run writes, or the request is refused when another run
// holds it; then what a killed run left there is put right (and said).
FileLock RequestSteps::LockForWriting(const ResultNames& names) {
    FileLock lock = Do([&] { return TakeWriteLock(names.key); });
    if (lock.state() == FileLock::State::kNotOurs) {
        RefuseIf(Refusal(LockNotOursMessage(NameOf(LockNameFor(names.key)), NameOf(names.key))));
    }
    if (lock.state() == FileLock::State::kBusy) {
        RefuseIf(Refusal(BusyMessage(NameOf(names.key), names.series.has_value())));
    }
    if (lock.state() == FileLock::State::kHeld) {
        PutRight(names, true);
    }
    return lock;
}

// A series that is only read: shared with other readers, refused while a run writes it. What a
// killed run left there is not put right by a reader: only said, with what puts it right.
FileLock RequestSteps::LockForReading(const std::string& first_piece) {
    FileLock lock = Do([&] { return TakeWriteLock(first_piece); });
    if (lock.state() == FileLock::State::kNotOurs) {
        RefuseIf(
            Refusal(LockNotOursMessage(NameOf(LockNameFor(first_piece)), NameOf(first_piece))));
    }
    if (lock.state() == FileLock::State::kHeld) {
        ResultNames names = Do([&] { return ResultNames::Series(first_piece); });
        PutRight(names, false);
        lock.MakeShared();
    } else if (lock.state() == FileLock::State::kBusy) {
        Do([&] { lock = TakeReadLock(first_piece); });
        if (lock.state() == FileLock::State::kBusy) {
            RefuseIf(Refusal(BusyMessage(NameOf(first_piece), true)));
        }
    }
    return lock;
}

// The recovery pieces beside a series, judged against its pieces.
RecoveryCheck RequestSteps::RecoveryOf(const std::string& first_piece, const SeriesFound& series,
                                       std::vector<PieceCheck>& pieces, const ListReading& list,
                                       bool read) {
    RecoveryCheck recovery = Do([&] {
        return JudgeRecoveryPieces(SeriesNames(first_piece), series.plan, series.recovery, pieces,
                                   list.digests ? &*list.digests : nullptr, read,
                                   [this] { return display_.ShouldStop(); });
    });
    return recovery;
}

RecoveryCheck RequestSteps::Survey(const std::string& first_piece, const SeriesFound& series,
                                   const ListReading& list, CheckOptions options,
                                   std::vector<PieceCheck>& pieces, bool compare) {
    options.depth = CheckDepth::kRead;
    options.expected = list.digests && compare ? &*list.digests : nullptr;
    options.stripe_size = StripeSizeOf(series.plan);
    pieces = PiecesOf(first_piece, series.plan, options);
    return RecoveryOf(first_piece, series, pieces, list, true);
}

// What a killed run left where this one works is put right (a writer) or looked at (a reader),
// and said; what is not settled ends the request.
void RequestSteps::PutRight(const ResultNames& names, bool act) {
    Aftermath aftermath = Do([&] { return SettleInterrupted(names, act); });
    if (!aftermath.anything()) {
        return;
    }
    const Notice notice =
        AftermathNotice(aftermath, NameOf(names.key), "tessarel repair " + NameOf(names.key));
    if (aftermath.blocks()) {
        RefuseIf(notice);
    }
    Show(notice);
}

uint32_t RequestSteps::SeriesAccess(const std::vector<PieceCheck>& pieces) {
    for (const PieceCheck& piece : pieces) {
        PathInfo info = Do([&] { return InfoOf(piece.name); });
        if (info.regular()) {
            return info.permissions;
        }
    }
    return 0;
}

// Asks when the result looks larger than the room left; hidden files of unfinished runs
// that take room there are named.
void RequestSteps::AskAboutRoom(Mode mode, const std::string& destination, const DiskRoom& disk,
                                int64_t needed) {
    std::optional<Notice> question = CheckFreeRoom(mode, destination, disk, needed);
    if (question) {
        HiddenFiles hidden = Do([&] { return HiddenFilesIn(FolderOf(destination)); });
        if (hidden.bytes > 0) {
            question = LowRoomQuestion(mode == Mode::kSplit, NameOf(destination), *disk.free,
                                       needed, hidden.bytes, hidden.names);
        }
    }
    AskOrEnd(question);
}

SeriesFound RequestSteps::FindSeries(const std::string& first_piece) {
    SeriesFound found;
    Do([&] {
        found.recovery.clear();
        try {
            const SeriesNames names(first_piece);
            found.recovery = FindRecoveryPieces(names);
        } catch (const RuntimeError& error) {
            if (error.number() != kErrInvalidArgument) {
                throw;
            }
            // A first piece without an extension has no recovery pieces' names.
        }
    });
    const std::vector<SeriesPlan> from_recovery = PlansOf(found.recovery);
    if (from_recovery.empty()) {
        found.plan = PlanOrRefuse(PlanOfHeader(first_piece));
        return found;
    }
    // The first piece's own header, when it can be read as one; quietly, since the recovery
    // pieces may say what it no longer can.
    std::optional<SeriesPlan> from_header;
    try {
        if (InfoOf(first_piece).regular()) {
            const PlanOrRefusal outcome = PlanOfHeader(first_piece, true);
            if (const auto* plan = std::get_if<SeriesPlan>(&outcome)) {
                from_header = *plan;
            }
        }
    } catch (const RuntimeError&) {
        // Not to be read: the recovery pieces say how the series was cut.
    }
    // The plan the files there bear out best; of two as good, the header's, then the one
    // most recovery pieces give.
    std::vector<SeriesPlan> candidates;
    if (from_header) {
        candidates.push_back(*from_header);
    }
    for (const SeriesPlan& plan : from_recovery) {
        if (!from_header || plan.stream_length != from_header->stream_length ||
            plan.piece_size != from_header->piece_size || plan.headerless) {
            candidates.push_back(plan);
        }
    }
    const SeriesNames names(first_piece);
    std::optional<int64_t> best;
    bool best_borne_out = false;
    for (const SeriesPlan& plan : candidates) {
        int64_t bearing = 0;
        Do([&] { bearing = PiecesBearingOut(names, plan); });
        if (best && bearing < *best) {
            continue;
        }
        // Of two plans as well borne out by the lengths (a damaged header, the piece it would
        // make longer lost), one whose recovery pieces' stripes the pieces bear out comes first.
        bool borne_out = false;
        if (best && bearing == *best) {
            if (best_borne_out) {
                continue;
            }
            borne_out = StripesBearOut(first_piece, plan, found.recovery);
            if (!borne_out) {
                continue;
            }
        }
        best = bearing;
        best_borne_out = borne_out;
        found.plan = plan;
    }
    found.planned_by_recovery = !from_header ||
                                found.plan.stream_length != from_header->stream_length ||
                                found.plan.piece_size != from_header->piece_size;
    return found;
}

// True when the stripes of the pieces there bear out the checksums of recovery pieces of plan.
bool RequestSteps::StripesBearOut(const std::string& first_piece, const SeriesPlan& plan,
                                  const std::vector<FoundRecoveryPiece>& recovery) {
    CheckOptions options;
    options.depth = CheckDepth::kRead;
    options.stripe_size = StripeSizeOf(plan);
    std::vector<PieceCheck> pieces = PiecesOf(first_piece, plan, options);
    RecoveryCheck check;
    try {
        check = JudgeRecoveryPieces(SeriesNames(first_piece), plan, recovery, pieces, nullptr,
                                    false, [this] { return display_.ShouldStop(); });
    } catch (const CheckStopped&) {
        throw GivenUp{};
    }
    return check.version == 2 && !check.table.crcs.empty();
}

// The plan the first piece's header gives, or why it gives none. Quietly: a failure is raised
// rather than put to the user.
PlanOrRefusal RequestSteps::PlanOfHeader(const std::string& first_piece, bool quietly) {
    const auto step = [&](const std::function<void()>& work) {
        if (quietly) {
            work();
        } else {
            Do(work);
        }
    };
    int64_t piece_length = 0;
    step([&] { piece_length = FileLength(first_piece); });
    std::string header;
    if (piece_length > kHeaderLength) {
        File piece;
        step([&] { piece = File::OpenForReading(first_piece); });
        // As much as the wide header takes, when the piece has it.
        const int64_t length = std::min<int64_t>(piece_length, kWideHeaderLength);
        for (int i = 0; i < length; ++i) {
            uint8_t byte = 0;
            step([&] { piece.Read(&byte, 1); });
            header += static_cast<char>(byte);
        }
        step([&] { piece.Close(); });
    }
    PlanOrRefusal outcome;
    step([&] { outcome = PlanJoin(header, piece_length); });
    return outcome;
}

bool RequestSteps::ClearTheWay(const std::string& destination, const Replacement& replaced) {
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

}  // namespace tessarel
