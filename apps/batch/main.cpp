// mervale-batch: scripts a database from a configuration file or the command line, without a
// window.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BatchCommand.h"
#include "base/AtomicFile.h"
#include "base/ConsoleHost.h"
#include "base/ProgramFolder.h"
#include "base/SettingsStore.h"
#include "base/SqlLibrary.h"
#include "db/ConnectSafety.h"
#include "db/DataSources.h"
#include "profiles/ProfileFolders.h"
#include "run/ConfigurationCommands.h"
#include "run/RunController.h"
#include "run/StartRules.h"
#include "settings/Configuration.h"

namespace {

// Exit statuses: 0 finished, 1 usage, 2 configuration unreadable, 3 no connection,
// 4 the script could not be written whole, 5 stopped, 6 finished with errors.
enum Exit { kOk = 0, kUsage = 1, kConfig = 2, kConnection = 3, kWrite = 4, kStopped = 5, kErrors = 6 };

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<mv::RunController*> g_owner{nullptr};
// The temporary script file while it exists, for the signal handler to remove.
std::atomic<const char*> g_temporary{nullptr};
std::atomic<int> g_stops{0};
// Set once the run is over: the file is being committed, which a signal must not cut short.
std::atomic<bool> g_ending{false};
// The signal handler's word to the stop watcher: 's' cancel the statement in flight, 'q' end.
int g_stopPipe[2] = {-1, -1};

// A run stops the way the Stop button stops it and its script is kept. Outside a run (while
// connecting), or at a second signal, the program ends at once and leaves no temporary file.
extern "C" void OnSignal(int) {
  if (g_ending.load()) return;
  mv::RunController* owner = g_owner.load();
  if (owner && g_stops.fetch_add(1) == 0) {
    owner->StopFromSignal();
    // SQLCancel is no call for a signal handler: the watcher makes it.
    if (g_stopPipe[1] >= 0) {
      [[maybe_unused]] const ssize_t sent = write(g_stopPipe[1], "s", 1);
    }
    return;
  }
  if (const char* temporary = g_temporary.load()) unlink(temporary);
  static const char note[] = "mervale-batch: stopped before the script was finished\n";
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, note, sizeof note - 1);
  _exit(kStopped);
}

void CatchStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  // A driver's network wait goes on after the signal; the stop watcher cancels the statement.
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  for (int sig : kStopSignals) sigaddset(&sa.sa_mask, sig);
  for (int sig : kStopSignals) sigaction(sig, &sa, nullptr);
}

// Holds the stop signals back while the temporary file is made and published (the program has
// one thread then).
void BlockStopSignals(bool block) {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kStopSignals) sigaddset(&set, sig);
  pthread_sigmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

int Usage(const char* problem) {
  if (!problem) {
    std::fputs(mv::kBatchUsage, stdout);
    return kOk;
  }
  // After a mistake the forms of the command are enough; --help gives every option.
  const std::string usage = mv::kBatchUsage;
  std::fprintf(stderr, "mervale-batch: %s\n\n%s\nRun mervale-batch --help for every option.\n", problem,
               usage.substr(0, usage.find("\n\n") + 1).c_str());
  return kUsage;
}

// Without --profile or a configuration file the script is written for the source's own engine
// (its shipped profile), and standard error says so; --profile Default keeps the built-in dialect.
void ChooseEngineProfile(mv::RunController& owner) {
  mv::Session& s = owner.session();
  const char* name = nullptr;
  switch (s.connection->Driver().engine) {
    case mv::Engine::SQLite:
      name = "SQLite";
      break;
    case mv::Engine::PostgreSQL:
      name = "PostgreSQL";
      break;
    case mv::Engine::MariaDB:
      name = "MariaDB";
      break;
    case mv::Engine::Other:
      return;
  }
  if (!s.profiles.FindProfile(name)) return;
  s.opts.s_WorkingProfile = name;
  mv::ApplyWorkingProfile(s.profiles, s.opts.s_WorkingProfile, s.working);
  std::fprintf(stderr, "mervale-batch: no profile named: writing in the %s profile, the source's engine\n", name);
}

}  // namespace

