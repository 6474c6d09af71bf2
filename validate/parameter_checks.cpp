// Parameters and programs as a host's generic editor and its automation use them.

#include "validate/check.h"
#include "validate/guarded_bytes.h"
#include "validate/session.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace quillo::validate {
namespace {

constexpr size_t kParameterTextSize = 64;
constexpr size_t kProgramNameSize = 24;

std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string describeParameter(hosting::PluginInstance& plugin, int32_t index) {
    return "parameter " + std::to_string(index) + " (\"" + plugin.paramName(index) + "\")";
}

std::vector<float> readParameters(hosting::PluginInstance& plugin) {
    std::vector<float> values;
    for (int32_t i = 0; i < plugin.numParams(); ++i)
        values.push_back(plugin.param(i));
    return values;
}

// Automation writes a value and later reads it back to draw it: it must come
// back bit for bit.
std::string parametersReadBackExactly(const Context& context) {
    if (context.numParams() == 0) skip("no parameters");
    auto plugin = context.create();
    plugin->open();
    std::mt19937_64 rng(context.seed());
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);

    std::vector<std::string> mismatches;
    int wrong = 0;
    for (int32_t index = 0; index < plugin->numParams(); ++index) {
        std::vector<float> values = {0.0f, 0.5f, 1.0f};
        for (int i = 0; i < 5; ++i)
            values.push_back(unit(rng));
        for (float value : values) {
            plugin->setParam(index, value);
            const float read = plugin->param(index);
            if (sameBits(read, value)) continue;
            if (++wrong <= 4)
                mismatches.push_back(describeParameter(*plugin, index) + " set to " +
                                     number(value) + " reads " + number(read));
        }
    }
    if (wrong > 0) {
        std::string reason = std::to_string(wrong) + " values changed on the way back: ";
        for (size_t i = 0; i < mismatches.size(); ++i)
            reason += (i ? "; " : "") + mismatches[i];
        fail(reason);
    }
    return std::to_string(plugin->numParams() * 8) + " values";
}

// Names and value texts go into the host's buffers; a generic editor shows them.
std::string parameterTextsEndWithin64Bytes(const Context& context) {
    if (context.numParams() == 0) skip("no parameters");
    auto plugin = context.create();
    plugin->open();
    for (int32_t index = 0; index < plugin->numParams(); ++index) {
        for (float value : {0.0f, 0.5f, 1.0f}) {
            plugin->setParam(index, value);
            struct Text {
                int32_t opcode;
                const char* what;
                bool required;
            };
            for (const Text& t :
                 {Text{effGetParamName, "name", true}, Text{effGetParamLabel, "label", false},
                  Text{effGetParamDisplay, "value text", true}}) {
                GuardedBytes buffer(kParameterTextSize);
                plugin->dispatch(t.opcode, index, 0, buffer.data());
                const std::string where =
                    "parameter " + std::to_string(index) + " at " + number(value) + ": " + t.what;
                const std::string damage = buffer.damage();
                expect(damage.empty(), where + " " + damage);
                expect(buffer.terminated(), where + " not terminated within 64 bytes");
                expect(!t.required || !buffer.text().empty(), where + " is empty");
            }
        }
    }
    return std::to_string(plugin->numParams()) + " parameters at 0, 0.5 and 1";
}

// Hosts get numbers wrong: indices and programs just outside the range must
// change nothing and write nothing.
std::string outOfRangeNumbersIgnored(const Context& context) {
    auto plugin = context.create();
    plugin->open();
    const int32_t params = plugin->numParams();
    const std::vector<float> before = readParameters(*plugin);
    const int32_t program = plugin->program();

    for (int32_t index : {params, params + 1, -1}) {
        progress("parameter index " + std::to_string(index));
        plugin->setParam(index, 0.25f);
        const float read = plugin->param(index);
        expect(std::isfinite(read),
               "parameter " + std::to_string(index) + " reads " + number(read));
        for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            GuardedBytes buffer(kParameterTextSize);
            plugin->dispatch(opcode, index, 0, buffer.data());
            const std::string damage = buffer.damage();
            expect(damage.empty(), "text of parameter " + std::to_string(index) + " " + damage);
            expect(buffer.terminated(),
                   "text of parameter " + std::to_string(index) + " not terminated");
        }
    }
    for (intptr_t bad : {static_cast<intptr_t>(plugin->numPrograms()),
                         static_cast<intptr_t>(plugin->numPrograms()) + 1, intptr_t{-1}}) {
        progress("program " + std::to_string(bad));
        plugin->dispatch(effSetProgram, 0, bad);
        expect(plugin->program() == program, "program " + std::to_string(bad) +
                                                 " was taken: now at " +
                                                 std::to_string(plugin->program()));
    }
    const std::vector<float> after = readParameters(*plugin);
    for (int32_t i = 0; i < params; ++i)
        expect(sameBits(before[i], after[i]), describeParameter(*plugin, i) + " changed from " +
                                                  number(before[i]) + " to " + number(after[i]));
    return {};
}

