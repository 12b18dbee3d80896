#include "WindowRun.h"
#include "TimingSeries.h"

#include <QApplication>
#include <QMainWindow>
#include <chrono>
#include <stdexcept>

#include "MemoryProbe.h"
#include "base/SettingsStore.h"
#include "db/DbConnection.h"
#include "run/RunController.h"
#include "shell/ui/QtHost.h"
#include "shell/ui/ScriptView.h"

namespace mv::bench {

namespace {
void EnsureApplication() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "mervale-bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives until the program ends
}
}  // namespace

ScriptRunner::Result RunInWindow(const std::string& workDir, const std::string& connectString, const std::string& owner,
                                 const std::string& outputPath) {
  EnsureApplication();
  SettingsStore settings(workDir + "/Mervale.ini");
  QMainWindow window;
  auto* view = new ScriptView;
  window.setCentralWidget(view);
  window.resize(1000, 700);
  QtHost host(*view, &window);
  std::string messages;
  host.SetMessageFunction([&messages](const std::string& text, Host::Buttons b) {
    messages += text + "\n";
    return b == Host::Buttons::Ok ? Host::Answer::Ok : Host::Answer::No;
  });
  RunController run(host, settings, workDir + "/program");
  LoadStartupState(run.session());
  RunOptions& o = run.session().opts;
  o.b_DoTabStruct = 0;
  o.b_DoIndex = 0;
  o.b_DoTabData = 1;
  o.b_OnlyToFile = 0;
  o.b_AutoSave = 1;
  o.i_AutoSaveLines = 500;
  o.s_AutoSaveFile = outputPath;

  auto conn = DbConnection::ConnectWithString(host, connectString, owner, "0");
  if (!conn || !conn->Connected()) throw std::runtime_error("Mervale could not connect: " + messages);
  run.ReplaceConnection(std::move(conn));
  window.show();

  ScriptRunner::Result r;
  MemoryProbe probe;
  probe.Start();
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const bool started = run.StartRun();
  run.Wait();  // runs the event loop: the window shows the script as it comes
  view->Drain();
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.cpuSeconds = CpuSeconds() - cpu0;
  r.rssGrowthKb = probe.GrowthKb();
  if (!started || run.session().lastOutcome != RunOutcome::Finished || run.Output().WriteFailures() > 0)
    throw std::runtime_error("the Mervale run did not finish: " + messages);
  // The window never held more than the auto-save window.
  if (view->LineCount() > 2 * o.i_AutoSaveLines + 10)
    throw std::runtime_error("the window holds " + std::to_string(view->LineCount()) + " lines after the run");
  ScriptRunner::CheckScript(outputPath, r);
  return r;
}

}  // namespace mv::bench
