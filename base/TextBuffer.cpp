#include "base/TextBuffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace mv {

TextBuffer::~TextBuffer() { std::free(data_); }

void TextBuffer::Append(std::string_view text) {
  if (text.empty()) return;
  if (size_ + text.size() > capacity_) {
    // Half as much again: the C library moves a large block by remapping its pages, so growing
    // costs neither a copy nor a second block at once.
    size_t want = capacity_ < 4096 ? 4096 : capacity_ + capacity_ / 2;
    if (want < size_ + text.size()) want = size_ + text.size();
    void* grown = std::realloc(data_, want);
    if (!grown) throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = want;
  }
  std::memcpy(data_ + size_, text.data(), text.size());
  size_ += text.size();
}

void TextBuffer::Truncate(size_t n) {
  if (n < size_) size_ = n;
}

void TextBuffer::Clear() {
  std::free(data_);
  data_ = nullptr;
  size_ = capacity_ = 0;
}

}  // namespace mv
