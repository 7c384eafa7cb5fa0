// Recovery pieces: BASE.r00, BASE.r01, ... beside a series, from which, with the pieces that
// survive, as many lost or damaged pieces as there are recovery pieces can be rebuilt exactly.
// A systematic Reed-Solomon code over GF(2^8) with a Cauchy matrix (every square part of it can
// be inverted, so every pattern of losses up to that count can be rebuilt), the series' pieces
// taken as rows of the piece size, a shorter last piece padded with zeros. The field arithmetic
// and the CRCs are Intel's ISA-L (its polynomial is 0x11D), which picks its fastest code for the
// processor at run time; here are only the file format, the stripes and the choice of rows.
//
// Each recovery piece carries a checksum of every stripe of every row (series pieces and
// recovery pieces), and the series' identity worked out from the plan and the pieces' stripes:
// one good recovery piece tells which stripes of which pieces are as they were split, and a
// rebuilt stripe is compared with its checksum before it is used. docs/recovery-format.md
// describes the format for anyone who writes a reader of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/piece_series.h"
#include "platform/file.h"
#include "platform/sha256.h"

namespace tessarel {

constexpr char kRecoverySignature[] = "TESSARECOV";  // not the series' signature
constexpr int kRecoveryHeaderLength = 64;
constexpr int kRecoveryTrailerLength = 64;  // after the table: the identity, the table's digest
constexpr int kRecoveryFormatVersion = 2;   // written; version 1 is still read
constexpr int kMostCodedPieces = 255;       // series pieces and recovery pieces together
constexpr int64_t kMostStripes = 4096;      // of a row
constexpr int64_t kStripeUnit = 4096;       // a stripe is a whole number of these
// The largest stream a recovery header may describe: far beyond any file, and no sum of two
// such numbers overflows.
constexpr int64_t kMostCodedStream = int64_t{1} << 62;

// The stripe size of a series of data_pieces pieces of piece_size bytes: at least 4 KiB, at most
// 4096 stripes to a row, and large enough that the table stays a small part of a recovery piece.
int64_t StripeSizeFor(int64_t piece_size, int64_t data_pieces);

// The CRC-64 of a stripe's bytes (CRC-64/XZ: ECMA-182's polynomial, reflected, all ones in and
// out), continued from crc (0 to start).
uint64_t StripeCrc(uint64_t crc, const uint8_t* bytes, size_t size);

// What a recovery piece says of itself, in its first 64 bytes.
struct RecoveryHeader {
    int version = kRecoveryFormatVersion;
    int data_pieces = 0;      // K, the series' pieces
    int recovery_pieces = 0;  // M, recovery pieces in all
    int index = 0;            // this one's, from 0
    int64_t piece_size = 0;
    int64_t stream_length = 0;  // the series' stream: header and file
    int64_t stripe_size = 0;    // version 2; a version 1 piece has one stripe, the whole row
    bool headerless = false;    // version 2: of plain numbered pieces, the file's bytes alone

    SeriesPlan plan() const {
        SeriesPlan plan{stream_length, piece_size, data_pieces};
        plan.headerless = headerless;
        return plan;
    }
    int64_t stripes() const;
    // Bytes of the table after the row (version 2), and of the whole file.
    int64_t table_length() const;
    int64_t file_length() const;
    // Says the same of the series as other: a piece of the same code, whatever its own index.
    bool SameCode(const RecoveryHeader& other) const {
        return version == other.version && data_pieces == other.data_pieces &&
               piece_size == other.piece_size && stream_length == other.stream_length &&
               stripe_size == other.stripe_size && headerless == other.headerless;
    }
};

// The header of a version 2 piece (or of version 1 when header.version says so).
std::vector<uint8_t> RecoveryHeaderBytes(const RecoveryHeader& header);
// The header the bytes hold, or nothing when they are not one of ours (signature, version,
// checksum, counts and sizes within the format's bounds).
std::optional<RecoveryHeader> ParseRecoveryHeader(const uint8_t* bytes, size_t size);

// The checksums of every stripe of every row: rows 0 .. K-1 the series' pieces, K .. K+M-1 the
// recovery pieces. Each covers the stripe's bytes of the row as padded with zeros to the piece
// size.
struct StripeTable {
    int64_t rows = 0;
    int64_t stripes = 0;
    std::vector<uint64_t> crcs;  // row by row
    StripeTable() = default;
    StripeTable(int64_t rows_, int64_t stripes_)
        : rows(rows_), stripes(stripes_), crcs(size_t(rows_ * stripes_), 0) {}
    uint64_t at(int64_t row, int64_t stripe) const { return crcs[size_t(row * stripes + stripe)]; }
    uint64_t& at(int64_t row, int64_t stripe) { return crcs[size_t(row * stripes + stripe)]; }
    bool operator==(const StripeTable& o) const {
        return rows == o.rows && stripes == o.stripes && crcs == o.crcs;
    }
};

// The series' identity: a digest of its plan and of its pieces' stripe checksums, so that a
// recovery piece of another file, or of an earlier version of this one, never matches.
Digest SeriesIdentity(const RecoveryHeader& header, const StripeTable& table);

// What follows a version 2 piece's row: the table, then the identity and the table's digest.
struct RecoveryTrailer {
    StripeTable table;
    Digest identity{};
};
std::vector<uint8_t> RecoveryTrailerBytes(const RecoveryHeader& header, const StripeTable& table);
// The table those bytes hold, when they are whole: the right length for the header, the table's
// digest, and the identity as the table gives it.
std::optional<RecoveryTrailer> ParseRecoveryTrailer(const RecoveryHeader& header,
                                                    const uint8_t* bytes, size_t size);

// BASE.rNN: recovery piece index (from 0) of the series named by names, in the letter case of
// the series' pieces (FILE.M00 -> FILE.R00).
std::string RecoveryPieceName(const SeriesNames& names, int index);

// How many recovery pieces a split asks for: a number, or a share of its pieces.
struct RecoveryCount {
    int64_t value = 0;
    bool percent = false;
    // The count for a series of pieces pieces (a share rounded up); nothing when the series and
    // its recovery pieces would be more than the code allows.
    std::optional<int> For(int64_t pieces) const;
    bool operator==(const RecoveryCount& o) const {
        return value == o.value && percent == o.percent;
    }
};
// "N" or "N%" (digits only); "" asks for none. Nothing when the text is neither.
std::optional<RecoveryCount> ParseRecoveryCount(const std::string& text);

// Which stripes of a row are as the table says (1) or not (0).
using StripeMarks = std::vector<uint8_t>;

// Stripe checksums of a row, worked out as its bytes go by in order; bytes that could not be
// read leave their stripes unread.
class StripeSums {
  public:
    // A row of row_length bytes, taken as padded with zeros to padded_length, in stripes.
    StripeSums(int64_t stripe_size, int64_t row_length, int64_t padded_length);
    void Add(const uint8_t* bytes, size_t size);
    void Skip(int64_t size);
    // The checksums, and which stripes were read whole (the rest of the row read as missing).
    std::vector<uint64_t> Finish(StripeMarks* read);

