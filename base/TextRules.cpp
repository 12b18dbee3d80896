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

}  // namespace mv
