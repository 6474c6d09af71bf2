#include "validate/alloc_counter.h"

#include <cerrno>
#include <cstddef>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QUILLO_VALIDATE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLO_VALIDATE_ASAN 1
#endif
#endif

namespace {
// Plain thread-locals with constant initialisation: reading them allocates nothing.
thread_local bool armed = false;
thread_local uint64_t calls = 0;

inline void noteCall() {
    if (armed) ++calls;
}
} // namespace

namespace quillo::validate {
void AllocationCounter::arm() {
    armed = true;
}
void AllocationCounter::disarm() {
    armed = false;
}
uint64_t AllocationCounter::count() {
    return calls;
}
void AllocationCounter::reset() {
    calls = 0;
}
} // namespace quillo::validate

#ifdef QUILLO_VALIDATE_ASAN

// The sanitizer runtime's hook interface (not every compiler ships its header).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {
void onAllocate(const volatile void*, size_t) {
    noteCall();
}
void onRelease(const volatile void*) {
    noteCall();
}
[[maybe_unused]] const int hooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(onAllocate, onRelease);
} // namespace

#else

// glibc's own entry points, which the replacements below forward to.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void __libc_free(void* pointer);
void* __libc_memalign(size_t alignment, size_t size);
}

extern "C" {
void* malloc(size_t size) noexcept {
    noteCall();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept {
    noteCall();
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) noexcept {
    noteCall();
    return __libc_realloc(pointer, size);
}

void free(void* pointer) noexcept {
    if (pointer) noteCall();
    __libc_free(pointer);
}

void* memalign(size_t alignment, size_t size) noexcept {
    noteCall();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    noteCall();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    noteCall();
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer) return ENOMEM;
    *out = pointer;
    return 0;
}
}

namespace {
void* allocate(size_t size, size_t alignment) {
    noteCall();
    if (size == 0) size = 1;
    for (;;) {
        void* pointer = alignment > alignof(std::max_align_t) ? __libc_memalign(alignment, size)
                                                              : __libc_malloc(size);
        if (pointer) return pointer;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void* allocateNoThrow(size_t size, size_t alignment) noexcept {
    try {
        return allocate(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

void release(void* pointer) noexcept {
    if (pointer) noteCall();
    __libc_free(pointer);
}
} // namespace

void* operator new(size_t size) {
    return allocate(size, 0);
}
void* operator new[](size_t size) {
    return allocate(size, 0);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return allocateNoThrow(size, 0);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return allocateNoThrow(size, 0);
}
void* operator new(size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<size_t>(alignment));
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateNoThrow(size, static_cast<size_t>(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocateNoThrow(size, static_cast<size_t>(alignment));
}

void operator delete(void* pointer) noexcept {
    release(pointer);
}
void operator delete[](void* pointer) noexcept {
    release(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
    release(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    release(pointer);
}
void operator delete(void* pointer, std::align_val_t) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, std::align_val_t) noexcept {
    release(pointer);
}
void operator delete(void* pointer, size_t, std::align_val_t) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, size_t, std::align_val_t) noexcept {
    release(pointer);
}
void operator delete(void* pointer, std::align_val_t, const std::nothrow_t&) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, std::align_val_t, const std::nothrow_t&) noexcept {
    release(pointer);
}

#endif
