#include "base/ScriptStore.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "base/TextRules.h"

namespace mv {

[[gnu::hot]] void ScriptStore::Append(std::string_view text, Color color) {
  if (text.empty()) return;
  AppendBytes(text);
  if (keepText_) runs_.Add(text.size(), color);
}

[[gnu::hot]] void ScriptStore::AppendRuns(std::string_view text, std::span<const ScriptSink::Run> runs) {
  if (text.empty()) return;
  AppendBytes(text);
  if (!keepText_) return;
  size_t left = text.size();
  for (const ScriptSink::Run& r : runs) {
    const size_t n = std::min(r.length, left);
    runs_.Add(n, r.color);
    left -= n;
  }
  // Runs that fall short of the text leave the rest in the last colour rather than uncoloured.
  runs_.Add(left, runs.empty() ? Color{} : runs.back().color);
}

void ScriptStore::AppendColored(std::string_view text, const ColorRuns& runs) {
  if (text.empty()) return;
  AppendBytes(text);
  if (keepText_) runs_.AddAll(runs);
}

void ScriptStore::AppendBytes(std::string_view text) {
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
  while (i < runs_.Size() && start + ColorRuns::Length(runs_[i]) < size) start += ColorRuns::Length(runs_[i++]);
  if (i < runs_.Size()) {
    const size_t kept = size - start;
    runs_.Cut(kept > 0 ? i + 1 : i, kept);
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
  for (size_t i = 0; i < runs_.Size() && start < offset; start += ColorRuns::Length(runs_[i++]))
    found = runs_.ColorOf(runs_[i]);
  return found;
}

void ScriptStore::Clear() {
  longest_ = 0;
  text_.Clear();
  runs_.Clear();
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
