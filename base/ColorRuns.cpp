#include "base/ColorRuns.h"

namespace mv {

uint8_t ColorRuns::IndexOf(Color c) {
  for (size_t i = 0; i < colors_.size(); ++i)
    if (colors_[i] == c) return static_cast<uint8_t>(i);
  // A script uses the palette's five colours; past eight the last one stands in.
  if (colors_.size() >= (256u >> kBits)) return static_cast<uint8_t>(colors_.size() - 1);
  colors_.push_back(c);
  return static_cast<uint8_t>(colors_.size() - 1);
}

void ColorRuns::AddIndexed(size_t length, uint8_t index) {
  const uint8_t high = static_cast<uint8_t>(index << kBits);
  if (!runs_.empty() && Index(runs_.back()) == index) {
    const size_t room = kMax - Length(runs_.back());
    const size_t joined = length < room ? length : room;
    runs_.back() = static_cast<uint8_t>(runs_.back() + joined);
    length -= joined;
  }
  for (; length >= kMax; length -= kMax) runs_.push_back(high | kMask);
  if (length > 0) runs_.push_back(static_cast<uint8_t>(high | (length - 1)));
}

void ColorRuns::AddAll(const ColorRuns& other) {
  uint8_t mine[256u >> kBits] = {};
  for (size_t i = 0; i < other.colors_.size(); ++i) mine[i] = IndexOf(other.colors_[i]);
  runs_.reserve(runs_.size() + other.runs_.size());
  for (const uint8_t run : other.runs_) AddIndexed(Length(run), mine[Index(run)]);
}

void ColorRuns::Cut(size_t n, size_t lastLength) {
  if (n > runs_.size()) return;
  runs_.resize(n);
  if (n > 0 && lastLength >= 1 && lastLength <= kMax)
    runs_.back() = static_cast<uint8_t>((runs_.back() & ~kMask) | (lastLength - 1));
}

}  // namespace mv
