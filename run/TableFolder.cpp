#include "run/TableFolder.h"

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace mv {

std::string SafeFileName(const std::string& name) {
  std::string out;
  for (const char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '-' || c == '.' || c >= 0x80;
    out += keep ? ch : '_';
  }
  if (out.empty() || out.front() == '.') out.insert(0, "_");
  return out;
}

std::string TableFolder::Prepare() {
  if (::mkdir(folder_.c_str(), 0777) == 0) return {};
  struct stat st {};
  if (errno == EEXIST && ::stat(folder_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return {};
  if (errno == EEXIST) return "'" + folder_ + "' is not a folder";
  return "Cannot create the folder '" + folder_ + "': " + std::strerror(errno);
}

TableFolder::Entry& TableFolder::At(size_t index) {
  if (entries_.size() <= index) entries_.resize(index + 1);
  return entries_[index];
}

std::string TableFolder::NameFor(const std::string& table) const {
  // Case-insensitively unique: two tables must not share a file on any file system.
  auto taken = [&](const std::string& file) {
    for (const std::string& r : reserved_)
      if (strcasecmp(r.c_str(), file.c_str()) == 0) return true;
    for (const Entry& e : entries_)
      if (strcasecmp(e.file.c_str(), file.c_str()) == 0) return true;
    return false;
  };
  const std::string base = SafeFileName(table);
  std::string file = base + extension_;
  for (int n = 2; taken(file); ++n) file = base + "-" + std::to_string(n) + extension_;
  return file;
}

TableFile* TableFolder::Open(size_t index, const std::string& table) {
  Entry& e = At(index);
  if (e.table.empty() && e.file.empty()) {
    e.table = table;
    e.file = NameFor(table);
  }
  if (!e.error.empty()) return nullptr;
  if (!e.open) {
    e.open = std::make_unique<TableFile>();
    const std::string reason = e.open->Create(folder_ + "/" + e.file);
    if (!reason.empty()) {
      e.error = reason;
      e.open.reset();
      return nullptr;
    }
  }
  if (!e.open->Resume()) {
    e.error = e.open->Error();
    e.open.reset();
    return nullptr;
  }
  return e.open.get();
}

bool TableFolder::Finish(size_t index, long long rows) {
  Entry& e = At(index);
  e.rows = rows;
  if (!e.open) return false;
  const std::string reason = e.open->Commit();
  if (reason.empty()) {
    e.checksum = e.open->Checksum();
    e.written = true;
  } else {
    e.error = reason;
  }
  e.open.reset();
  return e.written;
}

void TableFolder::Abandon(size_t index, const std::string& why) {
  Entry& e = At(index);
  e.open.reset();  // its temporary file goes with it
  e.written = false;
  if (e.error.empty()) e.error = why;
}

void TableFolder::AbandonAll() {
  for (Entry& e : entries_) e.open.reset();
}

namespace {

// Tabs, line ends and backslashes in a name, as \t, \n, \r and \\.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string TableFolder::WriteManifest() const {
  std::string text = "table\trows\tfile\tsha256\n";
  for (const Entry& e : entries_) {
    if (!e.written) continue;
    text += Escaped(e.table) + "\t" + (e.rows < 0 ? std::string("-") : std::to_string(e.rows)) + "\t" +
            Escaped(e.file) + "\t" + e.checksum + "\n";
  }
  return WriteFile(kManifest, text);
}

std::string TableFolder::WriteFile(const std::string& name, const std::string& text) const {
  return WriteFileAtomically(folder_ + "/" + name, text);
}

}  // namespace mv
