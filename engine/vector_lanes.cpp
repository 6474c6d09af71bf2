#include "engine/vector_lanes.h"

#include <atomic>

namespace engine {
namespace {

bool processorHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init(); // may run before the library's own initialisation
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

const bool kHasAvx2 = processorHasAvx2();
std::atomic<bool> portableForced{false};

} // namespace

bool useWideLanes() {
    return kHasAvx2 && !portableForced.load(std::memory_order_relaxed);
}

void forcePortableLanes(bool forced) {
    portableForced.store(forced, std::memory_order_relaxed);
}

} // namespace engine
