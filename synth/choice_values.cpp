#include "synth/choice_values.h"

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
