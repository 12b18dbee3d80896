#pragma once
#include <cstdio>
#include <string>
#include <string_view>

#include "shell/ScriptWindow.h"

namespace mv {

class Host;
struct RunOptions;
struct Profile;
class SettingsStore;


// The destination of all script text: the window, the output file, or the window with
// incremental auto-save.
class ScriptOutput {
 public:
  static constexpr Color colorName{42, 42, 255};
  static constexpr Color colorMessage{130, 8, 54};
  static constexpr Color colorRemarkMarker{130, 8, 54};
  static constexpr Color colorSql{255, 0, 0};
  static constexpr Color colorRemark{9, 165, 46};
  static constexpr Color colorText{0, 0, 0};

  ScriptOutput(Host& host, RunOptions& opts, const Profile& working, SettingsStore& settings, int& scriptSaved);
  ~ScriptOutput();
  ScriptOutput(const ScriptOutput&) = delete;
  ScriptOutput& operator=(const ScriptOutput&) = delete;

  void Append(std::string_view text, Color color, bool counted = false);
  bool OpenOutputFile();
  bool WriteToOutputFile(std::string_view text);
  // Flushes and closes the output file; false when the last writes failed.
  bool CloseOutputFile();
  bool OutputFileOpen() const { return out_ != nullptr; }
  bool AutoSaveFlush();
  void ResetAutoSave() { autoSaveStarted_ = false; }
  void ApplyScriptFont();
  // Save Script: asks the host for a path unless one is given. Sets saveCancelled.
  void SaveScript(int& saveCancelled, const std::string& givenPath = {});

  // False when the text goes where its colours are not kept (the output file, a streaming
  // window): writers may then join pieces of one colour-less line into one append.
  bool ColoursMatter() const;
  // Failed writes to the output or auto-save file since construction (each also reported).
  int WriteFailures() const { return writeFailures_; }

  static std::string PadToWidth(std::string_view text, size_t width, bool cut);

 private:
  bool FlushOutBuffer();
  void AutoSaveError(const std::string& what);
  bool WriteLines(std::FILE* f, bool& diskFull);

  Host& host_;
  RunOptions& opts_;
  const Profile& working_;
  SettingsStore& settings_;
  int& scriptSaved_;
  std::FILE* out_ = nullptr;
  std::string outBuf_;
  bool autoSaveStarted_ = false;
  int writeFailures_ = 0;
};

}  // namespace mv
