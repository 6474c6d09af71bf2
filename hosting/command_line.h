// The command line of the host-side tools (quillo-render, quillo-validate): each
// option declared once with its names and what to do with its value, then the
// arguments parsed into what is left, the file names.
//
// The idiom is that of sox and ffmpeg: "-q" or "--quiet"; a value after a space or
// an equals sign ("--rate 48000", "--rate=48000"); "--" ends the options and "-"
// is a file name (standard input or output). Every problem is one UsageError line
// that names the option.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillo::hosting {

class CommandLine {
  public:
    using Action = std::function<void()>;
    using ValueAction = std::function<void(const std::string& value)>;
    using OptionalValueAction = std::function<void(const std::optional<std::string>& value)>;

    // names: one or more of "-x" and "--name", separated by ", ".
    void flag(const std::string& names, Action action);
    void flag(const std::string& names, bool& target);
    void option(const std::string& names, ValueAction action);
    // The value only as --name=VALUE: a value after a space could be a file name,
    // and a negative number would look like an option.
    void optionalValue(const std::string& names, OptionalValueAction action);

    // Runs the actions in the order of the arguments; returns the other arguments.
    std::vector<std::string> parse(const std::vector<std::string>& arguments) const;

  private:
    enum class Takes { Nothing, Value, OptionalValue };
    struct Option {
        std::vector<std::string> names;
        Takes takes;
        Action action;
        ValueAction valueAction;
        OptionalValueAction optionalValueAction;
    };
    const Option* find(const std::string& name) const;

    std::vector<Option> options_;
};

// Readers of option values; each throws UsageError "OPTION: 'TEXT' is not ...".
bool parseInteger(const std::string& text, long long& value);
bool parseNumber(const std::string& text, double& value); // finite only
int32_t positiveInteger(const std::string& option, const std::string& text, int32_t highest);
int64_t wholeNumber(const std::string& option, const std::string& text, int64_t lowest,
                    int64_t highest);
// what: the quantity for the message ("a number of seconds").
double numberIn(const std::string& option, const std::string& text, double lowest, double highest,
                const std::string& what);

} // namespace quillo::hosting
