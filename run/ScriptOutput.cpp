#include "run/ScriptOutput.h"

#include "db/ConnectSafety.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/AtomicFile.h"
#include "base/BufferedFile.h"
#include "base/Host.h"
#include "base/ScriptFont.h"
#include "base/SettingsStore.h"
#include "base/TextRules.h"

namespace mv {

ScriptOutput::ScriptOutput(Host& host, SettingsStore& settings) : host_(host), settings_(settings) {}

void ScriptOutput::BeginRun(const OutputMode& mode, const std::string& remarkMarker) {
  mode_ = mode;
  remarks_ = remarkMarker;
  ResetAutoSave();
  EmptyWindow();
  host_.Script().SetFont(LoadScriptFont(settings_));
}

void ScriptOutput::FinishRun() {
  DivertTo(nullptr);
  if (filter_.Active()) {
    std::string rest;
    filter_.Finish(rest);
    Deliver(rest, colorText, false);
    filter_.Set(false, false);
  }
  if (mode_.autoSave) {
    AutoSaveFlush();
    ResetAutoSave();
  }
  if (mode_.onlyToFile) {
    saved_ = true;
    CloseOutputFile();
  }
}

void ScriptOutput::ResetAutoSave() {
  autoSaveStarted_ = false;
  autoSaveFailing_ = false;
  autoSaveOff_ = false;
}

ScriptOutput::~ScriptOutput() { CloseOutputFile(); }

[[gnu::hot]] void ScriptOutput::Append(std::string_view text, Color color, bool counted) {
  if (filter_.Active()) [[unlikely]] {
    std::string filtered;
    (divert_ ? divertFilter_ : filter_).Filter(text, filtered);
    return Deliver(filtered, color, counted);
  }
  Deliver(text, color, counted);
}

void ScriptOutput::AppendVerbatim(std::string_view text, bool counted) {
  std::string kept;
  (divert_ ? divertFilter_ : filter_).Verbatim(text, kept);
  Deliver(kept, colorName, counted);
}

void ScriptOutput::DivertTo(TableFile* file) {
  if (divert_ && divertFilter_.Active()) {
    std::string rest;
    divertFilter_.Finish(rest);
    divert_->Write(rest);
  }
  divert_ = file;
  divertFilter_ = filter_.Fresh();
}

[[gnu::hot]] void ScriptOutput::Deliver(std::string_view text, Color color, bool counted) {
  if (divert_) {
    divert_->Write(text);
    return;
  }
  if (mode_.onlyToFile && WriteToOutputFile(text)) return;
  ToWindow(text, color);
  if (!counted || !AutoSaving()) return;
  if (autoSaveFailing_ && windowText_.size() > kAutoSaveBacklogLimit) {
    StopAutoSave("Auto save to file " + mode_.file + " is off for the rest of this run: it kept failing.");
    return;
  }
  if (windowLines_ > (autoSaveFailing_ ? autoSaveRetryAt_ : mode_.autoSaveLines) && AutoSaveFlush()) EmptyWindow();
}

[[gnu::hot]] void ScriptOutput::ToWindow(std::string_view text, Color color) {
  if (text.empty()) return;
  host_.Script().Insert(text, color);
  // Only auto-save counts the lines and reads the text back; otherwise the window alone holds it.
  if (!AutoSaving()) return;
  windowLines_ += CountLineFeeds(text);
  windowText_.append(text);
}

void ScriptOutput::EmptyWindow() {
  host_.Script().Empty();
  windowText_.clear();
  windowLines_ = 1;
}

[[gnu::hot]] void ScriptOutput::Write(const ScriptText& text) {
  const std::string& all = text.Text();
  // Where nobody sees the colours (and so no auto-save runs) one append carries it all; so
  // does a text kept without its pieces.
  if (filter_.Active()) [[unlikely]] {
    // Piece by piece: the values pass unchanged.
    for (const ScriptText::Piece& p : text.Pieces()) {
      const std::string_view piece = std::string_view(all).substr(p.start, p.length);
      if (p.role == TextRole::Data)
        AppendVerbatim(piece, p.counted);
      else
        Append(piece, Palette::Of(p.role), p.counted);
    }
    if (text.Pieces().empty()) Append(all, colorText, text.AnyCounted());
    return;
  }
  if (text.Pieces().empty() || !ColoursMatter()) {
    Append(all, colorText, text.AnyCounted());
    return;
  }
  // Straight to the window, no auto-save counting its pieces: the window takes them in one call
  // (when they cover the text end to end, as a statement's do).
  if (!divert_ && !(mode_.onlyToFile && file_.IsOpen()) && !AutoSaving()) {
    runs_.clear();
    size_t at = 0;
    for (const ScriptText::Piece& p : text.Pieces()) {
      if (p.start != at) break;
      runs_.push_back({p.length, Palette::Of(p.role)});
      at += p.length;
    }
    if (at == all.size() && runs_.size() == text.Pieces().size()) {
      host_.Script().InsertRuns(all, runs_);
      return;
    }
  }
  for (const ScriptText::Piece& p : text.Pieces())
    Append(std::string_view(all).substr(p.start, p.length), Palette::Of(p.role), p.counted);
}

bool ScriptOutput::ColoursMatter() const {
  // The line filter must see the values apart from the statements around them.
  if (filter_.Active()) return true;
  if (divert_) return false;
  if (mode_.onlyToFile && file_.IsOpen()) return false;
  // Pieces stay apart while auto-saving, so that the file is cut after the counted piece.
  if (AutoSaving()) return true;
  return host_.Script().KeepsColours();
}

bool ScriptOutput::OpenOutputFile() {
  CloseOutputFile();
  if (!file_.Open(mode_.file)) {
    host_.Message("Could not open file " + mode_.file + ". Output will be sent to the screen.", Host::Buttons::Ok);
    mode_.onlyToFile = false;
    return false;
  }
  mode_.autoSave = false;
  windowText_.clear();
  return true;
}

void ScriptOutput::OutputFileFailed(std::string unwritten) {
  mode_.onlyToFile = false;
  saved_ = false;
  ++writeFailures_;
  host_.Message("Could not save line to file. Output will continue on the screen.", Host::Buttons::Ok);
  ToWindow(unwritten, colorText);
}

bool ScriptOutput::WriteToOutputFile(std::string_view text) {
  if (!file_.IsOpen()) return false;
  if (file_.Write(text)) return true;
  // The file failed: what did not reach it goes to the window, so nothing is lost. The caller
  // shows the current text; before it stands what the file did not take.
  std::string unwritten = file_.TakeUnwritten();
  file_.Close();
  unwritten.resize(unwritten.size() > text.size() ? unwritten.size() - text.size() : 0);
  OutputFileFailed(std::move(unwritten));
  return false;
}

bool ScriptOutput::CloseOutputFile() {
  if (!file_.IsOpen()) return true;
  if (file_.Close()) return true;
  OutputFileFailed(file_.TakeUnwritten());
  return false;
}

void ScriptOutput::AutoSaveError(const std::string& what, const std::string& box) {
  ++writeFailures_;
  // Trying again on every counted piece would rewrite the growing window each time and report
  // each line: the next try waits until the window has doubled, at least one more interval.
  autoSaveRetryAt_ = std::max(2 * windowLines_, windowLines_ + std::max(mode_.autoSaveLines, 1));
  if (autoSaveFailing_) return;
  autoSaveFailing_ = true;
  Append("\r\n\r\n" + remarks_ + "  " + what + "\r\n\r\n", colorMessage, false);
  if (!box.empty()) host_.Message(box, Host::Buttons::Ok);
}

void ScriptOutput::StopAutoSave(const std::string& why) {
  autoSaveOff_ = true;
  std::string().swap(windowText_);
  Append("\r\n\r\n" + remarks_ + "  " + why + "\r\n\r\n", colorMessage, false);
}

bool ScriptOutput::WriteLines(BufferedFile& file) {
  host_.ShowSaving(windowLines_);
  // Line by line, as the "Saving..." bar counts them.
  size_t start = 0;
  while (start < windowText_.size()) {
    size_t end = windowText_.find('\n', start);
    end = end == std::string::npos ? windowText_.size() : end + 1;
    if (!file.Write(std::string_view(windowText_).substr(start, end - start))) return false;
    host_.SavingStep();
    start = end;
  }
  return file.Flush();
}

std::FILE* ScriptOutput::OpenAutoSaveFile() {
  const std::string& file = mode_.file;
  if (!autoSaveStarted_) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) AutoSaveError("Could not auto save to file (create): " + file);
    autoSaveStarted_ = f != nullptr;
    return f;
  }
  std::FILE* f = nullptr;
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0 || !(f = fdopen(fd, "wb"))) {
    if (fd >= 0) ::close(fd);
    AutoSaveError("Could not auto save to file (open): " + file);
    return nullptr;
  }
  if (std::fseek(f, 0, SEEK_END) != 0) {
    std::fclose(f);
    AutoSaveError("Could not auto save to file (seek): " + file);
    return nullptr;
  }
  return f;
}

