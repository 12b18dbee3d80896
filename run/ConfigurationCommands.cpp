#include "run/ConfigurationCommands.h"

#include <cctype>

#include "base/Host.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/RunController.h"
#include "settings/Configuration.h"

namespace mv {

namespace {

constexpr char kOpenFailed[] = "Could not open config file.";
constexpr char kReconnect[] = "Do you wish to re-connect to the database on the config file?";
constexpr char kNoAutoStart[] =
    "Could not automatically start scripting, please make sure a valid database connection is saved "
    "in the configuration file.\nSee the help topics for more information.";

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void ConfigTitleUpdate(RunController& run, const std::string& fileName) {
  ConfigState& cfg = run.session().config;
  if (cfg.titleBase == "--") cfg.titleBase = run.Titles().Suffix();
  std::string name = fileName;
  if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".mvl") == 0) name.resize(name.size() - 4);
  run.Titles().SetSuffix(cfg.titleBase + " - " + name);
  if (cfg.documentTitle.empty()) return;
  std::string title = cfg.documentTitle;
  const size_t dash = title.find('-');
  if (dash != std::string::npos && dash != 0) title.resize(dash);
  while (!title.empty() && std::isspace(static_cast<unsigned char>(title.back()))) title.pop_back();
  run.session().host.SetTitle(title + " - Mervale" + run.Titles().Suffix());
}

bool SaveConfiguration(RunController& run, const std::string& path) {
  // The pause the desktop once made after showing the wait cursor was only a visual cue; the
  // cursor is shown for the time the file takes to write.
  run.session().host.WaitCursor(true);
  ConfigurationDatabase db;
  const DbConnection* c = run.session().connection.get();
  if (c && c->Connected()) {
    db.connectString = c->Target().connectString;
    db.databaseUser = c->Target().owner;
    db.isCatalog = c->Target().ownerIsCatalog;
  }
  const bool saved = WriteConfiguration(path, run.session().opts, db);
  run.session().host.WaitCursor(false);
  if (!saved) {
    run.session().host.Message(kOpenFailed);
    return false;
  }
  run.session().config.file = path;
  ConfigTitleUpdate(run, BaseName(path));
  return true;
}

bool LoadConfiguration(RunController& run, const std::string& path, bool noQuestion,
                       const std::function<void(Configuration&)>& adjust) {
  run.session().configLoadedSinceRun = true;
  std::optional<Configuration> file = ReadConfiguration(path, run.session().opts);
  if (!file) {
    run.session().config.file = path;
    run.session().host.Message(kOpenFailed);
    return false;
  }
  if (adjust) adjust(*file);
  run.session().config.file = path;
  if (!file->legacy) run.session().host.WaitCursor(true);
  ConfigTitleUpdate(run, BaseName(path));
  ApplyConfiguration(run, *file, noQuestion);
  if (!file->legacy) run.session().host.WaitCursor(false);
  return true;
}

void ApplyConfiguration(RunController& run, const Configuration& file, bool noQuestion) {
  if (file.asksReconnect) {
    const bool yes = noQuestion || run.session().host.Message(kReconnect, Host::Buttons::YesNo) == Host::Answer::Yes;
    if (yes && !file.connectString.empty())
      run.ReplaceConnection(
          DbConnection::ConnectWithString(run.session().host, file.connectString, file.databaseUser, file.catalogFlag));
  }
  run.session().opts = file.opts;
  // A profile the file names that is not there stays named: the run refuses to start with it
  // rather than write in another dialect.
  const std::string& named = run.session().opts.s_WorkingProfile;
  if (file.applyProfile && !run.session().profiles.empty() &&
      (named.empty() || run.session().profiles.FindProfile(named)))
    ApplyWorkingProfile(run.session().profiles, run.session().opts.s_WorkingProfile, run.session().working);
}

bool AutoStart(RunController& run, const std::string& path) {
  LoadConfiguration(run, path, true);
  if (run.session().HasUsableConnection()) {
    run.Output().SetSaved(false);
    run.session().autoStartPath = path;
    // An automatic start is not a run the user started: Save Script and Rerun keep their state.
    const bool hadRun = run.session().hasRun;
    const bool started = run.StartRun();
    run.session().hasRun = hadRun;
    if (!started) run.session().autoStartPath.clear();
    return started;
  }
  run.session().host.ShowMaximized();
  run.session().host.Message(kNoAutoStart);
  return false;
}

}  // namespace mv
