#pragma once
#include <mutex>
#include <string>

#include "base/IniFile.h"

namespace mv {

// The per-user settings store: section "Settings" of an INI file, by default
// $XDG_CONFIG_HOME/Quillfen/Mervale.ini (~/.config when unset). Every write replaces the file
// atomically, so a crash never leaves half a settings file. Safe to call from several threads.
class SettingsStore {
 public:
  explicit SettingsStore(std::string path);
  static std::string DefaultPath();

  int GetInt(const std::string& key, int def) const;
  std::string GetString(const std::string& key, const std::string& def) const;
  void WriteInt(const std::string& key, int value);
  void WriteString(const std::string& key, const std::string& value);
  // Batches writes (SaveRunSettings writes thirty keys): the file is written once at the end.
  void BeginBatch();
  void EndBatch();
  const std::string& path() const { return path_; }

 private:
  // Re-reads the file when it changed on disk (another instance may have written it), unless
  // writes of this store are still pending.
  void Reload() const;
  void Persist();
  std::string path_;
  mutable IniFile ini_;
  int batch_ = 0;
  bool dirty_ = false;
  // Identity of the file as last read or written: inode, size, modification time.
  struct Stamp {
    bool exists = false;
    unsigned long long ino = 0;
    long long size = -1, mtimeSec = 0, mtimeNsec = 0;
    bool operator==(const Stamp&) const = default;
  };
  mutable Stamp stamp_;
  mutable bool loaded_ = false;
  // The worker reads settings during a run (special-name brackets) while the window may too.
  mutable std::recursive_mutex mu_;
};

}  // namespace mv
