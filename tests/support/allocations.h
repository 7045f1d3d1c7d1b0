// Counts every allocation the test program makes: include in one source file of the program.
// A sanitizer build keeps its own new and delete (all their forms are its), and counts nothing.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> Allocations;

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool AllocationsCounted = false;
#else
inline constexpr bool AllocationsCounted = true;

void *operator new(std::size_t size)
{
    Allocations++;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
#endif
