#include "base/ScriptStore.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "base/TextRules.h"

namespace mv {

uint16_t ScriptStore::ColorIndex(Color c) {
  for (size_t i = 0; i < colors_.size(); ++i)
    if (colors_[i] == c) return static_cast<uint16_t>(i);
  // A script uses a handful of colours; past the table's size the last one stands in.
  if (colors_.size() > std::numeric_limits<uint16_t>::max()) return std::numeric_limits<uint16_t>::max();
  colors_.push_back(c);
  return static_cast<uint16_t>(colors_.size() - 1);
}

[[gnu::hot]] void ScriptStore::Append(std::string_view text, Color color) {
  if (text.empty()) return;
  const size_t base = text_.Size();
  const size_t firstNew = lineStarts_.size();
  if (keepText_)
    newlines_ += ForEachLineFeed(text, [&](size_t end) { lineStarts_.push_back(base + end); });
  else
    newlines_ += CountLineFeeds(text);
  partial_ = text.back() != '\n';
  if (!keepText_) return;
  text_.Append(text);
  MeasureLinesFrom(firstNew);
  const uint16_t index =
      !runColors_.empty() && colors_[runColors_.back()] == color ? runColors_.back() : ColorIndex(color);
  size_t left = text.size();
  if (!runColors_.empty() && runColors_.back() == index) {
    const size_t room = std::numeric_limits<uint32_t>::max() - runLengths_.back();
    const size_t joined = left < room ? left : room;
    runLengths_.back() += static_cast<uint32_t>(joined);
    left -= joined;
  }
  for (; left > 0;) {
    const size_t n = left < std::numeric_limits<uint32_t>::max() ? left : std::numeric_limits<uint32_t>::max();
    runLengths_.push_back(static_cast<uint32_t>(n));
    runColors_.push_back(index);
    left -= n;
  }
}

void ScriptStore::MeasureLinesFrom(size_t firstNew) {
  for (size_t i = firstNew; i < lineStarts_.size(); ++i)
    longest_ = std::max(longest_, lineStarts_[i] - lineStarts_[i - 1]);
  longest_ = std::max(longest_, text_.Size() - lineStarts_.back());
}

void ScriptStore::Truncate(size_t size) {
  if (size >= text_.Size()) return;
  text_.Truncate(size);
  size_t start = 0, i = 0;
  while (i < runLengths_.size() && start + runLengths_[i] < size) start += runLengths_[i++];
  if (i < runLengths_.size()) {
    runLengths_[i] = static_cast<uint32_t>(size - start);
    const size_t keep = runLengths_[i] > 0 ? i + 1 : i;
    runLengths_.resize(keep);
    runColors_.resize(keep);
  }
  while (lineStarts_.size() > 1 && lineStarts_.back() > size) lineStarts_.pop_back();
  newlines_ = static_cast<long>(lineStarts_.size()) - 1;
  partial_ = size > lineStarts_.back();
  longest_ = 0;
  MeasureLinesFrom(1);
}

void ScriptStore::Replace(size_t from, size_t to, std::string_view text, Color color) {
  if (!keepText_) return;
  from = std::min(from, text_.Size());
  to = std::clamp(to, from, text_.Size());
  ScriptStore tail;
  ForEachPiece(to, [&](const Piece& p) { tail.Append(Text().substr(p.start, p.length), p.color); });
  Truncate(from);
  Append(text, color);
  tail.ForEachPiece(0, [&](const Piece& p) { Append(tail.Text().substr(p.start, p.length), p.color); });
}

Color ScriptStore::ColorBefore(size_t offset) const {
  Color found{};
  size_t start = 0;
  for (size_t i = 0; i < runLengths_.size() && start < offset; start += runLengths_[i++])
    found = colors_[runColors_[i]];
  return found;
}

void ScriptStore::Clear() {
  longest_ = 0;
  text_.Clear();
  runLengths_.clear();
  runColors_.clear();
  lineStarts_.assign(1, 0);
  newlines_ = 0;
  partial_ = false;
}

size_t ScriptStore::LineStart(long index) const {
  if (index < 0) return 0;
  return index < static_cast<long>(lineStarts_.size()) ? lineStarts_[static_cast<size_t>(index)] : text_.Size();
}

std::string ScriptStore::Line(long index) const {
  if (!keepText_ || index < 0 || index >= static_cast<long>(lineStarts_.size())) return {};
  const size_t start = LineStart(index);
  return std::string(Text().substr(start, LineStart(index + 1) - start));
}

namespace {
void AppendRtfText(std::string& body, std::string_view text) {
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\':
        body += "\\\\";
        break;
      case '{':
        body += "\\{";
        break;
      case '}':
        body += "\\}";
        break;
      case '\r':
        break;
      case '\n':
        body += "\\par\n";
        break;
      case '\t':
        body += "\\tab ";
        break;
      default:
        if (c >= 0x80) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\'%02x", c);
          body += hex;
        } else {
          body += static_cast<char>(c);
        }
    }
  }
}
}  // namespace

std::string ScriptStore::Rtf(const std::string& face, int heightTwips) const {
  // The colour table lists the colours in the order the text first uses them.
  std::vector<Color> table;
  auto indexOf = [&](Color c) {
    for (size_t i = 0; i < table.size(); ++i)
      if (table[i] == c) return static_cast<int>(i) + 1;
    table.push_back(c);
    return static_cast<int>(table.size());
  };
  std::string body;
  body.reserve(text_.Size() + text_.Size() / 8);
  ForEachPiece(0, [&](const Piece& p) {
    body += "\\cf" + std::to_string(indexOf(p.color)) + ' ';
    AppendRtfText(body, Text().substr(p.start, p.length));
  });
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern " + face + ";}}\n{\\colortbl ;";
  for (const auto& c : table)
    rtf += "\\red" + std::to_string(c.r) + "\\green" + std::to_string(c.g) + "\\blue" + std::to_string(c.b) + ';';
  rtf += "}\n\\f0\\fs" + std::to_string(heightTwips / 10) + ' ' + body + "}";
  return rtf;
}

}  // namespace mv
