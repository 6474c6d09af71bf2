// Small text helpers for the validator's files (known failures, promises).
#pragma once

#include <string>

namespace quillo::validate {

// The text without spaces, tabs and carriage returns at either end.
inline std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace quillo::validate
