// The split/join operation: the chunked copy both share and the way it is run; the split's
// and the join's own steps are in split_copy.cpp and join_copy.cpp.
#include "engine/split_join.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "engine/series_copy.h"

namespace tessarel {

float ProgressPercent(int64_t done, int64_t Insize) {
    return static_cast<float>(std::floor(static_cast<double>(done) / Insize * 100.0));
}

void SeriesCopy::MakeBuffers() {
    const ChunkPlan& plan = chunks_;
    chunk_.resize(kChunkSize);
    if (plan.chunks_per_piece > 1 || plan.last_chunks > 1) {
        batch_.resize(size_t(kBatchChunks) * kChunkSize);
    }
    piece_rest_.resize(static_cast<size_t>(plan.piece_remainder));
    last_rest_.resize(static_cast<size_t>(plan.last_remainder));
    first_block_.resize(
        static_cast<size_t>(plan.chunks_per_piece == 0 ? split_ - header_ : kChunkSize - header_));
}

void SeriesCopy::ShowOperating() {
    Do([&] { display_.ShowOperating(); });
    ShowPiece(1);
}

void SeriesCopy::ShowPiece(int64_t k) {
    Do([&] { display_.ShowPiece(k); });
}

void SeriesCopy::CopyFirstPiece(File& from, File& to) {
    const ChunkPlan& plan = chunks_;
    CopyBlock(from, to, first_block_);
    if (plan.chunks_per_piece == 0) {
        return;  // the first block was the whole piece
    }
    CopyChunks(from, to, 2, plan.chunks_per_piece, 0);
    if (plan.piece_remainder != 0) {
        CopyBlock(from, to, piece_rest_);
    }
}

void SeriesCopy::CopyPiece(File& from, File& to, int64_t k, int64_t chunks,
                           std::vector<uint8_t>& rest) {
    CopyChunks(from, to, 1, chunks, (k - 1) * split_);
    if (!rest.empty()) {
        CopyBlock(from, to, rest);
    }
}

void SeriesCopy::CopyChunks(File& from, File& to, int64_t first, int64_t last, int64_t base) {
    int64_t j = first;
    while (j <= last) {
        const auto batch = static_cast<int32_t>(std::min<int64_t>(kBatchChunks, last - j + 1));
        if (batch > 1 && CopyBatch(from, to, j, batch, base)) {
            j += batch;
            continue;
        }
        Do([&] { from.Read(chunk_.data(), kChunkSize); });
        Do([&] { to.Write(chunk_.data(), kChunkSize); });
        Hash(chunk_.data(), kChunkSize);
        SetProgress(base + j * kChunkSize);
        ++j;
    }
}

bool SeriesCopy::CopyBatch(File& from, File& to, int64_t j, int32_t count, int64_t base) {
    const int32_t bytes = count * kChunkSize;
    // With checksums the run is read into a buffer of the hashing, which works its digests out
    // from the same bytes once they are written: no copy of them is made.
    struct Run {
        HashPipeline* hashes;
        uint8_t* buffer;
        bool handed = false;
        ~Run() {
            if (hashes && !handed) {
                hashes->Return(buffer);
            }
        }
    } run{hashes_.get(), hashes_ ? hashes_->Acquire() : batch_.data()};
    try {
        from.Read(run.buffer, bytes);
    } catch (const RuntimeError&) {
        return false;  // nothing was taken: the chunks go one by one, each failure its own step
    }
    bool written = true;
    try {
        to.Write(run.buffer, bytes);
    } catch (const RuntimeError&) {
        written = false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (!written) {
            // The run was read, so its chunks are written from it one by one, starting where
            // the failed write began.
            const uint8_t* chunk = run.buffer + size_t(i) * kChunkSize;
            Do([&] { to.Write(chunk, kChunkSize); });
        }
        SetProgress(base + (j + i) * kChunkSize);
    }
    if (run.hashes) {
        run.hashes->Submit(run.buffer, size_t(bytes), piece_number_, true);
        run.handed = true;
    }
    return true;
}

void SeriesCopy::LaterPieces(bool split) {
    const ChunkPlan& plan = chunks_;
    auto piece = [&](int64_t k, int64_t chunks, std::vector<uint8_t>& rest) {
        ShowPiece(k);
        piece_number_ = k;
        const std::string name = names_[k];
        if (split) {
            // Beside its name: an older file of the name stays as it is until the whole new
            // series is written.
            OpenTemporary(piece_, name);
            written_names_.push_back(piece_.path());
            CopyPiece(whole_, piece_, k, chunks, rest);
            FinishWrittenPiece();
        } else {
            // Pieces are only read: a missing one is an error, never an empty file made up.
            // Only the planned bytes are read; a longer piece was the user's choice.
            piece_ = TakePiece(k);
            CopyPiece(piece_, whole_, k, chunks, rest);
            Do([&] { piece_.Close(); });
        }
    };
    for (int64_t k = 2; k <= plan.full_pieces; ++k) {
        piece(k, plan.chunks_per_piece, piece_rest_);
        SetProgress(k * split_);
    }
    if (plan.last_length != 0) {
        piece(total_, plan.last_chunks, last_rest_);
    }
}

Outcome RunOperation(const OperationPlan& plan, ProgressDisplay& display, MessageBox& message_box) {
    Outcome result = Outcome::kNotDone;
    if (!plan.series.consistent()) {
        // The request rules hand over a consistent plan; anything else would read or write
        // bytes that belong to no piece. A series has at least two pieces: a piece size that
        // takes in the whole stream would have the join read its first piece a second time.
        ShowErrorReport(message_box, RuntimeError(kErrInvalidArgument));
        return Outcome::kNotDone;
    }
    SeriesCopy operation(plan, display, message_box);
    try {
        if (plan.mode == Mode::kSplit) {
            operation.Split();
        } else {
            operation.Join();
        }
        result = Outcome::kDone;
    } catch (const Stopped&) {
        result = Outcome::kStopped;
    } catch (const Damaged&) {
        result = Outcome::kDamaged;
    } catch (const MediumDiffers& differs) {
        result = Outcome::kNotKept;
        if (plan.not_kept) {
            *plan.not_kept = differs.name;
        }
    } catch (...) {
        // Given up by the user, or a failure no step could report: either way the files are
        // closed and the window comes back; the caller says the operation was not done.
        result = Outcome::kNotDone;
    }
    // What took its name is done, whatever came after it (the bar, closing the source).
    if (operation.committed()) {
        result = Outcome::kDone;
    }
    operation.Finish();
    return result;
}

bool SplitJoin(const OperationPlan& plan, ProgressDisplay& display, MessageBox& message_box) {
    return RunOperation(plan, display, message_box) == Outcome::kDone;
}

}  // namespace tessarel
