#include "synth/parameter_lookup.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace {

bool sameText(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

} // namespace

std::vector<float> choiceValues(ValueText kind) {
    switch (kind) {
    case ValueText::Waveform:
    case ValueText::LfoDestination: return {0.0f, 0.2f, 0.4f, 0.6f, 0.8f};
    case ValueText::LfoShape: return {0.0f, 0.25f, 0.5f, 0.75f};
    case ValueText::OnOff:
    case ValueText::GlideType:
    case ValueText::FilterType: return {0.0f, 1.0f};
    default: return {};
    }
}

std::optional<int32_t> findParameter(const std::string& name) {
    for (int32_t i = 0; i < kNumParameters; ++i)
        if (sameText(name, kParameterTable[i].name)) return i;
    char* end = nullptr;
    const long index = std::strtol(name.c_str(), &end, 10);
    if (!name.empty() && *end == 0 && index >= 0 && index < kNumParameters)
        return static_cast<int32_t>(index);
    return std::nullopt;
}

std::optional<float> parameterValue(int32_t index, const std::string& text) {
    char* end = nullptr;
    const float number = std::strtof(text.c_str(), &end);
    if (!text.empty() && *end == 0 && std::isfinite(number)) return number;
    const ValueText kind = kParameterTable[index].text;
    for (float value : choiceValues(kind)) {
        char shown[kMaxValueTextLength + 1];
        writeValueText(kind, value, shown);
        if (sameText(text, shown)) return value;
    }
    return std::nullopt;
}