int LibraryList();
int SaveConfig(const mv::BatchCommand& cmd);

namespace {
// A script or configuration written over the database file the connect string names would
// replace the source: refused before anything connects or is written.
int RefuseWritingOverTheSource(const mv::BatchCommand& cmd) {
  mv::SettingsStore settings(mv::SettingsStore::DefaultPath());
  mv::RunOptions remembered;
  mv::Profile working;
  mv::LoadRunSettings(settings, remembered, working);
  std::optional<mv::Configuration> c = cmd.config.empty()
                                           ? std::optional<mv::Configuration>(mv::DefaultBatchConfiguration())
                                           : mv::ReadConfiguration(cmd.config, remembered);
  if (!c) return kOk;  // the load that follows says why
  mv::ApplyBatchCommand(cmd, *c);
  const mv::RunOptions& o = c->opts;
  const std::pair<const char*, std::string> paths[] = {
      {"--output", cmd.output},
      {"--save-config", cmd.saveConfig},
      {"s_AutoSaveFile", o.b_AutoSave || o.b_OnlyToFile ? o.s_AutoSaveFile : std::string()}};
  for (const auto& [what, path] : paths) {
    if (!mv::NamesSourceFile(c->connectString, path)) continue;
    std::fprintf(stderr, "mervale-batch: %s %s is the source database the connect string names; it is not written.\n",
                 what, path.c_str());
    return kWrite;
  }
  return kOk;
}
}  // namespace

