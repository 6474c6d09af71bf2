// With QUILLO_PORTABLE_LANES=1 in the environment every test here runs the engine's
// portable vector forms, even on a processor that would take the AVX2 ones: ctest runs
// the reference renders both ways, and both must give the reference's bits.

#include "engine/vector_lanes.h"

#include <cstdlib>
#include <cstring>

namespace {

const bool kPortableForced = [] {
    const char* value = std::getenv("QUILLO_PORTABLE_LANES");
    const bool forced = value && std::strcmp(value, "1") == 0;
    engine::forcePortableLanes(forced);
    return forced;
}();

} // namespace
