#include "validate/promises.h"

#include "hosting/command_line.h"
#include "validate/text.h"

#include <cmath>
#include <stdexcept>

namespace quillo::validate {
namespace {

// "Env1 Dep=0.9, Cutoff=0.3": names may hold spaces, not '=' or ','.
std::vector<ParameterSetting> readSettings(const std::string& text) {
    std::vector<ParameterSetting> settings;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = trimmed(text.substr(start, end - start));
        const size_t equals = item.find('=');
        double value = 0.0;
        if (equals == std::string::npos || equals == 0 ||
            !hosting::parseNumber(trimmed(item.substr(equals + 1)), value))
            throw std::invalid_argument("'" + item + "' is not NAME=VALUE");
        settings.push_back({trimmed(item.substr(0, equals)), static_cast<float>(value)});
        start = end + 1;
    }
    return settings;
}

} // namespace

void Promises::add(const std::string& line) {
    const std::string text = trimmed(line);
    const size_t space = text.find_first_of(" \t");
    const std::string name = text.substr(0, space);
    const std::string argument = space == std::string::npos ? "" : trimmed(text.substr(space));
    const auto noArgument = [&] {
        if (!argument.empty()) throw std::invalid_argument(name + " takes no argument");
    };
    double number = 0.0;
    if (name == "exact-silence") {
        if (!hosting::parseNumber(argument, number) || number <= 0.0)
            throw std::invalid_argument("exact-silence needs a number of seconds above 0");
        exactSilenceSeconds = number;
    } else if (name == "unknown-opcodes-answer-0") {
        noArgument();
        unknownOpcodesAnswerZero = true;
    } else if (name == "program-names") {
        // The interface gives program names 24 bytes, the terminating zero included.
        if (!hosting::parseNumber(argument, number) || number != std::floor(number) || number < 1 ||
            number > 23)
            throw std::invalid_argument("program-names needs a length from 1 to 23");
        programNameLength = static_cast<int>(number);
    } else if (name == "ignores-invalid-sample-rates") {
        noArgument();
        ignoresInvalidSampleRates = true;
    } else if (name == "near-silence-patch" || name == "near-silence-by") {
        // Settings on several lines add up.
        auto& settings = name == "near-silence-patch" ? nearSilencePatch : nearSilenceBy;
        for (const ParameterSetting& setting : readSettings(argument))
            settings.push_back(setting);
    } else {
        throw std::invalid_argument("unknown promise '" + name + "'");
    }
    given_.push_back(text);
}

void Promises::load(const std::string& path) {
    const bool read = forEachEntry(path, [&](const std::string& text, int number) {
        try {
            add(text);
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument(path + ":" + std::to_string(number) + ": " + error.what());
        }
    });
    if (!read) throw std::invalid_argument("cannot read " + path);
}

} // namespace quillo::validate
