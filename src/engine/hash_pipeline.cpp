#include "engine/hash_pipeline.h"

#include <algorithm>

namespace tessarel {

HashPipeline::HashPipeline() : blocks_(kBlocks) {
    for (int i = 0; i < kBlocks; ++i) {
        blocks_[size_t(i)].bytes.reserve(kBlockBytes);
        free_.push_back(i);
    }
    piece_thread_ = std::thread([this] { PieceWorker(); });
    whole_thread_ = std::thread([this] { WholeWorker(); });
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

void HashPipeline::Add(int64_t piece, const uint8_t* data, size_t size, bool whole) {
    while (size > 0) {
        if (filling_ >= 0) {
            const Block& block = blocks_[size_t(filling_)];
            if (block.piece != piece || block.whole != whole || block.bytes.size() == kBlockBytes) {
                Hand();
            }
        }
        if (filling_ < 0) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return !free_.empty(); });
            filling_ = free_.back();
            free_.pop_back();
        }
        Block& block = blocks_[size_t(filling_)];
        block.piece = piece;
        block.whole = whole;
        const size_t n = std::min(size, kBlockBytes - block.bytes.size());
        block.bytes.insert(block.bytes.end(), data, data + n);
        data += n;
        size -= n;
    }
}

void HashPipeline::Hand() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Block& block = blocks_[size_t(filling_)];
        block.users = block.whole ? 2 : 1;
        pieces_.push_back(filling_);
        if (block.whole) {
            whole_.push_back(filling_);
        }
        filling_ = -1;
    }
    changed_.notify_all();
}

SeriesDigests HashPipeline::Finish() {
    if (filling_ >= 0 && !blocks_[size_t(filling_)].bytes.empty()) {
        Hand();
    }
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
        Block& b = blocks_[size_t(block)];
        if (--b.users == 0) {
            b.bytes.clear();
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
        hash.Update(block.bytes.data(), block.bytes.size());
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
        hash.Update(block.bytes.data(), block.bytes.size());
        any = true;
        Done(next);
    }
    if (any) {
        digests_.whole = hash.Finish();
    }
}

}  // namespace tessarel
