// Split and join throughput, with and without checksums, against a plain copy of the same file
// in the same run, and the hashing rate alone.
//
//   bench_split_join [MiB [folder [runs]]]      defaults: 1024 MiB, /tmp, 5 runs
//
// Makes a file of the given size, warms the page cache with one plain copy, then times, in
// turn, a plain copy (the same read/write calls with a 1 MiB buffer: the practical limit here),
// the same copy flushed to the disk at its end, a split through the engine into at most 100
// pieces and a join back (each with and without the checksum list), checking the joined file
// byte for byte, and SHA-256 over the same number of bytes from memory. Split and join flush what
// they write, so the flushing copy is their baseline. Each timed step starts after a sync, so none
// pays for another's writeback, and the order of the three turns from run to run. Prints the median
// of each, the ratios to the plain copy, and the process's peak memory.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/checksums.h"
#include "engine/hash_pipeline.h"
#include "engine/piece_series.h"
#include "engine/split_join.h"
#include "platform/sha256.h"

namespace {

class NullDisplay : public tessarel::ProgressDisplay {
  public:
    void ShowTotal(int64_t) override {}
    void ShowOperating() override {}
    void ShowPiece(int64_t) override {}
    void SetProgress(float) override {}
    void ShowIdle() override {}
};

class FailingBox : public tessarel::MessageBox {
  public:
    tessarel::MsgAnswer Show(const tessarel::Notice& notice) override {
        std::fprintf(stderr, "bench: unexpected message: %s\n", notice.prompt.c_str());
        return tessarel::kAnswerCancel;
    }
};

void Die(const char* what) {
    std::perror(what);
    std::exit(1);
}

void MakeFile(const std::string& path, int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        Die("open");
    }
    std::vector<uint8_t> block(1 << 20);
    uint32_t x = 12345;
    for (int64_t done = 0; done < size;) {
        for (auto& b : block) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 16);
        }
        const auto n = static_cast<size_t>(std::min<int64_t>(block.size(), size - done));
        if (::write(fd, block.data(), n) != static_cast<ssize_t>(n)) {
            Die("write");
        }
        done += static_cast<int64_t>(n);
    }
    ::close(fd);
}

// A copy with the same read/write calls; flush adds what dd's conv=fsync does at the end.
void PlainCopy(const std::string& from, const std::string& to, bool flush = false) {
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) {
        Die("open");
    }
    std::vector<uint8_t> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            Die("read");
        }
        if (n == 0) {
            break;
        }
        if (::write(out, buffer.data(), static_cast<size_t>(n)) != n) {
            Die("write");
        }
    }
    if (flush && ::fsync(out) != 0) {
        Die("fsync");
    }
    ::close(in);
    ::close(out);
}

bool SameBytes(const std::string& a, const std::string& b) {
    FILE* fa = std::fopen(a.c_str(), "rb");
    FILE* fb = std::fopen(b.c_str(), "rb");
    std::vector<char> ba(1 << 20), bb(1 << 20);
    bool same = fa && fb;
    while (same) {
        const size_t na = std::fread(ba.data(), 1, ba.size(), fa);
        const size_t nb = std::fread(bb.data(), 1, bb.size(), fb);
        same = na == nb && std::memcmp(ba.data(), bb.data(), na) == 0;
        if (na == 0) {
            break;
        }
    }
    if (fa) {
        std::fclose(fa);
    }
    if (fb) {
        std::fclose(fb);
    }
    return same;
}

double CpuNow() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Wall-clock and CPU seconds of one step. The CPU time (user + system) is the steadier figure
// on a shared machine: other tenants slow the wall clock, not our own work.
struct Timing {
    std::vector<double> wall;
    std::vector<double> cpu;
};

template <typename F>
void Measure(Timing& timing, F&& f) {
    const double cpu = CpuNow();
    const auto start = std::chrono::steady_clock::now();
    f();
    timing.wall.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    timing.cpu.push_back(CpuNow() - cpu);
}

