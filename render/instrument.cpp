#include "render/instrument.h"

#include "hosting/user_error.h"
#include "render/lv2_instrument.h"
#include "render/vst2_instrument.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace quillo::render {

// A folder or a URI is an LV2 plug-in; anything else a VST 2 library.
std::unique_ptr<InstrumentLibrary> InstrumentLibrary::open(const std::string& path) {
    if (hosting::Lv2Library::looksLikeLv2(path)) return openLv2Library(path);
    return openVst2Library(path);
}

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Steps tried across 0..1: fine enough for the texts of percentages and of
// choices of up to a few hundred entries.
constexpr int kTextSteps = 1000;

} // namespace

int32_t findParam(Instrument& instrument, const std::string& name) {
    const std::string wanted = lower(name);
    for (int32_t index = 0; index < instrument.numParams(); ++index) {
        if (lower(instrument.paramName(index)) == wanted) return index;
        if (lower(instrument.paramSymbol(index)) == wanted) return index;
    }
    return -1;
}

float valueShowing(Instrument& instrument, int32_t index, const std::string& text) {
    const std::string wanted = lower(trimmed(text));
    const float original = instrument.param(index);
    std::vector<std::string> shown; // each text once, in the order of the values
    int first = -1;
    int last = -1;
    for (int step = 0; step <= kTextSteps; ++step) {
        instrument.setParam(index, static_cast<float>(step) / kTextSteps);
        const std::string withUnit = trimmed(instrument.paramText(index));
        const std::string plain = withUnit.substr(
            0, withUnit.rfind(' ') == std::string::npos ? withUnit.size() : withUnit.rfind(' '));
        const bool matches = lower(withUnit) == wanted || lower(plain) == wanted;
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

} // namespace quillo::render
