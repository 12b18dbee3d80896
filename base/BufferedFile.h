#pragma once
#include <cstdio>
#include <string>
#include <string_view>

namespace mv {

// A file written through a buffer of our own: one system call per 64 KiB however small the
// pieces, and the writer knows exactly what reached the file, since what a failed write did not
// take stays in the buffer for TakeUnwritten. After a failure nothing more is written.
class BufferedFile {
 public:
  static constexpr size_t kBuffer = 1 << 16;

  BufferedFile() = default;
  // Writes what is buffered; an owned file is closed.
  ~BufferedFile() { Close(); }
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  // Creates path, or empties it; false when it cannot be opened (Error says why).
  bool Open(const std::string& path);
  // Writes into a stream opened elsewhere; owned: Close closes it.
  void Attach(std::FILE* stream, bool owned);
  bool IsOpen() const { return stream_ != nullptr; }
  // Appends text; false when the file failed (now or before). Inline: every piece of a
  // streamed script passes here.
  bool Write(std::string_view text) {
    if (failed_ || !stream_) return false;
    buffer_.append(text);
    return buffer_.size() < kBuffer || WriteBuffer();
  }
  // Writes the buffer and flushes the stream; false when the file failed.
  bool Flush();
  // Flush, then the stream is closed when owned and let go either way; false when the file failed.
  bool Close();
  bool Failed() const { return failed_; }
  // The errno of the write that failed.
  int Error() const { return error_; }
  // What the file did not take, handed over (empty unless it failed).
  std::string TakeUnwritten();

 private:
  void Fail(int error);
  bool WriteBuffer();

  std::FILE* stream_ = nullptr;
  bool owned_ = false;
  bool failed_ = false;
  int error_ = 0;
  std::string buffer_;
};

}  // namespace mv
