#pragma once
#include <cstddef>
#include <string_view>

namespace mv {

// The bytes of a long text that only grows at its end. It grows in place where it can (a large
// block is remapped, never copied), so a window that holds a script of any size needs its size
// and not twice it while it grows.
class TextBuffer {
 public:
  TextBuffer() = default;
  ~TextBuffer();
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  void Append(std::string_view text);
  // Keeps the first n bytes (n at most the size).
  void Truncate(size_t n);
  // Empties it and gives the memory back.
  void Clear();
  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  std::string_view View() const { return {data_ ? data_ : "", size_}; }
  char operator[](size_t i) const { return data_[i]; }

 private:
  // Makes the memory up to a little past upTo ready to be written.
  void MakeReady(size_t upTo);

  char* data_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
  size_t ready_ = 0;  // bytes from the start known to be backed by memory
};

}  // namespace mv
