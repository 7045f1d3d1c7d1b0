// Linux: the kernel-side pieces the rest of the platform shares.
#pragma once

#include <windows.h>

#include <cstdint>

std::uint64_t MonotonicMilliseconds(); // never wraps, unlike GetTickCount

// Keeps the process's arguments for GetCommandLineA; returns the part after the program name.
LPSTR RememberArguments(int argc, char **argv);
