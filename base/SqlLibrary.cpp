#include "base/SqlLibrary.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/Host.h"
#include "base/ProgramFolder.h"
#include "base/SettingsStore.h"

namespace mv {

namespace {

namespace fs = std::filesystem;

constexpr char kLibDir[] = "LibDir";
constexpr char kLibAutoRun[] = "LibAutoRun";
constexpr char kNotFound[] = "NOTFOUND";

struct Match {
  std::string name;
  bool isFolder = false;
};

// Every name of a folder, as a directory search returns them. Sorted byte-wise, so that the
// menu order (and with it every command number) does not depend on the file system. "." and
// ".." are not listed: the scan would skip them without counting them anyway.
std::vector<Match> FolderMatches(const std::string& folder) {
  std::vector<Match> matches;
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code dirEc;
    matches.push_back({it->path().filename().string(), it->is_directory(dirEc)});
  }
  std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) { return a.name < b.name; });
  return matches;
}

// The directory search as the menu does it: the current match is added while a further one
// exists and fewer than kScanLimit files were counted; then the current match is added once
// more. That final match is the folder's last name, or the one current when the limit was
// reached, so a folder of 60 files lists 46.
template <class Add>
void ScanMatches(const std::vector<Match>& matches, const int& count, Add add) {
  if (matches.empty()) return;
  size_t current = 0;
  bool more = matches.size() > 1;
  while (more && count < SqlLibrary::kScanLimit) {
    add(matches[current]);
    ++current;
    more = current + 1 < matches.size();
  }
  add(matches[current]);
}

bool Skipped(const std::string& name) { return name.empty() || name == "." || name == ".."; }

}  // namespace

std::string SqlLibrary::LibraryFolder(SettingsStore& settings, const std::string& programFolder) {
  std::string folder = settings.GetString(kLibDir, kNotFound);
  if (folder == kNotFound) {
    folder = JoinPath(programFolder, "SQL Library");
    settings.WriteString(kLibDir, folder);
  }
  return folder;
}

bool SqlLibrary::AutoRun(const SettingsStore& settings) { return settings.GetInt(kLibAutoRun, 0) != 0; }

void SqlLibrary::ToggleAutoRun(SettingsStore& settings) {
  settings.WriteInt(kLibAutoRun, 1 - settings.GetInt(kLibAutoRun, 0));
}

void SqlLibrary::Rebuild(const std::string& folder) {
  folder_ = folder;
  entries_.clear();
  int count = 0;
  ScanMatches(FolderMatches(folder), count, [&](const Match& match) {
    if (Skipped(match.name)) return;
    LibraryEntry entry;
    entry.name = match.name;
    if (match.isFolder) {
      entry.isFolder = true;
      // The same count and limit go on inside the folder; folders inside it are left out.
      ScanMatches(FolderMatches(JoinPath(folder, match.name)), count, [&](const Match& inner) {
        if (Skipped(inner.name) || inner.isFolder) return;
        entry.files.push_back({inner.name, 0});
        ++count;
      });
    } else {
      ++count;
    }
    entries_.push_back(std::move(entry));
  });

  int command = kFirstCommand - 1;
  for (LibraryEntry& entry : entries_) {
    if (entry.isFolder) {
      for (LibraryFile& file : entry.files) file.command = ++command;
      entry.command = kFolderMarker;
    } else {
      entry.command = ++command;
    }
  }
}

std::string SqlLibrary::PathFor(int command) const {
  if (command < kFirstCommand || command > kLastCommand) return {};
  for (const LibraryEntry& entry : entries_) {
    if (!entry.isFolder) {
      if (entry.command == command) return JoinPath(folder_, entry.name);
      continue;
    }
    for (const LibraryFile& file : entry.files)
      if (file.command == command) return JoinPath(JoinPath(folder_, entry.name), file.name);
  }
  return {};
}

bool SqlLibrary::ReadStatement(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.clear();
  std::string line;
  while (std::getline(in, line)) {
    // A Windows line end leaves its carriage return on the line.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    text += line;
    text += '\n';
  }
  return true;
}

}  // namespace mv
