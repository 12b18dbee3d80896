#pragma once
#include <memory>
#include <string>
#include <vector>

#include "base/TableFile.h"

namespace mv {

// The folder of a run that writes a file per table (scripts, or CSV rows): each table's file
// name, made from its name and unique in the folder; the files in progress, each taken only
// when its table is whole; and the manifest of the files written, written last. A table is an
// entry of its own from start to end, so tables could be written side by side or one run
// could take up where another stopped.
class TableFolder {
 public:
  // The manifest's name in the folder.
  static constexpr const char* kManifest = "manifest.tsv";

  TableFolder(std::string folder, std::string extension, std::vector<std::string> reserved = {})
      : folder_(std::move(folder)), extension_(std::move(extension)), reserved_(std::move(reserved)) {}

  // Creates the folder when it is missing: empty on success, else the reason.
  std::string Prepare();
  const std::string& Folder() const { return folder_; }

  struct Entry {
    std::string table;  // TABLE_NAME as returned
    std::string file;   // the file's name in the folder
    long long rows = -1;
    std::string checksum;  // SHA-256 of the file, once written
    bool written = false;
    std::string error;  // why the file was left out
    std::unique_ptr<TableFile> open;
  };

  // The file of the table at index (the run's order), created at its first use; null when it
  // cannot be (the entry's error says why).
  TableFile* Open(size_t index, const std::string& table);
  // The table is whole (rows: how many it has, -1 when not read): its file takes its name.
  // false when that failed (the entry's error says why).
  bool Finish(size_t index, long long rows);
  // The table could not be written whole: its file is left out.
  void Abandon(size_t index, const std::string& why);
  // Every file still in progress is removed (a stopped run).
  void AbandonAll();
  const std::vector<Entry>& Entries() const { return entries_; }
  // The written files as "table\trows\tfile\tsha256" lines after a header line, in the run's
  // order; the names escaped so a line stays a line. Empty on success, else the reason.
  std::string WriteManifest() const;
  // A file of the folder, written atomically.
  std::string WriteFile(const std::string& name, const std::string& text) const;

 private:
  Entry& At(size_t index);
  std::string NameFor(const std::string& table) const;

  std::string folder_, extension_;
  std::vector<std::string> reserved_;
  std::vector<Entry> entries_;
};

// A table name as a file name: letters, digits, '_', '-', '.' and UTF-8 kept, every other byte
// '_'; never empty, never starting with '.'.
std::string SafeFileName(const std::string& name);

}  // namespace mv
