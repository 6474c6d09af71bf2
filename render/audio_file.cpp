#include "render/audio_file.h"

#include "hosting/text.h"
#include "hosting/user_error.h"
#include "render/peak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sndfile.h>

namespace quillo::render {
namespace {

struct TypeName {
    FileType type;
    const char* name;
    const char* extension;
};
constexpr TypeName kTypes[] = {
    {FileType::Wav, "wav", ".wav"}, {FileType::Flac, "flac", ".flac"},
    {FileType::Ogg, "ogg", ".ogg"}, {FileType::Aiff, "aiff", ".aiff"},
    {FileType::Raw, "raw", ".raw"},
};

const TypeName& entryOf(FileType type) {
    for (const TypeName& entry : kTypes)
        if (entry.type == type) return entry;
    return kTypes[0];
}

struct EncodingEntry {
    Encoding encoding;
    const char* name;
    int bytes;
    int sndfileSubtype;
};
constexpr EncodingEntry kEncodings[] = {
    {Encoding::Float32, "f32", 4, SF_FORMAT_FLOAT},
    {Encoding::Int16, "s16", 2, SF_FORMAT_PCM_16},
    {Encoding::Int24, "s24", 3, SF_FORMAT_PCM_24},
};

const EncodingEntry& entryOf(Encoding encoding) {
    for (const EncodingEntry& entry : kEncodings)
        if (entry.encoding == encoding) return entry;
    return kEncodings[0];
}

int encodingBytes(Encoding encoding) {
    return entryOf(encoding).bytes;
}

// The samples libsndfile writes. A WAV's samples go out as raw little-endian
// data behind the header written here.
int sndfileFormat(const AudioFormat& format) {
    switch (format.type) {
    case FileType::Flac: return SF_FORMAT_FLAC | entryOf(format.encoding).sndfileSubtype;
    case FileType::Ogg: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case FileType::Aiff: return SF_FORMAT_AIFF | entryOf(format.encoding).sndfileSubtype;
    case FileType::Wav:
    case FileType::Raw: break;
    }
    return SF_FORMAT_RAW | SF_ENDIAN_LITTLE | entryOf(format.encoding).sndfileSubtype;
}

// Sizes a WAV streamed to a pipe carries, as sox writes them: a data chunk of
// 0x7FFFF000 bytes, which readers take as "until the stream ends".
constexpr uint32_t kStreamingDataSize = 0x7FFFF000u;
// A RIFF file counts its size in 32 bits, the header included.
constexpr int64_t kWavDataLimit = int64_t{0xFFFFFFFF} - 64;
constexpr const char* kWavTooLong =
    "longer than a WAV file can hold (4 GiB); choose --format flac or raw";

void putLittle(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putTag(std::vector<uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

// Every Ogg page gets this stream serial number instead of libsndfile's random one.
constexpr uint32_t kOggSerial = 0x516C6F31; // "Qlo1"

uint32_t oggCrc(const uint8_t* bytes, size_t size) {
    static const auto table = [] {
        std::array<uint32_t, 256> entries{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                value = value & 0x80000000u ? (value << 1) ^ 0x04C11DB7u : value << 1;
            entries[i] = value;
        }
        return entries;
    }();
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ bytes[i]) & 0xFF];
    return crc;
}

sf_count_t virtualLength(void* writer) {
    return static_cast<AudioFileWriter*>(writer)->virtualLength();
}
sf_count_t virtualSeek(sf_count_t offset, int whence, void* writer) {
    return static_cast<AudioFileWriter*>(writer)->virtualSeek(offset, whence);
}
sf_count_t virtualRead(void*, sf_count_t, void*) {
    return 0;
}
sf_count_t virtualWrite(const void* bytes, sf_count_t size, void* writer) {
    return static_cast<AudioFileWriter*>(writer)->virtualWrite(bytes, size);
}
sf_count_t virtualTell(void* writer) {
    return static_cast<AudioFileWriter*>(writer)->virtualTell();
}

} // namespace

const char* fileTypeName(FileType type) {
    return entryOf(type).name;
}

const char* extensionOf(FileType type) {
    return entryOf(type).extension;
}

const char* encodingName(Encoding encoding) {
    return entryOf(encoding).name;
}

std::optional<FileType> fileTypeNamed(const std::string& name) {
    for (const TypeName& entry : kTypes)
        if (name == entry.name) return entry.type;
    return std::nullopt;
}

std::optional<Encoding> encodingNamed(const std::string& name) {
    for (const EncodingEntry& entry : kEncodings)
        if (name == entry.name) return entry.encoding;
    return std::nullopt;
}

std::optional<FileType> fileTypeOfPath(const std::string& path) {
    const std::string extension =
        hosting::lowerCase(std::filesystem::path(path).extension().string());
    if (extension == ".oga") return FileType::Ogg;
    if (extension == ".aif" || extension == ".aifc") return FileType::Aiff;
    for (const TypeName& entry : kTypes)
        if (extension == entry.extension) return entry.type;
    return std::nullopt;
}

Encoding defaultEncoding(FileType type) {
    return type == FileType::Flac || type == FileType::Aiff ? Encoding::Int24 : Encoding::Float32;
}

bool holds(FileType type, Encoding encoding) {
    return !(type == FileType::Flac && encoding == Encoding::Float32);
}

std::string formatLabel(const AudioFormat& format) {
    std::string label = format.type == FileType::Wav ? "" : fileTypeName(format.type);
    if (format.type != FileType::Ogg) {
        label += (label.empty() ? "" : " ") + std::string(encodingName(format.encoding));
    }
    if (format.channels == 1) label += ", mono";
    return label;
}

bool needsSeeking(FileType type) {
    return type == FileType::Flac || type == FileType::Aiff;
}

bool clips(const AudioFormat& format) {
    return format.type != FileType::Ogg && format.encoding != Encoding::Float32;
}

AudioFileWriter::AudioFileWriter(OutputTarget& target, int32_t sampleRate, AudioFormat format)
    : target_(target), sampleRate_(sampleRate), format_(format) {
    if (format_.type == FileType::Wav) writeWavHeader(false);
    dataStart_ = target_.position();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = format.channels;
    info.format = sndfileFormat(format);
    SF_VIRTUAL_IO io{render::virtualLength, render::virtualSeek, virtualRead, render::virtualWrite,
                     render::virtualTell};
    file_ = sf_open_virtual(&io, SFM_WRITE, &info, this);
    if (!file_) fail(sf_strerror(nullptr));
    // No PEAK chunk: it carries the time of writing.
    sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if (clips(format_)) sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioFileWriter::~AudioFileWriter() {
    if (file_) sf_close(file_);
}

void AudioFileWriter::fail(const std::string& reason) const {
    // A failed write of the target's own says more than libsndfile's report of it.
    if (!error_.empty()) throw UserError(error_);
    throw UserError(target_.name() + ": cannot write: " + reason);
}

void AudioFileWriter::writeWavHeader(bool final) {
    const bool isFloat = format_.encoding == Encoding::Float32;
    const uint32_t blockAlign =
        static_cast<uint32_t>(format_.channels * encodingBytes(format_.encoding));
    const uint32_t headerSize = isFloat ? 58 : 44;
    uint32_t dataSize = kStreamingDataSize;
    if (final) {
        const int64_t bytes = framesWritten_ * blockAlign;
        // A RIFF file counts its size in 32 bits.
        if (bytes > kWavDataLimit) fail(kWavTooLong);
        dataSize = static_cast<uint32_t>(bytes);
    }
    std::vector<uint8_t> header;
    putTag(header, "RIFF");
    putLittle(header, headerSize - 8 + dataSize + (dataSize & 1), 4);
    putTag(header, "WAVE");
    putTag(header, "fmt ");
    putLittle(header, isFloat ? 18 : 16, 4);
    putLittle(header, isFloat ? 3 : 1, 2); // IEEE float or integer PCM
    putLittle(header, static_cast<uint32_t>(format_.channels), 2);
    putLittle(header, static_cast<uint32_t>(sampleRate_), 4);
    putLittle(header, static_cast<uint32_t>(sampleRate_) * blockAlign, 4);
    putLittle(header, blockAlign, 2);
    putLittle(header, static_cast<uint32_t>(8 * encodingBytes(format_.encoding)), 2);
    if (isFloat) {
        putLittle(header, 0, 2); // no extension, but its size is there
        putTag(header, "fact");
        putLittle(header, 4, 4);
        putLittle(header, dataSize / blockAlign, 4);
    }
    putTag(header, "data");
    putLittle(header, dataSize, 4);
    target_.write(header.data(), header.size());
}

void AudioFileWriter::write(const float* left, const float* right, int32_t frames) {
    const int channels = format_.channels;
    constexpr int32_t kChunk = 1024;
    interleaved_.resize(static_cast<size_t>(kChunk * channels));
    float* out = interleaved_.data();
    for (int32_t done = 0; done < frames;) {
        const int32_t count = std::min(kChunk, frames - done);
        const float* l = left + done;
        const float* r = right + done;
        if (channels == 2) {
            for (int32_t i = 0; i < count; ++i) {
                out[2 * i] = l[i] * gain_;
                out[2 * i + 1] = r[i] * gain_;
            }
        } else {
            for (int32_t i = 0; i < count; ++i)
                out[i] = l[i] * gain_;
        }
        const int32_t samples = count * channels;
        peak_ = peakOf(out, static_cast<size_t>(samples), peak_);
        if (clips(format_)) {
            int32_t beyond = 0;
            for (int32_t j = 0; j < samples; ++j)
                beyond += std::fabs(out[j]) > 1.0f;
            clipped_ += beyond;
        }
        if (format_.type == FileType::Wav && target_.seekable() &&
            (framesWritten_ + count) * channels * encodingBytes(format_.encoding) > kWavDataLimit) {
            fail(kWavTooLong);
        }
        if (sf_writef_float(file_, out, count) != count) fail(sf_strerror(file_));
        done += count;
        framesWritten_ += count;
    }
}

void AudioFileWriter::finish() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0 || !error_.empty()) fail(sf_error_number(closed));
    if (!oggPage_.empty()) target_.write(oggPage_.data(), oggPage_.size());
    if (format_.type == FileType::Wav) {
        const int64_t dataBytes = target_.position() - dataStart_;
        if (dataBytes & 1) {
            const uint8_t pad = 0;
            target_.write(&pad, 1);
        }
        if (target_.seek(0)) writeWavHeader(true);
    }
}

