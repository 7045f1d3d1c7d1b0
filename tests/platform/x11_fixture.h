// Tests of the X11 platform: a virtual X server of the test program's own,
// on a display number it picks itself; the other processes a test starts
// against it; and windows of a class that records every message it gets.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

// Starts a program with a pipe to its standard input and one from its
// standard output (and error output, if asked; else that is dropped); ends
// it at destruction if it still runs, and always reaps it.
struct ChildProcess {
    pid_t pid = -1;
    int input = -1, output = -1;

    explicit ChildProcess(std::vector<std::string> arguments, bool withErrors = false, char **environment = environ)
    {
        int in[2], out[2];
        if (pipe(in) || pipe(out))
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (withErrors)
            posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        for (int fd : {in[0], in[1], out[0], out[1]})
            posix_spawn_file_actions_addclose(&actions, fd);
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environment))
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        input = in[1];
        output = out[0];
    }

    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    ~ChildProcess()
    {
        CloseInput();
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(output);
    }

    void CloseInput()
    {
        if (input >= 0)
            close(input);
        input = -1;
    }

    // One line of its output, waiting at most the given time; "" on timeout or end.
    std::string ReadLine(int milliseconds = 10000)
    {
        std::string line;
        char c;
        for (;;) {
            pollfd ready = {output, POLLIN, 0};
            if (poll(&ready, 1, milliseconds) <= 0 || read(output, &c, 1) != 1 || c == '\n')
                return line;
            line += c;
        }
    }

    // Its exit status once it ends, -1 if it was killed by a signal.
    int Wait()
    {
        int status = 0;
        if (pid <= 0 || waitpid(pid, &status, 0) != pid)
            return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// Runs a command to its end; its exit status, or -1.
inline int RunCommand(std::vector<std::string> arguments) { return ChildProcess(std::move(arguments)).Wait(); }

// One Xvfb for the whole test program; DISPLAY names it while the tests run.
class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        server = std::make_unique<ChildProcess>(std::vector<std::string>{
            "Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        std::string number = server->ReadLine();
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        setenv("DISPLAY", (":" + number).c_str(), 1);
    }

    void TearDown() override
    {
        kill(server->pid, SIGTERM);
        server->Wait();
        server.reset();
    }

private:
    std::unique_ptr<ChildProcess> server;
};

// ---- windows that record their messages
inline const char TestClass[] = "VantrelTestClass";
inline const int QuitCodeOnDestroy = 7;
inline std::vector<MSG> Received;      // every message any test window got, oldest first
inline std::vector<WPARAM> QuitCodes; // of the quit messages that ended PumpUntil

inline LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Received.push_back(MSG{window, message, wParam, lParam, 0, {}});
    if (message == WM_DESTROY)
        PostQuitMessage(QuitCodeOnDestroy);
    return DefWindowProcA(window, message, wParam, lParam);
}

inline HWND MakeWindow(DWORD style, int width = 200, int height = 100, HWND parent = nullptr)
{
    static const ATOM registered = [] {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
        windowClass.lpszClassName = TestClass;
        return RegisterClassA(&windowClass);
    }();
    EXPECT_NE(registered, 0);
    return CreateWindowExA(0, TestClass, "Test", style, 0, 0, width, height, parent, nullptr, nullptr, nullptr);
}

// Whether a test window got the message, with the given wParam unless that is -1.
inline bool Got(HWND window, UINT message, WPARAM wParam = (WPARAM)-1)
{
    for (const MSG &m : Received)
        if (m.hwnd == window && m.message == message && (wParam == (WPARAM)-1 || m.wParam == wParam))
            return true;
    return false;
}

// Runs the message loop until the condition holds, the quit message comes
// (its code goes to QuitCodes) or the time is up; whether the condition
// holds at the end. A thread timer of its own marks the time-out.
template <class Condition> bool PumpUntil(Condition done, UINT milliseconds = 5000)
{
    UINT_PTR deadline = SetTimer(nullptr, 0, milliseconds, nullptr);
    MSG message;
    while (!done()) {
        if (!GetMessageA(&message, nullptr, 0, 0)) {
            QuitCodes.push_back(message.wParam);
            break;
        }
        if (message.message == WM_TIMER && !message.hwnd && message.wParam == deadline)
            break;
        DispatchMessageA(&message);
    }
    KillTimer(nullptr, deadline);
    return done();
}

// Each test starts with an empty queue and record, whatever the last one left.
class X11Test : public ::testing::Test {
protected:
    void SetUp() override { Drain(); }
    void TearDown() override { Drain(); }

    static void Drain()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        Received.clear();
        QuitCodes.clear();
    }
};
