#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace mv {

namespace {

std::string Reason(const char* what, const std::string& path) {
  return std::string(what) + " '" + path + "': " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Writing through a symbolic link must replace the file it points to, not the link itself;
// a link whose target does not exist yet creates that target, as a shell redirection does.
std::string ResolveLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string link(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<size_t>(n) >= link.size()) return path;
    link.resize(static_cast<size_t>(n));
    path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
  }
  return path;
}

// Read rather than set: setting the umask to learn it races with files other threads create.
unsigned CurrentUmask() {
  std::string status;
  if (ReadWholeFile("/proc/self/status", status)) {
    const size_t at = status.find("\nUmask:");
    if (at != std::string::npos) return static_cast<unsigned>(std::strtoul(status.c_str() + at + 7, nullptr, 8)) & 0777;
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string AtomicFile::Open(const std::string& path, unsigned mode, bool forceMode) {
  Discard();
  target_ = ResolveLinks(path);
  struct stat old {};
  const bool existed = ::stat(target_.c_str(), &old) == 0;
  if (existed && S_ISDIR(old.st_mode)) {
    errno = EISDIR;
    return Reason("Cannot replace", target_);
  }
  if (existed && !S_ISREG(old.st_mode)) return "Cannot replace '" + target_ + "': it is not a regular file";
  // The rename would succeed, but a file its owner made read-only is not ours to replace.
  if (existed && ::access(target_.c_str(), W_OK) != 0) return Reason("Cannot replace", target_);
  unsigned finalMode = mode & 07777;
  if (existed && !forceMode)
    finalMode = old.st_mode & 07777;
  else if (!forceMode)
    finalMode &= ~CurrentUmask();

  // The temporary lives in the target's folder so that the rename cannot cross file systems.
  temp_ = target_ + ".mervale-XXXXXX";
  fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    temp_.clear();
    return Reason("Cannot create a temporary file beside", target_);
  }
  // The replacement keeps the old file's owner where the process may set it (as root). When it
  // may not, the file simply belongs to the writer from now on; that is no reason to fail.
  if (existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    if (::fchown(fd_, old.st_uid, old.st_gid) != 0) errno = 0;
  }
  if (::fchmod(fd_, finalMode) != 0) {
    const std::string reason = Reason("Cannot set the mode of", target_);
    Discard();
    return reason;
  }
  return {};
}

std::string AtomicFile::Finish(const std::string& destination) {
  if (fd_ < 0) return "Cannot write '" + target_ + "': the file is not open";
  std::string reason;
  if (::fsync(fd_) != 0) reason = Reason("Cannot flush", target_);
  if (::close(fd_) != 0 && reason.empty()) reason = Reason("Cannot close", target_);
  fd_ = -1;
  if (reason.empty() && ::rename(temp_.c_str(), destination.c_str()) != 0)
    reason = Reason("Cannot replace", destination);
  if (!reason.empty()) {
    Discard();
    return reason;
  }
  temp_.clear();
  // Make the rename itself durable; a failure here no longer endangers the old contents.
  const int dirFd = ::open(FolderOf(destination).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
}

std::string AtomicFile::Commit() { return Finish(target_); }

std::string AtomicFile::CommitBeside(const std::string& infix, std::string& kept) {
  kept = target_ + infix + "XXXXXX";
  // The name is taken first, so that the rename cannot replace anybody's file.
  const int fd = ::mkostemp(kept.data(), O_CLOEXEC);
  if (fd < 0) {
    const std::string reason = Reason("Cannot create a file beside", target_);
    kept.clear();
    Discard();
    return reason;
  }
  ::close(fd);
  const std::string reason = Finish(kept);
  if (!reason.empty()) {
    ::unlink(kept.c_str());
    kept.clear();
  }
  return reason;
}

void AtomicFile::Discard() {
  const int saved = errno;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  errno = saved;
}

void AtomicFile::Suspend() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool AtomicFile::Resume() {
  if (fd_ >= 0) return true;
  if (temp_.empty()) return false;
  fd_ = ::open(temp_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  return fd_ >= 0;
}

std::string WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode, bool forceMode) {
  AtomicFile file;
  const std::string reason = file.Open(path, mode, forceMode);
  if (!reason.empty()) return reason;
  if (!WriteAll(file.Descriptor(), data)) return Reason("Cannot write", file.Target());
  return file.Commit();
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      out.clear();
      return false;
    }
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace mv