  private:
    void Move(const uint8_t* bytes, int64_t size);
    int64_t stripe_size_;
    int64_t row_length_;
    int64_t padded_length_;
    int64_t at_ = 0;
    uint64_t crc_ = 0;
    bool whole_ = true;
    std::vector<uint64_t> crcs_;
    StripeMarks read_;
};

// What reading a file through for a row's stripes found.
struct RowReading {
    std::vector<uint64_t> crcs;  // each stripe's checksum
    StripeMarks read;            // the stripes read whole
    bool failed = false;         // a range could not be read (its stripes are unread)
    std::string reason;          // why, the first time
};
// Reads a file of file_length bytes through, in order; its bytes from row_at on, up to
// row_length of them, are a row of the code (padded with zeros to padded_length) and have their
// stripes summed. Every range read goes to seen (its bytes and where they lie in the file);
// between runs before each read (it may throw to stop). A range that cannot be read is read
// again a stripe at a time, and what still fails is passed over: seen never hears of it.
RowReading ReadRow(File& file, int64_t file_length, int64_t row_at, int64_t row_length,
                   int64_t padded_length, int64_t stripe_size, std::vector<uint8_t>& buffer,
                   const std::function<void(const uint8_t*, int64_t, size_t)>& seen,
                   const std::function<void()>& between);

// Runs one step of the work (the operation's error trap: a failure can be retried or given up).
using RecoveryStep = std::function<void(const std::function<void()>&)>;

// One row of the code, as the coder reads or makes it.
struct CoderRow {
    File* in = nullptr;      // where the row can be read from (the coder places every read)
    StripeMarks good;        // its stripes that may be read (empty: all of them)
    bool wanted = false;     // the row is to be made (read where it is good, else rebuilt)
    File* out = nullptr;     // where a wanted row is written, in order; null: made and checked only
    Sha256* hash = nullptr;  // a wanted row's bytes (its own length), in order
};

// What a pass of the coder found.
struct CoderOutcome {
    std::vector<int64_t> failed;  // by row: stripes of a wanted row not made, or not as listed
    bool changed = false;         // a row read differed from its checksum: it changed meanwhile
    bool whole() const {
        for (const int64_t n : failed) {
            if (n > 0) {
                return false;
            }
        }
        return !changed;
    }
};

// Works stripe by stripe over files: rows 0 .. K-1 are the series' pieces (read from their start;
// a shorter one reads as padded with zeros), rows K .. K+M-1 the recovery pieces (read after
// their header). Every read and write is a step.
class RecoveryCoder {
  public:
    RecoveryCoder(const SeriesPlan& series, int recovery_pieces, int64_t stripe_size);

    int data_pieces() const { return k_; }
    int recovery_pieces() const { return m_; }
    int64_t stripes() const { return stripes_; }
    int64_t RowLength(int row) const;

    // Makes the wanted rows. In each stripe a wanted row is read where it is good and rebuilt
    // from K good rows otherwise (a recovery row is always made from the series' rows). With
    // expected, every stripe read or made is compared with it: a wanted row's stripe that does
    // not match counts as failed, and a row read that does not match means it changed since it
    // was found good. computed, when given, takes the checksum of every stripe read or made.
    CoderOutcome Run(const std::vector<CoderRow>& rows, const StripeTable* expected,
                     StripeTable* computed, const RecoveryStep& step);

  private:
    struct Plan;
    Plan PlanStripe(const std::vector<CoderRow>& rows, int64_t stripe) const;
    const std::vector<uint8_t>& DecodeTables(const std::vector<int>& from,
                                             const std::vector<int>& to);

    SeriesPlan series_;
    int k_;
    int m_;
    int64_t stripe_size_;
    int64_t stripes_;
    std::vector<uint8_t> matrix_;  // (K+M) x K: the identity, then the Cauchy rows
    std::map<std::vector<int>, std::vector<uint8_t>> decode_tables_;
};

}  // namespace tessarel
