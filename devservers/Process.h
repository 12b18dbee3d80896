#pragma once
#include <sys/types.h>

#include <csignal>
#include <string>
#include <vector>

namespace mv::dev {

// How a program run by a test ended.
struct ProcessResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// How StartProcess starts a long-running program, beyond its argv.
struct StartOptions {
  std::vector<std::string> extraEnv;  // "NAME=value", added to our environment
  std::string workDir;                // empty: ours
  int deathSignal = SIGTERM;          // sent when the starting thread ends; 0: none
};

// Runs argv (argv[0] looked up on PATH unless it holds a "/") to its end: our environment with
// `extraEnv` ("NAME=value") added, standard input from stdinPath (/dev/null when empty), in
// workDir (ours when empty). Throws std::runtime_error when the program cannot be started.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
                         const std::string& stdinPath = {}, const std::string& workDir = {});

// Starts a long-running program (a server) with its output going to logPath. By default the
// child gets SIGTERM when the thread that started it ends, so a crashed test run leaves no
// server behind.
pid_t StartProcess(const std::vector<std::string>& argv, const std::string& logPath, const StartOptions& options = {});

// Whether pid has ended (reaped); its status goes to *status.
bool ProcessEnded(pid_t pid, int* status);

// Stops a process started by StartProcess: `signal`, then SIGKILL after `graceMs`.
void StopProcess(pid_t pid, int graceMs, int signal = SIGTERM);

// When a running process started (clock ticks since boot, from /proc); 0 when pid has ended
// or is a zombie. Together with its pid it names one process: a pid can be reused.
unsigned long long ProcessStartTime(pid_t pid);

// Stops a process that another process started (a shared server), if pid still names the
// process that started at startTime: `signal`, then SIGKILL after `graceMs`. Returns false
// when it is still there after that.
bool StopOtherProcess(pid_t pid, unsigned long long startTime, int graceMs, int signal);

// The text after a command's own description, for failure messages.
std::string Describe(const std::vector<std::string>& argv, const ProcessResult& r);

}  // namespace mv::dev
