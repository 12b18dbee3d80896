#pragma once
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/Process.h"

namespace mv::test {

// What the tests that load scripts into real engines share: scripting a configuration with
// mervale-batch as a user runs it, the sqlite3 tool, and the small text helpers around them.

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream ss(text);
  std::string line;
  while (std::getline(ss, line)) lines.push_back(line);
  return lines;
}

inline std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteText(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

// Writes a configuration as a user saves one (profile, connect string, owner, the run options'
// defaults and `sections`, e.g. "[Ignore Tables]\ntab0=x\n") to dir/PROFILE.mvl and scripts it
// with mervale-batch --output `script`, with the build's program folder and the user settings in
// dir/xdg.
inline ProcessResult ScriptWithBatch(const std::filesystem::path& dir, const std::string& profile,
                                     const std::string& connect, const std::string& owner, bool isCatalog,
                                     const std::string& script, const std::string& sections = {},
                                     const std::vector<std::string>& extra = {}) {
  const std::filesystem::path config = dir / (profile + ".mvl");
  WriteText(config, "[Mervale]\nVersion=5.0\ns_WorkingProfile=" + profile +
                        "\nb_DataType=0\n[Database]\ns_ConnectString=" + connect +
                        (owner.empty() ? "" : "\ns_DatabaseUser=" + owner) +
                        "\nb_IsCatalog=" + (isCatalog ? "1" : "0") + "\n" + sections);
  std::vector<std::string> argv = {MV_BATCH_PATH, config.string(), "--output", script};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return RunProcess(argv, {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg").string()});
}

// sqlite3 -bail -batch DB < sql; throws with the tool's output on any error.
inline std::string SqliteRun(const std::filesystem::path& db, const std::string& sql,
                             const std::filesystem::path& scratch) {
  const std::filesystem::path file = scratch / "query.sql";
  WriteText(file, sql);
  std::vector<std::string> argv = {"sqlite3", "-bail", "-batch", db.string()};
  ProcessResult r = RunProcess(argv, {}, file.string());
  if (r.status != 0 || !r.err.empty()) throw std::runtime_error(Describe(argv, r));
  return r.out;
}

}  // namespace mv::test
