#include "engine/series_check.h"

#include <algorithm>

#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"
#include "platform/sha256.h"

namespace tessarel {
namespace {

// Opens the piece, and reads it through when asked; what stops that makes the piece
// unreadable, with the reason.
void TryPiece(PieceCheck& piece, CheckDepth depth, const Digest* expected,
              std::vector<uint8_t>& buffer) {
    try {
        File file = File::OpenForReading(piece.name);
        Sha256 hash;
        if (depth == CheckDepth::kRead) {
            for (int64_t left = piece.actual; left > 0;) {
                const auto n =
                    static_cast<int32_t>(std::min<int64_t>(left, int64_t(buffer.size())));
                file.Read(buffer.data(), n);
                if (expected) {
                    hash.Update(buffer.data(), static_cast<size_t>(n));
                }
                left -= n;
            }
        }
        file.Close();
        if (expected && depth == CheckDepth::kRead) {
            piece.compared = true;
            if (piece.state == PieceState::kGood && hash.Finish() != *expected) {
                piece.state = PieceState::kDamaged;
            }
        }
    } catch (const RuntimeError& error) {
        piece.state = PieceState::kUnreadable;
        piece.reason = error.description();
    }
}

}  // namespace

std::vector<PieceCheck> CheckSeries(const std::string& first_piece, const SeriesPlan& series,
                                    CheckDepth depth, const SeriesDigests* expected) {
    const SeriesNames names(first_piece);
    std::vector<PieceCheck> pieces;
    pieces.reserve(static_cast<size_t>(series.count));
    std::vector<uint8_t> buffer(depth == CheckDepth::kRead ? size_t{1} << 20 : 0);
    for (int64_t n = 1; n <= series.count; ++n) {
        PieceCheck piece;
        piece.number = n;
        piece.name = names[n];
        piece.expected = series.piece_length(n);
        const PathInfo info = InfoOf(piece.name);
        if (!info.exists()) {
            piece.state = PieceState::kMissing;
        } else if (!info.regular()) {
            piece.state = PieceState::kNotOrdinary;
        } else {
            piece.actual = info.size;
            piece.state = info.size < piece.expected   ? PieceState::kShort
                          : info.size > piece.expected ? PieceState::kLonger
                                                       : PieceState::kGood;
            if (depth != CheckDepth::kLengths) {
                const bool listed = expected && size_t(n) <= expected->pieces.size();
                TryPiece(piece, depth, listed ? &expected->pieces[size_t(n) - 1] : nullptr, buffer);
            }
        }
        pieces.push_back(piece);
    }
    return pieces;
}

std::vector<PieceCheck> CheckSeries(const std::string& first_piece, int64_t stream_length,
                                    int64_t piece_size) {
    const SeriesPlan series{stream_length, piece_size, PieceCount(stream_length, piece_size)};
    return CheckSeries(first_piece, series);
}

const PieceCheck* FirstBadPiece(const std::vector<PieceCheck>& pieces) {
    for (const PieceCheck& piece : pieces) {
        if (piece.state != PieceState::kGood && piece.state != PieceState::kLonger) {
            return &piece;
        }
    }
    return nullptr;
}

std::vector<std::string> FilesAfterSeries(const std::string& first_piece, int64_t count) {
    const SeriesNames names(first_piece);
    std::vector<std::string> after;
    for (int64_t n = count + 1; n <= count + 1000; ++n) {
        const std::string name = names[n];
        if (!InfoOf(name, false).exists()) {
            return after;
        }
        after.push_back(name);
    }
    return after;
}

}  // namespace tessarel