// The digests of the series' list, as a join reads them.
std::optional<tessarel::SeriesDigests> ReadDigests(const std::string& list,
                                                   const std::string& first, int64_t count) {
    FILE* f = std::fopen(list.c_str(), "rb");
    if (!f) {
        Die("list");
    }
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(f);
    const auto parsed = tessarel::ParseChecksumList(text);
    const auto digests = tessarel::DigestsForSeries(std::get<tessarel::ChecksumList>(parsed),
                                                    tessarel::SeriesNames(first), count);
    return std::get<tessarel::SeriesDigests>(digests);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int64_t mib = argc > 1 ? std::atoll(argv[1]) : 1024;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    const int64_t size = mib << 20;
    if (size <= 0 || size > tessarel::kMaxSourceLength || runs < 1) {
        std::fprintf(stderr, "usage: bench_split_join [MiB (1..9536) [folder [runs]]]\n");
        return 2;
    }
    const std::string work = folder + "/tessarel-bench-" + std::to_string(::getpid());
    std::filesystem::create_directories(work);
    const std::string source = work + "/source.bin";
    const std::string copy = work + "/copy.bin";
    const std::string first = work + "/series.m00";
    const std::string joined = work + "/joined.bin";
    MakeFile(source, size);

    const int64_t stream = size + tessarel::kHeaderLength;
    // The smallest piece size that keeps the series within 100 pieces.
    const int64_t piece = (stream + 99) / 100 + 1;
    const tessarel::SeriesPlan series{stream, piece, tessarel::PieceCount(stream, piece)};

    NullDisplay display;
    FailingBox box;
    PlainCopy(source, copy);  // warm the page cache
    Timing copy_s, flushed_s, split_s, split_sums_s, join_s, join_sums_s, hash_s, stream_s;
    std::optional<tessarel::SeriesDigests> digests;
    auto time_copy = [&] {
        std::filesystem::remove(copy);
        ::sync();  // each timed step starts with no dirty pages left by the one before
        Measure(copy_s, [&] { PlainCopy(source, copy); });
        // Split and join flush what they write, so the fair baseline flushes too.
        std::filesystem::remove(copy);
        ::sync();
        Measure(flushed_s, [&] { PlainCopy(source, copy, true); });
    };
    auto time_split = [&](bool sums) {
        // Every run writes into free names, as the plain copy does.
        for (int64_t n = 1; n <= series.count; ++n) {
            std::filesystem::remove(tessarel::PieceName(work + "/series", n));
        }
        std::filesystem::remove(work + "/series.sha256");
        ::sync();
        tessarel::OperationPlan plan(tessarel::Mode::kSplit, source, first, series);
        plan.write_checksums = sums;
        Measure(sums ? split_sums_s : split_s, [&] {
            if (!tessarel::SplitJoin(plan, display, box)) {
                Die("split");
            }
        });
    };
    auto time_join = [&](bool sums) {
        std::filesystem::remove(joined);
        ::sync();
        tessarel::OperationPlan plan(tessarel::Mode::kJoin, joined, first, series);
        if (sums) {
            plan.expected = digests;
        }
        Measure(sums ? join_sums_s : join_s, [&] {
            if (!tessarel::SplitJoin(plan, display, box)) {
                Die("join");
            }
        });
        if (!SameBytes(source, joined)) {
            std::fprintf(stderr, "bench: joined file differs from the source\n");
            std::exit(1);
        }
    };
    // The digests a join is checked against: the hashing alone, from memory, in 1 MiB blocks.
    auto time_hash = [&] {
        std::vector<uint8_t> block(1 << 20, 0x5A);
        Measure(hash_s, [&] {
            tessarel::HashPipeline pipeline;
            for (int64_t done = 0; done < size; done += int64_t(block.size())) {
                pipeline.Add(1 + done / piece, block.data(), block.size(), true);
            }
            pipeline.Finish();
        });
        // One SHA-256 stream on one thread: the rate no verified operation can beat by much.
        Measure(stream_s, [&] {
            tessarel::Sha256 one;
            for (int64_t done = 0; done < size; done += int64_t(block.size())) {
                one.Update(block.data(), block.size());
            }
            one.Finish();
        });
    };
    time_split(true);
    digests = ReadDigests(work + "/series.sha256", first, series.count);
    for (int run = 0; run < runs; ++run) {
        // The order turns from run to run, so no step always pays for the one before it.
        const bool sums_first = run % 2 == 0;
        if (run % 3 == 0) {
            time_copy();
        }
        time_split(sums_first), time_join(sums_first);
        if (run % 3 == 1) {
            time_copy();
        }
        time_split(!sums_first), time_join(!sums_first);
        if (run % 3 == 2) {
            time_copy();
        }
        time_hash();
    }
    std::filesystem::remove_all(work);

    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const double mb = static_cast<double>(size) / 1e6;
    std::printf(
        "file %lld MiB in %s, %lld pieces of %lld bytes, %d runs, medians, page cache "
        "warm\n",
        static_cast<long long>(mib), folder.c_str(), static_cast<long long>(series.count),
        static_cast<long long>(piece), runs);
    std::printf("ratios are times against the flushing copy (1.00 = as fast; above is slower)\n");
    std::printf("%-34s %10s %8s %12s\n", "", "wall MB/s", "time x", "CPU MB/s");
    auto line = [&](const char* name, const Timing& t) {
        const double wall = mb / Median(t.wall);
        std::printf("%-34s %10.1f %8.2f %12.1f\n", name, wall,
                    Median(t.wall) / Median(flushed_s.wall), mb / Median(t.cpu));
    };
    line("plain copy (1 MiB buffer)", copy_s);
    line("copy + fsync (dd conv=fsync)", flushed_s);
    line("split", split_s);
    line("split + checksum list", split_sums_s);
    line("join", join_s);
    line("join + comparing checksums", join_sums_s);
    line("hashing alone (both digests, memory)", hash_s);
    line("one SHA-256 stream (memory)", stream_s);
    // Each run's pair taken together: a disk shared with others drifts between runs.
    auto pair_ratio = [&](const Timing& with, const Timing& without) {
        std::vector<double> ratios;
        for (size_t i = 0; i < with.wall.size() && i < without.wall.size(); ++i) {
            ratios.push_back(with.wall[i] / without.wall[i]);
        }
        return Median(ratios);
    };
    std::printf("with checksums / without (median of each run's pair): split %.2f, join %.2f\n",
                pair_ratio(split_sums_s, split_s), pair_ratio(join_sums_s, join_s));
    std::printf("verified speed / one SHA-256 stream: split %.2f, join %.2f\n",
                Median(stream_s.wall) / Median(split_sums_s.wall),
                Median(stream_s.wall) / Median(join_sums_s.wall));
    std::printf("peak memory (max RSS)      %8ld KiB\n", usage.ru_maxrss);
    return 0;
}
