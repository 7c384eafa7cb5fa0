// The coder of recovery pieces: stripe by stripe over the rows, each stripe read where it is
// good and rebuilt from K good rows where it is not, every stripe compared with its checksum.
#include <isa-l/erasure_code.h>

#include <algorithm>
#include <cstring>

#include "engine/recovery.h"
#include "platform/runtime_error.h"

namespace tessarel {
namespace {

// Bytes of each row moved at a time: memory stays within 255 such blocks.
constexpr int64_t kBlock = 64 * 1024;

}  // namespace

struct RecoveryCoder::Plan {
    std::vector<int> read;     // rows read in the stripe
    std::vector<int> from;     // the K rows the rebuilt ones are worked out from
    std::vector<int> rebuilt;  // series rows worked out from them
    std::vector<int> encoded;  // recovery rows made from the series' rows
    std::vector<int> failed;   // wanted rows that cannot be made here
    bool operator==(const Plan& o) const {
        return read == o.read && from == o.from && rebuilt == o.rebuilt && encoded == o.encoded &&
               failed == o.failed;
    }
};

RecoveryCoder::RecoveryCoder(const SeriesPlan& series, int recovery_pieces, int64_t stripe_size)
    : series_(series),
      k_(static_cast<int>(series.count)),
      m_(recovery_pieces),
      stripe_size_(stripe_size),
      stripes_((series.piece_size + stripe_size - 1) / stripe_size),
      matrix_(size_t(k_ + m_) * size_t(k_)) {
    gf_gen_cauchy1_matrix(matrix_.data(), k_ + m_, k_);
}

int64_t RecoveryCoder::RowLength(int row) const {
    return row < k_ ? series_.piece_length(row + 1) : series_.piece_size;
}

RecoveryCoder::Plan RecoveryCoder::PlanStripe(const std::vector<CoderRow>& rows,
                                              int64_t stripe) const {
    const auto usable = [&](int r) {
        const CoderRow& row = rows[size_t(r)];
        return row.in && (row.good.empty() || row.good[size_t(stripe)]);
    };
    Plan plan;
    bool recovery_wanted = false;
    for (int r = k_; r < k_ + m_; ++r) {
        if (rows[size_t(r)].wanted) {
            recovery_wanted = true;
            plan.encoded.push_back(r);
        }
    }
    for (int d = 0; d < k_; ++d) {
        if (rows[size_t(d)].wanted || recovery_wanted) {
            (usable(d) ? plan.read : plan.rebuilt).push_back(d);
        }
    }
    if (!plan.rebuilt.empty()) {
        for (int r = 0; r < k_ + m_ && static_cast<int>(plan.from.size()) < k_; ++r) {
            if (usable(r)) {
                plan.from.push_back(r);
            }
        }
        if (static_cast<int>(plan.from.size()) < k_) {
            for (const int d : plan.rebuilt) {
                if (rows[size_t(d)].wanted) {
                    plan.failed.push_back(d);
                }
            }
            plan.failed.insert(plan.failed.end(), plan.encoded.begin(), plan.encoded.end());
            plan.from.clear();
            plan.rebuilt.clear();
            plan.encoded.clear();
        } else {
            for (const int r : plan.from) {
                if (std::find(plan.read.begin(), plan.read.end(), r) == plan.read.end()) {
                    plan.read.push_back(r);
                }
            }
            std::sort(plan.read.begin(), plan.read.end());
        }
    }
    return plan;
}

// The tables that work rows `to` out of rows `from` (K of them): row t of the code is row t of
// the matrix times the inverse of from's rows of it.
const std::vector<uint8_t>& RecoveryCoder::DecodeTables(const std::vector<int>& from,
                                                        const std::vector<int>& to) {
    std::vector<int> key(from);
    key.push_back(-1);
    key.insert(key.end(), to.begin(), to.end());
    const auto known = decode_tables_.find(key);
    if (known != decode_tables_.end()) {
        return known->second;
    }
    if (decode_tables_.size() >= 256) {
        decode_tables_.clear();  // damage scattered over many patterns: memory stays small
    }
    const auto k = static_cast<size_t>(k_);
    std::vector<uint8_t> chosen(k * k);
    std::vector<uint8_t> inverse(k * k);
    for (size_t i = 0; i < k; ++i) {
        std::memcpy(&chosen[i * k], &matrix_[size_t(from[i]) * k], k);
    }
    if (gf_invert_matrix(chosen.data(), inverse.data(), k_) != 0) {
        throw RuntimeError(kErrInternal, "the recovery rows cannot be inverted");
    }
    std::vector<uint8_t> rows(to.size() * k, 0);
    for (size_t t = 0; t < to.size(); ++t) {
        const uint8_t* wanted = &matrix_[size_t(to[t]) * k];
        for (size_t i = 0; i < k; ++i) {
            if (wanted[i] == 0) {
                continue;
            }
            for (size_t j = 0; j < k; ++j) {
                rows[t * k + j] ^= gf_mul(wanted[i], inverse[i * k + j]);
            }
        }
    }
    std::vector<uint8_t> tables(32 * rows.size() + 1);
    ec_init_tables(k_, static_cast<int>(to.size()), rows.data(), tables.data());
    return decode_tables_[key] = std::move(tables);
}

CoderOutcome RecoveryCoder::Run(const std::vector<CoderRow>& rows, const StripeTable* expected,
                                StripeTable* computed, const RecoveryStep& step) {
    const int n = k_ + m_;
    CoderOutcome outcome;
    outcome.failed.assign(size_t(n), 0);
    std::vector<std::vector<uint8_t>> buffers(static_cast<size_t>(n));
    std::vector<uint64_t> crcs(size_t(n), 0);
    const auto buffer = [&](int r) -> uint8_t* {
        auto& b = buffers[size_t(r)];
        if (b.empty()) {
            b.assign(size_t(kBlock), 0);
        }
        return b.data();
    };
    std::vector<int> all_data(static_cast<size_t>(k_));
    for (int d = 0; d < k_; ++d) {
        all_data[size_t(d)] = d;
    }
    const int64_t P = series_.piece_size;
    for (int64_t s = 0; s < stripes_;) {
        const Plan plan = PlanStripe(rows, s);
        int64_t e = s + 1;
        while (e < stripes_ && PlanStripe(rows, e) == plan) {
            ++e;
        }
        for (const int r : plan.failed) {
            outcome.failed[size_t(r)] += e - s;
        }
        // Every row whose stripes are checked here, once: a recovery row read to rebuild from
        // and then made again is checked as made.
        std::vector<int> checked(plan.rebuilt);
        checked.insert(checked.end(), plan.encoded.begin(), plan.encoded.end());
        std::vector<int> only_read;
        for (const int r : plan.read) {
            if (std::find(plan.encoded.begin(), plan.encoded.end(), r) == plan.encoded.end()) {
                only_read.push_back(r);
                checked.push_back(r);
            }
        }
        for (int64_t a = s * stripe_size_, end = std::min(e * stripe_size_, P); a < end;) {
            const int64_t length = std::min(kBlock, end - a);
            for (const int r : plan.read) {
                uint8_t* bytes = buffer(r);
                const int64_t there = std::clamp<int64_t>(RowLength(r) - a, 0, length);
                if (there > 0) {
                    File* file = rows[size_t(r)].in;
                    const int64_t at = (r < k_ ? 0 : kRecoveryHeaderLength) + a;
                    step([&] {
                        file->Seek(at);
                        file->Read(bytes, static_cast<int32_t>(there));
                    });
                }
                std::memset(bytes + there, 0, size_t(length - there));  // the padding
            }
            if (!plan.rebuilt.empty()) {
                std::vector<uint8_t*> from;
                std::vector<uint8_t*> to;
                for (const int r : plan.from) {
                    from.push_back(buffer(r));
                }
                for (const int r : plan.rebuilt) {
                    to.push_back(buffer(r));
                }
                ec_encode_data(static_cast<int>(length), k_, static_cast<int>(to.size()),
                               const_cast<uint8_t*>(DecodeTables(plan.from, plan.rebuilt).data()),
                               from.data(), to.data());
            }
            if (!plan.encoded.empty()) {
                std::vector<uint8_t*> from;
                std::vector<uint8_t*> to;
                for (int d = 0; d < k_; ++d) {
                    from.push_back(buffer(d));
                }
                for (const int r : plan.encoded) {
                    to.push_back(buffer(r));
                }
                ec_encode_data(static_cast<int>(length), k_, static_cast<int>(to.size()),
                               const_cast<uint8_t*>(DecodeTables(all_data, plan.encoded).data()),
                               from.data(), to.data());
            }
            for (const int r : plan.failed) {
                std::memset(buffer(r), 0, size_t(length));  // a wanted row keeps its length
            }
            for (int r = 0; r < n; ++r) {
                const CoderRow& row = rows[size_t(r)];
                const int64_t there = std::clamp<int64_t>(RowLength(r) - a, 0, length);
                if (!row.wanted || there == 0) {
                    continue;
                }
                const uint8_t* bytes = buffer(r);
                if (row.out) {
                    step([&] { row.out->Write(bytes, static_cast<int32_t>(there)); });
                }
                if (row.hash) {
                    row.hash->Update(bytes, size_t(there));
                }
            }
            // Each stripe's checksums, compared as each stripe ends.
            for (const int r : checked) {
                const uint8_t* bytes = buffer(r);
                for (int64_t at = a; at < a + length;) {
                    const int64_t stripe = at / stripe_size_;
                    const int64_t stripe_end = std::min((stripe + 1) * stripe_size_, P);
                    const int64_t to = std::min(stripe_end, a + length);
                    crcs[size_t(r)] = StripeCrc(crcs[size_t(r)], bytes + (at - a), size_t(to - at));
                    at = to;
                    if (to != stripe_end) {
                        continue;
                    }
                    const uint64_t crc = crcs[size_t(r)];
                    crcs[size_t(r)] = 0;
                    if (computed) {
                        computed->at(r, stripe) = crc;
                    }
                    if (expected && (r >= expected->rows || crc != expected->at(r, stripe))) {
                        const bool was_read =
                            std::find(only_read.begin(), only_read.end(), r) != only_read.end();
                        outcome.changed = outcome.changed || was_read;
                        if (rows[size_t(r)].wanted) {
                            ++outcome.failed[size_t(r)];
                        }
                    }
                }
            }
            a += length;
        }
        s = e;
    }
    return outcome;
}

}  // namespace tessarel
