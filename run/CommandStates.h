#pragma once

namespace mv {

// What the enable rules of the run commands look at.
struct RunFlags {
  bool running = false;
  bool paused = false;
  bool skipAllowed = false;
  bool hasRun = false;
  bool configLoadedSinceRun = false;
  bool lastSqlAvailable = false;
  bool configFileKnown = false;  // s_ConfigFile is not empty
};

// Which commands are enabled: one rule for the menus, the toolbar and the Control Panel.
struct CommandStates {
  bool start = false, rerunLast = false, startSql = false, rerunLastSql = false;
  bool pause = false, resume = false, skip = false, stop = false;
  bool saveScript = false, find = false, print = false;
  bool saveConfig = false, saveConfigAs = false;
  bool operator==(const CommandStates&) const = default;
};

CommandStates CommandStatesFor(const RunFlags& f);

}  // namespace mv
