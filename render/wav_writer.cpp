#include "render/wav_writer.h"

#include "render/render_error.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillo::render {
namespace {

int sndfileFormat(SampleFormat format) {
    switch (format) {
    case SampleFormat::Int16: return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case SampleFormat::Int24: return SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    case SampleFormat::Float32: break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
}

// The temporary file in the target's directory, so the final rename stays on
// one file system: ".NAME.XXXXXX.part".
std::string makeTemporaryFile(const std::string& path) {
    const std::filesystem::path target(path);
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string pattern =
        (directory / ("." + target.filename().string() + ".XXXXXX.part")).string();
    const int fd = mkstemps(pattern.data(), 5);
    if (fd < 0) throw RenderError(path + ": cannot write: " + std::strerror(errno));
    // mkstemps makes the file private; the finished WAV gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    ::close(fd);
    return pattern;
}

// Async-signal-safe view of the temporary file in progress, and what to say.
char pendingTemporary[4096];
char pendingMessage[4200];
volatile std::sig_atomic_t havePendingTemporary = 0;

extern "C" void removeTemporaryAndExit(int signal) {
    if (havePendingTemporary) {
        unlink(pendingTemporary);
        [[maybe_unused]] ssize_t ignored =
            ::write(STDERR_FILENO, pendingMessage, std::strlen(pendingMessage));
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

WavWriter::WavWriter(const std::string& path, int32_t sampleRate, SampleFormat format)
    : path_(path), temporaryPath_(makeTemporaryFile(path)) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = sndfileFormat(format);
    file_ = sf_open(temporaryPath_.c_str(), SFM_WRITE, &info);
    if (!file_) fail(sf_strerror(nullptr));
    // Integer formats clip what lies beyond full scale instead of wrapping round.
    if (format != SampleFormat::Float32) sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

WavWriter::~WavWriter() {
    removeTemporaryOnSignal(nullptr);
    if (file_) sf_close(file_);
    if (!temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
}

void WavWriter::fail(const std::string& reason) {
    throw RenderError(path_ + ": cannot write: " + reason);
}

void WavWriter::write(const float* left, const float* right, int32_t frames) {
    const int32_t chunkFrames = static_cast<int32_t>(std::size(interleaved_) / 2);
    for (int32_t done = 0; done < frames;) {
        const int32_t count = std::min(chunkFrames, frames - done);
        for (int32_t i = 0; i < count; ++i) {
            interleaved_[2 * i] = left[done + i];
            interleaved_[2 * i + 1] = right[done + i];
        }
        if (sf_writef_float(file_, interleaved_, count) != count) fail(sf_strerror(file_));
        done += count;
    }
    framesWritten_ += frames;
}

void WavWriter::commit() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) fail(sf_error_number(closed));
    if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) fail(std::strerror(errno));
    temporaryPath_.clear();
}

void removeTemporaryOnSignal(const WavWriter* writer) {
    havePendingTemporary = 0;
    if (!writer || writer->temporaryPath().size() >= sizeof pendingTemporary) return;
    std::strcpy(pendingTemporary, writer->temporaryPath().c_str());
    std::snprintf(pendingMessage, sizeof pendingMessage,
                  "quillo-render: stopped by a signal; %s was not written\n",
                  writer->path().c_str());
    havePendingTemporary = 1;
    // The plug-in may crash too: the temporary file goes all the same.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        std::signal(signal, removeTemporaryAndExit);
    }
}

} // namespace quillo::render
