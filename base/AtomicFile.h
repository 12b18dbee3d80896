#pragma once
#include <string>

namespace mv {

// A file replaced atomically: the new contents go to a temporary file in the target's folder
// and are renamed over the target when committed, so a full disk, a crash or a stop never
// leaves a half-written file where a good one was. A symbolic link is followed: its target is
// replaced and the link stays. Until Commit, and after Discard or destruction, the target
// keeps what it held and no temporary file remains.
class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile() { Discard(); }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file. A new target gets `mode` less the umask; an existing one keeps
  // its mode (and owner, where the process may set it) unless forceMode gives it `mode`
  // exactly. A folder, anything but a regular file, a target the user may not write and a
  // folder the temporary cannot be made in are refused here, before anything is written.
  // Returns an empty string on success, else the reason.
  std::string Open(const std::string& path, unsigned mode = 0666, bool forceMode = false);
  // The temporary file's descriptor (-1 when not open); it stays owned by this object.
  int Descriptor() const { return fd_; }
  // The file that will be replaced (the link's target for a symbolic link).
  const std::string& Target() const { return target_; }
  // The temporary file's path; its c_str() stays valid while the file is open.
  const std::string& TemporaryPath() const { return temp_; }
  // Flushes the temporary file to disk and renames it over the target. On failure the
  // temporary file is removed and the reason returned.
  std::string Commit();
  // As Commit, but the file is renamed to a new name beside the target, `target` + `infix` +
  // six unique characters, which is returned in `kept`; the target keeps what it held.
  std::string CommitBeside(const std::string& infix, std::string& kept);
  // Closes and removes the temporary file, if any.
  void Discard();
  // Closes the temporary file's descriptor and keeps the file, so that many files can be in
  // progress at once; Resume opens it again for appending. false when it cannot be reopened.
  void Suspend();
  bool Resume();

 private:
  std::string Finish(const std::string& destination);

  std::string target_, temp_;
  int fd_ = -1;
};

// Replaces path with data through an AtomicFile. Returns an empty string on success, else
// the reason.
std::string WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode = 0666,
                                bool forceMode = false);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace mv
