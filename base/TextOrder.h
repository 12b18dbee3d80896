#pragma once
#include <algorithm>
#include <string>
#include <vector>

namespace mv {

// The order of a sorted list box: letters compared without regard to case (ASCII only, so
// multi-byte text keeps its byte order), ties broken byte-wise so the order never depends on
// where an entry came from.
inline bool LessIgnoringCase(const std::string& a, const std::string& b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int x = lower(static_cast<unsigned char>(a[i])), y = lower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

inline bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return ((x >= 'A' && x <= 'Z') ? x + 32 : x) == ((y >= 'A' && y <= 'Z') ? y + 32 : y);
         });
}

inline void SortIgnoringCase(std::vector<std::string>& v) { std::sort(v.begin(), v.end(), LessIgnoringCase); }

// Index where text goes into a list kept in that order.
inline size_t SortedPosition(const std::vector<std::string>& v, const std::string& text) {
  return static_cast<size_t>(std::upper_bound(v.begin(), v.end(), text, LessIgnoringCase) - v.begin());
}

}  // namespace mv
