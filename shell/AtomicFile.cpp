#include "shell/AtomicFile.h"

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

// Writing through a symbolic link must replace the file it points to, not the link itself.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string out(real);
  std::free(real);
  return out;
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

std::string WriteFileAtomically(const std::string& path, const std::string& data, unsigned mode, bool forceMode) {
  const std::string target = ResolveTarget(path);
  const std::string folder = FolderOf(target);

  unsigned finalMode = mode & 07777;
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed && S_ISDIR(old.st_mode)) {
    errno = EISDIR;
    return Reason("Cannot replace", target);
  }
  if (existed && !forceMode) finalMode = old.st_mode & 07777;

  // The temporary lives in the target's folder so that the rename cannot cross file systems.
  std::string tmpl = target + ".tmpXXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return Reason("Cannot create a temporary file beside", target);

  auto fail = [&](const char* what) {
    const int saved = errno;
    ::close(fd);
    ::unlink(tmpl.c_str());
    errno = saved;
    return Reason(what, target);
  };
  // The replacement keeps the old file's owner where the process may set it (as root). When it
  // may not, the file simply belongs to the writer from now on; that is no reason to fail.
  if (existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) errno = 0;
  }
  if (::fchmod(fd, finalMode) != 0) return fail("Cannot set the mode of");
  if (!WriteAll(fd, data)) return fail("Cannot write");
  if (::fsync(fd) != 0) return fail("Cannot flush");
  if (::close(fd) != 0) {
    const int saved = errno;
    ::unlink(tmpl.c_str());
    errno = saved;
    return Reason("Cannot close", target);
  }
  if (::rename(tmpl.c_str(), target.c_str()) != 0) {
    const int saved = errno;
    ::unlink(tmpl.c_str());
    errno = saved;
    return Reason("Cannot replace", target);
  }
  // Make the rename itself durable; a failure here no longer endangers the old contents.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return {};
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
