#include "base/TextBuffer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace mv {

namespace {
constexpr uintptr_t kPage = 4096;
// How far ahead of the text its memory is made ready in one call: a script of tens of
// megabytes then costs a few dozen calls rather than a page fault per four kilobytes written.
constexpr size_t kReadyAhead = 1u << 20;
}  // namespace

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
    ready_ = size_;
  }
  if (size_ + text.size() > ready_ && capacity_ >= kReadyAhead) MakeReady(size_ + text.size());
  std::memcpy(data_ + size_, text.data(), text.size());
  size_ += text.size();
}

void TextBuffer::MakeReady(size_t upTo) {
  const uintptr_t base = reinterpret_cast<uintptr_t>(data_);
  const uintptr_t from = (base + ready_ + kPage - 1) & ~(kPage - 1);
  const uintptr_t to = (base + std::min(capacity_, upTo + kReadyAhead)) & ~(kPage - 1);
  // Only a hint: where the system does not take it, the pages fault in as they are written.
  if (to > from) (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
  ready_ = std::max(upTo, static_cast<size_t>(to - base));
}

void TextBuffer::Truncate(size_t n) {
  if (n < size_) size_ = n;
}

void TextBuffer::Clear() {
  std::free(data_);
  data_ = nullptr;
  size_ = capacity_ = ready_ = 0;
}

}  // namespace mv
