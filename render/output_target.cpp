#include "render/output_target.h"

#include "hosting/user_error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillo::render {
namespace fs = std::filesystem;
namespace {

// The temporary files in progress, one slot for each output being written (renders
// side by side write several at once), kept so that a signal handler can remove
// them: fixed arrays, and a state read without locks.
constexpr int kPendingSlots = 256;
constexpr int kFree = 0, kClaimed = 1, kLive = 2;

struct PendingTemporary {
    std::atomic<int> state{kFree};
    char path[4096] = {};
    char name[4096] = {};
};

PendingTemporary pendingTemporaries[kPendingSlots];
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

void say(const char* text) {
    [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
}

extern "C" void removeTemporaryAndExit(int signal) {
    for (PendingTemporary& pending : pendingTemporaries) {
        if (pending.state.load() != kLive) continue;
        unlink(pending.path);
        say("quillo-render: stopped by a signal; ");
        say(pending.name);
        say(" was not written\n");
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The slot the temporary file takes, or -1 when none is free or the names are too
// long to keep (the file is then not removed on a signal).
int announceTemporary(const std::string& temporary, const std::string& name) {
    if (temporary.size() >= sizeof PendingTemporary::path ||
        name.size() >= sizeof PendingTemporary::name)
        return -1;
    for (int slot = 0; slot < kPendingSlots; ++slot) {
        PendingTemporary& pending = pendingTemporaries[slot];
        int expected = kFree;
        if (!pending.state.compare_exchange_strong(expected, kClaimed)) continue;
        std::strcpy(pending.path, temporary.c_str());
        std::strcpy(pending.name, name.c_str());
        pending.state.store(kLive);
        return slot;
    }
    return -1;
}

void withdrawTemporary(int slot) {
    if (slot >= 0) pendingTemporaries[slot].state.store(kFree);
}

// Follows symbolic links to the path they finally name (which need not exist).
fs::path resolveLinks(fs::path path, const std::string& name) {
    for (int hops = 0;; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
        if (hops == 40) {
            throw UserError(name + ": cannot write: " + std::strerror(ELOOP));
        }
        const fs::path target = fs::read_symlink(path, error);
        if (error) throw UserError(name + ": cannot write: " + error.message());
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
}

int openTemporaryBeside(const fs::path& target, std::string& temporary) {
    const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // ".NAME.XXXXXX.part": hidden, and on the target's file system so the rename is atomic.
    temporary = (directory / ("." + target.filename().string() + ".XXXXXX.part")).string();
    return mkstemps(temporary.data(), 5);
}

} // namespace

std::unique_ptr<OutputTarget> OutputTarget::open(const std::string& path, bool needsSeeking) {
    std::unique_ptr<OutputTarget> target(new OutputTarget);
    target->name_ = path == "-" ? "standard output" : path;
    const std::string& name = target->name_;
    auto cannotWrite = [&name](int error) {
        return UserError(name + ": cannot write: " + std::strerror(error));
    };

    struct stat status {};
    int streamFd = -1;
    if (path == "-") {
        streamFd = STDOUT_FILENO;
        target->ownsFd_ = false;
        if (isatty(streamFd)) {
            throw UserError("standard output is a terminal; redirect it or give -o FILE");
        }
    } else {
        const fs::path resolved = resolveLinks(path, name);
        if (stat(resolved.c_str(), &status) != 0) {
            if (errno != ENOENT) throw cannotWrite(errno);
            status.st_mode = S_IFREG; // a new regular file
        } else if (S_ISDIR(status.st_mode)) {
            throw UserError(name + ": is a directory");
        } else if (S_ISREG(status.st_mode) && access(resolved.c_str(), W_OK) != 0) {
            throw cannotWrite(errno); // replacing would bypass the file's own protection
        }
        if (S_ISREG(status.st_mode)) {
            const bool existed = status.st_nlink > 0;
            target->finalPath_ = resolved.string();
            const int fd = openTemporaryBeside(resolved, target->temporaryPath_);
            if (fd < 0) {
                target->temporaryPath_.clear();
                throw cannotWrite(errno);
            }
            target->fd_ = fd;
            target->pendingSlot_ = announceTemporary(target->temporaryPath_, name);
            // mkstemps makes the file private; a replaced file keeps its mode, a new
            // one gets the usual permissions.
            mode_t mode = status.st_mode & 07777;
            if (!existed) {
                const mode_t mask = umask(0);
                umask(mask);
                mode = 0666 & ~mask;
            }
            fchmod(fd, mode);
            target->seekable_ = true;
            return target;
        }
        streamFd = ::open(resolved.c_str(), O_WRONLY | O_CLOEXEC);
        if (streamFd < 0) throw cannotWrite(errno);
    }

    // A stream: standard output, a FIFO, a device or a socket.
    const off_t start = lseek(streamFd, 0, SEEK_CUR);
    if (start >= 0 || !needsSeeking) {
        target->fd_ = streamFd;
        target->seekable_ = start >= 0;
        target->base_ = start >= 0 ? start : 0;
        return target;
    }
    // The format must seek but the stream cannot: spool to an unnamed file first.
    target->streamFd_ = streamFd;
    const char* tmp = std::getenv("TMPDIR");
    target->fd_ = ::open(tmp && *tmp ? tmp : "/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (target->fd_ < 0) throw cannotWrite(errno);
    target->seekable_ = true;
    return target;
}

OutputTarget::~OutputTarget() {
    if (!temporaryPath_.empty()) {
        withdrawTemporary(pendingSlot_);
        unlink(temporaryPath_.c_str());
    }
    if (fd_ >= 0 && (ownsFd_ || fd_ != STDOUT_FILENO)) ::close(fd_);
    if (streamFd_ >= 0 && ownsFd_) ::close(streamFd_);
}

void OutputTarget::fail(const std::string& reason) const {
    throw UserError(name_ + ": cannot write: " + reason);
}

void OutputTarget::write(const void* bytes, size_t size) {
    const auto* data = static_cast<const uint8_t*>(bytes);
    position_ += static_cast<int64_t>(size);
    length_ = std::max(length_, position_);
    if (pending_.size() + size > kWriteSize) flush();
    if (size >= kWriteSize) {
        writeAll(fd_, data, size);
    } else {
        pending_.insert(pending_.end(), data, data + size);
    }
}

void OutputTarget::flush() {
    writeAll(fd_, pending_.data(), pending_.size());
    pending_.clear();
}

void OutputTarget::writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) fail(std::strerror(errno));
        if (written == 0) fail(std::strerror(EIO));
        data += written;
        size -= static_cast<size_t>(written);
    }
}

bool OutputTarget::seek(int64_t offset) {
    if (!seekable_) return false;
    flush();
    if (lseek(fd_, base_ + offset, SEEK_SET) < 0) fail(std::strerror(errno));
    position_ = offset;
    return true;
}

void OutputTarget::copySpoolToStream() {
    if (lseek(fd_, 0, SEEK_SET) < 0) fail(std::strerror(errno));
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) fail(std::strerror(errno));
        if (got == 0) break;
        writeAll(streamFd_, chunk, static_cast<size_t>(got));
    }
}

void OutputTarget::commit() {
    flush();
    if (streamFd_ >= 0) copySpoolToStream();
    if (temporaryPath_.empty()) return; // a stream
    // Errors of delayed writes show at close; only a complete file is renamed.
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(std::strerror(errno));
    if (std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) fail(std::strerror(errno));
    temporaryPath_.clear();
    withdrawTemporary(pendingSlot_);
    pendingSlot_ = -1;
}

void installOutputSignalHandlers() {
    std::signal(SIGXFSZ, SIG_IGN);
    // The plug-in may crash too: the temporary file goes all the same.
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        std::signal(signal, removeTemporaryAndExit);
    }
}

} // namespace quillo::render
