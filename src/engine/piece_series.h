// A series of pieces: the whole file preceded by a header, cut into pieces of one size. The
// header is the signature and the whole file's length in ten digits (20 bytes); a file longer
// than ten digits can say gets the wide header, a signature of its own and twenty digits (30
// bytes). Piece 1 is named B.m00, piece n is B.m(n-1) with at least two digits.
// docs/series-format.md describes both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessarel {

constexpr char kSignature[] = "KESTRAVOLN";
constexpr int32_t kSignatureLength = 10;
constexpr int32_t kHeaderLength = 20;
// The wide header: for a file beyond what ten digits say, whose signature no classic reader takes.
constexpr char kWideSignature[] = "KESTRAVOLW";
constexpr int32_t kWideHeaderLength = 30;
// The largest file any header describes: far beyond any disk, and no sum with it overflows.
constexpr int64_t kMaxWideSourceLength = int64_t{1} << 62;
constexpr int32_t kMinPieceSize = 21;
constexpr int32_t kMaxSplitPieces = 100;
// Piece numbers of a join are counted in 16 bits: a header that asks for more is not one of ours.
constexpr int32_t kMaxJoinPieces = 32767;
// The classic header's length field has ten decimal digits: the largest file it describes.
constexpr int64_t kMaxSourceLength = 9999999999;
// What a split adds to a name to make the first piece's.
constexpr char kFirstPieceExtension[] = ".m00";
// The piece size, in kilobytes of 1024 bytes, when none is chosen: the window's at start, the
// command line's without a size.
constexpr char kDefaultPieceKilobytes[] = "1400";

// The header of a file of source_length bytes: the classic one whenever ten digits can say the
// length, the wide one otherwise (beyond kMaxWideSourceLength, or below 0, an overflow).
int32_t HeaderLengthFor(int64_t source_length);
std::string HeaderText(int64_t source_length);

// True when the first bytes of a file are a signature, either form's, exactly, letter case
// included.
bool HasSignature(const std::string& first_bytes);
// The length of the header whose signature first_bytes start with (0 for none).
int32_t HeaderLengthOf(const std::string& first_bytes);

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
// A set of plain numbered pieces (NAME.001, NAME.002, ...: no header, what any tool joins) is
// named by its members, as found or as written.
struct SeriesNames {
    std::string first_piece;
    std::string base;  // the first piece without its extension
    char letter = 'm';
    std::vector<std::string> members;  // another tool's set's, full paths, in order
    bool numbered = false;             // base.001, base.002, ...
    SeriesNames() = default;
    explicit SeriesNames(const std::string& first);
    std::string operator[](int64_t piece) const;
};

// The names of plain numbered pieces of base: base.001, base.002, ... (three digits or more).
SeriesNames NumberedNames(const std::string& base);

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
    bool headerless = false;  // plain numbered pieces: the file's bytes alone

    // The header's length: the classic one's for every stream it can describe, else the wide
    // one's (a wide header is never written for a file ten digits can say).
    int32_t header_length() const {
        return headerless                                          ? 0
               : stream_length - kHeaderLength <= kMaxSourceLength ? kHeaderLength
                                                                   : kWideHeaderLength;
    }
    int64_t source_length() const { return stream_length - header_length(); }
    int64_t piece_length(int64_t piece) const {
        return PieceLength(stream_length, piece_size, piece);
    }
    // True when the numbers fit together as a series the split could have written.
    bool consistent() const {
        return piece_size >= (headerless ? 1 : kMinPieceSize) && piece_size > header_length() &&
               piece_size < stream_length && count >= 2 &&
               PieceCount(stream_length, piece_size) == count &&
               stream_length - header_length() <= kMaxWideSourceLength &&
               (header_length() != kWideHeaderLength || source_length() > kMaxSourceLength);
    }
};

}  // namespace tessarel
