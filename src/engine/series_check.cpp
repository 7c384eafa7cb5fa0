#include "engine/series_check.h"

#include "engine/piece_series.h"
#include "fileutil/my_library.h"
#include "platform/path.h"

namespace tessarel {

std::vector<PieceCheck> CheckSeries(const std::string& first_piece, int64_t stream_length,
                                    int64_t piece_size) {
    const std::string base = StripExtension(first_piece);
    const int64_t count = PieceCount(stream_length, piece_size);
    std::vector<PieceCheck> pieces;
    pieces.reserve(static_cast<size_t>(count));
    for (int64_t n = 1; n <= count; ++n) {
        PieceCheck piece;
        piece.number = n;
        piece.name = n == 1 ? first_piece : PieceName(base, n);
        piece.expected = PieceLength(stream_length, piece_size, n);
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
        }
        pieces.push_back(piece);
    }
    return pieces;
}

const PieceCheck* FirstBadPiece(const std::vector<PieceCheck>& pieces) {
    for (const PieceCheck& piece : pieces) {
        if (piece.state != PieceState::kGood && piece.state != PieceState::kLonger) {
            return &piece;
        }
    }
    return nullptr;
}

}  // namespace tessarel
