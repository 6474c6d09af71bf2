// VST 2 program and bank files of any bytes: the reader either refuses them with an
// error or reads a file that writes back to exactly the same bytes.

#include "presets/vst2_files.h"

#include <cstdio>
#include <cstdlib>

namespace {

template <typename Decode> void roundTrip(const std::vector<uint8_t>& bytes, Decode decode) {
    try {
        if (vst2_files::encode(decode(bytes)) != bytes) {
            std::fprintf(stderr, "a file of %zu bytes read back differently\n", bytes.size());
            std::abort();
        }
    } catch (const vst2_files::FileError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    roundTrip(bytes, vst2_files::decodeProgram);
    roundTrip(bytes, vst2_files::decodeBank);
    return 0;
}
