#include "engine/hash_pipeline.h"

#include <algorithm>
#include <cstring>

#include "platform/thread.h"

namespace tessarel {

HashPipeline::HashPipeline(bool pieces_wanted, bool whole_wanted)
    : pieces_wanted_(pieces_wanted), whole_wanted_(whole_wanted), blocks_(kBuffers) {
    for (int i = 0; i < kBuffers; ++i) {
        blocks_[size_t(i)].bytes.resize(kBufferBytes);
        free_.push_back(i);
    }
    // The hashing runs as the copy does: below the window's thread when the window started it,
    // alongside the copy on the command line.
    const int priority = ThisThreadPriority();
    piece_thread_ = std::thread([this, priority] {
        SetThisThreadPriority(priority);
        PieceWorker();
    });
    whole_thread_ = std::thread([this, priority] {
        SetThisThreadPriority(priority);
        WholeWorker();
    });
}

HashPipeline::~HashPipeline() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pieces_.clear();
        whole_.clear();
    }
    Stop();
}

void HashPipeline::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread* thread : {&piece_thread_, &whole_thread_}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
}

int HashPipeline::Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !free_.empty(); });
    const int block = free_.back();
    free_.pop_back();
    return block;
}

int HashPipeline::IndexOf(const uint8_t* buffer) const {
    for (size_t i = 0; i < blocks_.size(); ++i) {
        if (blocks_[i].bytes.data() == buffer) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

uint8_t* HashPipeline::Acquire() {
    return blocks_[size_t(Take())].bytes.data();
}

void HashPipeline::Submit(uint8_t* buffer, size_t size, int64_t piece, bool whole) {
    HandFilling();  // what Add copied in comes first
    const int index = IndexOf(buffer);
    Block& block = blocks_[size_t(index)];
    block.size = std::min(size, kBufferBytes);
    block.piece = piece;
    block.whole = whole;
    Hand(index);
}

void HashPipeline::Return(uint8_t* buffer) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(IndexOf(buffer));
    }
    changed_.notify_all();
}

void HashPipeline::Add(int64_t piece, const uint8_t* data, size_t size, bool whole) {
    while (size > 0) {
        if (filling_ >= 0) {
            const Block& block = blocks_[size_t(filling_)];
            if (block.piece != piece || block.whole != whole || block.size == kBufferBytes) {
                HandFilling();
            }
        }
        if (filling_ < 0) {
            filling_ = Take();
            blocks_[size_t(filling_)].size = 0;
        }
        Block& block = blocks_[size_t(filling_)];
        block.piece = piece;
        block.whole = whole;
        const size_t n = std::min(size, kBufferBytes - block.size);
        std::memcpy(block.bytes.data() + block.size, data, n);
        block.size += n;
        data += n;
        size -= n;
    }
}

void HashPipeline::HandFilling() {
    if (filling_ >= 0) {
        const int block = filling_;
        filling_ = -1;
        Hand(block);
    }
}

void HashPipeline::Hand(int index) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Block& block = blocks_[size_t(index)];
        const bool whole = block.whole && whole_wanted_;
        block.users = (whole ? 1 : 0) + (pieces_wanted_ ? 1 : 0);
        if (pieces_wanted_) {
            pieces_.push_back(index);
        }
        if (whole) {
            whole_.push_back(index);
        }
        if (block.users == 0) {
            free_.push_back(index);
        }
    }
    changed_.notify_all();
}

SeriesDigests HashPipeline::Finish() {
    if (filling_ >= 0 && blocks_[size_t(filling_)].size == 0) {
        Return(blocks_[size_t(filling_)].bytes.data());
        filling_ = -1;
    }
    HandFilling();
    Stop();
    return digests_;
}

int HashPipeline::Next(std::deque<int>& queue) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return closing_ || !queue.empty(); });
    if (queue.empty()) {
        return -1;
    }
    const int block = queue.front();
    queue.pop_front();
    return block;
}

void HashPipeline::Done(int block) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--blocks_[size_t(block)].users == 0) {
            free_.push_back(block);
        }
    }
    changed_.notify_all();
}

void HashPipeline::PieceWorker() {
    Sha256 hash;
    int64_t piece = 0;
    for (int next; (next = Next(pieces_)) >= 0;) {
        const Block& block = blocks_[size_t(next)];
        if (block.piece != piece) {
            if (piece != 0) {
                digests_.pieces.push_back(hash.Finish());
            }
            piece = block.piece;
        }
        hash.Update(block.bytes.data(), block.size);
        Done(next);
    }
    if (piece != 0) {
        digests_.pieces.push_back(hash.Finish());
    }
}

void HashPipeline::WholeWorker() {
    Sha256 hash;
    bool any = false;
    for (int next; (next = Next(whole_)) >= 0;) {
        const Block& block = blocks_[size_t(next)];
        hash.Update(block.bytes.data(), block.size);
        any = true;
        Done(next);
    }
    if (any) {
        digests_.whole = hash.Finish();
    }
}

}  // namespace tessarel
