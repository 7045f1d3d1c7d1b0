// Including this gives the test program an Xvfb of its own, named in DISPLAY
// while its tests run, and the means to run other programs there.
#pragma once
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// A shell command with a pipe from its standard output. The shell execs the
// program, so pid is the program's; it gets SIGTERM at destruction if it
// still runs (which `timeout` passes on), and is always reaped.
struct ChildProcess {
    pid_t pid = -1;
    int output = -1;

    explicit ChildProcess(const std::string &command)
    {
        std::string line = "exec " + command; // made before the fork: the child only execs
        int out[2];
        if (pipe2(out, O_CLOEXEC) || (pid = fork()) < 0)
            return;
        if (pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
            _exit(127);
        }
        close(out[1]);
        output = out[0];
    }
    ~ChildProcess()
    {
        if (pid > 0)
            kill(pid, SIGTERM);
        Wait();
        close(output);
    }
    // Its output up to the end byte, waiting at most 10 s for each byte.
    std::string Read(char end = '\n')
    {
        std::string text;
        char c;
        pollfd ready = {output, POLLIN, 0};
        while (poll(&ready, 1, 10000) > 0 && read(output, &c, 1) == 1 && c != end)
            text += c;
        return text;
    }
    // Its exit status once it ends, -1 if a signal ended it.
    int Wait()
    {
        int status = -1; // a status no exit leaves, while there is nothing to wait for
        if (pid > 0 && waitpid(pid, &status, 0) == pid)
            pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

inline int RunCommand(const std::string &command) { return ChildProcess(command).Wait(); }

// Xvfb picks a free display and names it once it listens; the server ends by its pid after the last test.
struct XvfbEnvironment : testing::Environment {
    std::optional<ChildProcess> server;

    void SetUp() override
    {
        server.emplace("Xvfb -displayfd 1 -noreset -nolisten tcp -screen 0 1024x768x24 2>/dev/null");
        std::string number = server->Read();
        ASSERT_FALSE(number.empty()) << "Xvfb named no display";
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }
    void TearDown() override { server.reset(); }
};

inline testing::Environment *const TestDisplay = testing::AddGlobalTestEnvironment(new XvfbEnvironment);
