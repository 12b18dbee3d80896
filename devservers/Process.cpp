#include "devservers/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace mv::dev {
namespace {

namespace fs = std::filesystem;

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string Which(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  // /usr/sbin is not on every PATH, and the database servers live there.
  for (const char* extra : {"/usr/sbin", "/sbin"}) {
    fs::path candidate = fs::path(extra) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  throw std::runtime_error("'" + name + "' is not on PATH");
}

// A developer's client settings (PGHOST, PGPASSWORD, MYSQL_PWD, MYSQL_HOST, ...) must not
// redirect the tests.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "PG", 2) != 0 && std::strncmp(*e, "MYSQL_", 6) != 0 && std::strncmp(*e, "MARIADB_", 8) != 0)
      env.emplace_back(*e);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (auto& s : strings) p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

// Everything is prepared before fork(): other threads may hold locks the child must not
// touch, so between fork and exec only async-signal-safe calls run.
pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> env, int inFd, int outFd, int errFd,
            const std::string& workDir, int deathSignal) {
  argv[0] = Which(argv[0]);
  std::vector<char*> args = Pointers(argv);
  std::vector<char*> envp = Pointers(env);
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error(SystemError("fork"));
  if (pid == 0) {
    if (deathSignal != 0) prctl(PR_SET_PDEATHSIG, deathSignal);
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    // Inherited descriptors (other tests' sockets, other children's pipes) would keep
    // pipes open and connections alive as long as a server lives.
    close_range(3, ~0U, 0);
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
    execve(args[0], args.data(), envp.data());
    static const char msg[] = "exec failed\n";
    [[maybe_unused]] ssize_t n = write(2, msg, sizeof msg - 1);
    _exit(127);
  }
  return pid;
}

int WaitStatus(pid_t pid) {
  int raw = 0;
  while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                         const std::string& stdinPath, const std::string& workDir) {
  const std::string input = stdinPath.empty() ? "/dev/null" : stdinPath;
  int in = open(input.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) throw std::runtime_error(SystemError("open " + input));
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in);
    throw std::runtime_error(SystemError("pipe"));
  }
  if (pipe2(err, O_CLOEXEC) != 0) {
    for (int fd : {in, out[0], out[1]}) close(fd);
    throw std::runtime_error(SystemError("pipe"));
  }
  pid_t pid;
  try {
    pid = Spawn(argv, ChildEnvironment(extraEnv), in, out[1], err[1], workDir, 0);
  } catch (...) {
    for (int fd : {in, out[0], out[1], err[0], err[1]}) close(fd);
    throw;
  }
  close(in);
  close(out[1]);
  close(err[1]);
  ProcessResult result;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);
  result.status = WaitStatus(pid);
  return result;
}

pid_t StartProcess(const std::vector<std::string>& argv, const std::string& logPath, const StartOptions& options) {
  int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in < 0 || log < 0) {
    if (in >= 0) close(in);
    throw std::runtime_error(SystemError("open " + logPath));
  }
  pid_t pid;
  try {
    pid = Spawn(argv, ChildEnvironment(options.extraEnv), in, log, log, options.workDir, options.deathSignal);
  } catch (...) {
    close(in);
    close(log);
    throw;
  }
  close(in);
  close(log);
  return pid;
}

bool ProcessEnded(pid_t pid, int* status) {
  int raw = 0;
  if (waitpid(pid, &raw, WNOHANG) != pid) return false;
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return true;
}

void StopProcess(pid_t pid, int graceMs, int signal) {
  if (pid <= 0) return;
  kill(pid, signal);
  int status = 0;
  for (int waited = 0; waited < graceMs; waited += 50) {
    if (ProcessEnded(pid, &status)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  WaitStatus(pid);
}

unsigned long long ProcessStartTime(pid_t pid) {
  if (pid <= 0) return 0;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  // The name in parentheses may hold blanks and parentheses; the fields follow the last ')'.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string state, field;
  fields >> state;
  // Nobody may reap an orphaned server's zombie, so a zombie counts as ended.
  if (state.empty() || state == "Z" || state == "X") return 0;
  // starttime is field 22 of the line; state was field 3.
  for (int i = 4; i < 22; ++i) fields >> field;
  unsigned long long start = 0;
  fields >> start;
  return start;
}

bool StopOtherProcess(pid_t pid, unsigned long long startTime, int graceMs, int signal) {
  if (startTime == 0 || ProcessStartTime(pid) != startTime) return true;
  kill(pid, signal);
  for (int waited = 0; waited < graceMs; waited += 50) {
    if (ProcessStartTime(pid) != startTime) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  for (int waited = 0; waited < 5000; waited += 50) {
    if (ProcessStartTime(pid) != startTime) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::string Describe(const std::vector<std::string>& argv, const ProcessResult& r) {
  std::string text = fs::path(argv[0]).filename().string() + " failed (status " + std::to_string(r.status) + ")";
  const std::string output = r.err + r.out;
  if (!output.empty()) text += ":\n" + output.substr(0, 4000);
  return text;
}

}  // namespace mv::dev
