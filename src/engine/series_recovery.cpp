#include "engine/series_recovery.h"

#include <algorithm>
#include <memory>

#include "platform/path.h"
#include "platform/runtime_error.h"

namespace tessarel {

int RecoveryCheck::good() const {
    return static_cast<int>(std::count_if(pieces.begin(), pieces.end(), [](const auto& p) {
        return p.state == RecoveryPieceCheck::State::kGood;
    }));
}

namespace {

// True when something has the name; a name too long for the file system has nothing.
bool Named(const std::string& path) {
    try {
        return InfoOf(path, false).exists();
    } catch (const RuntimeError& error) {
        if (error.number() == kErrBadFileName) {
            return false;
        }
        throw;
    }
}

// The header of the recovery piece at path, when it is one of this series'.
std::optional<RecoveryHeader> HeaderAt(const std::string& path, const SeriesPlan& series) {
    try {
        File file = File::OpenForReading(path);
        uint8_t bytes[kRecoveryHeaderLength];
        file.Read(bytes, kRecoveryHeaderLength);
        const auto header = ParseRecoveryHeader(bytes, sizeof bytes);
        if (header && header->data_pieces == series.count &&
            header->piece_size == series.piece_size &&
            header->stream_length == series.stream_length &&
            InfoOf(path).size == kRecoveryHeaderLength + series.piece_size) {
            return header;
        }
    } catch (const RuntimeError&) {
        // Not there, or not to be read: no header of ours.
    }
    return std::nullopt;
}

}  // namespace

RecoveryCheck CheckRecoveryPieces(const SeriesNames& names, const SeriesPlan& series,
                                  const SeriesDigests* expected, bool read,
                                  const std::function<bool()>& stop) {
    RecoveryCheck check;
    const int most = kMostCodedPieces - static_cast<int>(series.count);
    std::vector<std::optional<RecoveryHeader>> headers;
    for (int j = 0; j < most; ++j) {
        const std::string name = RecoveryPieceName(names, j);
        if (!Named(name)) {
            headers.emplace_back();
            continue;
        }
        headers.push_back(HeaderAt(name, series));
        if (headers.back() && headers.back()->index == j && check.declared == 0) {
            check.declared = headers.back()->recovery_pieces;
        }
    }
    std::vector<uint8_t> buffer(read ? size_t{1} << 20 : 0);
    for (int j = 0; j < check.declared; ++j) {
        RecoveryPieceCheck piece;
        piece.index = j;
        piece.name = RecoveryPieceName(names, j);
        const auto& header = headers[size_t(j)];
        if (!Named(piece.name)) {
            piece.state = RecoveryPieceCheck::State::kMissing;
        } else if (!header || header->index != j || header->recovery_pieces != check.declared) {
            piece.state = RecoveryPieceCheck::State::kNotOurs;
        } else {
            piece.state = RecoveryPieceCheck::State::kGood;
        }
        const bool listed = expected && size_t(j) < expected->recovery.size();
        if (read && listed && piece.state == RecoveryPieceCheck::State::kGood) {
            try {
                File file = File::OpenForReading(piece.name);
                Sha256 hash;
                int64_t left = kRecoveryHeaderLength + series.piece_size;
                while (left > 0) {
                    if (stop && stop()) {
                        throw CheckStopped{};
                    }
                    const auto n =
                        static_cast<int32_t>(std::min<int64_t>(left, int64_t(buffer.size())));
                    file.Read(buffer.data(), n);
                    hash.Update(buffer.data(), size_t(n));
                    left -= n;
                }
                if (hash.Finish() != expected->recovery[size_t(j)]) {
                    piece.state = RecoveryPieceCheck::State::kDamaged;
                }
            } catch (const RuntimeError&) {
                piece.state = RecoveryPieceCheck::State::kUnreadable;
            }
        }
        check.pieces.push_back(piece);
    }
    return check;
}

std::vector<int64_t> LostPieces(const std::vector<PieceCheck>& pieces) {
    std::vector<int64_t> lost;
    for (const PieceCheck& piece : pieces) {
        if (PieceLost(piece)) {
            lost.push_back(piece.number);
        }
    }
    return lost;
}

bool CanRebuild(const std::vector<PieceCheck>& pieces, const RecoveryCheck& recovery) {
    const auto lost = static_cast<int>(LostPieces(pieces).size());
    return recovery.declared > 0 && lost > 0 && lost <= recovery.good();
}

std::optional<SeriesPlan> PlanFromRecoveryPieces(const std::string& first_piece) {
    SeriesNames names;
    try {
        names = SeriesNames(first_piece);
    } catch (const RuntimeError&) {
        return std::nullopt;  // no extension: no series' names
    }
    for (int j = 0; j < kMostCodedPieces; ++j) {
        const std::string name = RecoveryPieceName(names, j);
        if (!Named(name)) {
            continue;
        }
        try {
            File file = File::OpenForReading(name);
            uint8_t bytes[kRecoveryHeaderLength];
            file.Read(bytes, kRecoveryHeaderLength);
            if (const auto header = ParseRecoveryHeader(bytes, sizeof bytes)) {
                return SeriesPlan{header->stream_length, header->piece_size, header->data_pieces};
            }
        } catch (const RuntimeError&) {
            // Not to be read: the next one may be.
        }
    }
    return std::nullopt;
}

bool RecoveryPieceNamed(const SeriesNames& names, int index) {
    return Named(RecoveryPieceName(names, index));
}

bool RebuildLost(const SeriesNames& names, const SeriesPlan& series,
                 const std::vector<PieceCheck>& pieces, const RecoveryCheck& recovery,
                 const std::map<int64_t, File*>& pieces_out,
                 const std::map<int, File*>& recovery_out, const RecoveryStep& step) {
    (void)names;
    const int k = static_cast<int>(series.count);
    const int m = recovery.declared;
    RecoveryCoder coder(series, m);
    std::vector<std::unique_ptr<File>> open;
    std::vector<File*> rows(size_t(k + m), nullptr);
    std::vector<File*> out(size_t(k + m), nullptr);
    for (const PieceCheck& piece : pieces) {
        const auto row = static_cast<size_t>(piece.number - 1);
        if (pieces_out.count(piece.number)) {
            out[row] = pieces_out.at(piece.number);
        } else if (!PieceLost(piece)) {
            open.push_back(std::make_unique<File>());
            File& file = *open.back();
            step([&] { file = File::OpenForReading(PiecePath(piece)); });
            rows[row] = &file;
        }
    }
    for (const RecoveryPieceCheck& piece : recovery.pieces) {
        const auto row = static_cast<size_t>(k + piece.index);
        if (recovery_out.count(piece.index)) {
            out[row] = recovery_out.at(piece.index);
        } else if (piece.state == RecoveryPieceCheck::State::kGood) {
            open.push_back(std::make_unique<File>());
            File& file = *open.back();
            step([&] {
                file = File::OpenForReading(piece.name);
                uint8_t header[kRecoveryHeaderLength];
                file.Read(header, kRecoveryHeaderLength);
            });
            rows[row] = &file;
        }
    }
    return coder.Rebuild(rows, out, step);
}

}  // namespace tessarel
