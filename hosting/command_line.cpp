#include "hosting/command_line.h"

#include "hosting/user_error.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quillo::hosting {

void CommandLine::flag(const std::string& names, Action action) {
    Option option{{}, Takes::Nothing, std::move(action), {}, {}};
    for (size_t start = 0; start < names.size();) {
        const size_t comma = std::min(names.find(", ", start), names.size());
        option.names.push_back(names.substr(start, comma - start));
        start = comma + 2;
    }
    options_.push_back(std::move(option));
}

void CommandLine::flag(const std::string& names, bool& target) {
    flag(names, [&target] { target = true; });
}

void CommandLine::option(const std::string& names, ValueAction action) {
    flag(names, Action{});
    options_.back().takes = Takes::Value;
    options_.back().valueAction = std::move(action);
}

void CommandLine::optionalValue(const std::string& names, OptionalValueAction action) {
    flag(names, Action{});
    options_.back().takes = Takes::OptionalValue;
    options_.back().optionalValueAction = std::move(action);
}

const CommandLine::Option* CommandLine::find(const std::string& name) const {
    for (const Option& option : options_) {
        for (const std::string& known : option.names)
            if (known == name) return &option;
    }
    return nullptr;
}

std::vector<std::string> CommandLine::parse(const std::vector<std::string>& arguments) const {
    std::vector<std::string> rest;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (name == "--") {
            rest.insert(rest.end(), arguments.begin() + static_cast<long>(i) + 1, arguments.end());
            break;
        }
        if (name.size() < 2 || name[0] != '-') {
            rest.push_back(name);
            continue;
        }
        std::optional<std::string> attached; // --name=VALUE
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            attached = name.substr(equals + 1);
            name.erase(equals);
        }
        const Option* option = find(name);
        if (!option) throw UsageError("unknown option " + name + " (see --help)");
        switch (option->takes) {
        case Takes::Nothing:
            if (attached) throw UsageError(name + " takes no value");
            option->action();
            break;
        case Takes::Value:
            if (!attached) {
                if (i + 1 >= arguments.size()) throw UsageError(name + " needs a value");
                attached = arguments[++i];
            }
            option->valueAction(*attached);
            break;
        case Takes::OptionalValue: option->optionalValueAction(attached); break;
        }
    }
    return rest;
}

bool parseInteger(const std::string& text, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

int32_t positiveInteger(const std::string& option, const std::string& text, int32_t highest) {
    long long value = 0;
    if (!parseInteger(text, value) || value <= 0) {
        throw UsageError(option + ": '" + text + "' is not a positive whole number");
    }
    if (value > highest) {
        throw UsageError(option + ": " + text + " is too large (at most " +
                         std::to_string(highest) + ")");
    }
    return static_cast<int32_t>(value);
}

int64_t wholeNumber(const std::string& option, const std::string& text, int64_t lowest,
                    int64_t highest) {
    long long value = 0;
    if (!parseInteger(text, value) || value < lowest || value > highest) {
        throw UsageError(option + ": '" + text + "' is not a whole number from " +
                         std::to_string(lowest) + " to " + std::to_string(highest));
    }
    return value;
}

double numberIn(const std::string& option, const std::string& text, double lowest, double highest,
                const std::string& what) {
    double value = 0.0;
    if (!parseNumber(text, value) || value < lowest || value > highest) {
        char range[64];
        std::snprintf(range, sizeof range, " (%g to %g)", lowest, highest);
        throw UsageError(option + ": '" + text + "' is not " + what + range);
    }
    return value;
}

} // namespace quillo::hosting
