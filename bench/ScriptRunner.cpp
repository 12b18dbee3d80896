#include "ScriptRunner.h"
#include "TimingSeries.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "MemoryProbe.h"
#ifdef MV_BENCH_WINDOW
#include "WindowRun.h"
#endif
#include "base/ConsoleHost.h"
#include "base/SettingsStore.h"
#include "db/DbConnection.h"
#include "run/RunContext.h"
#include "run/RunController.h"
#include "run/Scripters.h"

namespace mv::bench {

namespace {
std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Owns the C streams of one run, so every way out closes them.
struct Streams {
  std::FILE* script = nullptr;
  std::FILE* messages = nullptr;
  ~Streams() {
    if (script) std::fclose(script);
    if (messages) std::fclose(messages);
  }
};
}  // namespace

ScriptRunner::ScriptRunner(std::string workDir, std::string sink)
    : workDir_(std::move(workDir)), sink_(std::move(sink)) {
  std::filesystem::create_directories(workDir_ + "/program");
}

ScriptRunner::Result ScriptRunner::Run(const std::string& connectString, const std::string& owner,
                                       const std::string& outputPath) {
#ifdef MV_BENCH_WINDOW
  if (sink_ == "qt") return RunInWindow(workDir_, connectString, owner, outputPath);
#endif
  const bool toFile = sink_ == "file";
  const std::string messagesPath = workDir_ + "/messages.log";
  Streams s;
  s.messages = std::fopen(messagesPath.c_str(), "w");
  // In only-to-file mode the window receives just the notice that the script goes elsewhere.
  s.script = std::fopen(toFile ? "/dev/null" : outputPath.c_str(), "wb");
  if (!s.messages || !s.script) throw std::runtime_error("cannot create " + outputPath + " or " + messagesPath);

  SettingsStore settings(workDir_ + "/Mervale.ini");
  ConsoleHost host(s.script, s.messages, false);
  RunController run(host, settings, workDir_ + "/program");
  // As the batch program runs it: on this thread.
  run.SetRunOnCallingThread(true);
  LoadStartupState(run.session());
  run.session().opts.b_DoTabStruct = 0;
  run.session().opts.b_DoIndex = 0;
  run.session().opts.b_DoTabData = 1;
  run.session().opts.b_AutoSave = 0;
  run.session().opts.b_OnlyToFile = toFile ? 1 : 0;
  run.session().opts.s_AutoSaveFile = toFile ? outputPath : std::string();
  host.window().SetKeepText(false);

  auto conn = DbConnection::ConnectWithString(host, connectString, owner, "0");
  if (!conn || !conn->Connected()) {
    std::fflush(s.messages);
    throw std::runtime_error("Mervale could not connect: " + ReadText(messagesPath));
  }
  run.ReplaceConnection(std::move(conn));

  Result r;
  MemoryProbe probe;
  probe.Start();
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const bool started = run.StartRun();
  run.Wait();
  const bool flushed = host.window().FlushSink() && std::fflush(s.script) == 0;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.cpuSeconds = CpuSeconds() - cpu0;
  r.rssGrowthKb = probe.GrowthKb();

  std::fflush(s.messages);
  if (!started || run.session().lastOutcome != RunOutcome::Finished || !flushed || run.Output().WriteFailures() > 0)
    throw std::runtime_error("the Mervale run did not finish: " + ReadText(messagesPath));
  // Built again from the run's own context, so the plain fetch can read what the run read.
  if (RunContext* ctx = run.session().lastRun.get(); ctx && ctx->tables.size() == 1)
    r.dataSelect = BuildSelect(*ctx, ctx->tables.front()).select;
  // The streams stay open until the host is gone: its window flushes into them on destruction.
  CheckScript(outputPath, r);
  return r;
}

void ScriptRunner::CheckScript(const std::string& path, Result& r) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("the script " + path + " was not written");
  // Counted in blocks with an overlap, so a statement split between two blocks is found once.
  static const std::string kInsert = "INSERT INTO ";
  static const std::string kApostrophe = "D''Arcy";  // row 1 already has it
  const size_t keep = kInsert.size() - 1;
  std::string block;
  std::vector<char> buf(1 << 20);
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) {
    r.bytes += static_cast<long long>(n);
    block.append(buf.data(), n);
    for (size_t p = block.find(kInsert); p != std::string::npos; p = block.find(kInsert, p + 1)) ++r.inserts;
    if (!r.apostrophesDoubled) r.apostrophesDoubled = block.find(kApostrophe) != std::string::npos;
    block.erase(0, block.size() > keep ? block.size() - keep : 0);
  }
  std::fclose(f);
}

}  // namespace mv::bench
