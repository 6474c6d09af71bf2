// Where a rendered file goes. A regular file (or a path that does not exist yet)
// is written under a hidden temporary name beside it and renamed into place by
// commit(), so a failed render never leaves a file that looks complete and never
// destroys the old one. A symbolic link is followed to the file it names. A
// device, a FIFO or standard output ("-") is written straight, never replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quillo::render {

class OutputTarget {
  public:
    // needsSeeking: the file format goes back to fill in its header. On a stream
    // that cannot seek, such a file is then spooled to a temporary file and
    // copied to the stream by commit().
    // Throws UserError "PATH: reason" when the target cannot be written.
    static std::unique_ptr<OutputTarget> open(const std::string& path, bool needsSeeking);

    // Without commit(): removes the temporary file, leaving the target untouched.
    ~OutputTarget();
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    // Each throws UserError "PATH: cannot write: reason", write() perhaps for
    // bytes written before (the bytes wait in a buffer until a megabyte is full).
    void write(const void* bytes, size_t size);
    // Offsets count from where this file starts. Returns false on a stream.
    bool seek(int64_t offset);
    void commit();

    bool seekable() const { return seekable_; }
    int64_t position() const { return position_; }
    int64_t length() const { return length_; }
    // The path as the user gave it; "standard output" for "-".
    const std::string& name() const { return name_; }

  private:
    OutputTarget() = default;
    [[noreturn]] void fail(const std::string& reason) const;
    void flush();
    void writeAll(int fd, const uint8_t* data, size_t size);
    void copySpoolToStream();

    // Writes reach the file a megabyte at a time: file systems take big writes for a
    // fraction of the cost of libsndfile's pieces of a few kilobytes.
    static constexpr size_t kWriteSize = 1 << 20;
    std::vector<uint8_t> pending_;

    std::string name_;
    std::string finalPath_;     // where the temporary file is renamed to
    std::string temporaryPath_; // empty unless replacing a regular file
    int pendingSlot_ = -1;      // where a signal handler finds it
    int fd_ = -1;               // what is written to: the temporary file, a stream or a spool
    int streamFd_ = -1;         // the stream behind a spool
    bool ownsFd_ = true;        // false for standard output
    bool seekable_ = false;
    int64_t base_ = 0; // where the file starts in fd_ (standard output may be mid-file)
    int64_t position_ = 0;
    int64_t length_ = 0;
};

// Ignore SIGXFSZ, so a file-size limit makes writes fail (and the temporary file
// go) instead of killing the process; remove the temporary file in progress on
// the signals that end a process.
void installOutputSignalHandlers();

} // namespace quillo::render
