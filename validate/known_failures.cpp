#include "validate/known_failures.h"

#include "validate/text.h"

#include <stdexcept>

namespace quillo::validate {
namespace {

bool isNumberChar(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
}

bool matchFrom(const char* pattern, const char* text) {
    for (;;) {
        if (*pattern == '\0') return *text == '\0';
        if (*pattern == '*') {
            for (const char* t = text;; ++t) {
                if (matchFrom(pattern + 1, t)) return true;
                if (*t == '\0') return false;
            }
        }
        if (*pattern == '#') {
            // A number begins with a digit after an optional sign.
            const char* t = text;
            if (*t == '-' || *t == '+') ++t;
            if (*t < '0' || *t > '9') return false;
            while (isNumberChar(*t)) {
                ++t;
                if (matchFrom(pattern + 1, t)) return true;
            }
            return false;
        }
        if (*pattern != *text) return false;
        ++pattern;
        ++text;
    }
}

} // namespace

bool matchesPattern(const std::string& pattern, const std::string& text) {
    return matchFrom(pattern.c_str(), text.c_str());
}

KnownFailures KnownFailures::load(const std::string& path) {
    KnownFailures known;
    const bool read = forEachEntry(path, [&](const std::string& text, int number) {
        const size_t bar = text.find('|');
        if (bar == std::string::npos)
            throw std::runtime_error(path + ":" + std::to_string(number) + ": no '|' in the entry");
        known.entries_.push_back(
            {trimmed(text.substr(0, bar)), trimmed(text.substr(bar + 1)), false});
    });
    if (!read) throw std::runtime_error("cannot read " + path);
    return known;
}

bool KnownFailures::matches(const std::string& check, const std::string& reason) {
    for (Entry& entry : entries_) {
        if (check.find(entry.check) != std::string::npos && matchesPattern(entry.reason, reason)) {
            entry.used = true;
            return true;
        }
    }
    return false;
}

std::vector<std::string> KnownFailures::unused() const {
    std::vector<std::string> entries;
    for (const Entry& entry : entries_)
        if (!entry.used) entries.push_back(entry.check + " | " + entry.reason);
    return entries;
}

} // namespace quillo::validate
