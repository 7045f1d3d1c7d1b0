// Command-line numbers for the tools: whole decimals only, so that a typo fails loudly.
#pragma once

#include <cerrno>
#include <cstdlib>

// Parses a whole decimal number within 0..limit, or fails.
inline bool ParseNumber(const char *text, unsigned long long limit, unsigned long long *value)
{
    if (!text || *text < '0' || *text > '9')
        return false;
    char *end;
    errno = 0;
    *value = std::strtoull(text, &end, 10);
    return errno == 0 && *end == '\0' && *value <= limit;
}
