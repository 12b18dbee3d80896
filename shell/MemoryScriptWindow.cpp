#include "shell/MemoryScriptWindow.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mv {

MemoryScriptWindow::~MemoryScriptWindow() { FlushSink(); }

void MemoryScriptWindow::SetSink(std::FILE* f) {
  // A failure stays known after the sink is let go: the front end asks for it then.
  if (!f) {
    sink_.Close();
    return;
  }
  sink_.Attach(f, false);
}

[[gnu::hot]] void MemoryScriptWindow::Insert(std::string_view text, Color color) {
  if (text.empty()) return;
  sink_.Write(text);
  const size_t base = text_.size();
  for (const char *p = text.data(), *end = text.data() + text.size();
       (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) != nullptr;) {
    ++p;
    ++newlines_;
    if (keepText_) lineStarts_.push_back(base + static_cast<size_t>(p - text.data()));
    if (p == end) break;
  }
  partial_ = text.back() != '\n';
  if (!keepText_) return;
  text_.append(text);
  if (!runs_.empty() && runs_.back().color == color && runs_.back().start + runs_.back().length == base)
    runs_.back().length += text.size();
  else
    runs_.push_back({base, text.size(), color});
}

long MemoryScriptWindow::LineCount() const { return newlines_ + 1; }

std::string MemoryScriptWindow::Line(long index) const {
  if (!keepText_ || index < 0 || index >= static_cast<long>(lineStarts_.size())) return {};
  size_t start = lineStarts_[index];
  size_t end = index + 1 < static_cast<long>(lineStarts_.size()) ? lineStarts_[index + 1] : text_.size();
  return text_.substr(start, end - start);
}

void MemoryScriptWindow::Empty() {
  text_.clear();
  runs_.clear();
  lineStarts_.assign(1, 0);
  newlines_ = 0;
  partial_ = false;
}

void MemoryScriptWindow::SetFont(const ScriptFont& font) {
  face_ = font.face;
  heightTwips_ = static_cast<int>(font.pointSize * 20 + 0.5);
}

std::string MemoryScriptWindow::Rtf() const { return BuildRtf(text_, runs_, face_, heightTwips_); }

std::string BuildRtf(const std::string& text, const std::vector<MemoryScriptWindow::Run>& runs, const std::string& face,
                     int heightTwips) {
  std::vector<Color> table;
  auto indexOf = [&](Color c) {
    for (size_t i = 0; i < table.size(); ++i)
      if (table[i] == c) return static_cast<int>(i) + 1;
    table.push_back(c);
    return static_cast<int>(table.size());
  };
  std::string body;
  body.reserve(text.size() + text.size() / 8);
  for (const auto& run : runs) {
    body += "\\cf" + std::to_string(indexOf(run.color)) + ' ';
    for (size_t i = run.start; i < run.start + run.length && i < text.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(text[i]);
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
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern " + face + ";}}\n{\\colortbl ;";
  for (const auto& c : table)
    rtf += "\\red" + std::to_string(c.r) + "\\green" + std::to_string(c.g) + "\\blue" + std::to_string(c.b) + ';';
  rtf += "}\n\\f0\\fs" + std::to_string(heightTwips / 10) + ' ' + body + "}";
  return rtf;
}

}  // namespace mv
