// Writes a stereo WAV file through libsndfile. The samples go to a temporary
// file beside the target, which is renamed into place by commit(); a writer
// destroyed without commit() removes its temporary file, so a failed render
// never leaves a file that looks complete.
#pragma once

#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

namespace quillo::render {

enum class SampleFormat { Float32, Int16, Int24 };

class WavWriter {
  public:
    // Throws RenderError "PATH: reason" when the temporary file cannot be created.
    WavWriter(const std::string& path, int32_t sampleRate, SampleFormat format);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    void write(const float* left, const float* right, int32_t frames);
    // Closes the file and moves it to its final name.
    void commit();

    int64_t framesWritten() const { return framesWritten_; }
    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return temporaryPath_; }

  private:
    void fail(const std::string& reason);

    std::string path_;
    std::string temporaryPath_;
    SNDFILE* file_ = nullptr;
    int64_t framesWritten_ = 0;
    float interleaved_[2 * 1024];
};

// Removes the temporary file of the writer in progress if the process is
// interrupted or crashes (SIGINT, SIGTERM, SIGHUP, SIGABRT, SIGSEGV, ...).
void removeTemporaryOnSignal(const WavWriter* writer);

} // namespace quillo::render