bool ScriptOutput::AutoSaveFlush() {
  if (autoSaveOff_) return false;
  if (windowText_.empty()) {
    saved_ = true;
    return true;
  }
  const std::string& file = mode_.file;
  if (file.empty()) {
    // No name can ever be created: say so once and keep the script in the window.
    ++writeFailures_;
    StopAutoSave("Auto save is on, but no file name is set: the script stays in the window.");
    return false;
  }
  std::FILE* f = OpenAutoSaveFile();
  if (!f) return false;
  const long before = std::ftell(f);
  host_.WaitCursor(true);
  BufferedFile out;
  out.Attach(f, true);
  const bool ok = WriteLines(out);
  // Cut a partial flush off again: the retry writes the same lines, never twice.
  if (!ok && before >= 0 && ftruncate(fileno(f), before) != 0) { /* the message below says it failed */
  }
  const bool diskFull = !ok && out.Error() == ENOSPC;
  out.Close();
  host_.WaitCursor(false);
  host_.HideSaving();
  if (!ok) {
    if (diskFull)
      AutoSaveError("Could not auto save to file (write): " + file + ": Disk is full.",
                    "The file could not be saved, the disk is full.\nPlease make some space and press OK to continue.");
    else
      AutoSaveError("Could not auto save to file (write): " + file, "Could not auto save to file (write): " + file);
    return false;
  }
  saved_ = true;
  autoSaveFailing_ = false;
  return true;
}

