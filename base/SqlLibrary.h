#pragma once
#include <string>
#include <vector>

namespace mv {

class SettingsStore;

// One file of the SQL library as the menu lists it.
struct LibraryFile {
  std::string name;  // file name as found, extension included
  int command = 0;   // command number, from 48001 upward in menu order
};

// One entry of the library menu: a file, or a first-level folder with its files.
struct LibraryEntry {
  std::string name;
  int command = 0;  // a folder's own number is kFolderMarker
  bool isFolder = false;
  std::vector<LibraryFile> files;  // a folder's files (folders inside it are not listed)
};

// The SQL library: the folder of saved statement files behind the "&SQL Library" menu,
// exposed as data so that any front end can show it. Rebuild it every time the menu is
// shown: files added to or removed from the folder then appear or vanish without a restart.
class SqlLibrary {
 public:
  static constexpr int kFirstCommand = 48001;
  // The view handles exactly the fifty numbers 48001..48050; entries above have no handler.
  static constexpr int kLastCommand = 48050;
  static constexpr int kFolderMarker = -999;
  // The scan stops adding after this many files (plus its one final match).
  static constexpr int kScanLimit = 45;

  // The library folder: "LibDir" of the settings; when it is missing, the program folder +
  // "/SQL Library", which is then written back.
  static std::string LibraryFolder(SettingsStore& settings, const std::string& programFolder);
  // "LibAutoRun": whether choosing an entry also runs it.
  static bool AutoRun(const SettingsStore& settings);
  static void ToggleAutoRun(SettingsStore& settings);

  // Scans folder into the entry list and numbers the entries. A missing or unreadable
  // folder gives an empty list.
  void Rebuild(const std::string& folder);
  const std::vector<LibraryEntry>& Entries() const { return entries_; }
  const std::string& Folder() const { return folder_; }
  // Path of the file numbered command; empty when no entry has that number or the number is
  // outside 48001..48050.
  std::string PathFor(int command) const;

  // A statement file as text: every line followed by "\n", whether the file ends its lines
  // with "\r\n" or "\n", a last line without a line end included. false when the file
  // cannot be opened.
  static bool ReadStatement(const std::string& path, std::string& text);

 private:
  std::string folder_;
  std::vector<LibraryEntry> entries_;
};

}  // namespace mv
