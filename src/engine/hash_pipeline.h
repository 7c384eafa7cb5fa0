// Works out the SHA-256 of every piece and of the whole file while the copy goes on, on two
// threads of their own (one follows the pieces, one the whole file, so each byte's two digests
// are worked out side by side), so a split or join that waits for its disk does not also wait
// for the hashing. What the copy hands over is copied into a few buffers of a fixed size:
// memory stays flat, and the copy waits only when the hashing falls behind by all of them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/checksums.h"

namespace tessarel {

class HashPipeline {
  public:
    HashPipeline();
    ~HashPipeline();
    HashPipeline(const HashPipeline&) = delete;
    HashPipeline& operator=(const HashPipeline&) = delete;

    // Bytes of piece (from 1, in order); of the whole file too when whole is set (everything
    // but the header).
    void Add(int64_t piece, const uint8_t* data, size_t size, bool whole);
    // Waits for everything handed over, and gives the digests.
    SeriesDigests Finish();

  private:
    struct Block {
        int64_t piece = 0;
        bool whole = false;
        int users = 0;  // workers still to hash it
        std::vector<uint8_t> bytes;
    };
    void Hand();
    void PieceWorker();
    void WholeWorker();
    // The next block for a worker's queue, or -1 once the pipeline closes with it empty.
    int Next(std::deque<int>& queue);
    void Done(int block);
    void Stop();

    static constexpr size_t kBlockBytes = size_t{1} << 20;
    static constexpr int kBlocks = 8;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Block> blocks_;
    std::vector<int> free_;   // blocks to fill
    std::deque<int> pieces_;  // blocks for the piece worker, in order
    std::deque<int> whole_;   // blocks for the whole-file worker, in order
    int filling_ = -1;        // the block Add fills
    bool closing_ = false;
    SeriesDigests digests_;
    std::thread piece_thread_;
    std::thread whole_thread_;
};

}  // namespace tessarel
