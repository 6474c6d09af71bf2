// Failures already reported and waiting for a fix, so that a build can stay green
// while they are still shown. One entry per line of the file:
//
//   check name, or part of it | regular expression the reason must match
//
// Lines starting with # are comments. A failure with another reason still fails.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace quillo::validate {

class KnownFailures {
  public:
    KnownFailures() = default;
    // Throws std::runtime_error on a file that cannot be read or parsed.
    static KnownFailures load(const std::string& path);

    bool matches(const std::string& check, const std::string& reason) const;
    // True when some entry is for this check, whatever the reason.
    bool listed(const std::string& check) const;

  private:
    struct Entry {
        std::string check;
        std::regex reason;
    };
    std::vector<Entry> entries_;
};

} // namespace quillo::validate
