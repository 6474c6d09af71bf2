// Counts calls into the allocator made by the current thread while armed.
//
// The validator replaces malloc, calloc, realloc, free and the global operator
// new and delete for the whole process, so calls from inside a loaded plug-in are
// seen too. Under AddressSanitizer the sanitizer owns the allocator; there the
// count comes from its allocation hooks instead.
#pragma once

#include <cstdint>

namespace quillo::validate {

class AllocationCounter {
  public:
    // Counting happens only on the thread that armed, between arm and disarm.
    static void arm();
    static void disarm();
    // Calls counted on this thread since the last reset.
    static uint64_t count();
    static void reset();

    // Scoped arming around one plug-in call.
    class Armed {
      public:
        Armed() { arm(); }
        ~Armed() { disarm(); }
        Armed(const Armed&) = delete;
        Armed& operator=(const Armed&) = delete;
    };
};

} // namespace quillo::validate