float AudioFileWriter::peak() const {
    return clips(format_) ? std::min(peak_, 1.0f) : peak_;
}

int64_t AudioFileWriter::virtualLength() const {
    return target_.length() - dataStart_ + static_cast<int64_t>(oggPage_.size());
}

int64_t AudioFileWriter::virtualTell() const {
    return target_.position() - dataStart_ + static_cast<int64_t>(oggPage_.size());
}

int64_t AudioFileWriter::virtualSeek(int64_t offset, int whence) {
    int64_t to = offset;
    if (whence == SEEK_CUR) to += virtualTell();
    if (whence == SEEK_END) to += virtualLength();
    if (to == virtualTell()) return to;
    if (to < 0 || !oggPage_.empty()) return -1;
    try {
        if (!target_.seek(dataStart_ + to)) return -1;
    } catch (const UserError& error) {
        if (error_.empty()) error_ = error.what();
        return -1;
    }
    return to;
}

int64_t AudioFileWriter::virtualWrite(const void* bytes, int64_t size) {
    try {
        const auto* data = static_cast<const uint8_t*>(bytes);
        if (format_.type == FileType::Ogg) {
            writeOggBytes(data, static_cast<size_t>(size));
        } else {
            target_.write(data, static_cast<size_t>(size));
        }
        return size;
    } catch (const UserError& error) {
        // libsndfile sees a short write; the reason is kept for the message.
        if (error_.empty()) error_ = error.what();
        return 0;
    }
}

