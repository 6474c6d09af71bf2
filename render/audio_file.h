// The audio files quillo-render writes: WAV, FLAC, Ogg Vorbis, AIFF and headerless
// raw samples, through libsndfile. WAV headers are written here, so that a WAV
// can stream to a pipe with the sizes streaming tools write when the length is
// not known yet, and so that a float WAV carries the fmt extension size readers
// expect. Two renders of the same input give byte-identical files: no PEAK chunk
// with a time stamp, and a fixed Ogg stream serial number.
#pragma once

#include "render/output_target.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace quillo::render {

enum class FileType { Wav, Flac, Ogg, Aiff, Raw };
enum class Encoding { Float32, Int16, Int24 };

struct AudioFormat {
    FileType type = FileType::Wav;
    Encoding encoding = Encoding::Float32; // not used by Ogg Vorbis
    int32_t channels = 2;
};

// "wav", "flac", ...; "f32", "s16", "s24".
const char* fileTypeName(FileType type);
const char* encodingName(Encoding encoding);
std::optional<FileType> fileTypeNamed(const std::string& name);
std::optional<Encoding> encodingNamed(const std::string& name);
// The type an output name's extension asks for (.wav, .flac, .ogg, .oga, .aif,
// .aiff, .aifc, .raw), if any.
std::optional<FileType> fileTypeOfPath(const std::string& path);
// The encoding a type gets when none is chosen: f32 for WAV and raw, s24 for
// FLAC and AIFF.
Encoding defaultEncoding(FileType type);
// Whether the type can hold the encoding (FLAC holds integers only).
bool holds(FileType type, Encoding encoding);
// "f32" for a float WAV, as the summary has always said; "flac s24", "ogg", "raw f32".
std::string formatLabel(const AudioFormat& format);
// The extension written for the type: ".wav", ".flac", ".ogg", ".aiff", ".raw".
const char* extensionOf(FileType type);
// True when writing the type goes back to fill in a header.
bool needsSeeking(FileType type);
// Integer encodings clip what lies beyond full scale.
bool clips(const AudioFormat& format);

class AudioFileWriter {
  public:
    // Throws UserError "NAME: cannot write: reason".
    AudioFileWriter(OutputTarget& target, int32_t sampleRate, AudioFormat format);
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Multiplies by the gain and writes; right is ignored for a mono file.
    void write(const float* left, const float* right, int32_t frames);
    // Completes the file (headers, stream ends); the target still needs commit().
    void finish();

    void setGain(float gain) { gain_ = gain; }
    // Samples beyond full scale in an integer encoding, clipped when written.
    int64_t clippedSamples() const { return clipped_; }
    // Largest absolute sample as written: after the gain, after clipping.
    float peak() const;

    // What libsndfile's virtual file calls; public for its C callbacks.
    int64_t virtualLength() const;
    int64_t virtualSeek(int64_t offset, int whence);
    int64_t virtualTell() const;
    int64_t virtualWrite(const void* bytes, int64_t size);

  private:
    [[noreturn]] void fail(const std::string& reason) const;
    void writeWavHeader(bool final);
    void writeOggBytes(const uint8_t* bytes, size_t size);

    OutputTarget& target_;
    int32_t sampleRate_;
    AudioFormat format_;
    SNDFILE* file_ = nullptr;
    int64_t dataStart_ = 0; // bytes before what libsndfile writes (the WAV header)
    float gain_ = 1.0f;
    float peak_ = 0.0f;
    int64_t clipped_ = 0;
    int64_t framesWritten_ = 0;
    std::vector<uint8_t> oggPage_; // an Ogg page being collected
    std::vector<float> interleaved_;
    std::string error_; // the first write error libsndfile swallowed
};

} // namespace quillo::render
