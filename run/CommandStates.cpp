#include "run/CommandStates.h"

namespace mv {

CommandStates CommandStatesFor(const RunFlags& f) {
  CommandStates s;
  s.start = !f.running;
  s.startSql = !f.running;
  s.rerunLast = !f.running && f.hasRun && !f.configLoadedSinceRun;
  s.rerunLastSql = !f.running && f.lastSqlAvailable && !f.configLoadedSinceRun;
  s.stop = f.running;
  s.pause = f.running && !f.paused;
  s.resume = f.running && f.paused;
  s.skip = f.running && f.skipAllowed && !f.paused;
  s.saveScript = s.find = s.print = f.hasRun;
  s.saveConfigAs = f.hasRun || f.configFileKnown;
  s.saveConfig = f.configFileKnown;
  return s;
}

}  // namespace mv