// Collects whole pages, gives each the fixed serial number and its new checksum.
void AudioFileWriter::writeOggBytes(const uint8_t* bytes, size_t size) {
    oggPage_.insert(oggPage_.end(), bytes, bytes + size);
    for (;;) {
        constexpr size_t kFixedHeader = 27;
        if (oggPage_.size() < kFixedHeader) return;
        if (std::memcmp(oggPage_.data(), "OggS", 4) != 0) { // not a page: pass it on
            target_.write(oggPage_.data(), oggPage_.size());
            oggPage_.clear();
            return;
        }
        const size_t segments = oggPage_[26];
        if (oggPage_.size() < kFixedHeader + segments) return;
        size_t pageSize = kFixedHeader + segments;
        for (size_t i = 0; i < segments; ++i)
            pageSize += oggPage_[kFixedHeader + i];
        if (oggPage_.size() < pageSize) return;
        for (int i = 0; i < 4; ++i) {
            oggPage_[14 + i] = static_cast<uint8_t>(kOggSerial >> (8 * i));
            oggPage_[22 + i] = 0;
        }
        const uint32_t crc = oggCrc(oggPage_.data(), pageSize);
        for (int i = 0; i < 4; ++i)
            oggPage_[22 + i] = static_cast<uint8_t>(crc >> (8 * i));
        target_.write(oggPage_.data(), pageSize);
        oggPage_.erase(oggPage_.begin(), oggPage_.begin() + static_cast<long>(pageSize));
    }
}

} // namespace quillo::render
