// Looks at every piece of a series before a join reads it: is each there, an ordinary file,
// and exactly as long as the header and the first piece say it must be? The first piece sets
// the piece size, so it is always right; the rest are measured against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessarel {

enum class PieceState {
    kGood,
    kMissing,
    kNotOrdinary,  // a folder, a pipe, a device
    kShort,
    kLonger,  // longer than planned: the join uses only the planned bytes
};

struct PieceCheck {
    int64_t number = 0;  // 1 for the first piece
    std::string name;    // full path
    PieceState state = PieceState::kGood;
    int64_t expected = 0;  // bytes
    int64_t actual = 0;    // bytes; 0 when missing or not an ordinary file
};

// The pieces of the series whose first piece is first_piece, of stream_length bytes cut into
// pieces of piece_size, each with what was found. A failure to look (other than a missing
// file) is raised as a run-time error.
std::vector<PieceCheck> CheckSeries(const std::string& first_piece, int64_t stream_length,
                                    int64_t piece_size);

// The first piece that makes the series unusable (missing, not ordinary, short), or null.
const PieceCheck* FirstBadPiece(const std::vector<PieceCheck>& pieces);

}  // namespace tessarel
