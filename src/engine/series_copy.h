// Inside the split/join operation: the copy of one series, the class its split (split_copy.cpp)
// and its join (join_copy.cpp) share with the chunked copy of split_join.cpp. Only those
// files include it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/commit.h"
#include "engine/hash_pipeline.h"
#include "engine/piece_series.h"
#include "engine/split_join.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/runtime_error.h"
#include "trap/error_trap.h"

namespace tessarel {

// The permission bits results take from the file they come from (as cp gives them), none more.
inline uint32_t AccessOf(const std::string& path) {
    return InfoOf(path).permissions;
}

// Thrown by a step when the user has asked the operation to stop.
struct Stopped {};
// Thrown when a join's piece differs from its line and the caller will rebuild it.
struct Damaged {};
// Thrown when a result read back from its medium is not what was written (name: its own).
struct MediumDiffers {
    std::string name;
};

// Bytes of finished pieces that may still be on their way to the disk.
inline constexpr int64_t kMostUnwaited = int64_t{32} << 20;
// Runs of whole chunks move a quarter of a megabyte at a time: the cost of a system call per
// 10000 bytes would otherwise hold the copy to a fraction of what the disk can do, and a run
// is still in the cache when its digests are worked out from the same buffer.
inline constexpr int32_t kBatchChunks = 25;
static_assert(size_t(kBatchChunks) * kChunkSize <= HashPipeline::kBufferBytes,
              "a run fits a buffer of the hashing");

// How the stream is cut into reads and writes: full chunks and a remainder per piece, and the
// same for a short last piece.
struct ChunkPlan {
    // Lengths are 64-bit: a stream goes up to ten digits, and no count times a size may wrap.
    int64_t chunks_per_piece = 0;
    int64_t piece_remainder = 0;
    int64_t last_length = 0;  // 0 when the stream is a whole number of pieces
    int64_t last_chunks = 0;
    int64_t last_remainder = 0;
    int64_t full_pieces = 0;  // F

    explicit ChunkPlan(const SeriesPlan& series)
        : chunks_per_piece(series.piece_size / kChunkSize),
          piece_remainder(series.piece_size % kChunkSize),
          last_length(series.stream_length % series.piece_size),
          last_chunks(last_length / kChunkSize),
          last_remainder(last_length % kChunkSize),
          full_pieces(last_length == 0 ? series.count : series.count - 1) {}
};

class SeriesCopy {
  public:
    // The plan is consistent (SplitJoin checked it), so no division below is by 0.
    SeriesCopy(const OperationPlan& plan, ProgressDisplay& display, MessageBox& box)
        : plan_(plan),
          size_(plan.series.stream_length),
          split_(plan.series.piece_size),
          total_(plan.series.count),
          header_(plan.series.header_length()),
          chunks_(plan.series),
          display_(display),
          trap_(box),
          commit_(plan.mode == Mode::kSplit ? ResultNames::Series(plan.first_piece)
                                            : ResultNames::Single(plan.whole)) {}

    void Split();
    void Join();

    // Every way out: close what is open; when the operation did not run to its end, remove what
    // it wrote, so the disk is as it was before; then put the display back to idle.
    void Finish() {
        whole_ = File();
        piece_ = File();
        written_.clear();
        commit_.Abandon();
        if (plan_.left_behind) {
            *plan_.left_behind = commit_.left();
        }
        display_.ShowIdle();
    }
    bool committed() const { return commit_.done(); }

  private:
    template <typename F>
    void Do(F&& step) {
        // Once the result has its name the operation is done, whatever is asked of it.
        if (!commit_.done() && display_.ShouldStop()) {
            throw Stopped{};
        }
        trap_.Must(step);
    }

