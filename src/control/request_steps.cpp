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
    std::vector<PieceCheck> pieces;
    try {
        Do([&] { pieces = CheckSeries(first_piece, plan, options); });
    } catch (const CheckStopped&) {
        throw GivenUp{};
    }
    return pieces;
}

// The digests the series' checksum list gives, when it lies beside the first piece.
ListReading RequestSteps::ReadList(const std::string& first_piece, int64_t count) {
    ListReading list;
    Do([&] { list = ReadChecksumListFor(first_piece, count); });
    return list;
}

// The write lock of what names a run writes, or the request is refused when another run
// holds it; then what a killed run left there is put right (and said).
FileLock RequestSteps::LockForWriting(const ResultNames& names) {
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
FileLock RequestSteps::LockForReading(const std::string& first_piece) {
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
RecoveryCheck RequestSteps::RecoveryOf(const std::string& first_piece, const SeriesPlan& series,
                                       const ListReading& list, bool read) {
    RecoveryCheck recovery;
    Do([&] {
        recovery = CheckRecoveryPieces(SeriesNames(first_piece), series,
                                       list.digests ? &*list.digests : nullptr, read,
                                       [this] { return display_.ShouldStop(); });
    });
    return recovery;
}

// What a killed run left where this one writes is put right, and said.
void RequestSteps::PutRight(const ResultNames& names) {
    Aftermath aftermath;
    Do([&] { aftermath = SettleInterrupted(names); });
    if (aftermath.anything()) {
        Show(AftermathNotice(aftermath, NameOf(names.key)));
    }
}

// Asks when the result looks larger than the room left; hidden files of unfinished runs
// that take room there are named.
void RequestSteps::AskAboutRoom(Mode mode, const std::string& destination, const DiskRoom& disk,
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

SeriesPlan RequestSteps::PlanFromFirstPiece(const std::string& first_piece) {
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
