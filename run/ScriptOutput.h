#pragma once
#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/BufferedFile.h"
#include "base/ScriptWindow.h"
#include "base/TableFile.h"
#include "run/LineFilter.h"
#include "run/ScriptText.h"

namespace mv {

class Host;
class SettingsStore;

// Where a run's text goes: the window, the output file, or the window with incremental
// auto-save. The run starts from its options; failures change it (a file that cannot be
// opened sends the text to the window), and the run hands the result back at its end.
struct OutputMode {
  bool onlyToFile = false;
  bool autoSave = false;
  int autoSaveLines = 500;
  std::string file;
};

// The destination of all script text, each piece with a role the palette colours: the window,
// the output file or the window with auto-save. ScriptWriter is the vocabulary written into it.
class ScriptOutput {
 public:
  static constexpr Color colorName = Palette::name;
  static constexpr Color colorMessage = Palette::message;
  static constexpr Color colorRemarkMarker = Palette::remarkMarker;
  static constexpr Color colorSql = Palette::sql;
  static constexpr Color colorRemark = Palette::remark;
  static constexpr Color colorText = Palette::text;

  ScriptOutput(Host& host, SettingsStore& settings);
  ~ScriptOutput();
  ScriptOutput(const ScriptOutput&) = delete;
  ScriptOutput& operator=(const ScriptOutput&) = delete;

  // --- a run (worker thread)
  // The mode and the remark marker of the output's own messages; the window is emptied and
  // takes the saved script font.
  void BeginRun(const OutputMode& mode, const std::string& remarkMarker);
  // Line feeds for "\r\n", blanks and tabs at line ends left out: set at a run's start.
  void SetLineFilter(bool lineFeeds, bool trimLineEnds) { filter_.Set(lineFeeds, trimLineEnds); }
  // Sends every text to file (a table's own) until DivertTo(nullptr); a failed write is the
  // file's to report.
  void DivertTo(TableFile* file);
  // A file of the run other than the script could not be written.
  void FileFailed() { ++writeFailures_; }
  OutputMode& Mode() { return mode_; }

  void Append(std::string_view text, Color color, bool counted = false);
  void Write(std::string_view text, TextRole role, bool counted = false) {
    if (role == TextRole::Data && filter_.Active()) [[unlikely]]
      return AppendVerbatim(text, counted);
    Append(text, Palette::Of(role), counted);
  }
  void Write(const ScriptText& text);

  bool OpenOutputFile();
  // Flushes and closes the output file; false when the last writes failed.
  bool CloseOutputFile();
  bool AutoSaveFlush();
  // Every end of a run: the pending auto-save flushed, the output file closed.
  void FinishRun();

  // --- the UI thread, outside a run
  // Save Script: asks the host for a path unless one is given. Sets saveCancelled.
  void SaveScript(int& saveCancelled, const std::string& givenPath = {});
  // The connect string of the source: a file it names is never written over.
  void SetSourceConnectString(const std::string& connectString) { sourceConnect_ = connectString; }
  bool IsSourceFile(const std::string& path) const;
  bool Saved() const { return saved_; }
  void SetSaved(bool saved) { saved_ = saved; }

  // False when the text goes where its colours are not kept (the output file, a streaming
  // window): writers may then join pieces of one colour-less line into one append.
  bool ColoursMatter() const;
  // Failed writes to the output or auto-save file since construction. A failure that goes on is
  // reported once, when it starts.
  int WriteFailures() const { return writeFailures_; }
  // The text kept for the auto-save file; it stays bounded whatever the failure.
  size_t AutoSaveBacklog() const { return windowText_.size(); }
  // How much unsaved text a failing auto-save keeps before it gives up for the rest of the run.
  static constexpr size_t kAutoSaveBacklogLimit = 8u << 20;

 private:
  std::string sourceConnect_;
  bool WriteToOutputFile(std::string_view text);
  // Text past the line filter.
  void Deliver(std::string_view text, Color color, bool counted);
  void AppendVerbatim(std::string_view text, bool counted);
  void ResetAutoSave();
  // The output file failed: the rest goes to the window, unwritten first.
  void OutputFileFailed(std::string unwritten);
  // The auto-save file, created at the first flush and appended to after; null when it could not
  // be opened (reported).
  std::FILE* OpenAutoSaveFile();
  bool AutoSaving() const { return mode_.autoSave && !autoSaveOff_; }
  // Counts a failed flush and reports it when it starts a run of failures.
  void AutoSaveError(const std::string& what, const std::string& box = {});
  // Gives auto-save up for the rest of the run (the window keeps the text), saying why.
  void StopAutoSave(const std::string& why);
  bool WriteLines(BufferedFile& file);
  // Text for the window, with the lines the auto-save rule counts.
  void ToWindow(std::string_view text, Color color);
  void EmptyWindow();

  Host& host_;
  SettingsStore& settings_;
  std::vector<ScriptSink::Run> runs_;  // a text's pieces as the window takes them, kept for reuse
  OutputMode mode_;
  LineFilter filter_;
  TableFile* divert_ = nullptr;
  LineFilter divertFilter_;  // the diverted text's own: a table's file ends whole
  std::string remarks_;
  // Set and cleared by the worker (auto-save, only-to-file) and by a Save Script during a run.
  std::atomic<bool> saved_{true};
  BufferedFile file_;
  // What the window received since it was last emptied, kept for auto-save only, and its
  // line count (line feeds plus one, as the window counts them).
  std::string windowText_;
  long windowLines_ = 1;
  bool autoSaveStarted_ = false;
  // Auto-save failures: whether the last flush failed (so the next one is not reported), the
  // window line count at which it is tried again, and whether it was given up for the run.
  bool autoSaveFailing_ = false;
  long autoSaveRetryAt_ = 0;
  bool autoSaveOff_ = false;
  int writeFailures_ = 0;
};

}  // namespace mv
