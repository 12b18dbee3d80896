// mervale-batch: scripts a database from a configuration file, without a window.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "run/ConfigurationCommands.h"
#include "run/RunOwner.h"
#include "shell/AtomicFile.h"
#include "shell/ConsoleHost.h"
#include "shell/ProgramFolder.h"
#include "shell/SettingsStore.h"
#include "shell/SqlLibrary.h"

namespace {

// Exit statuses: 0 finished, 1 usage, 2 configuration unreadable, 3 no connection,
// 4 the script could not be written whole, 5 stopped.
enum Exit { kOk = 0, kUsage = 1, kConfig = 2, kConnection = 3, kWrite = 4, kStopped = 5 };

std::atomic<mv::RunOwner*> g_owner{nullptr};

extern "C" void OnSignal(int) {
  if (mv::RunOwner* owner = g_owner.load()) owner->StopFromSignal();
}

const char kUsageText[] =
    "Usage: mervale-batch CONFIG.mvl [--output FILE]\n"
    "       mervale-batch --free-form CONFIG.mvl [--sql TEXT | --sql-file FILE] [--output FILE]\n"
    "       mervale-batch --library-list\n"
    "\n"
    "Scripts the database named in the configuration file (structure, data and indexes as\n"
    "the file says) with the profile it names. The script goes to standard output, or to\n"
    "FILE (replaced only when the run has ended). Messages go to standard error.\n"
    "\n"
    "  --output FILE    write the script to FILE instead of standard output\n"
    "  --free-form      run the configuration's free-form SQL statement and script its rows\n"
    "  --sql TEXT       with --free-form: run TEXT instead\n"
    "  --sql-file FILE  with --free-form: run the statement in FILE instead\n"
    "  --library-list   list the SQL Library entries with their command numbers\n"
    "  --help           show this text\n"
    "\n"
    "Environment: MERVALE_HOME is the program folder (profiles, SQL Library; default: the\n"
    "folder of this executable); XDG_CONFIG_HOME holds Quillfen/Mervale.ini, the settings.\n"
    "Exit status: 0 finished, 1 usage, 2 configuration unreadable, 3 no connection,\n"
    "4 script not written whole, 5 stopped.\n";

int Usage(const char* problem) {
  if (problem) std::fprintf(stderr, "mervale-batch: %s\n\n", problem);
  std::fputs(kUsageText, problem ? stderr : stdout);
  return problem ? kUsage : kOk;
}

}  // namespace

int LibraryList();

int main(int argc, char** argv) {
  std::string config, output, sql, sqlFile;
  bool freeForm = false, haveSql = false, libraryList = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](const char* what) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)what;
      return argv[++i];
    };
    if (a == "--help" || a == "-h") return Usage(nullptr);
    if (a == "--output") {
      const char* v = next("--output");
      if (!v) return Usage("--output needs a file name");
      output = v;
    } else if (a == "--free-form") {
      freeForm = true;
    } else if (a == "--sql") {
      const char* v = next("--sql");
      if (!v) return Usage("--sql needs a statement");
      sql = v;
      haveSql = true;
    } else if (a == "--sql-file") {
      const char* v = next("--sql-file");
      if (!v) return Usage("--sql-file needs a file name");
      sqlFile = v;
    } else if (a == "--library-list") {
      libraryList = true;
    } else if (!a.empty() && a[0] == '-') {
      return Usage(("unknown option " + a).c_str());
    } else if (config.empty()) {
      config = a;
    } else {
      return Usage("only one configuration file can be given");
    }
  }
  if (libraryList) return LibraryList();
  if (config.empty()) return Usage("no configuration file given");
  if ((haveSql || !sqlFile.empty()) && !freeForm) return Usage("--sql and --sql-file go with --free-form");
  if (haveSql && !sqlFile.empty()) return Usage("give --sql or --sql-file, not both");
  if (!sqlFile.empty()) {
    if (!mv::ReadWholeFile(sqlFile, sql)) {
      std::fprintf(stderr, "mervale-batch: cannot read the statement file %s: %s\n", sqlFile.c_str(),
                   std::strerror(errno));
      return kUsage;
    }
    haveSql = true;
  }
  if (access(config.c_str(), R_OK) != 0) {
    std::fprintf(stderr, "mervale-batch: cannot read the configuration file %s: %s\n", config.c_str(),
                 std::strerror(errno));
    return kConfig;
  }

  // The script goes to a temporary file beside FILE and replaces it only at the end.
  std::string temp;
  std::FILE* scriptFile = stdout;
  if (!output.empty()) {
    temp = output + ".mervale-XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0 || !(scriptFile = fdopen(fd, "wb"))) {
      std::fprintf(stderr, "mervale-batch: cannot create %s: %s\n", temp.c_str(), std::strerror(errno));
      return kWrite;
    }
    fchmod(fd, 0644);
  }

  mv::SettingsStore settings(mv::SettingsStore::DefaultPath());
  mv::ConsoleHost host(scriptFile, stderr, isatty(STDERR_FILENO) == 1);
  mv::RunOwner owner(host, settings, mv::ProgramFolder());
  owner.LoadStartupState();

  int status = kOk;
  if (!mv::LoadConfiguration(owner, config, true)) {
    status = kConfig;
  } else if (!owner.HasUsableConnection()) {
    if (!owner.Connection()) host.Message("The configuration file holds no connect string.", mv::Host::Buttons::Ok);
    status = kConnection;
  } else {
    if (haveSql) owner.Options().s_GlobalPassSql = sql;
    // Auto-save reads the text back from the window, so only then is it kept in memory.
    host.window().SetKeepText(owner.Options().b_AutoSave != 0);
    g_owner = &owner;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    bool started;
    if (freeForm) {
      started = owner.StartFreeFormRun();
    } else {
      owner.SetAutoStart(config);
      started = owner.StartRun();
    }
    owner.Wait();
    g_owner = nullptr;
    if (!started)
      status = kConnection;
    else if (owner.LastOutcome() != mv::RunOutcome::Finished)
      status = kStopped;
    else if (owner.Output().WriteFailures() > 0)
      status = kWrite;
  }
  host.EndProgress();
  if (!host.window().FlushSink()) {
    std::fprintf(stderr, "mervale-batch: the script could not be written: %s\n", std::strerror(errno));
    status = kWrite;
  }
  if (!temp.empty()) {
    bool ok = std::fflush(scriptFile) == 0 && fsync(fileno(scriptFile)) == 0;
    ok = std::fclose(scriptFile) == 0 && ok;
    if (status != kOk && status != kStopped) {
      // No run, or a script that could not be written whole: FILE keeps what it held.
      std::remove(temp.c_str());
    } else if (!ok || std::rename(temp.c_str(), output.c_str()) != 0) {
      std::fprintf(stderr, "mervale-batch: cannot write %s: %s\n", output.c_str(), std::strerror(errno));
      std::remove(temp.c_str());
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
