// The command line the tools share: values after a space or an equals sign,
// values only after an equals sign, "-" and "--", and one line for each problem.
#include "hosting/command_line.h"
#include "hosting/user_error.h"

#include <gtest/gtest.h>

using namespace quillo::hosting;

namespace {

struct Parsed {
    bool quiet = false;
    std::vector<std::string> rates;
    std::vector<std::string> levels; // "(none)" for a bare --normalize
    std::vector<std::string> rest;
};

Parsed parse(const std::vector<std::string>& arguments) {
    Parsed parsed;
    CommandLine line;
    line.flag("-q, --quiet", parsed.quiet);
    line.option("-r, --rate", [&](const std::string& value) { parsed.rates.push_back(value); });
    line.optionalValue("--normalize", [&](const std::optional<std::string>& value) {
        parsed.levels.push_back(value.value_or("(none)"));
    });
    parsed.rest = line.parse(arguments);
    return parsed;
}

// The message of the UsageError the call throws; empty when it throws none.
template <typename Call> std::string errorOf(Call call) {
    try {
        call();
    } catch (const quillo::UsageError& error) {
        return error.what();
    }
    return "";
}

std::string errorOf(const std::vector<std::string>& arguments) {
    return errorOf([&] { parse(arguments); });
}

} // namespace

TEST(CommandLine, ReadsValuesFlagsAndFileNamesInTheirOrder) {
    const Parsed parsed = parse({"a.mid", "-q", "--rate", "48000", "-", "--rate=-5", "-r", "1",
                                 "--normalize", "b.mid", "--normalize=-1", "--", "--quiet"});
    EXPECT_TRUE(parsed.quiet);
    EXPECT_EQ(parsed.rates, (std::vector<std::string>{"48000", "-5", "1"}));
    EXPECT_EQ(parsed.levels, (std::vector<std::string>{"(none)", "-1"}));
    EXPECT_EQ(parsed.rest, (std::vector<std::string>{"a.mid", "-", "b.mid", "--quiet"}));
}

TEST(CommandLine, NamesTheOptionThatCannotBeFollowed) {
    EXPECT_EQ(errorOf({"--bogus"}), "unknown option --bogus (see --help)");
    EXPECT_EQ(errorOf({"-x"}), "unknown option -x (see --help)");
    EXPECT_EQ(errorOf({"--rate"}), "--rate needs a value");
    EXPECT_EQ(errorOf({"--quiet=yes"}), "--quiet takes no value");
    EXPECT_EQ(errorOf({"-r", "44100"}), "");

    EXPECT_EQ(errorOf([] { positiveInteger("--block", "0", 8); }),
              "--block: '0' is not a positive whole number");
    EXPECT_EQ(errorOf([] { positiveInteger("--block", "9", 8); }),
              "--block: 9 is too large (at most 8)");
    EXPECT_EQ(errorOf([] { numberIn("--tail", "nan", 0, 10, "a number of seconds"); }),
              "--tail: 'nan' is not a number of seconds (0 to 10)");
    EXPECT_EQ(errorOf([] { wholeNumber("--seed", "1.5", 0, 9); }),
              "--seed: '1.5' is not a whole number from 0 to 9");
}
