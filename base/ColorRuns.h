#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/ScriptWindow.h"

namespace mv {

// The colours of a text, compact: one byte per run of up to 32 bytes of one colour, with the
// colour's index (at most eight colours) in its top three bits and the length less one below.
class ColorRuns {
 public:
  static constexpr unsigned kBits = 5;
  static constexpr size_t kMax = size_t(1) << kBits;
  static constexpr uint8_t kMask = kMax - 1;
  static size_t Length(uint8_t run) { return (run & kMask) + 1u; }
  static uint8_t Index(uint8_t run) { return run >> kBits; }

  // `length` more bytes of one colour, joined to the last run while it has room.
  void Add(size_t length, Color color) {
    if (length == 0) return;
    const bool same = !runs_.empty() && colors_[Index(runs_.back())] == color;
    AddIndexed(length, same ? Index(runs_.back()) : IndexOf(color));
  }
  // Every run of other after these, its colours looked up once.
  void AddAll(const ColorRuns& other);

  size_t Size() const { return runs_.size(); }
  bool Empty() const { return runs_.empty(); }
  uint8_t operator[](size_t i) const { return runs_[i]; }
  Color ColorOf(uint8_t run) const { return colors_[Index(run)]; }
  // Keeps the first n runs, the last of them `lastLength` bytes long (1 to 32).
  void Cut(size_t n, size_t lastLength);
  // The colours seen stay known.
  void Clear() { runs_.clear(); }

 private:
  uint8_t IndexOf(Color c);
  void AddIndexed(size_t length, uint8_t index);

  std::vector<uint8_t> runs_;
  std::vector<Color> colors_;
};

}  // namespace mv
