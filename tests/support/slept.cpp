// Preloaded into a program under test: a system that slept. CLOCK_BOOTTIME,
// which counts time asleep, runs ahead of CLOCK_MONOTONIC by the seconds
// written in the file that VANTREL_TEST_SLEPT names, as after a resume.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>

extern "C" int clock_gettime(clockid_t clock, timespec *now)
{
    static auto real = (int (*)(clockid_t, timespec *))dlsym(RTLD_NEXT, "clock_gettime");
    int result = real(clock, now);
    const char *file = std::getenv("VANTREL_TEST_SLEPT");
    if (result != 0 || clock != CLOCK_BOOTTIME || !file)
        return result;
    if (FILE *slept = std::fopen(file, "r")) {
        long seconds = 0;
        if (std::fscanf(slept, "%ld", &seconds) == 1)
            now->tv_sec += seconds;
        std::fclose(slept);
    }
    return result;
}
