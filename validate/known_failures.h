// Failures already reported and waiting for a fix, so that a build can stay green
// while they are still shown. One entry per line of the file:
//
//   check name, or part of it | pattern the whole reason must match
//
// In a pattern, * stands for any text and # for one finite number (so "nan" or
// "inf" never match it). Lines starting with # are comments. A failure with
// another reason still fails.
#pragma once

#include <string>
#include <vector>

namespace quillo::validate {

// Whether the text matches the pattern of * and # as above.
bool matchesPattern(const std::string& pattern, const std::string& text);

class KnownFailures {
  public:
    KnownFailures() = default;
    // Throws std::runtime_error on a file that cannot be read or parsed.
    static KnownFailures load(const std::string& path);

    // Marks the entry that matched as used.
    bool matches(const std::string& check, const std::string& reason);
    // Entries that matched no failure so far, as written in the file.
    std::vector<std::string> unused() const;

  private:
    struct Entry {
        std::string check;
        std::string reason;
        bool used = false;
    };
    std::vector<Entry> entries_;
};

} // namespace quillo::validate
