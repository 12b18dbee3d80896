#pragma once
#include <cstring>
#include <string>
#include <string_view>

namespace mv {

// Integers typed in dialogs or read as text: leading white space, optional sign, digits up to
// the first other character; no digits gives 0. Saturates at the int range.
int ParseLeadingInt(const std::string& text);

// The white space of the C locale's isspace; readers of other formats name their own blanks.
inline constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";
inline bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// text without the blanks at either end.
std::string Trim(std::string_view text, std::string_view blanks = kWhiteSpace);

// text padded with blanks to width; a longer text is cut to it when cut is set, else left whole.
std::string PadToWidth(std::string_view text, size_t width, bool cut);

// ASCII letters only, so that multi-byte text is never damaged.
void UpperInPlace(std::string& text);
void LowerInPlace(std::string& text);
inline std::string Upper(std::string text) {
  UpperInPlace(text);
  return text;
}
inline std::string Lower(std::string text) {
  LowerInPlace(text);
  return text;
}

// Calls atLine(offset just past the line feed) for each line feed of text, in order; returns
// their number. Inline: the script window counts every piece of text it receives.
template <class F>
inline long ForEachLineFeed(std::string_view text, F&& atLine) {
  long n = 0;
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))));) {
    ++p;
    ++n;
    atLine(static_cast<size_t>(p - begin));
  }
  return n;
}
inline long CountLineFeeds(std::string_view text) {
  return ForEachLineFeed(text, [](size_t) {});
}

}  // namespace mv
