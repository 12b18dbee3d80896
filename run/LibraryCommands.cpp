#include "run/LibraryCommands.h"

#include "base/Host.h"
#include "base/SqlLibrary.h"
#include "run/RunController.h"
#include "run/StartRules.h"

namespace mv {

int OpenLibraryEntry(RunController& run, const SqlLibrary& library, int command) {
  Session& s = run.session();
  const std::string path = library.PathFor(command);
  if (path.empty()) return 0;
  std::string text;
  if (!SqlLibrary::ReadStatement(path, text)) {
    s.host.Message("Could not open file '" + path + "'", Host::Buttons::Ok);
    return 0;
  }
  s.opts.s_GlobalPassSql = text;
  // Without Auto Run the statement waits for the Sql Script dialog.
  if (SqlLibrary::AutoRun(s.settings) && s.HasUsableConnection()) RunLibraryStatement(run, text);
  return 1;
}

bool RunLibraryStatement(RunController& run, const std::string& text) {
  if (!CanStart(run, RunKind::FreeForm)) return false;
  run.session().opts.s_GlobalPassSql = text;
  return run.StartFreeFormRun(true);
}

}  // namespace mv
