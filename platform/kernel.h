// Linux: the kernel-side pieces the rest of the platform shares.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

std::uint64_t MonotonicMilliseconds(); // never wraps, unlike GetTickCount

// Keeps the program name and the command tail for GetCommandLineA; returns the tail.
LPSTR RememberCommandLine(const char *program, const std::string &tail);
