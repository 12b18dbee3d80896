#include "run/ConfigurationCommands.h"

#include <cctype>

#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/RunOwner.h"
#include "settings/Configuration.h"
#include "shell/Host.h"

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

void ConfigTitleUpdate(RunOwner& owner, const std::string& fileName) {
  ConfigState& cfg = owner.Config();
  if (cfg.titleBase == "--") cfg.titleBase = owner.TitleSuffix();
  std::string name = fileName;
  if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".mvl") == 0) name.resize(name.size() - 4);
  owner.SetTitleSuffix(cfg.titleBase + " - " + name);
  if (cfg.documentTitle.empty()) return;
  std::string title = cfg.documentTitle;
  const size_t dash = title.find('-');
  if (dash != std::string::npos && dash != 0) title.resize(dash);
  while (!title.empty() && std::isspace(static_cast<unsigned char>(title.back()))) title.pop_back();
  owner.host().SetTitle(title + " - Mervale" + owner.TitleSuffix());
}

bool SaveConfiguration(RunOwner& owner, const std::string& path) {
  // The pause the desktop once made after showing the wait cursor was only a visual cue; the
  // cursor is shown for the time the file takes to write.
  owner.host().WaitCursor(true);
  ConfigurationDatabase db;
  const DbConnection* c = owner.Connection();
  if (c && c->Connected()) {
    db.connectString = c->Target().connectString;
    db.databaseUser = c->Target().owner;
    db.isCatalog = c->Target().ownerIsCatalog;
  }
  const bool saved = WriteConfiguration(path, owner.Options(), db);
  owner.host().WaitCursor(false);
  if (!saved) {
    owner.host().Message(kOpenFailed);
    return false;
  }
  owner.Config().file = path;
  ConfigTitleUpdate(owner, BaseName(path));
  return true;
}

bool LoadConfiguration(RunOwner& owner, const std::string& path, bool noQuestion,
                       const std::function<void(Configuration&)>& adjust) {
  owner.SetConfigLoadedSinceRun(true);
  std::optional<Configuration> file = ReadConfiguration(path, owner.Options());
  if (!file) {
    owner.Config().file = path;
    owner.host().Message(kOpenFailed);
    return false;
  }
  if (adjust) adjust(*file);
  owner.Config().file = path;
  if (!file->legacy) owner.host().WaitCursor(true);
  ConfigTitleUpdate(owner, BaseName(path));
  ApplyConfiguration(owner, *file, noQuestion);
  if (!file->legacy) owner.host().WaitCursor(false);
  return true;
}

void ApplyConfiguration(RunOwner& owner, const Configuration& file, bool noQuestion) {
  if (file.asksReconnect) {
    const bool yes = noQuestion || owner.host().Message(kReconnect, Host::Buttons::YesNo) == Host::Answer::Yes;
    if (yes && !file.connectString.empty())
      owner.ReplaceConnection(
          DbConnection::ConnectWithString(owner.host(), file.connectString, file.databaseUser, file.catalogFlag));
  }
  owner.Options() = file.opts;
  if (file.applyProfile && !owner.Profiles().empty())
    ApplyWorkingProfile(owner.Profiles(), owner.Options().s_WorkingProfile, owner.Working());
}

bool AutoStart(RunOwner& owner, const std::string& path) {
  LoadConfiguration(owner, path, true);
  if (owner.HasUsableConnection()) {
    owner.SetScriptSaved(false);
    owner.SetAutoStart(path);
    // An automatic start is not a run the user started: Save Script and Rerun keep their state.
    const bool hadRun = owner.HasRun();
    const bool started = owner.StartRun();
    owner.SetHasRun(hadRun);
    if (!started) owner.SetAutoStart({});
    return started;
  }
  owner.host().ShowMaximized();
  owner.host().Message(kNoAutoStart);
  return false;
}

}  // namespace mv
