#include "validate/known_failures.h"

#include <fstream>
#include <stdexcept>

namespace quillo::validate {
namespace {

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

KnownFailures KnownFailures::load(const std::string& path) {
    std::ifstream file(path);
    if (!file) throw std::runtime_error("cannot read " + path);
    KnownFailures known;
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        const std::string text = trimmed(line);
        if (text.empty() || text[0] == '#') continue;
        const size_t bar = text.find('|');
        if (bar == std::string::npos)
            throw std::runtime_error(path + ":" + std::to_string(number) + ": no '|' in the entry");
        try {
            known.entries_.push_back(
                {trimmed(text.substr(0, bar)), std::regex(trimmed(text.substr(bar + 1)))});
        } catch (const std::regex_error& error) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": " + error.what());
        }
    }
    return known;
}

bool KnownFailures::matches(const std::string& check, const std::string& reason) const {
    for (const Entry& entry : entries_) {
        if (check.find(entry.check) != std::string::npos && std::regex_search(reason, entry.reason))
            return true;
    }
    return false;
}

bool KnownFailures::listed(const std::string& check) const {
    for (const Entry& entry : entries_)
        if (check.find(entry.check) != std::string::npos) return true;
    return false;
}

} // namespace quillo::validate
