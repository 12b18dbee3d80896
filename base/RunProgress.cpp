#include "base/RunProgress.h"

#include <cmath>
#include <cstdio>

namespace mv {

namespace {

// Length of the well-formed UTF-8 sequence at s[i], 0 when there is none.
size_t Utf8Length(const std::string& s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
  if (n == 0 || c >= 0xF5 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

// A JSON string. Table names are data: a byte that is not UTF-8 is taken as Latin-1, so the
// object stays valid whatever the catalog holds.
std::string JsonString(const std::string& s) {
  std::string out = "\"";
  char hex[8];
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(hex, sizeof hex, "\\u%04X", c);
      out += hex;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t n = Utf8Length(s, i)) {
      out.append(s, i, n);
      i += n - 1;
    } else {
      std::snprintf(hex, sizeof hex, "\\u%04X", c);
      out += hex;
    }
  }
  return out + "\"";
}

}  // namespace

ProgressFigures ComputeProgress(const ProgressCounts& c) {
  ProgressFigures f;
  if (!c.rows || c.seconds < 1.0) return f;
  f.rowsPerSecond = static_cast<double>(c.runRows) / c.seconds;
  if (c.tableExpected >= 0 && c.tableRows <= c.tableExpected && f.rowsPerSecond > 0)
    f.secondsLeft =
        static_cast<long long>(std::ceil(static_cast<double>(c.tableExpected - c.tableRows) / f.rowsPerSecond));
  return f;
}

std::string FormatDuration(long long seconds) {
  if (seconds < 0) seconds = 0;
  char buf[32];
  if (seconds < 3600)
    std::snprintf(buf, sizeof buf, "%lld:%02lld", seconds / 60, seconds % 60);
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return buf;
}

std::string GroupDigits(long long n) {
  const std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out = n < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string ProgressLine(const ProgressCounts& c) {
  std::string line = c.phase + " " + std::to_string(c.tablesDone) + "/" + std::to_string(c.tables);
  if (!c.table.empty()) line += "  " + (c.table.size() > 40 ? c.table.substr(0, 37) + "..." : c.table);
  if (!c.rows) return line;
  line += "  " + GroupDigits(c.tableRows);
  if (c.tableExpected >= 0) line += "/" + GroupDigits(c.tableExpected);
  line += " rows (" + GroupDigits(c.runRows) + " in all)";
  const ProgressFigures f = ComputeProgress(c);
  if (f.rowsPerSecond > 0) line += "  " + GroupDigits(std::llround(f.rowsPerSecond)) + " rows/s";
  if (f.secondsLeft >= 0) line += "  " + FormatDuration(f.secondsLeft) + " left";
  return line;
}

std::string ProgressJson(const ProgressCounts& c) {
  const ProgressFigures f = ComputeProgress(c);
  char number[64];
  std::snprintf(number, sizeof number, "%.1f", c.seconds);
  std::string out = "{\"phase\":" + JsonString(c.phase) + ",\"table\":" + JsonString(c.table) +
                    ",\"tables_done\":" + std::to_string(c.tablesDone) + ",\"tables\":" + std::to_string(c.tables) +
                    ",\"table_rows\":" + std::to_string(c.tableRows) +
                    ",\"table_rows_expected\":" + (c.tableExpected >= 0 ? std::to_string(c.tableExpected) : "null") +
                    ",\"run_rows\":" + std::to_string(c.runRows) + ",\"seconds\":" + number;
  std::snprintf(number, sizeof number, "%.1f", f.rowsPerSecond);
  out += std::string(",\"rows_per_second\":") + number +
         ",\"seconds_left\":" + (f.secondsLeft >= 0 ? std::to_string(f.secondsLeft) : "null") + "}";
  return out;
}

}  // namespace mv