    void MakeBuffers();
    void ShowOperating();
    void ShowPiece(int64_t k);
    void SetProgress(int64_t done) {
        Do([&] {
            display_.SetProgress(ProgressPercent(done, size_));
            display_.ShowBytes(done, size_);
        });
    }
    // Moves one block: read from `from`, then write to `to`, each a step of its own.
    void CopyBlock(File& from, File& to, std::vector<uint8_t>& buffer) {
        const auto length = static_cast<int32_t>(buffer.size());
        Do([&] { from.Read(buffer.data(), length); });
        Do([&] { to.Write(buffer.data(), length); });
        Hash(buffer.data(), length);
    }
    // Bytes of the current piece that have been moved, for its checksum and the whole file's.
    void Hash(const uint8_t* data, int32_t size, bool whole = true) {
        if (hashes_) {
            hashes_->Add(piece_number_, data, static_cast<size_t>(size), whole);
        }
    }
    // The checksum list of a split, put beside the pieces before the first piece is.
    void WriteChecksumList();
    // A split's recovery pieces, worked out from its pieces once they are all written.
    void WriteRecoveryPieces();
    // True when a file has the series' list's name (a name too long to exist has none).
    bool ListExists() const {
        try {
            return InfoOf(list_name_, false).exists();
        } catch (const RuntimeError& error) {
            if (error.number() == kErrBadFileName) {
                return false;
            }
            throw;
        }
    }
    // A join's pieces and whole file against the list; the first that differs gives it up.
    void CompareChecksums();
    // A result as written, to be read back: where it is now, its final name, its digest.
    struct Written {
        std::string path;
        std::string final_name;
        Digest digest{};
    };
    // Reads every result back from its medium, the bar running again from 0, and compares it
    // with its digest; the first that differs (or cannot be read) ends it (MediumDiffers).
    void ReadBack(const std::vector<Written>& files);
    // The data of piece 1 after its header: the first block, further chunks, the remainder.
    void CopyFirstPiece(File& from, File& to);
    // The data of a later full piece, or of the short last piece.
    void CopyPiece(File& from, File& to, int64_t k, int64_t chunks, std::vector<uint8_t>& rest);
    // A written piece goes out to the disk at once, but is flushed and closed only when every
    // piece is written: the pieces then share one commit of the file system's journal instead
    // of waiting for one each, which would make a split of many pieces far slower than a copy.
    void FinishWrittenPiece() {
        Do([&] { piece_.StartWriteback(); });
        written_.push_back(std::move(piece_));
        // What is on its way to the disk stays within a few seconds' worth of a slow medium, so
        // no single wait (here, or the final flush) keeps a stop waiting long.
        int64_t unwaited = 0;
        for (const File& piece : written_) {
            unwaited += piece.Position() - piece.WaitedFor();
        }
        for (File& piece : written_) {
            if (unwaited <= kMostUnwaited) {
                break;
            }
            const int64_t before = piece.WaitedFor();
            Do([&] { piece.WaitForWriteback(); });
            unwaited -= piece.WaitedFor() - before;
        }
    }
    void FlushWrittenPieces() {
        for (File& piece : written_) {
            Do([&] { piece.Sync(); });
            Do([&] { piece.Close(); });
        }
        written_.clear();
    }
    // Pieces 2 to the last, written from the source (split) or read into the output (join).
    void LaterPieces(bool split);
    // Opens a result under a temporary name beside its final one, with the access its file
    // of origin has.
    void OpenTemporary(File& file, const std::string& final_name) {
        Do([&] { file = commit_.Create(final_name, permissions_); });
    }
    // Puts every result in its place: the commit. A stop asked for meanwhile waits for it (it
    // is renames and flushes); a failure moves everything back.
    void PutInPlace() {
        commit_.Run([&](const std::function<void()>& step) { trap_.Must(step); });
    }
    // A join's piece n, as the check left it open, or opened again by name.
    File TakePiece(int64_t n) {
        if (plan_.open_pieces && size_t(n) <= plan_.open_pieces->size() &&
            (*plan_.open_pieces)[size_t(n) - 1].IsOpen()) {
            return std::move((*plan_.open_pieces)[size_t(n) - 1]);
        }
        File piece;
        Do([&] { piece = File::OpenForReading(names_[n], false); });
        return piece;
    }
    // A split's source must be as it was planned when its last byte has been read: a file that
    // grew or was rewritten meanwhile would give a series of neither version.
    void CheckSourceUnchanged();
    // Full chunks j = first to last, the progress set to base + j * 10000 after each.
    void CopyChunks(File& from, File& to, int64_t first, int64_t last, int64_t base);
    // Moves count chunks with one read and one write; false when the read failed and nothing
    // moved. Any failure falls back to the chunk-by-chunk steps, so what the user is asked and
    // what ends up on disk is the same as if every chunk had gone alone.
    bool CopyBatch(File& from, File& to, int64_t j, int32_t count, int64_t base);

    const OperationPlan& plan_;
    int64_t size_;    // Insize: the stream's length
    int64_t split_;   // InSplit: the piece size
    int64_t total_;   // InTotalFiles: the count of pieces
    int32_t header_;  // the first piece's header: the header and the first block are a chunk
    ChunkPlan chunks_;
    ProgressDisplay& display_;
    ErrorTrap trap_;

    std::vector<uint8_t> chunk_;
    std::vector<uint8_t> batch_;
    std::vector<uint8_t> piece_rest_;
    std::vector<uint8_t> last_rest_;
    std::vector<uint8_t> first_block_;
    SeriesNames names_;
    File whole_;  // the source of a split, the output of a join
    File piece_;
    std::vector<File> written_;             // pieces written and not yet flushed (at most 100)
    Commit commit_;                         // every file written, and the way they take their names
    uint32_t permissions_ = 0666;           // of the results: those of the file they come from
    std::unique_ptr<HashPipeline> hashes_;  // when the series' checksums are worked out
    int64_t piece_number_ = 1;              // the piece being moved
    std::string list_name_;                 // the series' checksum list
    std::vector<std::string> written_names_;   // a split's pieces, where they are written
    std::vector<Digest> recovery_digests_;     // of its recovery pieces, for the list
    std::vector<std::string> recovery_names_;  // where they are written
    std::string list_written_;                 // where the list is written, and its text
    std::string list_text_;
    SeriesDigests digests_;  // what the hashing found of what was copied
};

}  // namespace tessarel
