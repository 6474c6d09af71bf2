#include "hosting/parameter_access.h"

#include "hosting/command_line.h"
#include "hosting/text.h"
#include "hosting/user_error.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace quillo::hosting {

namespace {

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Steps tried across 0..1: fine enough for the texts of percentages and of
// choices of up to a few hundred entries.
constexpr int kTextSteps = 1000;

} // namespace

int32_t findParam(ParameterAccess& instrument, const std::string& name) {
    for (int32_t index = 0; index < instrument.numParams(); ++index) {
        if (equalIgnoringCase(instrument.paramName(index), name)) return index;
        if (equalIgnoringCase(instrument.paramSymbol(index), name)) return index;
    }
    return -1;
}

float valueShowing(ParameterAccess& instrument, int32_t index, const std::string& text) {
    const std::string wanted = trimmed(text);
    const float original = instrument.param(index);
    std::vector<std::string> shown; // each text once, in the order of the values
    int first = -1;
    int last = -1;
    for (int step = 0; step <= kTextSteps; ++step) {
        instrument.setParam(index, static_cast<float>(step) / kTextSteps);
        const std::string withUnit = trimmed(instrument.paramText(index));
        const std::string plain = withUnit.substr(
            0, withUnit.rfind(' ') == std::string::npos ? withUnit.size() : withUnit.rfind(' '));
        const bool matches =
            equalIgnoringCase(withUnit, wanted) || equalIgnoringCase(plain, wanted);
        if (matches && first < 0) {
            first = last = step;
        } else if (matches && last == step - 1) {
            last = step; // the first stretch goes on
        }
        if (std::find(shown.begin(), shown.end(), withUnit) == shown.end())
            shown.push_back(withUnit);
    }
    instrument.setParam(index, original);
    if (first >= 0) return (static_cast<float>(first) + static_cast<float>(last)) / 2 / kTextSteps;

    std::string texts;
    if (shown.size() <= 12) {
        for (const std::string& one : shown)
            texts += (texts.empty() ? "" : ", ") + one;
        texts = "its texts are " + texts;
    } else {
        texts = "its texts run from '" + shown.front() + "' to '" + shown.back() + "'";
    }
    throw UserError("'" + instrument.paramName(index) + "' never shows '" + text + "' (" + texts +
                    ")");
}

ParameterSetting parseParameter(const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
        throw UsageError("--param: '" + text + "' is not NAME=VALUE or INDEX=VALUE");
    }
    ParameterSetting setting;
    setting.text = text;
    const std::string key = text.substr(0, equals);
    const std::string value = text.substr(equals + 1);
    // A number from 0 to 1 is the normalised value; anything else is matched
    // against the texts the plug-in shows ("Pulse", "Hi-pass", "50").
    double number = 0.0;
    if (parseNumber(value, number) && number >= 0.0 && number <= 1.0) {
        setting.value = static_cast<float>(number);
    } else {
        setting.valueText = value;
    }
    long long index = 0;
    if (parseInteger(key, index)) {
        if (index < 0 || index > INT32_MAX) {
            throw UsageError("--param " + text + ": no parameter has index " + key);
        }
        setting.index = static_cast<int32_t>(index);
    } else {
        setting.name = key;
    }
    return setting;
}

std::pair<int32_t, float> resolveParameter(ParameterAccess& plugin,
                                           const ParameterSetting& setting) {
    int32_t index = setting.index;
    if (!setting.name.empty()) {
        index = findParam(plugin, setting.name);
        if (index < 0) {
            throw UserError("--param " + setting.text + ": the plug-in has no parameter '" +
                            setting.name + "' (see --list-params)");
        }
    } else if (index >= plugin.numParams()) {
        throw UserError("--param " + setting.text + ": index out of range (the plug-in has " +
                        std::to_string(plugin.numParams()) + " parameters, 0 to " +
                        std::to_string(plugin.numParams() - 1) + ")");
    }
    if (setting.value) return {index, *setting.value};
    try {
        return {index, valueShowing(plugin, index, setting.valueText)};
    } catch (const UserError& error) {
        throw UserError("--param " + setting.text + ": " + error.what());
    }
}

} // namespace quillo::hosting