// A host's parameter edits belong to the program that is current; a trip
// through all the others and back must find them still there.
std::string programSwitchesKeepEdits(const Context& context) {
    if (context.numPrograms() == 0) skip("no programs");
    if (context.numParams() == 0) skip("no parameters");
    auto plugin = context.create();
    plugin->open();
    const int32_t programs = plugin->numPrograms();
    const int32_t params = plugin->numParams();
    std::mt19937_64 rng(context.seed());
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int32_t> anyParam(0, params - 1);

    std::vector<std::vector<float>> expected(programs);
    for (int32_t p = 0; p < programs; ++p) {
        plugin->setProgram(p);
        expect(plugin->program() == p, "effGetProgram says " + std::to_string(plugin->program()) +
                                           " after switching to " + std::to_string(p));
        for (int edit = 0; edit < 4; ++edit)
            plugin->setParam(anyParam(rng), unit(rng));
        expected[p] = readParameters(*plugin);
    }
    // Forward, then backward, so that every program is left and entered from both sides.
    std::vector<int32_t> order;
    for (int32_t p = 0; p < programs; ++p)
        order.push_back(p);
    for (int32_t p = programs - 1; p >= 0; --p)
        order.push_back(p);
    for (int32_t p : order) {
        plugin->setProgram(p);
        const std::vector<float> now = readParameters(*plugin);
        for (int32_t i = 0; i < params; ++i)
            expect(sameBits(now[i], expected[p][i]),
                   "program " + std::to_string(p) + ", " + describeParameter(*plugin, i) + ": " +
                       number(expected[p][i]) + " before switching away, " + number(now[i]) +
                       " after switching back");
    }
    return std::to_string(programs) + " programs, " + std::to_string(programs * 4) + " edits";
}

// Program names: 24 bytes is all the interface gives, also after a long rename.
std::string programNamesEndWithin24Bytes(const Context& context) {
    if (context.numPrograms() == 0) skip("no programs");
    auto plugin = context.create();
    plugin->open();
    for (int32_t p = 0; p < plugin->numPrograms(); ++p) {
        plugin->setProgram(p);
        GuardedBytes name(kProgramNameSize);
        plugin->dispatch(effGetProgramName, 0, 0, name.data());
        const std::string where = "name of program " + std::to_string(p);
        expect(name.damage().empty(), where + " " + name.damage());
        expect(name.terminated(), where + " not terminated within 24 bytes");
    }

    // Renaming is optional; when a plug-in does it, it must stay inside the field.
    // A promised length must be kept exactly: names up to it whole, longer ones cut.
    const int promised = context.promises().programNameLength;
    const std::string longName = "A program name far longer than twenty-three characters";
    const std::string fits = longName.substr(0, promised > 0 ? promised : 23);
    plugin->setProgram(0);
    for (const std::string& name : {fits, longName}) {
        const std::string what = std::to_string(name.size()) + "-character name";
        char sent[64] = {};
        std::strncpy(sent, name.c_str(), sizeof sent - 1);
        plugin->dispatch(effSetProgramName, 0, 0, sent);
        GuardedBytes readBack(kProgramNameSize);
        plugin->dispatch(effGetProgramName, 0, 0, readBack.data());
        expect(readBack.damage().empty(), "a " + what + " " + readBack.damage());
        expect(readBack.terminated(), "a " + what + " is not terminated within 24 bytes");
        if (promised > 0 && readBack.text() != fits)
            fail("a " + what + " reads back as \"" + readBack.text() + "\", promised \"" + fits +
                 "\"");
    }
    return {};
}

} // namespace

void addParameterChecks(std::vector<Check>& checks) {
    checks.push_back(
        {"parameters read back exactly (0, 0.5, 1, random)", parametersReadBackExactly});
    checks.push_back({"parameter names, labels and value texts end within 64 bytes",
                      parameterTextsEndWithin64Bytes});
    checks.push_back(
        {"out-of-range parameter and program numbers are ignored", outOfRangeNumbersIgnored});
    checks.push_back(
        {"switching through all programs and back keeps every edit", programSwitchesKeepEdits});
    checks.push_back({"program names end within 24 bytes, also after a long rename",
                      programNamesEndWithin24Bytes});
}

} // namespace quillo::validate
