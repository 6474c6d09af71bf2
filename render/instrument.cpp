#include "render/instrument.h"

#include "render/vst2_instrument.h"

#include <algorithm>
#include <cctype>

namespace quillo::render {

std::unique_ptr<InstrumentLibrary> InstrumentLibrary::open(const std::string& path) {
    return openVst2Library(path);
}

int32_t findParam(Instrument& instrument, const std::string& name) {
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    const std::string wanted = lower(name);
    for (int32_t index = 0; index < instrument.numParams(); ++index) {
        if (lower(instrument.paramName(index)) == wanted) return index;
    }
    return -1;
}

} // namespace quillo::render
