#include "render/writer_thread.h"

#include <algorithm>

namespace quillo::render {

WriterThread::WriterThread(AudioFileWriter& writer, int32_t maxBlock)
    : writer_(writer), chunkFrames_(std::max(kChunkFrames, maxBlock)) {
    filling_.left.resize(static_cast<size_t>(chunkFrames_));
    filling_.right.resize(static_cast<size_t>(chunkFrames_));
    thread_ = std::thread([this] { run(); });
}

WriterThread::~WriterThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::pair<float*, float*> WriterThread::lend(int32_t frames) {
    if (chunkFrames_ - filling_.frames < frames) hand();
    return {filling_.left.data() + filling_.frames, filling_.right.data() + filling_.frames};
}

void WriterThread::write(const float* left, const float* right, int32_t frames) {
    float* const leftEnd = filling_.left.data() + filling_.frames;
    float* const rightEnd = filling_.right.data() + filling_.frames;
    if (left == leftEnd && frames <= chunkFrames_ - filling_.frames) {
        // Rendered in place; a mono instrument's right is its left.
        if (right != rightEnd) std::copy(right, right + frames, rightEnd);
        filling_.frames += frames;
        if (filling_.frames == chunkFrames_) hand();
        return;
    }
    while (frames > 0) {
        const int32_t count = std::min(frames, chunkFrames_ - filling_.frames);
        std::copy(left, left + count, filling_.left.begin() + filling_.frames);
        std::copy(right, right + count, filling_.right.begin() + filling_.frames);
        filling_.frames += count;
        left += count;
        right += count;
        frames -= count;
        if (filling_.frames == chunkFrames_) hand();
    }
}

void WriterThread::finish() {
    if (filling_.frames > 0) hand();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return (queue_.empty() && !busy_) || error_; });
    closing_ = true;
    changed_.notify_all();
    lock.unlock();
    thread_.join();
    if (error_) std::rethrow_exception(error_);
}

void WriterThread::hand() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kChunksAhead || error_; });
    if (error_) {
        filling_.frames = 0;
        std::rethrow_exception(error_);
    }
    queue_.push_back(std::move(filling_));
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    } else {
        filling_.left.resize(static_cast<size_t>(chunkFrames_));
        filling_.right.resize(static_cast<size_t>(chunkFrames_));
    }
    filling_.frames = 0;
    changed_.notify_all();
}

void WriterThread::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return; // closing
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        std::exception_ptr error;
        try {
            writer_.write(chunk.left.data(), chunk.right.data(), chunk.frames);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        busy_ = false;
        spare_.push_back(std::move(chunk));
        if (error) {
            error_ = error;
            queue_.clear(); // nothing after a failed write is written
        }
        changed_.notify_all();
    }
}

} // namespace quillo::render
