#include "engine/series_check.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/recovery.h"
#include "platform/conversions.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"
#include "platform/sha256.h"

namespace tessarel {
namespace {

// Past this many, a join's pieces are not all held open: the system's limit on open files is
// often a thousand, and only a series no split of ours writes has this many.
constexpr size_t kMostHeldOpen = 400;

void StopIfAsked(const CheckOptions& options) {
    if (options.stop && options.stop()) {
        throw CheckStopped{};
    }
}

void TellRead(const CheckOptions& options, int64_t piece, int64_t bytes) {
    if (options.read) {
        options.read(piece, bytes);
    }
}

// Reads length bytes of file through, giving them to hash when there is one, and the bytes from
// whole_from to whole_to (of the file) to whole when there is one.
void ReadThrough(File& file, int64_t length, std::vector<uint8_t>& buffer, Sha256* hash,
                 const CheckOptions& options, Sha256* whole = nullptr, int64_t whole_from = 0,
                 int64_t whole_to = 0, int64_t piece = 0) {
    for (int64_t at = 0; at < length;) {
        StopIfAsked(options);
        const auto n = static_cast<int32_t>(std::min<int64_t>(length - at, int64_t(buffer.size())));
        file.Read(buffer.data(), n);
        if (hash) {
            hash->Update(buffer.data(), static_cast<size_t>(n));
        }
        const int64_t from = std::max(at, whole_from);
        const int64_t to = std::min(at + n, whole_to);
        if (whole && from < to) {
            whole->Update(buffer.data() + (from - at), static_cast<size_t>(to - from));
        }
        at += n;
        TellRead(options, piece, n);
    }
}

// Reads a piece through for its stripe checksums (and its digest when hash is given). A range
// that cannot be read leaves its stripes unread, and the rest of the piece is still read; the
// piece is then unreadable, for the reason of the first failure.
void ReadStripes(File& file, PieceCheck& piece, int64_t piece_size, std::vector<uint8_t>& buffer,
                 Sha256* hash, const CheckOptions& options, Sha256* whole, int64_t whole_from) {
    bool whole_read = true;
    const auto seen = [&](const uint8_t* bytes, int64_t at, size_t n) {
        if (hash) {
            hash->Update(bytes, n);
        }
        const int64_t from = std::max(at, whole_from);
        const int64_t to = std::min(at + int64_t(n), piece.expected);
        if (whole && from < to) {
            whole->Update(bytes + (from - at), static_cast<size_t>(to - from));
        }
        TellRead(options, piece.number, int64_t(n));
    };
    RowReading reading = ReadRow(file, piece.actual, 0, piece.expected, piece_size,
                                 options.stripe_size, buffer, seen, [&] { StopIfAsked(options); });
    whole_read = !reading.failed;
    piece.stripe_crcs = std::move(reading.crcs);
    piece.stripe_read = std::move(reading.read);
    if (!whole_read) {
        throw RuntimeError(kErrDeviceIo, reading.reason, piece.name);
    }
}

// Opens the piece, and reads it through when asked; what stops that makes the piece
// unreadable, with the reason. The file that the pieces make is hashed on the way, when asked.
void TryPiece(PieceCheck& piece, const CheckOptions& options, const Digest* expected,
              int64_t piece_size, int32_t header_length, std::vector<uint8_t>& buffer,
              Sha256* whole) {
    try {
        Sha256 hash;
        const int64_t whole_from = piece.number == 1 ? header_length : 0;
        if (options.from_medium && options.depth == CheckDepth::kRead) {
            // From the medium itself: what the system still holds of it is not what is read.
            StripeSums sums(options.stripe_size > 0 ? options.stripe_size : piece_size,
                            piece.expected, piece_size);
            int64_t at = 0;
            ReadFromMedium(
                piece.name, piece.name,
                [&](const uint8_t* bytes, size_t n) {
                    if (expected) {
                        hash.Update(bytes, n);
                    }
                    const int64_t from = std::max(at, whole_from);
                    const int64_t to = std::min(at + int64_t(n), piece.expected);
                    if (whole && from < to) {
                        whole->Update(bytes + (from - at), static_cast<size_t>(to - from));
                    }
                    sums.Add(bytes, n);
                    at += int64_t(n);
                    TellRead(options, piece.number, int64_t(n));
                },
                [&] { StopIfAsked(options); });
            if (options.stripe_size > 0) {
                piece.stripe_crcs = sums.Finish(&piece.stripe_read);
            }
            if (expected) {
                piece.compared = true;
                if (piece.state == PieceState::kGood && hash.Finish() != *expected) {
                    piece.state = PieceState::kDamaged;
                }
            }
            return;
        }
        File file = File::OpenForReading(piece.name, options.keep_open == nullptr);
        if (options.depth == CheckDepth::kRead && options.stripe_size > 0) {
            ReadStripes(file, piece, piece_size, buffer, expected ? &hash : nullptr, options, whole,
                        whole_from);
        } else if (options.depth == CheckDepth::kRead) {
            ReadThrough(file, piece.actual, buffer, expected ? &hash : nullptr, options, whole,
                        whole_from, piece.expected, piece.number);
        }
        if (options.keep_open && options.keep_open->size() < kMostHeldOpen) {
            file.Seek(0);  // read again from its start
            options.keep_open->resize(static_cast<size_t>(piece.number));
            options.keep_open->back() = std::move(file);
        } else {
            file.Close();
        }
        if (expected && options.depth == CheckDepth::kRead) {
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

// The digest of a file of length bytes, or none when it cannot be read.
std::optional<Digest> DigestOf(const std::string& path, int64_t length) {
    std::vector<uint8_t> buffer(size_t{1} << 20);
    try {
        File file = File::OpenForReading(path);
        Sha256 hash;
        ReadThrough(file, length, buffer, &hash, CheckOptions());
        file.Close();
        return hash.Finish();
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Takes a copy marker off the end of a name's stem: " (N)", "(N)", "-N", " - copy", " - copy (N)".
std::string WithoutCopyMarker(std::string stem) {
    auto digits_before = [&](size_t end) {
        size_t start = end;
        while (start > 0 && stem[start - 1] >= '0' && stem[start - 1] <= '9') {
            --start;
        }
        return start;
    };
    if (EndsWith(stem, ")")) {
        const size_t start = digits_before(stem.size() - 1);
        if (start < stem.size() - 1 && start > 0 && stem[start - 1] == '(') {
            stem.erase(start - 1);
            if (EndsWith(stem, " ")) {
                stem.pop_back();
            }
        }
    } else {
        const size_t start = digits_before(stem.size());
        if (start < stem.size() && start > 0 && stem[start - 1] == '-') {
            stem.erase(start - 1);
        }
    }
    if (EndsWith(stem, " - copy")) {
        stem.erase(stem.size() - 7);
    }
    return stem;
}

// Finds a look-alike for each missing piece among the files of the series' folder. Each name
// of the folder is keyed once, so a folder of many files and a header that asks for many pieces
// cost their sum, not their product.
void FindLookAlikes(std::vector<PieceCheck>& pieces, const SeriesDigests* expected,
                    const CheckOptions& options) {
    const auto missing = [](const PieceCheck& p) { return p.state == PieceState::kMissing; };
    if (pieces.empty() || std::none_of(pieces.begin(), pieces.end(), missing)) {
        return;
    }
    const std::string folder = FolderOf(pieces.front().name);
    std::vector<std::string> names = NamesIn(folder);
    std::sort(names.begin(), names.end());  // the same answer every time
    std::multimap<std::string, std::string> by_key;
    for (const std::string& name : names) {
        by_key.emplace(LookAlikeKey(name), name);
    }
    for (PieceCheck& piece : pieces) {
        if (!missing(piece)) {
            continue;
        }
        StopIfAsked(options);
        // A handful of candidates at most: a folder full of same-named copies would otherwise
        // have each read through for every missing piece.
        const auto [first, last] = by_key.equal_range(LookAlikeKey(NameOf(piece.name)));
        int tried = 0;
        for (auto it = first; it != last && tried < 8; ++it) {
            const std::string path = JoinPath(folder, it->second);
            const PathInfo info = InfoOf(path);
            if (!info.regular() || info.size != piece.expected) {
                continue;
            }
            ++tried;
            const size_t n = static_cast<size_t>(piece.number);
            const bool listed = expected && n <= expected->pieces.size();
            if (listed && DigestOf(path, info.size) != expected->pieces[n - 1]) {
                continue;
            }
            piece.look_alike = path;
            piece.look_alike_checked = listed;
            break;
        }
    }
}

}  // namespace

std::string LookAlikeKey(const std::string& name) {
    std::string key = AsciiLower(name);
    for (const char* unfinished : {".part", ".download", ".crdownload"}) {
        if (EndsWith(key, unfinished)) {
            key.erase(key.size() - std::string(unfinished).size());
            break;
        }
    }
    const size_t dot = key.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return key;
    }
    const std::string extension = key.substr(dot);
    std::string stem = key.substr(0, dot);
    if (EndsWith(stem, extension) && stem.size() > extension.size()) {
        stem.erase(stem.size() - extension.size());  // "x.m02.m02"
    }
    return WithoutCopyMarker(stem) + extension;
}

std::vector<PieceCheck> CheckSeries(const std::string& first_piece, const SeriesPlan& series,
                                    CheckDepth depth, const SeriesDigests* expected) {
    CheckOptions options;
    options.depth = depth;
    options.expected = expected;
    return CheckSeries(first_piece, series, options);
}

std::vector<PieceCheck> CheckSeries(const std::string& first_piece, const SeriesPlan& series,
                                    const CheckOptions& options) {
    const SeriesNames names(first_piece);
    const SeriesDigests* expected = options.expected;
    std::vector<PieceCheck> pieces;
    pieces.reserve(static_cast<size_t>(series.count));
    for (int64_t n = 1; n <= series.count; ++n) {
        StopIfAsked(options);
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
        }
        pieces.push_back(piece);
    }
    const auto look = [&](PieceCheck& piece, std::vector<uint8_t>& buffer, Sha256* whole) {
        const size_t n = static_cast<size_t>(piece.number);
        const bool listed = expected && n <= expected->pieces.size();
        TryPiece(piece, options, listed ? &expected->pieces[n - 1] : nullptr, series.piece_size,
                 series.header_length(), buffer, whole);
    };
    const size_t buffer_bytes = options.depth == CheckDepth::kRead ? size_t{1} << 20 : 0;
    // Read through on every core, a piece each at a time, unless the file the pieces make is
    // hashed (in order) or the pieces are kept open (in order).
    const unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    if (options.depth == CheckDepth::kRead && !options.whole && !options.keep_open && cores > 1) {
        std::atomic<size_t> next{0};
        std::atomic<bool> failed{false};
        std::exception_ptr failure;
        std::mutex failure_mutex;
        const auto worker = [&] {
            std::vector<uint8_t> buffer(buffer_bytes);
            for (size_t i = next++; i < pieces.size() && !failed; i = next++) {
                if (pieces[i].state == PieceState::kMissing ||
                    pieces[i].state == PieceState::kNotOrdinary) {
                    continue;
                }
                try {
                    look(pieces[i], buffer, nullptr);
                } catch (...) {
                    const std::lock_guard<std::mutex> lock(failure_mutex);
                    if (!failure) {
                        failure = std::current_exception();
                    }
                    failed = true;
                }
            }
        };
        std::vector<std::thread> helpers;
        for (unsigned t = 1; t < cores; ++t) {
            helpers.emplace_back(worker);
        }
        worker();
        for (std::thread& helper : helpers) {
            helper.join();
        }
        if (failure) {
            std::rethrow_exception(failure);
        }
    } else if (options.depth != CheckDepth::kLengths) {
        std::vector<uint8_t> buffer(buffer_bytes);
        Sha256 whole;
        bool whole_known = options.whole != nullptr;
        for (PieceCheck& piece : pieces) {
            StopIfAsked(options);
            if (piece.state != PieceState::kMissing && piece.state != PieceState::kNotOrdinary) {
                look(piece, buffer, whole_known ? &whole : nullptr);
            }
            whole_known = whole_known &&
                          (piece.state == PieceState::kGood || piece.state == PieceState::kLonger ||
                           piece.state == PieceState::kDamaged);
        }
        if (whole_known && options.depth == CheckDepth::kRead) {
            *options.whole = whole.Finish();
        }
    }
    FindLookAlikes(pieces, expected, options);
    return pieces;
}

std::vector<PieceCheck> CheckSeries(const std::string& first_piece, int64_t stream_length,
                                    int64_t piece_size) {
    const SeriesPlan series{stream_length, piece_size, PieceCount(stream_length, piece_size)};
    return CheckSeries(first_piece, series);
}

bool IsFirstPieceFile(const std::string& path) {
    try {
        File file = File::OpenForReading(path);
        std::string start(kSignatureLength, '\0');
        file.Read(reinterpret_cast<uint8_t*>(start.data()), kSignatureLength);
        return HasSignature(start);
    } catch (const std::exception&) {
        return false;  // unreadable, too short, not an ordinary file: not a first piece
    }
}

bool PieceLost(const PieceCheck& piece) {
    switch (piece.state) {
        case PieceState::kGood:
        case PieceState::kLonger:
            return piece.bad_stripes > 0;
        case PieceState::kMissing:
            return !piece.look_alike_checked;  // a renamed copy that matches its line is found
        default:
            return true;
    }
}

std::string PiecePath(const PieceCheck& piece) {
    return piece.state == PieceState::kMissing && piece.look_alike_checked ? piece.look_alike
                                                                           : piece.name;
}

const PieceCheck* FirstBadPiece(const std::vector<PieceCheck>& pieces) {
    for (const PieceCheck& piece : pieces) {
        if (PieceLost(piece)) {
            return &piece;
        }
    }
    return nullptr;
}

std::vector<std::string> FilesAfterSeries(const std::string& first_piece, int64_t count) {
    return FilesAfterSeries(SeriesNames(first_piece), count);
}

std::vector<std::string> FilesAfterSeries(const SeriesNames& names, int64_t count) {
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
