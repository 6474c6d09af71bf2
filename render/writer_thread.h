// The writing of a render on a thread of its own: the plug-in's blocks are copied
// into chunks and handed over, and the conversion, the encoding and the system's
// writes of one chunk overlap the processing of the next.
#pragma once

#include "render/audio_file.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace quillo::render {

class WriterThread {
  public:
    // maxBlock: the most frames lend() is asked for.
    WriterThread(AudioFileWriter& writer, int32_t maxBlock);
    // Stops the thread once the chunk in hand is written; the rest is dropped.
    ~WriterThread();
    WriterThread(const WriterThread&) = delete;
    WriterThread& operator=(const WriterThread&) = delete;

    // Room for the next frames in the chunk being filled (see BlockLender).
    std::pair<float*, float*> lend(int32_t frames);
    // Queues the frames, waiting while the thread is a few chunks behind; frames
    // already where lend() put them are not copied. Throws what writing threw, as
    // soon as it is known.
    void write(const float* left, const float* right, int32_t frames);
    // Writes what is queued and waits for it. Throws what writing threw.
    void finish();

  private:
    // 16384 frames: a few hundred milliseconds of processing at most, so a handful
    // of hand-overs a second.
    static constexpr int32_t kChunkFrames = 1 << 14;
    static constexpr size_t kChunksAhead = 4;

    struct Chunk {
        std::vector<float> left, right;
        int32_t frames = 0;
    };

    // Queues the chunk being filled and takes another.
    void hand();
    void run();

    AudioFileWriter& writer_;
    int32_t chunkFrames_; // kChunkFrames, or a block if that is longer
    Chunk filling_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> queue_;
    std::vector<Chunk> spare_; // chunks written, to be filled again
    bool busy_ = false;        // a chunk is being written
    bool closing_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

} // namespace quillo::render
