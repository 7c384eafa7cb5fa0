// Works out the SHA-256 of every piece and of the whole file while the copy goes on, on two
// threads of their own (one follows the pieces, one the whole file, so each byte's two digests
// are worked out side by side), so a split or join that waits for its disk does not also wait
// for the hashing.
//
// The copy borrows its buffers from here (Acquire): it reads a run of the stream into one,
// writes it out, and hands the same buffer on to the hashing (Submit), so no byte is copied
// for the hashing. Buffers are a quarter of a megabyte, so what was just written is still in
// the cache when it is hashed; there are enough of them that the copy waits only when the
// hashing falls behind by all of them, and memory stays flat. Small amounts (a header, a
// remainder) are copied in (Add).
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
    static constexpr size_t kBufferBytes = 250000;  // 25 chunks of the engine's 10000 bytes
    static constexpr int kBuffers = 64;

    // Which digests are worked out: each piece's, the whole file's.
    explicit HashPipeline(bool pieces_wanted = true, bool whole_wanted = true);
    ~HashPipeline();
    HashPipeline(const HashPipeline&) = delete;
    HashPipeline& operator=(const HashPipeline&) = delete;

    // A buffer of kBufferBytes to read into; it must come back through Submit or Return.
    uint8_t* Acquire();
    // The first size bytes of buffer are bytes of piece (from 1, in order), and of the whole file
    // when whole is set; the buffer goes to the hashing and comes back free when it is done.
    void Submit(uint8_t* buffer, size_t size, int64_t piece, bool whole);
    void Return(uint8_t* buffer);
    // The same for a few bytes that are not in a buffer of ours: they are copied.
    void Add(int64_t piece, const uint8_t* data, size_t size, bool whole);
    // Waits for everything handed over, and gives the digests.
    SeriesDigests Finish();

  private:
    struct Block {
        std::vector<uint8_t> bytes;  // kBufferBytes, allocated once
        size_t size = 0;
        int64_t piece = 0;
        bool whole = false;
        int users = 0;  // workers still to hash it
    };
    int Take();            // a free block, waiting for one
    void Hand(int block);  // to the workers
    void HandFilling();
    void PieceWorker();
    void WholeWorker();
    // The next block for a worker's queue, or -1 once the pipeline closes with it empty.
    int Next(std::deque<int>& queue);
    void Done(int block);
    void Stop();
    int IndexOf(const uint8_t* buffer) const;

    const bool pieces_wanted_;
    const bool whole_wanted_;
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
