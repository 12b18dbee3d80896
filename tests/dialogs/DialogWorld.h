#pragma once
// The records a run owner keeps, for the dialogs under test: settings in a folder of their own,
// the built-in profile, and a connect call that connects to connectTo (the demo database).
#include <memory>
#include <string>

#include "base/SettingsStore.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "settings/RunOptions.h"
#include "settings/ui/RunSetup.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

namespace mv::test {

inline const std::string kDemoConnect = "DRIVER=SQLite3;Database=" MV_BINARY_DIR "/demo/demo.db";

struct DialogWorld {
  ScriptedHost host;
  TempDir dir;
  SettingsStore settings{dir / "settings.ini"};
  RunOptions opts;
  ProfileList profiles;
  Profile working;
  std::unique_ptr<DbConnection> conn;  // none until a dialog connects, or the test does
  std::string connectTo = kDemoConnect;
  ui::DialogContext ctx{opts, profiles, working, settings, host, dir.path, {}, {}, {}, {}, {}};
  DialogWorld() {
    Profile p;
    SetBuiltInDefaults(p);
    p.s_Name = "Default";
    profiles.Append(p);
    SetBuiltInDefaults(working);
    ctx.connection = [this] { return conn.get(); };
    ctx.replaceConnection = [this](std::unique_ptr<DbConnection> c) { conn = std::move(c); };
    ctx.connectInteractive = [this](QWidget*) { return DbConnection::ConnectWithString(host, connectTo, "", "0"); };
  }
};

}  // namespace mv::test
