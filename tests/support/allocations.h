// Counts every allocation the test program makes: include in one source file of the program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> Allocations;

void *operator new(std::size_t size)
{
    Allocations++;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
