#include "engine/recovery.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/series.h"
#include "support/temp_dir.h"

namespace tessarel {
namespace {

const RecoveryStep kPlainly = [](const std::function<void()>& step) { step(); };

// A series of a file of length bytes in pieces of P, with m recovery pieces beside it.
struct Coded {
    Coded(const TempDir& dir, size_t length, int32_t P, int m)
        : file(Pattern(length, 7)),
          names(dir / "s.m00"),
          series{int64_t(length) + kHeaderLength, P,
                 PieceCount(int64_t(length) + kHeaderLength, P)},
          coder(series, m) {
        WriteSeries(dir / "s", file, P);
        std::vector<File> in;
        std::vector<File> out;
        std::vector<File*> in_rows, out_rows;
        std::vector<Sha256> sums(static_cast<size_t>(m));
        std::vector<Sha256*> hashes;
        for (int64_t n = 1; n <= series.count; ++n) {
            in.push_back(File::OpenForReading(names[n]));
        }
        for (int j = 0; j < m; ++j) {
            out.push_back(File::OpenReplacing(RecoveryPieceName(names, j)));
            const auto header = RecoveryHeaderBytes(
                {int(series.count), m, j, series.piece_size, series.stream_length});
            out.back().Write(header.data(), int32_t(header.size()));
            hashes.push_back(&sums[size_t(j)]);
        }
        for (File& f : in)
            in_rows.push_back(&f);
        for (File& f : out)
            out_rows.push_back(&f);
        coder.Encode(in_rows, out_rows, hashes, kPlainly);
        for (File& f : out)
            f.Close();
        for (int64_t n = 1; n <= series.count; ++n) {
            rows.push_back(ReadBytes(names[n]));
        }
        for (int j = 0; j < m; ++j) {
            rows.push_back(ReadBytes(RecoveryPieceName(names, j)));
        }
    }
    std::string Row(int r) const {
        return r < series.count ? names[r + 1] : RecoveryPieceName(names, int(r - series.count));
    }
    // Rebuilds the lost rows into fresh files; true when they came back exact.
    bool RebuildExactly(const TempDir& dir, const std::vector<int>& lost, bool* refused = nullptr) {
        const int n = int(rows.size());
        std::vector<std::unique_ptr<File>> open(static_cast<size_t>(n));
        std::vector<File*> in(static_cast<size_t>(n), nullptr), out(static_cast<size_t>(n), nullptr);
        for (int r = 0; r < n; ++r) {
            const bool gone = std::find(lost.begin(), lost.end(), r) != lost.end();
            if (gone) {
                open[size_t(r)] =
                    std::make_unique<File>(File::OpenReplacing(dir / ("re" + std::to_string(r))));
                if (r >= series.count) {
                    open[size_t(r)]->Write(rows[size_t(r)].data(), kRecoveryHeaderLength);
                }
                out[size_t(r)] = open[size_t(r)].get();
            } else {
                open[size_t(r)] = std::make_unique<File>(File::OpenForReading(Row(r)));
                if (r >= series.count) {
                    uint8_t header[kRecoveryHeaderLength];
                    open[size_t(r)]->Read(header, kRecoveryHeaderLength);
                }
                in[size_t(r)] = open[size_t(r)].get();
            }
        }
        const bool done = coder.Rebuild(in, out, kPlainly);
        if (refused) {
            *refused = !done;
        }
        for (auto& f : open)
            f->Close();
        if (!done) {
            return false;
        }
        for (const int r : lost) {
            if (ReadBytes(dir / ("re" + std::to_string(r))) != rows[size_t(r)]) {
                return false;
            }
        }
        return true;
    }

    std::vector<uint8_t> file;
    SeriesNames names;
    SeriesPlan series;
    RecoveryCoder coder;
    std::vector<std::vector<uint8_t>> rows;
};

// Every pattern of up to M losses among series and recovery pieces, with a short last piece,
// comes back byte for byte; one more loss is refused.
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
            bool refused = false;
            const bool exact = coded.RebuildExactly(dir, lost, &refused);
            if (int(lost.size()) <= m) {
                EXPECT_TRUE(exact) << "mask " << mask;
            } else {
                EXPECT_TRUE(refused) << "mask " << mask;
            }
            ++patterns;
        }
        EXPECT_GT(patterns, n);
    }
}

TEST(Recovery, AHeaderIsOursOnlyWhenWholeAndConsistent) {
    const RecoveryHeader header{11, 2, 1, 100, 1020};
    std::vector<uint8_t> bytes = RecoveryHeaderBytes(header);
    ASSERT_TRUE(ParseRecoveryHeader(bytes.data(), bytes.size()));
    EXPECT_EQ(ParseRecoveryHeader(bytes.data(), bytes.size())->index, 1);
    for (const size_t at : {size_t(0), size_t(13), size_t(21), size_t(37)}) {
        std::vector<uint8_t> forged = bytes;
        forged[at] ^= 1;
        EXPECT_FALSE(ParseRecoveryHeader(forged.data(), forged.size())) << at;
    }
    const std::vector<uint8_t> too_many = RecoveryHeaderBytes({200, 56, 0, 100, 20000});
    EXPECT_FALSE(ParseRecoveryHeader(too_many.data(), too_many.size()));
    const std::string first_piece = "KESTRAVOLN0000001000";
    EXPECT_FALSE(ParseRecoveryHeader(reinterpret_cast<const uint8_t*>(first_piece.data()), 20));
    const std::pair<const char*, std::optional<int>> counts[] = {
        {"2", 2}, {"10%", 2}, {"1%", 1}, {"0", 0}, {"x", std::nullopt}, {"250", std::nullopt}};
    for (const auto& [wanted, count] : counts) {
        EXPECT_EQ(RecoveryCountFor(wanted, 11), count) << wanted;
    }
}

}  // namespace
}  // namespace tessarel
