#include "render/random_patch.h"

#include "hosting/command_line.h"
#include "hosting/user_error.h"

#include <algorithm>
#include <cctype>

namespace quillo::render {

uint64_t PatchRandom::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::vector<int32_t> variedParameters(Instrument& plugin, const std::vector<std::string>& names) {
    std::vector<int32_t> varied;
    if (names.empty()) {
        const int32_t volume = findParam(plugin, "Volume");
        for (int32_t index = 0; index < plugin.numParams(); ++index)
            if (index != volume) varied.push_back(index);
        return varied;
    }
    for (const std::string& name : names) {
        long long number = -1;
        int32_t index = findParam(plugin, name);
        if (index < 0 && hosting::parseInteger(name, number) && number >= 0 &&
            number < plugin.numParams())
            index = static_cast<int32_t>(number);
        if (index < 0) {
            throw UserError("--vary " + name + ": the plug-in has no parameter '" + name +
                            "' (see --list-params)");
        }
        if (std::find(varied.begin(), varied.end(), index) == varied.end()) varied.push_back(index);
    }
    std::sort(varied.begin(), varied.end());
    return varied;
}

void randomizeParameters(Instrument& plugin, uint64_t seed, const std::vector<int32_t>& varied) {
    PatchRandom random(seed);
    for (int32_t index = 0; index < plugin.numParams(); ++index) {
        const float value = random.unit();
        if (std::binary_search(varied.begin(), varied.end(), index)) plugin.setParam(index, value);
    }
}

uint64_t itemSeed(uint64_t seed, uint64_t item) {
    PatchRandom mix(seed ^ (item * 0xD1B54A32D192ED03ull));
    return mix.next() & kMaxSeed;
}

} // namespace quillo::render
