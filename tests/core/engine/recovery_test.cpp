#include "engine/recovery.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

const RecoveryStep kPlainly = [](const std::function<void()>& step) { step(); };

// A series of a file of length bytes in pieces of P, with m recovery pieces beside it, each as
// a split writes it (header, row, table and trailer).
struct Coded {
    Coded(const TempDir& dir, size_t length, int32_t P, int m)
        : names(dir / "s.m00"),
          series{int64_t(length) + kHeaderLength, P,
                 PieceCount(int64_t(length) + kHeaderLength, P)},
          header{kRecoveryFormatVersion,        int(series.count), m, 0, P, series.stream_length,
                 StripeSizeFor(P, series.count)},
          coder(series, m, header.stripe_size) {
        WriteSeries(dir / "s", Pattern(length, 7), P);
        std::vector<File> files;
        std::vector<CoderRow> rows(size_t(series.count + m));
        files.reserve(rows.size());
        for (int64_t n = 1; n <= series.count; ++n) {
            files.push_back(File::OpenForReading(names[n]));
            rows[size_t(n - 1)].in = &files.back();
        }
        for (int j = 0; j < m; ++j) {
            files.push_back(File::OpenReplacing(RecoveryPieceName(names, j)));
            header.index = j;
            files.back().Write(RecoveryHeaderBytes(header).data(), kRecoveryHeaderLength);
            rows[size_t(series.count + j)].wanted = true;
            rows[size_t(series.count + j)].out = &files.back();
        }
        table = StripeTable(series.count + m, coder.stripes());
        EXPECT_TRUE(coder.Run(rows, nullptr, &table, kPlainly).whole());
        const auto trailer = RecoveryTrailerBytes(header, table);
        for (int j = 0; j < m; ++j) {
            File& out = files[size_t(series.count + j)];
            out.Write(trailer.data(), int32_t(trailer.size()));
            out.Close();
        }
        for (int64_t n = 1; n <= series.count; ++n) {
            this->rows.push_back(ReadBytes(names[n]));
        }
        for (int j = 0; j < m; ++j) {
            this->rows.push_back(ReadBytes(RecoveryPieceName(names, j)));
        }
    }
    std::string Row(int r) const {
        return r < series.count ? names[r + 1] : RecoveryPieceName(names, int(r - series.count));
    }
    // Rebuilds the wanted rows from the others, each good but in the stripes bad[r] names;
    // true when all came back exact, and their outcome.
    bool Rebuild(const TempDir& dir, const std::vector<int>& wanted,
                 const std::map<int, std::vector<int64_t>>& bad, CoderOutcome* outcome) {
        const int n = int(rows.size());
        std::vector<std::unique_ptr<File>> open;
        std::vector<CoderRow> coder_rows(static_cast<size_t>(n));
        for (int r = 0; r < n; ++r) {
            CoderRow& row = coder_rows[size_t(r)];
            // A lost row is not there; a damaged one is, but for its bad stripes.
            if (bad.count(r) || std::find(wanted.begin(), wanted.end(), r) == wanted.end()) {
                open.push_back(std::make_unique<File>(File::OpenForReading(Row(r))));
                row.in = open.back().get();
            }
            if (bad.count(r)) {
                row.good.assign(size_t(coder.stripes()), 1);
                for (const int64_t s : bad.at(r)) {
                    row.good[size_t(s)] = 0;
                }
            }
            if (std::find(wanted.begin(), wanted.end(), r) != wanted.end()) {
                open.push_back(
                    std::make_unique<File>(File::OpenReplacing(dir / ("re" + std::to_string(r)))));
                if (r >= series.count) {
                    open.back()->Write(rows[size_t(r)].data(), kRecoveryHeaderLength);
                }
                row.wanted = true;
                row.out = open.back().get();
            }
        }
        *outcome = coder.Run(coder_rows, &table, nullptr, kPlainly);
        for (auto& f : open)
            f->Close();
        for (const int r : wanted) {
            auto made = ReadBytes(dir / ("re" + std::to_string(r)));
            auto& expected = rows[size_t(r)];
            const size_t length = r < series.count
                                      ? expected.size()
                                      : size_t(kRecoveryHeaderLength + series.piece_size);
            if (made.size() != length || !std::equal(made.begin(), made.end(), expected.begin())) {
                return false;
            }
        }
        return true;
    }

    SeriesNames names;
    SeriesPlan series;
    RecoveryHeader header;
    RecoveryCoder coder;
    StripeTable table;
    std::vector<std::vector<uint8_t>> rows;
};

// Every pattern of up to M lost rows, series and recovery pieces, a short last piece among them,
// comes back byte for byte and proves out; one more loss is refused.
TEST(Recovery, EveryPatternOfUpToMLossesIsRebuiltExactly) {
    for (const auto& [length, P, m] : {std::tuple{1000, 100, 1}, {1000, 130, 2}, {700, 90, 4}}) {
        SCOPED_TRACE(std::to_string(length) + " " + std::to_string(m));
        TempDir dir;
        Coded coded(dir, size_t(length), P, m);
        const int n = int(coded.rows.size());
        int patterns = 0;
        for (int mask = 1; mask < (1 << n); ++mask) {
            std::vector<int> lost;
            for (int r = 0; r < n; ++r) {
                if (mask & (1 << r))
                    lost.push_back(r);
            }
            if (int(lost.size()) > m + 1 || (m == 4 && lost.size() > 2 && mask % 7 != 0)) {
                continue;  // the largest case's patterns in part, to keep the test quick
            }
            CoderOutcome outcome;
            const bool exact = coded.Rebuild(dir, lost, {}, &outcome);
            if (int(lost.size()) <= m) {
                EXPECT_TRUE(exact && outcome.whole()) << "mask " << mask;
            } else {
                EXPECT_FALSE(outcome.whole()) << "mask " << mask;
            }
            ++patterns;
        }
        EXPECT_GT(patterns, n);
    }
}

