#include "base/TextRules.h"

#include <climits>

namespace mv {

int ParseLeadingInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long v = 0;
  // Saturate instead of overflowing: a hand-edited file must not produce undefined behaviour.
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (v <= INT_MAX) v = v * 10 + (text[i] - '0');
  if (negative) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

std::string Trim(std::string_view text, std::string_view blanks) {
  const size_t b = text.find_first_not_of(blanks);
  if (b == std::string_view::npos) return {};
  return std::string(text.substr(b, text.find_last_not_of(blanks) - b + 1));
}

std::string PadToWidth(std::string_view text, size_t width, bool cut) {
  if (text.size() < width) {
    std::string out(text);
    out.append(width - text.size(), ' ');
    return out;
  }
  return std::string(cut ? text.substr(0, width) : text);
}

void UpperInPlace(std::string& text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

void LowerInPlace(std::string& text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

}  // namespace mv
