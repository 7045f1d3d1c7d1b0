// Runs a check where the settings store may be read but not written, as it
// is for an ordinary user under HKEY_LOCAL_MACHINE: the store's file and
// folder lose their write bits, and since root writes whatever the bits say,
// the check runs in a child process that, under root, becomes "nobody".
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

// True when the check passed in the read-only child; says on stderr if the child could not drop root.
inline bool PassesReadOnly(const std::filesystem::path &file, const std::function<bool()> &check)
{
    namespace fs = std::filesystem;
    fs::path folder = file.parent_path();
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        const passwd *nobody = getpwnam("nobody");
        bool reader = geteuid() != 0 || (nobody && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0);
        if (!reader)
            std::fprintf(stderr, "could not become nobody\n");
        _exit(reader && check() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add); // so the test can clean up
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