// Damage is rebuilt where it is: with 2 recovery pieces, a bad stripe in each of many pieces
// comes back as long as no stripe has more than 2; a third in one stripe fails that stripe.
TEST(Recovery, DamageScatteredOverManyPiecesIsRebuiltStripeByStripe) {
    TempDir dir;
    Coded coded(dir, 20 * 80000, 80000, 2);  // 21 pieces of 10 stripes
    ASSERT_EQ(coded.coder.stripes(), 10);
    std::vector<int> damaged;
    std::map<int, std::vector<int64_t>> bad;
    for (int r = 0; r < 20; ++r) {
        damaged.push_back(r);
        bad[r] = {r / 2};  // two pieces in each stripe
    }
    CoderOutcome outcome;
    EXPECT_TRUE(coded.Rebuild(dir, damaged, bad, &outcome));
    EXPECT_TRUE(outcome.whole());
    bad[20] = {3};  // a third bad row in stripe 3
    damaged.push_back(20);
    coded.Rebuild(dir, damaged, bad, &outcome);
    EXPECT_FALSE(outcome.whole());
    EXPECT_EQ(outcome.failed[6] + outcome.failed[7] + outcome.failed[20], 3);
}

// A row that changed after it was found good is caught by its checksums, not rebuilt from.
TEST(Recovery, ARowThatDiffersFromItsChecksumsIsNeverTakenForGood) {
    TempDir dir;
    Coded coded(dir, 50000, 9000, 2);
    auto bytes = coded.rows[3];
    bytes[100] ^= 0x40;
    WriteBytes(coded.Row(3), bytes);
    CoderOutcome outcome;
    coded.Rebuild(dir, {1}, {}, &outcome);  // rebuilt from rows 0, 2, 3...
    EXPECT_TRUE(outcome.changed);
    EXPECT_FALSE(outcome.whole());
}

TEST(Recovery, AHeaderAndTableAreOursOnlyWhenWholeAndConsistent) {
    TempDir dir;
    Coded coded(dir, 1000, 100, 2);
    RecoveryHeader header = coded.header;
    header.index = 1;
    std::vector<uint8_t> bytes = RecoveryHeaderBytes(header);
    ASSERT_TRUE(ParseRecoveryHeader(bytes.data(), bytes.size()));
    EXPECT_EQ(ParseRecoveryHeader(bytes.data(), bytes.size())->index, 1);
    for (const size_t at :
         {size_t(0), size_t(11), size_t(13), size_t(21), size_t(37), size_t(61)}) {
        std::vector<uint8_t> forged = bytes;
        forged[at] ^= 1;
        EXPECT_FALSE(ParseRecoveryHeader(forged.data(), forged.size())) << at;
    }
    // Bounds: too many pieces, a stripe size not the series', version 1 still read.
    RecoveryHeader too_many = header;
    too_many.data_pieces = 200;
    too_many.recovery_pieces = 56;
    too_many.stream_length = 20000;
    EXPECT_FALSE(ParseRecoveryHeader(RecoveryHeaderBytes(too_many).data(), kRecoveryHeaderLength));
    RecoveryHeader other_stripes = header;
    other_stripes.stripe_size = 8192;
    EXPECT_FALSE(
        ParseRecoveryHeader(RecoveryHeaderBytes(other_stripes).data(), kRecoveryHeaderLength));
    RecoveryHeader first_kind = header;
    first_kind.version = 1;
    first_kind.stripe_size = 0;
    const auto old =
        ParseRecoveryHeader(RecoveryHeaderBytes(first_kind).data(), kRecoveryHeaderLength);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->file_length(), kRecoveryHeaderLength + 100);
    const std::string first_piece = "KESTRAVOLN0000001000";
    EXPECT_FALSE(ParseRecoveryHeader(reinterpret_cast<const uint8_t*>(first_piece.data()), 20));
    // The trailer: whole, its table's digest and the identity the table gives.
    std::vector<uint8_t> trailer = RecoveryTrailerBytes(coded.header, coded.table);
    ASSERT_TRUE(ParseRecoveryTrailer(coded.header, trailer.data(), trailer.size()));
    for (const size_t at : {size_t(3), trailer.size() - 40, trailer.size() - 1}) {
        std::vector<uint8_t> forged = trailer;
        forged[at] ^= 1;
        EXPECT_FALSE(ParseRecoveryTrailer(coded.header, forged.data(), forged.size())) << at;
    }
    // Another file of the same length is another series.
    StripeTable other = coded.table;
    other.at(4, 0) ^= 1;
    EXPECT_NE(SeriesIdentity(coded.header, other), SeriesIdentity(coded.header, coded.table));
}

TEST(Recovery, ACountIsANumberOrAShareOfThePieces) {
    const std::tuple<const char*, std::optional<int>> counts[] = {
        {"2", 2},
        {"10%", 2},
        {"1%", 1},
        {"0", 0},
        {"", 0},
        {"x", std::nullopt},
        {"%", std::nullopt},
        {"250", std::nullopt},
        {"999999999999999999", std::nullopt},
        {"999999999999999999%", std::nullopt},
        {"-1", std::nullopt}};
    for (const auto& [wanted, count] : counts) {
        const auto parsed = ParseRecoveryCount(wanted);
        EXPECT_EQ(parsed ? parsed->For(11) : std::nullopt, count) << wanted;
    }
}

}  // namespace
}  // namespace tessarel