bool ScriptOutput::IsSourceFile(const std::string& path) const { return NamesSourceFile(sourceConnect_, path); }

void ScriptOutput::SaveScript(int& saveCancelled, const std::string& givenPath) {
  if (saved_) return;
  ScriptWindow& window = host_.Script();
  if (window.IsEmpty()) {
    saved_ = true;
    return;
  }
  std::string path = givenPath;
  if (path.empty())
    path = host_.AskSavePath({{"Text Format (*.sql)", {"*.sql"}}, {"RTF Format (*.rtf)", {"*.rtf"}}}, "sql", {});
  if (path.empty()) {
    saveCancelled = 1;
    return;
  }
  saveCancelled = 0;
  if (IsSourceFile(path)) {
    host_.Message("The script was not saved: " + path + " is the source database.", Host::Buttons::Ok);
    return;
  }
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  bool rtf = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
             strcasecmp(path.c_str() + dot + 1, "rtf") == 0;
  if (rtf) {
    if (!WriteFileAtomically(path, window.Rtf() + "\n").empty()) {
      host_.Message("Could not open file.", Host::Buttons::Ok);
      return;
    }
    saved_ = true;
    return;
  }
  // One copy of the window's text: during a run the worker goes on appending (and empties the
  // window after an auto-save), and the file must hold the window as it was at one moment.
  const std::string data = window.WholeText();
  const long n =
      static_cast<long>(std::count(data.begin(), data.end(), '\n')) + (!data.empty() && data.back() != '\n' ? 1 : 0);
  host_.ShowSaving(n);
  host_.WaitCursor(true);
  for (long i = 0; i < n; ++i) host_.SavingStep();
  std::string error = WriteFileAtomically(path, data);
  host_.WaitCursor(false);
  host_.HideSaving();
  if (!error.empty()) {
    host_.Message("ERROR: Could not save file.", Host::Buttons::Ok);
    return;
  }
  saved_ = true;
}

}  // namespace mv
