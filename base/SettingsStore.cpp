#include "base/SettingsStore.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/TextRules.h"

namespace mv {

namespace {

constexpr char kSection[] = "Settings";

// Creates every missing folder of path (like mkdir -p); false when one cannot be made.
bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return true;
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return ::mkdir(folder.c_str(), 0755) == 0 || errno == EEXIST;
}

// Settings files are edited by hand and written by older versions: a value that holds no number
// falls back to the default rather than turning into 0.
bool HoldsNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

}  // namespace

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {}

std::string SettingsStore::DefaultPath() {
  std::string base;
  // Relative values are invalid by the XDG rules and are ignored.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home && *home) {
      base = home;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
      base = pw->pw_dir;
    }
    base += "/.config";
  }
  return base + "/Quillfen/Mervale.ini";
}

void SettingsStore::Reload() const {
  if (batch_ > 0 || dirty_) return;
  Stamp now;
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) {
    now.exists = true;
    now.ino = st.st_ino;
    now.size = st.st_size;
    now.mtimeSec = st.st_mtim.tv_sec;
    now.mtimeNsec = st.st_mtim.tv_nsec;
  }
  if (loaded_ && now == stamp_) return;
  if (!now.exists)
    ini_.Clear();
  else
    ini_.Load(path_);  // an unreadable file reads as empty: every key takes its default
  stamp_ = now;
  loaded_ = true;
}

void SettingsStore::Persist() {
  const size_t slash = path_.find_last_of('/');
  if (slash != std::string::npos && slash > 0) MakeFolders(path_.substr(0, slash));
  // On failure the values stay pending in memory and the next write tries again.
  if (!ini_.Save(path_, 0644)) return;
  dirty_ = false;
  loaded_ = false;  // the next read takes the stamp of the file just written
  Reload();
}

int SettingsStore::GetInt(const std::string& key, int def) const {
  std::lock_guard lock(mu_);
  Reload();
  if (!ini_.Has(kSection, key)) return def;
  const std::string text = ini_.Get(kSection, key);
  return HoldsNumber(text) ? ParseLeadingInt(text) : def;
}

std::string SettingsStore::GetString(const std::string& key, const std::string& def) const {
  std::lock_guard lock(mu_);
  Reload();
  return ini_.Has(kSection, key) ? ini_.Get(kSection, key) : def;
}

void SettingsStore::WriteInt(const std::string& key, int value) { WriteString(key, std::to_string(value)); }

void SettingsStore::WriteString(const std::string& key, const std::string& value) {
  std::lock_guard lock(mu_);
  Reload();
  ini_.Set(kSection, key, value);
  dirty_ = true;
  if (batch_ == 0) Persist();
}

void SettingsStore::BeginBatch() {
  std::lock_guard lock(mu_);
  Reload();
  ++batch_;
}

void SettingsStore::EndBatch() {
  std::lock_guard lock(mu_);
  if (batch_ > 0) --batch_;
  if (batch_ == 0 && dirty_) Persist();
}

}  // namespace mv
