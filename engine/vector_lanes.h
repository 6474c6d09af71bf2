// Lanes: several values worked on by one instruction. Each lane runs the very operations
// of the scalar code, so a stage written in lanes gives the bits the scalar code gives,
// whatever the number of lanes.
//
// Two lanes of double fill the SSE2 registers every x86-64 processor has. Where the
// processor has AVX2, stages compiled for it run four; useWideLanes says whether to.
#pragma once

#include <cstdint>
#include <cstring>

namespace engine {

template <int kLanes> struct Lanes {
    typedef double Double __attribute__((vector_size(8 * kLanes)));
    typedef float Float __attribute__((vector_size(4 * kLanes)));
    typedef int32_t Int __attribute__((vector_size(4 * kLanes)));
    typedef uint32_t Uint __attribute__((vector_size(4 * kLanes)));
    typedef int64_t Int64 __attribute__((vector_size(8 * kLanes)));
};

// Lanes from and to memory of any alignment.
template <typename Vector> void loadLanes(Vector& lanes, const void* from) {
    std::memcpy(&lanes, from, sizeof lanes);
}

template <typename Vector> void storeLanes(void* to, const Vector& lanes) {
    std::memcpy(to, &lanes, sizeof lanes);
}

// Whether the four-lane forms compiled for AVX2 run: the processor has it and the
// portable forms are not forced. Any thread.
bool useWideLanes();
// Makes every stage take its portable form (or lets it go back): the tests render both
// ways and compare. Not for the audio path.
void forcePortableLanes(bool forced);

} // namespace engine
