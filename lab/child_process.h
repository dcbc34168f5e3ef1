#pragma once
// A program started by the lab or a test: spawned with its own environment, its output in a
// file, stopped by signal and reaped, so no zombie outlives the fixture that made it.
#include <string>
#include <vector>

namespace orvane::lab {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // SIGTERM, then SIGKILL after 3 s, then reaps
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program path. `extraEnv` entries ("NAME=value") are added to (and
    // override) the current environment. Output (stdout and stderr) goes to `logPath`
    // (appended), or is discarded when it is empty. False when the program cannot start.
    // `workingDirectory`, when not empty, is where it starts.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
               const std::string& logPath = {}, const std::string& workingDirectory = {});

    int pid() const { return pid_; }
    bool running();  // reaps it when it has ended
    // Waits for the end; true and `exitCode` set (128 + signal when killed) if it ended in time.
    bool waitExit(int timeoutMs, int& exitCode);
    void signal(int sig);
    // SIGTERM, wait up to `graceMs`, then SIGKILL; returns the exit code.
    int stop(int graceMs = 3000);

private:
    int pid_ = -1;
    bool reaped_ = true;
    int exitCode_ = -1;
};

// The folder of the running executable (from /proc/self/exe).
std::string selfDirectory();
// Reads a whole file; empty when it cannot.
std::string readFile(const std::string& path);

}  // namespace orvane::lab
