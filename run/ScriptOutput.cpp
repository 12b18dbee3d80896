#include "run/ScriptOutput.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "profiles/Profile.h"
#include "settings/RunOptions.h"
#include "shell/SettingsStore.h"
#include "shell/AtomicFile.h"
#include "shell/Host.h"

namespace mv {

namespace {
constexpr size_t kOutBuffer = 1 << 16;
}

ScriptOutput::ScriptOutput(Host& host, RunOptions& opts, const Profile& working, SettingsStore& settings,
                           int& scriptSaved)
    : host_(host), opts_(opts), working_(working), settings_(settings), scriptSaved_(scriptSaved) {}

ScriptOutput::~ScriptOutput() { CloseOutputFile(); }

std::string ScriptOutput::PadToWidth(std::string_view text, size_t width, bool cut) {
  if (text.size() < width) {
    std::string out(text);
    out.append(width - text.size(), ' ');
    return out;
  }
  if (cut) return std::string(text.substr(0, width));
  return std::string(text);
}

void ScriptOutput::Append(std::string_view text, Color color, bool counted) {
  if (opts_.b_OnlyToFile && WriteToOutputFile(text)) return;
  ScriptWindow& window = host_.Script();
  window.Insert(text, color);
  if (opts_.b_AutoSave && counted && window.LineCount() > opts_.i_AutoSaveLines) {
    if (AutoSaveFlush()) window.Empty();
  }
}

bool ScriptOutput::ColoursMatter() const {
  if (opts_.b_OnlyToFile && out_) return false;
  return host_.Script().KeepsColours();
}

bool ScriptOutput::OpenOutputFile() {
  CloseOutputFile();
  out_ = std::fopen(opts_.s_AutoSaveFile.c_str(), "wb");
  if (!out_) {
    host_.Message("Could not open file " + opts_.s_AutoSaveFile + ". Output will be sent to the screen.",
                  Host::Buttons::Ok);
    opts_.b_OnlyToFile = 0;
    return false;
  }
  // Our own buffer: one system call per 64 KiB, and we know exactly what reached the file.
  std::setvbuf(out_, nullptr, _IONBF, 0);
  outBuf_.clear();
  outBuf_.reserve(kOutBuffer);
  opts_.b_AutoSave = 0;
  return true;
}

bool ScriptOutput::FlushOutBuffer() {
  if (!out_ || outBuf_.empty()) return true;
  size_t written = std::fwrite(outBuf_.data(), 1, outBuf_.size(), out_);
  if (written == outBuf_.size()) {
    outBuf_.clear();
    return true;
  }
  outBuf_.erase(0, written);
  return false;
}

bool ScriptOutput::WriteToOutputFile(std::string_view text) {
  if (!out_) return false;
  outBuf_.append(text);
  if (outBuf_.size() < kOutBuffer || FlushOutBuffer()) return true;
  // The file failed: what did not reach it goes to the window, so nothing is lost.
  std::string unwritten;
  unwritten.swap(outBuf_);
  std::fclose(out_);
  out_ = nullptr;
  opts_.b_OnlyToFile = 0;
  scriptSaved_ = 0;
  ++writeFailures_;
  host_.Message("Could not save line to file. Output will continue on the screen.", Host::Buttons::Ok);
  // The caller shows the current text; before it stands what the file did not take.
  unwritten.resize(unwritten.size() > text.size() ? unwritten.size() - text.size() : 0);
  if (!unwritten.empty()) host_.Script().Insert(unwritten, colorText);
  return false;
}

bool ScriptOutput::CloseOutputFile() {
  if (!out_) return true;
  bool ok = FlushOutBuffer();
  if (std::fclose(out_) != 0) ok = false;
  out_ = nullptr;
  if (!ok) {
    std::string unwritten;
    unwritten.swap(outBuf_);
    opts_.b_OnlyToFile = 0;
    scriptSaved_ = 0;
    ++writeFailures_;
    host_.Message("Could not save line to file. Output will continue on the screen.", Host::Buttons::Ok);
    if (!unwritten.empty()) host_.Script().Insert(unwritten, colorText);
  }
  return ok;
}

void ScriptOutput::AutoSaveError(const std::string& what) {
  ++writeFailures_;
  Append("\r\n\r\n" + working_.s_Remarks + "  " + what + "\r\n\r\n", colorMessage, false);
}

bool ScriptOutput::WriteLines(std::FILE* f, bool& diskFull) {
  ScriptWindow& window = host_.Script();
  const long n = window.LineCount();
  host_.ShowSaving(n);
  // Every line is written whole: a long INSERT line is never cut.
  for (long i = 0; i < n; ++i) {
    std::string line = window.Line(i);
    if (!line.empty() && std::fwrite(line.data(), 1, line.size(), f) != line.size()) {
      diskFull = errno == ENOSPC;
      return false;
    }
    host_.SavingStep();
  }
  if (std::fflush(f) != 0) {
    diskFull = errno == ENOSPC;
    return false;
  }
  return true;
}

bool ScriptOutput::AutoSaveFlush() {
  ScriptWindow& window = host_.Script();
  if (window.IsEmpty()) {
    scriptSaved_ = 1;
    return true;
  }
  const std::string& file = opts_.s_AutoSaveFile;
  std::FILE* f = nullptr;
  if (autoSaveStarted_) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || !(f = fdopen(fd, "wb"))) {
      if (fd >= 0) ::close(fd);
      AutoSaveError("Could not auto save to file (open): " + file);
      return false;
    }
    if (std::fseek(f, 0, SEEK_END) != 0) {
      std::fclose(f);
      AutoSaveError("Could not auto save to file (seek): " + file);
      return false;
    }
  } else {
    f = std::fopen(file.c_str(), "wb");
    if (!f) {
      AutoSaveError("Could not auto save to file (create): " + file);
      return false;
    }
    autoSaveStarted_ = true;
  }
  const long before = std::ftell(f);
  host_.WaitCursor(true);
  bool diskFull = false;
  bool ok = WriteLines(f, diskFull);
  if (!ok) {
    // Cut the partial flush off again: the retry writes the same lines, never twice.
    if (before >= 0 && ftruncate(fileno(f), before) != 0) { /* the message below says it failed */
    }
    std::fclose(f);
    host_.WaitCursor(false);
    host_.HideSaving();
    if (diskFull) {
      AutoSaveError("Could not auto save to file (write): " + file + ": Disk is full.");
      host_.Message("The file could not be saved, the disk is full.\nPlease make some space and press OK to continue.",
                    Host::Buttons::Ok);
    } else {
      AutoSaveError("Could not auto save to file (write): " + file);
      host_.Message("Could not auto save to file (write): " + file, Host::Buttons::Ok);
    }
    return false;
  }
  std::fclose(f);
  host_.WaitCursor(false);
  host_.HideSaving();
  scriptSaved_ = 1;
  return true;
}

