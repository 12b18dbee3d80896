#pragma once
#include <string>
#include <string_view>

#include "base/AtomicFile.h"
#include "base/Sha256.h"

namespace mv {

// One file of a run that writes a file per table: written whole into a temporary file beside
// its name, which it takes only on Commit, with the SHA-256 and length of what was written.
// It may be suspended between the phases that write to it, so no descriptor stays open.
class TableFile {
 public:
  // Empty on success, else the reason.
  std::string Create(const std::string& path);
  bool IsCreated() const { return created_; }
  // Opens the file for more text (again after Suspend); false when it cannot.
  bool Resume();
  // Writes what is buffered and closes the descriptor.
  void Suspend();
  // false once a write failed; nothing more is written then.
  bool Write(std::string_view text);
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }
  // Renames the file to its name: empty on success, else the reason (the file is then gone).
  std::string Commit();
  // Removes the temporary file; the name keeps what it held.
  void Discard();
  const std::string& Checksum() const { return checksum_; }
  unsigned long long Bytes() const { return bytes_; }

 private:
  bool Flush();

  AtomicFile file_;
  Sha256 sha_;
  std::string buffer_, error_, checksum_;
  unsigned long long bytes_ = 0;
  bool created_ = false;
};

}  // namespace mv
