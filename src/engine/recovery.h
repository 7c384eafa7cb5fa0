// Recovery pieces: BASE.r00, BASE.r01, ... beside a series, from which, with the pieces that
// survive, any as many lost or damaged pieces as there are recovery pieces can be rebuilt
// exactly. A systematic Reed-Solomon code over GF(2^8) with a Cauchy matrix (every square part
// of it can be inverted, so every pattern of losses up to that count can be rebuilt), the
// series' pieces taken as rows of the piece size, a shorter last piece padded with zeros. The
// field arithmetic is Intel's ISA-L (its polynomial is 0x11D), which picks its fastest code for
// the processor at run time; here are only the file format, the stripes and the choice of rows.
// docs/recovery-format.md describes the format for anyone who writes a reader of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/piece_series.h"
#include "platform/file.h"
#include "platform/sha256.h"

namespace tessarel {

constexpr char kRecoverySignature[] = "TESSARECOV";  // not the series' signature
constexpr int kRecoveryHeaderLength = 64;
constexpr int kRecoveryFormatVersion = 1;
constexpr int kMostCodedPieces = 255;  // series pieces and recovery pieces together

// What a recovery piece says of itself, in its first 64 bytes.
struct RecoveryHeader {
    int data_pieces = 0;      // the series' pieces
    int recovery_pieces = 0;  // recovery pieces in all
    int index = 0;            // this one's, from 0
    int64_t piece_size = 0;
    int64_t stream_length = 0;  // the series' stream: header and file
    bool operator==(const RecoveryHeader& o) const {
        return data_pieces == o.data_pieces && recovery_pieces == o.recovery_pieces &&
               piece_size == o.piece_size && stream_length == o.stream_length;
    }
};

std::vector<uint8_t> RecoveryHeaderBytes(const RecoveryHeader& header);
// The header the bytes hold, or nothing when they are not one of ours (signature, version,
// checksum, counts within the code's limits).
std::optional<RecoveryHeader> ParseRecoveryHeader(const uint8_t* bytes, size_t size);

// BASE.rNN: recovery piece index (from 0) of the series named by names.
std::string RecoveryPieceName(const SeriesNames& names, int index);

// How many recovery pieces "N" or "N%" (of count pieces, rounded up) asks for; nothing when the
// text is neither, or the series and its recovery pieces would be more than the code allows.
std::optional<int> RecoveryCountFor(const std::string& text, int64_t count);

// Runs one step of the work (the operation's error trap: a failure can be retried or given up).
using RecoveryStep = std::function<void(const std::function<void()>&)>;

// Works stripe by stripe over files: rows 0 .. K-1 are the series' pieces (read from their start;
// a shorter one reads as padded with zeros), rows K .. K+M-1 the recovery pieces (read after
// their header). Every read and write is a step; the caller's files are read and written in
// order from where they stand.
class RecoveryCoder {
  public:
    RecoveryCoder(const SeriesPlan& series, int recovery_pieces);

    int data_pieces() const { return k_; }
    int recovery_pieces() const { return m_; }

    // Writes the recovery pieces' data (after their header) from the series' pieces; each
    // recovery piece's written bytes also go to its hash when one is given.
    void Encode(const std::vector<File*>& pieces, const std::vector<File*>& recovery,
                const std::vector<Sha256*>& hashes, const RecoveryStep& step);

    // Rebuilds rows from any K of the others. rows[r] is row r open for reading, or null when it
    // is lost; out[r] is where row r is rebuilt to, or null when it is not wanted. A rebuilt
    // series piece gets its own length; a rebuilt recovery piece its data (the caller writes its
    // header). False when fewer than K rows are there to rebuild from.
    bool Rebuild(const std::vector<File*>& rows, const std::vector<File*>& out,
                 const RecoveryStep& step);

  private:
    int64_t RowLength(int row) const;

    SeriesPlan series_;
    int k_;
    int m_;
    std::vector<uint8_t> matrix_;                   // (K+M) x K: the identity, then the Cauchy rows
    const std::vector<Sha256*>* hashes_ = nullptr;  // while encoding: the recovery rows' hashes
};

}  // namespace tessarel
