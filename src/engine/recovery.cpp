#include "engine/recovery.h"

#include <isa-l/crc.h>
#include <isa-l/crc64.h>

#include <algorithm>
#include <cstring>

#include "platform/conversions.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// Zeros a row is padded with are summed this many at a time.
constexpr int64_t kBlock = 64 * 1024;

constexpr size_t kCrcAtVersion1 = 36;  // the header's bytes before it are what it checks
constexpr size_t kCrcAtVersion2 = 60;
constexpr size_t kStripeSizeAt = 36;
constexpr size_t kFlagsAt = 18;  // version 2
constexpr uint64_t kHeaderlessFlag = 1;

void PutLittle(uint8_t* bytes, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint64_t GetLittle(const uint8_t* bytes, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

int64_t RoundUp(int64_t value, int64_t unit) {
    return (value + unit - 1) / unit * unit;
}

const uint8_t kZeros[kBlock] = {};

}  // namespace

int64_t StripeSizeFor(int64_t piece_size, int64_t data_pieces) {
    return std::max({kStripeUnit,
                     RoundUp((piece_size + kMostStripes - 1) / kMostStripes, kStripeUnit),
                     RoundUp(256 * data_pieces, kStripeUnit)});
}

uint64_t StripeCrc(uint64_t crc, const uint8_t* bytes, size_t size) {
    return crc64_ecma_refl(crc, bytes, size);
}

int64_t RecoveryHeader::stripes() const {
    return version == 1 ? 1 : (piece_size + stripe_size - 1) / stripe_size;
}

int64_t RecoveryHeader::table_length() const {
    return version == 1 ? 0 : int64_t(data_pieces + recovery_pieces) * stripes() * 8;
}

int64_t RecoveryHeader::file_length() const {
    return kRecoveryHeaderLength + piece_size +
           (version == 1 ? 0 : table_length() + kRecoveryTrailerLength);
}

std::vector<uint8_t> RecoveryHeaderBytes(const RecoveryHeader& header) {
    std::vector<uint8_t> bytes(kRecoveryHeaderLength, 0);
    std::memcpy(bytes.data(), kRecoverySignature, 10);
    PutLittle(&bytes[10], static_cast<uint64_t>(header.version), 2);
    PutLittle(&bytes[12], static_cast<uint64_t>(header.data_pieces), 2);
    PutLittle(&bytes[14], static_cast<uint64_t>(header.recovery_pieces), 2);
    PutLittle(&bytes[16], static_cast<uint64_t>(header.index), 2);
    PutLittle(&bytes[20], static_cast<uint64_t>(header.piece_size), 8);
    PutLittle(&bytes[28], static_cast<uint64_t>(header.stream_length), 8);
    if (header.version == 1) {
        PutLittle(&bytes[kCrcAtVersion1], crc32_gzip_refl(0, bytes.data(), kCrcAtVersion1), 4);
    } else {
        PutLittle(&bytes[kFlagsAt], header.headerless ? kHeaderlessFlag : 0, 2);
        PutLittle(&bytes[kStripeSizeAt], static_cast<uint64_t>(header.stripe_size), 4);
        PutLittle(&bytes[kCrcAtVersion2], crc32_gzip_refl(0, bytes.data(), kCrcAtVersion2), 4);
    }
    return bytes;
}

std::optional<RecoveryHeader> ParseRecoveryHeader(const uint8_t* bytes, size_t size) {
    if (size < size_t(kRecoveryHeaderLength) || std::memcmp(bytes, kRecoverySignature, 10) != 0) {
        return std::nullopt;
    }
    RecoveryHeader header;
    header.version = static_cast<int>(GetLittle(bytes + 10, 2));
    const size_t crc_at = header.version == 1 ? kCrcAtVersion1 : kCrcAtVersion2;
    if ((header.version != 1 && header.version != 2) ||
        GetLittle(bytes + crc_at, 4) != crc32_gzip_refl(0, bytes, crc_at)) {
        return std::nullopt;
    }
    header.data_pieces = static_cast<int>(GetLittle(bytes + 12, 2));
    header.recovery_pieces = static_cast<int>(GetLittle(bytes + 14, 2));
    header.index = static_cast<int>(GetLittle(bytes + 16, 2));
    // Flags this reader does not know are not looked at, as reserved bytes.
    header.headerless = header.version == 2 && (GetLittle(bytes + kFlagsAt, 2) & kHeaderlessFlag);
    const uint64_t piece_size = GetLittle(bytes + 20, 8);
    const uint64_t stream_length = GetLittle(bytes + 28, 8);
    if (piece_size > uint64_t(kMostCodedStream) || stream_length > uint64_t(kMostCodedStream)) {
        return std::nullopt;
    }
    header.piece_size = static_cast<int64_t>(piece_size);
    header.stream_length = static_cast<int64_t>(stream_length);
    if (header.data_pieces < 2 || header.recovery_pieces < 1 ||
        header.data_pieces + header.recovery_pieces > kMostCodedPieces ||
        header.index >= header.recovery_pieces || !header.plan().consistent()) {
        return std::nullopt;
    }
    if (header.version == 2) {
        header.stripe_size = static_cast<int64_t>(GetLittle(bytes + kStripeSizeAt, 4));
        if (header.stripe_size != StripeSizeFor(header.piece_size, header.data_pieces)) {
            return std::nullopt;
        }
    }
    return header;
}

Digest SeriesIdentity(const RecoveryHeader& header, const StripeTable& table) {
    Sha256 hash;
    uint8_t plan[22];
    PutLittle(plan, static_cast<uint64_t>(header.data_pieces), 2);
    PutLittle(plan + 2, static_cast<uint64_t>(header.piece_size), 8);
    PutLittle(plan + 10, static_cast<uint64_t>(header.stream_length), 8);
    PutLittle(plan + 18, static_cast<uint64_t>(header.stripe_size), 4);
    hash.Update(plan, sizeof plan);
    const size_t data = size_t(header.data_pieces) * size_t(table.stripes);
    std::vector<uint8_t> bytes(data * 8);
    for (size_t i = 0; i < data && i < table.crcs.size(); ++i) {
        PutLittle(&bytes[8 * i], table.crcs[i], 8);
    }
    hash.Update(bytes.data(), bytes.size());
    return hash.Finish();
}

std::vector<uint8_t> RecoveryTrailerBytes(const RecoveryHeader& header, const StripeTable& table) {
    std::vector<uint8_t> bytes(table.crcs.size() * 8 + kRecoveryTrailerLength);
    for (size_t i = 0; i < table.crcs.size(); ++i) {
        PutLittle(&bytes[8 * i], table.crcs[i], 8);
    }
    Sha256 hash;
    hash.Update(bytes.data(), table.crcs.size() * 8);
    const Digest identity = SeriesIdentity(header, table);
    const Digest digest = hash.Finish();
    std::memcpy(&bytes[table.crcs.size() * 8], identity.data(), identity.size());
    std::memcpy(&bytes[table.crcs.size() * 8 + 32], digest.data(), digest.size());
    return bytes;
}

std::optional<RecoveryTrailer> ParseRecoveryTrailer(const RecoveryHeader& header,
                                                    const uint8_t* bytes, size_t size) {
    const int64_t table_length = header.table_length();
    if (header.version != 2 || int64_t(size) != table_length + kRecoveryTrailerLength) {
        return std::nullopt;
    }
    Sha256 hash;
    hash.Update(bytes, size_t(table_length));
    const Digest digest = hash.Finish();
    if (std::memcmp(digest.data(), bytes + table_length + 32, digest.size()) != 0) {
        return std::nullopt;
    }
    RecoveryTrailer trailer;
    trailer.table = StripeTable(header.data_pieces + header.recovery_pieces, header.stripes());
    for (size_t i = 0; i < trailer.table.crcs.size(); ++i) {
        trailer.table.crcs[i] = GetLittle(bytes + 8 * i, 8);
    }
    std::memcpy(trailer.identity.data(), bytes + table_length, trailer.identity.size());
    if (SeriesIdentity(header, trailer.table) != trailer.identity) {
        return std::nullopt;
    }
    return trailer;
}

std::string RecoveryPieceName(const SeriesNames& names, int index) {
    return PieceName(names.base, index + 1, names.letter == 'M' ? 'R' : 'r');
}

std::optional<int> RecoveryCount::For(int64_t pieces) const {
    // Past these the count is too many whatever the series; no product below can overflow.
    if (value > (percent ? 100 * kMostCodedPieces : kMostCodedPieces)) {
        return std::nullopt;
    }
    const int64_t wanted = percent ? (pieces * value + 99) / 100 : value;
    if (wanted + pieces > kMostCodedPieces) {
        return std::nullopt;
    }
    return static_cast<int>(wanted);
}

std::optional<RecoveryCount> ParseRecoveryCount(const std::string& text) {
    if (text.empty()) {
        return RecoveryCount{};
    }
    std::string digits = text;
    RecoveryCount count;
    count.percent = digits.back() == '%';
    if (count.percent) {
        digits.pop_back();
    }
    if (!AllDigits(digits, 18)) {
        return std::nullopt;
    }
    count.value = std::stoll(digits);
    return count;
}

StripeSums::StripeSums(int64_t stripe_size, int64_t row_length, int64_t padded_length)
    : stripe_size_(stripe_size),
      row_length_(row_length),
      padded_length_(padded_length),
      crcs_(size_t(std::max<int64_t>(1, (padded_length + stripe_size - 1) / stripe_size)), 0),
      read_(crcs_.size(), 0) {}

void StripeSums::Move(const uint8_t* bytes, int64_t size) {
    while (size > 0 && at_ < padded_length_) {
        const int64_t stripe = at_ / stripe_size_;
        const int64_t end = std::min((stripe + 1) * stripe_size_, padded_length_);
        const int64_t n = std::min(size, end - at_);
        if (bytes) {
            crc_ = StripeCrc(crc_, bytes, size_t(n));
            bytes += n;
        } else {
            whole_ = false;
        }
        at_ += n;
        size -= n;
        if (at_ == end) {
            crcs_[size_t(stripe)] = crc_;
            read_[size_t(stripe)] = whole_ ? 1 : 0;
            crc_ = 0;
            whole_ = true;
        }
    }
}

void StripeSums::Add(const uint8_t* bytes, size_t size) {
    // Bytes past the row's length (a piece longer than its series says) are not the row's.
    Move(bytes, std::min(int64_t(size), std::max<int64_t>(0, row_length_ - at_)));
}

void StripeSums::Skip(int64_t size) {
    Move(nullptr, std::min(size, std::max<int64_t>(0, row_length_ - at_)));
}

std::vector<uint64_t> StripeSums::Finish(StripeMarks* read) {
    Skip(row_length_ - at_);  // what never came
    while (at_ < padded_length_) {
        Move(kZeros, std::min<int64_t>(kBlock, padded_length_ - at_));
    }
    if (read) {
        *read = read_;
    }
    return crcs_;
}

RowReading ReadRow(File& file, int64_t file_length, int64_t row_at, int64_t row_length,
                   int64_t padded_length, int64_t stripe_size, std::vector<uint8_t>& buffer,
                   const std::function<void(const uint8_t*, int64_t, size_t)>& seen,
                   const std::function<void()>& between) {
    StripeSums sums(stripe_size, row_length, padded_length);
    RowReading reading;
    const int64_t row_end = row_at + row_length;
    // The row's bytes in [at, at + n) go to the sums, as read or as unread.
    const auto to_sums = [&](const uint8_t* bytes, int64_t at, int64_t n) {
        const int64_t from = std::max(at, row_at);
        const int64_t to = std::min(at + n, row_end);
        if (from < to) {
            if (bytes) {
                sums.Add(bytes + (from - at), size_t(to - from));
            } else {
                sums.Skip(to - from);
            }
        }
    };
    const auto read = [&](int64_t at, int64_t n) {
        try {
            file.Seek(at);
            file.Read(buffer.data(), static_cast<int32_t>(n));
        } catch (const RuntimeError& error) {
            if (!reading.failed) {
                reading.failed = true;
                reading.reason = error.description();
            }
            return false;
        }
        seen(buffer.data(), at, size_t(n));
        to_sums(buffer.data(), at, n);
        return true;
    };
    for (int64_t at = 0; at < file_length;) {
        if (between) {
            between();
        }
        const int64_t n = std::min<int64_t>(file_length - at, int64_t(buffer.size()));
        if (read(at, n)) {
            at += n;
            continue;
        }
        // Stripe by stripe through the range that failed.
        for (const int64_t end = at + n; at < end;) {
            const int64_t next =
                at < row_at ? row_at : row_at + ((at - row_at) / stripe_size + 1) * stripe_size;
            const int64_t part = std::min(end, next) - at;
            if (!read(at, part)) {
                to_sums(nullptr, at, part);
            }
            at += part;
        }
    }
    reading.crcs = sums.Finish(&reading.read);
    return reading;
}

}  // namespace tessarel
