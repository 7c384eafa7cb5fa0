#include "engine/recovery.h"

#include <isa-l/crc.h>
#include <isa-l/erasure_code.h>

#include <algorithm>
#include <cstring>

#include "platform/conversions.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// Bytes of a stripe: a row of each piece at a time, so memory stays within 255 such rows.
constexpr int64_t kStripe = 64 * 1024;

void PutLittle(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes[at + size_t(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint64_t GetLittle(const uint8_t* bytes, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

constexpr size_t kCrcAt = 36;  // the header's bytes before it are what it checks

}  // namespace

std::vector<uint8_t> RecoveryHeaderBytes(const RecoveryHeader& header) {
    std::vector<uint8_t> bytes(kRecoveryHeaderLength, 0);
    std::memcpy(bytes.data(), kRecoverySignature, 10);
    PutLittle(bytes, 10, kRecoveryFormatVersion, 2);
    PutLittle(bytes, 12, static_cast<uint64_t>(header.data_pieces), 2);
    PutLittle(bytes, 14, static_cast<uint64_t>(header.recovery_pieces), 2);
    PutLittle(bytes, 16, static_cast<uint64_t>(header.index), 2);
    PutLittle(bytes, 20, static_cast<uint64_t>(header.piece_size), 8);
    PutLittle(bytes, 28, static_cast<uint64_t>(header.stream_length), 8);
    PutLittle(bytes, kCrcAt, crc32_gzip_refl(0, bytes.data(), kCrcAt), 4);
    return bytes;
}

std::optional<RecoveryHeader> ParseRecoveryHeader(const uint8_t* bytes, size_t size) {
    if (size < size_t(kRecoveryHeaderLength) || std::memcmp(bytes, kRecoverySignature, 10) != 0 ||
        GetLittle(bytes + 10, 2) != uint64_t(kRecoveryFormatVersion) ||
        GetLittle(bytes + kCrcAt, 4) != crc32_gzip_refl(0, bytes, kCrcAt)) {
        return std::nullopt;
    }
    RecoveryHeader header;
    header.data_pieces = static_cast<int>(GetLittle(bytes + 12, 2));
    header.recovery_pieces = static_cast<int>(GetLittle(bytes + 14, 2));
    header.index = static_cast<int>(GetLittle(bytes + 16, 2));
    header.piece_size = static_cast<int64_t>(GetLittle(bytes + 20, 8));
    header.stream_length = static_cast<int64_t>(GetLittle(bytes + 28, 8));
    const SeriesPlan series{header.stream_length, header.piece_size, header.data_pieces};
    if (header.data_pieces < 1 || header.recovery_pieces < 1 ||
        header.data_pieces + header.recovery_pieces > kMostCodedPieces ||
        header.index >= header.recovery_pieces || !series.consistent()) {
        return std::nullopt;
    }
    return header;
}

std::string RecoveryPieceName(const SeriesNames& names, int index) {
    return PieceName(names.base, index + 1, 'r');
}

std::optional<int> RecoveryCountFor(const std::string& text, int64_t count) {
    std::string digits = text;
    const bool percent = !digits.empty() && digits.back() == '%';
    if (percent) {
        digits.pop_back();
    }
    if (!AllDigits(digits, 5)) {
        return std::nullopt;
    }
    const int64_t n = std::stoll(digits);
    const int64_t wanted = percent ? (count * n + 99) / 100 : n;
    if (wanted + count > kMostCodedPieces) {
        return std::nullopt;
    }
    return static_cast<int>(wanted);
}

RecoveryCoder::RecoveryCoder(const SeriesPlan& series, int recovery_pieces)
    : series_(series),
      k_(static_cast<int>(series.count)),
      m_(recovery_pieces),
      matrix_(size_t(k_ + m_) * size_t(k_)) {
    gf_gen_cauchy1_matrix(matrix_.data(), k_ + m_, k_);
}

int64_t RecoveryCoder::RowLength(int row) const {
    return row < k_ ? series_.piece_length(row + 1) : series_.piece_size;
}

void RecoveryCoder::Encode(const std::vector<File*>& pieces, const std::vector<File*>& recovery,
                           const std::vector<Sha256*>& hashes, const RecoveryStep& step) {
    std::vector<File*> rows(pieces);
    rows.resize(size_t(k_ + m_), nullptr);
    std::vector<File*> out(size_t(k_), nullptr);
    out.insert(out.end(), recovery.begin(), recovery.end());
    // Encoding is rebuilding the recovery rows from all the series' rows.
    hashes_ = &hashes;
    Rebuild(rows, out, step);
    hashes_ = nullptr;
}

bool RecoveryCoder::Rebuild(const std::vector<File*>& rows, const std::vector<File*>& out,
                            const RecoveryStep& step) {
    const int n = k_ + m_;
    // The rows to rebuild from: the first K that are there, series' pieces first (they cost no
    // arithmetic when they are the ones wanted back).
    std::vector<int> from;
    for (int r = 0; r < n && static_cast<int>(from.size()) < k_; ++r) {
        if (rows[size_t(r)] && !(size_t(r) < out.size() && out[size_t(r)])) {
            from.push_back(r);
        }
    }
    if (static_cast<int>(from.size()) < k_) {
        return false;
    }
    // The series' rows from those: the inverse of their rows of the matrix.
    std::vector<uint8_t> chosen(size_t(k_) * size_t(k_));
    std::vector<uint8_t> inverse(chosen.size());
    for (int i = 0; i < k_; ++i) {
        std::memcpy(&chosen[size_t(i) * size_t(k_)], &matrix_[size_t(from[size_t(i)]) * size_t(k_)],
                    size_t(k_));
    }
    if (gf_invert_matrix(chosen.data(), inverse.data(), k_) != 0) {
        throw RuntimeError(kErrInternal, "the recovery rows cannot be inverted");
    }
    std::vector<int> lost_data;
    std::vector<int> lost_recovery;
    for (int r = 0; r < n; ++r) {
        if (size_t(r) < out.size() && out[size_t(r)]) {
            (r < k_ ? lost_data : lost_recovery).push_back(r);
        }
    }
    std::vector<uint8_t> data_rows(size_t(lost_data.size()) * size_t(k_));
    for (size_t i = 0; i < lost_data.size(); ++i) {
        std::memcpy(&data_rows[i * size_t(k_)], &inverse[size_t(lost_data[i]) * size_t(k_)],
                    size_t(k_));
    }
    std::vector<uint8_t> recovery_rows(size_t(lost_recovery.size()) * size_t(k_));
    for (size_t i = 0; i < lost_recovery.size(); ++i) {
        std::memcpy(&recovery_rows[i * size_t(k_)], &matrix_[size_t(lost_recovery[i]) * size_t(k_)],
                    size_t(k_));
    }
    std::vector<uint8_t> data_tables(32 * data_rows.size() + 1);
    std::vector<uint8_t> recovery_tables(32 * recovery_rows.size() + 1);
    if (!lost_data.empty()) {
        ec_init_tables(k_, int(lost_data.size()), data_rows.data(), data_tables.data());
    }
    if (!lost_recovery.empty()) {
        ec_init_tables(k_, int(lost_recovery.size()), recovery_rows.data(), recovery_tables.data());
    }

    // One stripe of every row at a time.
    const auto rows_count = static_cast<size_t>(n);
    const auto k = static_cast<size_t>(k_);
    std::vector<std::vector<uint8_t>> stripe(rows_count, std::vector<uint8_t>(kStripe));
    std::vector<uint8_t*> sources(k);
    std::vector<uint8_t*> data_out(lost_data.size());
    std::vector<uint8_t*> all_data(k);
    std::vector<uint8_t*> recovery_out(lost_recovery.size());
    for (int64_t at = 0; at < series_.piece_size; at += kStripe) {
        const int64_t length = std::min(kStripe, series_.piece_size - at);
        for (int i = 0; i < k_; ++i) {
            const int r = from[size_t(i)];
            uint8_t* buffer = stripe[size_t(r)].data();
            const int64_t there = std::clamp<int64_t>(RowLength(r) - at, 0, length);
            if (there > 0) {
                step([&] { rows[size_t(r)]->Read(buffer, static_cast<int32_t>(there)); });
            }
            std::memset(buffer + there, 0, size_t(length - there));  // the padding
            sources[size_t(i)] = buffer;
        }
        for (size_t i = 0; i < lost_data.size(); ++i) {
            data_out[i] = stripe[size_t(lost_data[i])].data();
        }
        if (!lost_data.empty()) {
            ec_encode_data(int(length), k_, int(lost_data.size()), data_tables.data(),
                           sources.data(), data_out.data());
        }
        if (!lost_recovery.empty()) {
            for (int r = 0; r < k_; ++r) {
                all_data[size_t(r)] = stripe[size_t(r)].data();
            }
            for (size_t i = 0; i < lost_recovery.size(); ++i) {
                recovery_out[i] = stripe[size_t(lost_recovery[i])].data();
            }
            ec_encode_data(int(length), k_, int(lost_recovery.size()), recovery_tables.data(),
                           all_data.data(), recovery_out.data());
        }
        for (const std::vector<int>* lost : {&lost_data, &lost_recovery}) {
            for (const int r : *lost) {
                const int64_t there = std::clamp<int64_t>(RowLength(r) - at, 0, length);
                const uint8_t* bytes = stripe[size_t(r)].data();
                if (there > 0) {
                    step([&] { out[size_t(r)]->Write(bytes, static_cast<int32_t>(there)); });
                    if (hashes_ && r >= k_ && size_t(r - k_) < hashes_->size() &&
                        (*hashes_)[size_t(r - k_)]) {
                        (*hashes_)[size_t(r - k_)]->Update(bytes, size_t(there));
                    }
                }
            }
        }
    }
    return true;
}

}  // namespace tessarel
