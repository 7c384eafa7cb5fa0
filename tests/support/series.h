// Series made without the engine, to check it against and to join.
#pragma once

#include <string>
#include <vector>

#include "engine/piece_series.h"
#include "support/temp_dir.h"

namespace tessarel {

// Header + file, cut into pieces of P bytes.
inline std::vector<std::vector<uint8_t>> ExpectedPieces(const std::vector<uint8_t>& file,
                                                        int32_t P) {
    const std::string header = HeaderText(static_cast<int32_t>(file.size()));
    std::vector<uint8_t> stream(header.begin(), header.end());
    stream.insert(stream.end(), file.begin(), file.end());
    std::vector<std::vector<uint8_t>> pieces;
    for (size_t at = 0; at < stream.size(); at += P) {
        pieces.emplace_back(stream.begin() + at, stream.begin() + std::min(stream.size(), at + P));
    }
    return pieces;
}

// Writes those pieces as base.m00, base.m01, ...
inline void WriteSeries(const std::string& base, const std::vector<uint8_t>& file, int32_t P) {
    const auto pieces = ExpectedPieces(file, P);
    for (size_t n = 0; n < pieces.size(); ++n) {
        WriteBytes(PieceName(base, static_cast<int64_t>(n) + 1), pieces[n]);
    }
}

}  // namespace tessarel
