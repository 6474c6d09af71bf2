// A zero-filled buffer as a host hands it to a plug-in, with guard bytes on both
// sides to catch writes outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace quillo::validate {

class GuardedBytes {
  public:
    static constexpr size_t kGuard = 64;
    static constexpr uint8_t kGuardByte = 0xA5;

    explicit GuardedBytes(size_t size) : size_(size), bytes_(size + 2 * kGuard, kGuardByte) {
        std::memset(data(), 0, size_);
    }

    char* data() { return reinterpret_cast<char*>(bytes_.data() + kGuard); }
    size_t size() const { return size_; }

    bool frontIntact() const { return intact(0); }
    bool backIntact() const { return intact(kGuard + size_); }
    // A zero byte somewhere inside the buffer.
    bool terminated() const { return std::memchr(bytes_.data() + kGuard, 0, size_) != nullptr; }
    // The text up to its zero byte, or the whole buffer when there is none.
    std::string text() const {
        const char* start = reinterpret_cast<const char*>(bytes_.data() + kGuard);
        return std::string(start, strnlen(start, size_));
    }

    // Empty when all is well, otherwise what went wrong.
    std::string damage() const {
        if (!frontIntact())
            return "wrote before the start of its " + std::to_string(size_) + "-byte buffer";
        if (!backIntact())
            return "wrote past the end of its " + std::to_string(size_) + "-byte buffer";
        return {};
    }

  private:
    bool intact(size_t from) const {
        for (size_t i = from; i < from + kGuard; ++i)
            if (bytes_[i] != kGuardByte) return false;
        return true;
    }

    size_t size_;
    std::vector<uint8_t> bytes_;
};

} // namespace quillo::validate
