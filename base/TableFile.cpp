#include "base/TableFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mv {

std::string TableFile::Create(const std::string& path) {
  Discard();
  const std::string reason = file_.Open(path);
  if (!reason.empty()) {
    error_ = reason;
    return reason;
  }
  created_ = true;
  return {};
}

bool TableFile::Resume() {
  if (Failed() || !created_) return false;
  if (file_.Resume()) return true;
  error_ = "Cannot open '" + file_.TemporaryPath() + "' again: " + std::strerror(errno);
  return false;
}

bool TableFile::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(file_.Descriptor(), buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = "Cannot write '" + file_.Target() + "': " + std::strerror(errno);
      buffer_.clear();
      return false;
    }
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

void TableFile::Suspend() {
  if (!Failed() && file_.Descriptor() >= 0) Flush();
  file_.Suspend();
}

bool TableFile::Write(std::string_view text) {
  if (Failed() || file_.Descriptor() < 0) return false;
  sha_.Add(text);
  bytes_ += text.size();
  buffer_.append(text);
  return buffer_.size() < (1u << 16) || Flush();
}

std::string TableFile::Commit() {
  if (!Failed() && !Resume()) return error_;
  if (!Failed()) Flush();
  if (Failed()) {
    Discard();
    return error_;
  }
  checksum_ = sha_.Hex();
  const std::string reason = file_.Commit();
  created_ = false;
  if (!reason.empty()) error_ = reason;
  return reason;
}

void TableFile::Discard() {
  file_.Discard();
  buffer_.clear();
  sha_.Reset();
  created_ = false;
}

}  // namespace mv