int main(int argc, char** argv) {
  CatchStopSignals();
  mv::BatchCommand cmd;
  const std::string problem =
      mv::ParseBatchCommand(std::vector<std::string>(argv + 1, argv + argc), std::getenv("MERVALE_CONNECT"), cmd);
  if (!problem.empty()) return Usage(problem.c_str());
  if (cmd.help) return Usage(nullptr);
  if (cmd.version) {
    const std::string odbc = mv::DriverManagerVersion();
    std::printf("mervale-batch %s\nunixODBC %s\n", MERVALE_VERSION, odbc.empty() ? "(version unknown)" : odbc.c_str());
    return std::fflush(stdout) == 0 ? kOk : kWrite;
  }
  if (cmd.libraryList) return LibraryList();
  if (!cmd.sqlFile.empty()) {
    std::string sql;
    if (!mv::ReadWholeFile(cmd.sqlFile, sql)) {
      std::fprintf(stderr, "mervale-batch: cannot read the statement file %s: %s\n", cmd.sqlFile.c_str(),
                   std::strerror(errno));
      return kUsage;
    }
    cmd.sql = sql;
  }
  const std::string& config = cmd.config;
  const std::string& output = cmd.output;
  if (!config.empty() && access(config.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "mervale-batch: cannot read the configuration file %s: %s\n", config.c_str(),
                 std::strerror(errno));
    return kConfig;
  }
  if (const int refused = RefuseWritingOverTheSource(cmd)) return refused;
  if (!cmd.saveConfig.empty()) return SaveConfig(cmd);

  // The script goes to a temporary file beside FILE and replaces it only at the end. A path
  // that cannot take it is refused here, before connecting; a device or a pipe is written
  // as it is.
  mv::AtomicFile file;
  std::FILE* scriptFile = stdout;
  if (!output.empty()) {
    struct stat st {};
    const bool stream = ::stat(output.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
    int fd = -1;
    std::string reason;
    if (stream) {
      fd = ::open(output.c_str(), O_WRONLY | O_CLOEXEC);
    } else {
      BlockStopSignals(true);
      reason = file.Open(output);
      if (reason.empty()) g_temporary = file.TemporaryPath().c_str();
      BlockStopSignals(false);
      if (reason.empty()) fd = ::dup(file.Descriptor());
    }
    if (fd < 0 || !(scriptFile = fdopen(fd, "wb"))) {
      if (reason.empty()) reason = std::strerror(errno);
      std::fprintf(stderr, "mervale-batch: cannot write the script to %s: %s\n", output.c_str(), reason.c_str());
      if (fd >= 0) ::close(fd);
      return kWrite;
    }
  }

  mv::SettingsStore settings(mv::SettingsStore::DefaultPath());
  // Off a terminal the line would only clutter a log; the JSON objects are asked for.
  const mv::ConsoleHost::Progress progress =
      cmd.progress == mv::BatchCommand::Progress::Json ? mv::ConsoleHost::Progress::Json
      : cmd.progress == mv::BatchCommand::Progress::Line && isatty(STDERR_FILENO) == 1
          ? mv::ConsoleHost::Progress::Line
          : mv::ConsoleHost::Progress::None;
  mv::ConsoleHost host(scriptFile, stderr, progress);
  mv::RunController owner(host, settings, mv::ProgramFolder());
  mv::LoadStartupState(owner.session());
  // The profiles a user saved in the desktop program are this program's too.
  mv::DiscoverUserProfiles(owner.session().profiles, owner.session().programFolder, host);
  if (progress != mv::ConsoleHost::Progress::None)
    owner.session().rowEstimate = cmd.countRows ? mv::RowEstimate::Count : mv::RowEstimate::Statistics;

  int status = kOk;
  auto adjust = [&cmd](mv::Configuration& c) { mv::ApplyBatchCommand(cmd, c); };
  bool loaded = true;
  if (!config.empty()) {
    loaded = mv::LoadConfiguration(owner, config, true, adjust);
  } else {
    mv::Configuration c = mv::DefaultBatchConfiguration();
    adjust(c);
    mv::ApplyConfiguration(owner, c, true);
  }
  if (loaded && config.empty() && !cmd.profile && owner.session().HasUsableConnection()) ChooseEngineProfile(owner);
  if (loaded && cmd.nameCase)
    mv::ApplyNameCase(owner.session().profiles, owner.session().opts.s_WorkingProfile, *cmd.nameCase);
  const mv::DbConnection* connection = owner.session().connection.get();
  // A name given on the command line is a usage error; one of the configuration file's, the file's.
  const mv::NameProblem names = loaded && owner.session().HasUsableConnection() && !cmd.freeForm
                                    ? mv::FindNameProblem(owner.session())
                                    : mv::NameProblem{};
  if (!loaded) {
    status = kConfig;
  } else if (connection && connection->OwnerNotFound()) {
    status = cmd.owner ? kUsage : kConfig;
  } else if (!owner.session().HasUsableConnection()) {
    if (!connection) host.Message("The configuration file holds no connect string.", mv::Host::Buttons::Ok);
    status = kConnection;
  } else if (names.kind != mv::NameProblem::Kind::None) {
    host.Message(names.text, mv::Host::Buttons::Ok);
    const bool given = names.kind == mv::NameProblem::Kind::Profile ? cmd.profile.has_value() : !cmd.tables.empty();
    status = given || config.empty() ? kUsage : kConfig;
  } else {
    // No window waits meanwhile: the run goes on this thread, the process keeps one thread,
    // and a signal from here on stops the run instead of ending the program.
    owner.SetRunOnCallingThread(true);
    // The stop watcher: the first signal cancels the statement in flight (SQLCancel), so a run
    // stopped during a long statement ends at once and leaves the server running nothing.
    std::thread watcher;
    if (pipe2(g_stopPipe, O_CLOEXEC) == 0)
      watcher = std::thread([&owner] {
        char word = 0;
        while (read(g_stopPipe[0], &word, 1) == 1 && word == 's') owner.CancelInFlight();
      });
    g_owner = &owner;
    bool started;
    if (cmd.freeForm) {
      started = owner.StartFreeFormRun();
    } else {
      if (!config.empty()) owner.session().autoStartPath = config;
      started = owner.StartRun();
    }
    owner.Wait();
    g_owner = nullptr;
    if (watcher.joinable()) {
      [[maybe_unused]] const ssize_t sent = write(g_stopPipe[1], "q", 1);
      watcher.join();
    }
    const std::optional<mv::RunOutcome> outcome = owner.session().lastOutcome;
    const std::vector<std::string> errorTables = owner.session().ErrorTables();
    if (!started)
      status = kConnection;
    else if (owner.Output().WriteFailures() > 0)
      status = kWrite;
    else if (outcome == mv::RunOutcome::FinishedWithErrors || !errorTables.empty())
      status = kErrors;
    else if (outcome != mv::RunOutcome::Finished)
      status = kStopped;
    // The run's last message has named the tables it could not read whole.
  }
  // From here nothing waits but for the disk, and a file is never half replaced.
  if (file.Descriptor() >= 0) g_ending = true;
  host.EndProgress();
  bool written = host.window().FlushSink();
  int error = host.window().SinkError();
  host.window().SetSink(nullptr);
  if (scriptFile != stdout && std::fclose(scriptFile) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    std::fprintf(stderr, "mervale-batch: the script could not be written to %s: %s\n",
                 output.empty() ? "standard output" : output.c_str(), std::strerror(error));
    status = kWrite;
  }
  if (file.Descriptor() >= 0) {
    std::string reason, kept;
    if (status == kOk) {
      reason = file.Commit();
    } else if (status == kErrors || status == kStopped) {
      // FILE keeps the good script it held; the new (partial) one is left beside it to look at.
      reason = file.CommitBeside(".incomplete-", kept);
      if (reason.empty())
        std::fprintf(stderr, "mervale-batch: %s keeps what it held; the new script is %s\n", file.Target().c_str(),
                     kept.c_str());
    } else {
      // No run, or a script that could not be written whole: FILE keeps what it held.
      file.Discard();
    }
    g_temporary = nullptr;
    if (!reason.empty()) {
      std::fprintf(stderr, "mervale-batch: %s\n", reason.c_str());
      status = kWrite;
    }
  }
  return status;
}

int LibraryList() {
  mv::SettingsStore settings(mv::SettingsStore::DefaultPath());
  mv::SqlLibrary library;
  library.Rebuild(mv::SqlLibrary::LibraryFolder(settings, mv::ProgramFolder()));
  std::printf("SQL Library: %s (Auto Run %s)\n", library.Folder().c_str(),
              mv::SqlLibrary::AutoRun(settings) ? "on" : "off");
  if (library.Entries().empty()) std::puts("  (no entries)");
  auto print = [](int command, const char* indent, const std::string& name) {
    std::printf("%d  %s%s\n", command, indent, name.c_str());
  };
  for (const mv::LibraryEntry& entry : library.Entries()) {
    if (!entry.isFolder) {
      print(entry.command, "", entry.name);
      continue;
    }
    std::printf("       %s/\n", entry.name.c_str());
    for (const mv::LibraryFile& file : entry.files) print(file.command, "  ", file.name);
  }
  return std::fflush(stdout) == 0 ? kOk : kWrite;
}

// --save-config: the configuration file (or the defaults) with the command's options, written
// with the options the settings store would otherwise supply, so the file alone gives the same
// script. Nothing connects and nothing runs.
int SaveConfig(const mv::BatchCommand& cmd) {
  std::optional<mv::Configuration> c;
  if (cmd.config.empty()) {
    c = mv::DefaultBatchConfiguration();
  } else {
    mv::SettingsStore settings(mv::SettingsStore::DefaultPath());
    mv::RunOptions remembered;
    mv::Profile working;
    mv::LoadRunSettings(settings, remembered, working);
    c = mv::ReadConfiguration(cmd.config, remembered);
    if (!c) {
      std::fprintf(stderr, "mervale-batch: Could not open config file.\n");
      return kConfig;
    }
  }
  mv::ApplyBatchCommand(cmd, *c);
  const mv::ConfigurationDatabase db{c->connectString, c->databaseUser, c->catalogFlag == "1"};
  errno = 0;
  if (!mv::WriteConfiguration(cmd.saveConfig, c->opts, db, true)) {
    std::fprintf(stderr, "mervale-batch: the configuration could not be written to %s: %s\n", cmd.saveConfig.c_str(),
                 errno ? std::strerror(errno) : "unknown error");
    return kWrite;
  }
  return kOk;
}
