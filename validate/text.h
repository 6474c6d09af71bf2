// Small text helpers for the validator's files (known failures, promises).
#pragma once

#include <fstream>
#include <string>

namespace quillo::validate {

// The text without spaces, tabs and carriage returns at either end.
inline std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Calls entry(text, number) for each line of the file that holds anything but a
// comment: the line trimmed, and its number from 1. Blank lines and lines starting
// with # are passed over. False when the file cannot be read.
template <typename Entry> bool forEachEntry(const std::string& path, Entry entry) {
    std::ifstream file(path);
    if (!file) return false;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string text = trimmed(line);
        if (!text.empty() && text[0] != '#') entry(text, number);
    }
    return true;
}

} // namespace quillo::validate
