#include "base/BufferedFile.h"

#include <cerrno>

namespace mv {

bool BufferedFile::Open(const std::string& path) {
  Close();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    Fail(errno);
    return false;
  }
  // The buffer is ours: the stream writes straight through.
  std::setvbuf(f, nullptr, _IONBF, 0);
  Attach(f, true);
  return true;
}

void BufferedFile::Attach(std::FILE* stream, bool owned) {
  Close();
  stream_ = stream;
  owned_ = owned;
  failed_ = false;
  error_ = 0;
  buffer_.clear();
  buffer_.reserve(kBuffer);
}

void BufferedFile::Fail(int error) {
  failed_ = true;
  error_ = error;
}

bool BufferedFile::WriteBuffer() {
  const size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), stream_);
  if (written == buffer_.size()) {
    buffer_.clear();
    return true;
  }
  Fail(errno);
  buffer_.erase(0, written);
  return false;
}

bool BufferedFile::Flush() {
  if (failed_ || !stream_) return !failed_;
  if (!buffer_.empty() && !WriteBuffer()) return false;
  if (std::fflush(stream_) != 0) Fail(errno);
  return !failed_;
}

bool BufferedFile::Close() {
  if (!stream_) return !failed_;
  Flush();
  if (owned_ && std::fclose(stream_) != 0 && !failed_) Fail(errno);
  stream_ = nullptr;
  owned_ = false;
  return !failed_;
}

std::string BufferedFile::TakeUnwritten() {
  std::string unwritten;
  if (failed_) unwritten.swap(buffer_);
  return unwritten;
}

}  // namespace mv
