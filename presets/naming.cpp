#include "presets/factory_bank.h"

#include <cctype>

std::string presetSlug(const std::string& name) {
    std::string slug;
    bool gap = false;
    for (unsigned char c : name) {
        if (std::isalnum(c)) {
            if (gap && !slug.empty()) slug += '-';
            slug += char(std::tolower(c));
            gap = false;
        } else {
            gap = true;
        }
    }
    return slug;
}

const char* auditionName(Audition audition) {
    switch (audition) {
    case Audition::Bass: return "bass";
    case Audition::Lead: return "lead";
    case Audition::Pad: return "pad";
    case Audition::Keys: return "keys";
    case Audition::Hits: return "hits";
    case Audition::Effect: return "effect";
    }
    return "";
}
