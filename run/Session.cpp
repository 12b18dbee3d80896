#include "run/Session.h"

#include "base/SettingsStore.h"
#include "profiles/ProfileFile.h"
#include "settings/RunOptions.h"

namespace mv {

void LoadStartupState(Session& s) {
  int readOnly = 1;
  LoadRunSettings(s.settings, s.opts, s.working, &readOnly);
  s.readOnly = readOnly != 0;
  DiscoverProfiles(s.profiles, s.programFolder, s.opts.s_WorkingProfile, s.working, s.host);
}

void SaveShutdownState(Session& s) { SaveRunSettings(s.settings, s.opts, s.working); }

}  // namespace mv