void ScriptOutput::ApplyScriptFont() {
  ScriptWindow& window = host_.Script();
  window.Empty();
  const ScriptFont font = LoadScriptFont(settings_);
  window.SetFont(font);
}

void ScriptOutput::SaveScript(int& saveCancelled, const std::string& givenPath) {
  if (scriptSaved_) return;
  ScriptWindow& window = host_.Script();
  if (window.IsEmpty()) {
    scriptSaved_ = 1;
    return;
  }
  std::string path = givenPath;
  if (path.empty()) path = host_.AskSavePath({{"Text Format (*.sql)", {"*.sql"}}, {"RTF Format (*.rtf)", {"*.rtf"}}}, "sql", {});
  if (path.empty()) {
    saveCancelled = 1;
    return;
  }
  saveCancelled = 0;
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  bool rtf = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
             strcasecmp(path.c_str() + dot + 1, "rtf") == 0;
  if (rtf) {
    if (!WriteFileAtomically(path, window.Rtf() + "\n").empty()) {
      host_.Message("Could not open file.", Host::Buttons::Ok);
      return;
    }
    scriptSaved_ = 1;
    return;
  }
  const long n = window.LineCount();
  host_.ShowSaving(n);
  host_.WaitCursor(true);
  std::string data;
  for (long i = 0; i < n; ++i) {
    data += window.Line(i);
    host_.SavingStep();
  }
  std::string error = WriteFileAtomically(path, data);
  host_.WaitCursor(false);
  host_.HideSaving();
  if (!error.empty()) {
    host_.Message("ERROR: Could not save file.", Host::Buttons::Ok);
    return;
  }
  scriptSaved_ = 1;
}

}  // namespace mv
