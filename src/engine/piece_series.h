// A series of pieces: the whole file preceded by a 20-byte header, cut into pieces of one size.
// The header is the signature and the whole file's length in ten digits; piece 1 is named
// B.m00, piece n is B.m(n-1) with at least two digits.
#pragma once

#include <cstdint>
#include <string>

namespace tessarel {

constexpr char kSignature[] = "KESTRAVOLN";
constexpr int32_t kSignatureLength = 10;
constexpr int32_t kHeaderLength = 20;
constexpr int32_t kMinPieceSize = 21;
constexpr int32_t kMaxSplitPieces = 100;
// Piece numbers of a join are counted in 16 bits: a header that asks for more is not one of ours.
constexpr int32_t kMaxJoinPieces = 32767;
// The header's length field has ten decimal digits: the largest file a series can describe.
constexpr int64_t kMaxSourceLength = 9999999999;
// What a split adds to a name to make the first piece's.
constexpr char kFirstPieceExtension[] = ".m00";
// The piece size, in kilobytes of 1024 bytes, when none is chosen: the window's at start, the
// command line's without a size.
constexpr char kDefaultPieceKilobytes[] = "1400";

// The 20 header characters for a file of source_length bytes; beyond ten digits an overflow.
std::string HeaderText(int64_t source_length);

// True when the first bytes of a file are the signature, exactly, letter case included.
bool HasSignature(const std::string& first_bytes);

// The name of piece number piece (1 for the first) of the series with base name base: base +
// "." + letter + the piece's number less one, in two digits or more. A split names its pieces
// with "m"; a series read back follows the letter case of its first piece (FILE.M00 -> FILE.M01).
std::string PieceName(const std::string& base, int64_t piece, char letter = 'm');

// The series a piece's name says it belongs to: the name without its extension when the
// extension is ".m" (or ".M") and two or more digits, else "".
std::string SeriesBaseOf(const std::string& path);
// The same for a recovery piece's name: the extension ".r" (or ".R") and two or more digits.
std::string RecoveryBaseOf(const std::string& path);

// The letter a series whose first piece is first_piece names its later pieces with: "M" when
// the first piece's extension starts with it, "m" otherwise.
char SeriesLetter(const std::string& first_piece);

// The names of a series: the first piece as it is called, then the later ones after it.
struct SeriesNames {
    std::string first_piece;
    std::string base;  // the first piece without its extension
    char letter = 'm';
    SeriesNames() = default;
    explicit SeriesNames(const std::string& first);
    std::string operator[](int64_t piece) const {
        return piece == 1 ? first_piece : PieceName(base, piece, letter);
    }
};

// The number of pieces a stream of stream_length bytes makes: rounded up.
int64_t PieceCount(int64_t stream_length, int64_t piece_size);

// The length of piece number piece (1-based) of such a stream.
int64_t PieceLength(int64_t stream_length, int64_t piece_size, int64_t piece);

// How a series is cut: the stream (file + header), the piece size and the count of pieces,
// worked out once by the request rules.
struct SeriesPlan {
    int64_t stream_length = 0;
    int64_t piece_size = 0;
    int64_t count = 0;

    int64_t source_length() const { return stream_length - kHeaderLength; }
    int64_t piece_length(int64_t piece) const {
        return PieceLength(stream_length, piece_size, piece);
    }
    // True when the numbers fit together as a series the split could have written.
    bool consistent() const {
        return piece_size >= kMinPieceSize && piece_size < stream_length && count >= 2 &&
               PieceCount(stream_length, piece_size) == count;
    }
};

}  // namespace tessarel
