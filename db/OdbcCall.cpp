#include "db/OdbcCall.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "db/ConnectSafety.h"
#include "db/Diagnostics.h"
#include "db/OdbcHandles.h"

namespace mv {

namespace odbc {

namespace {
std::FILE* TraceFile() {
  static std::FILE* f = [] {
    const char* path = std::getenv("MERVALE_ODBC_TRACE");
    return path && *path ? std::fopen(path, "a") : nullptr;
  }();
  return f;
}
std::mutex& TraceMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

bool TraceFileOpen() { return TraceFile() != nullptr; }

std::string TraceText(const SQLCHAR* text) {
  if (!text) return "NULL";
  const char* s = reinterpret_cast<const char*>(text);
  // Passwords never reach the trace file; masked before the cut, so a cut value is masked too.
  const std::string v = MaskPasswords(std::string_view(s, strnlen(s, 65536)));
  if (v.size() <= 200) return "\"" + v + "\"";
  return "\"" + v.substr(0, 200) + "...\"";
}

void TraceLine(const char* name, const std::string& args, SQLRETURN rc) {
  std::FILE* f = TraceFile();
  if (!f) return;
  std::lock_guard lock(TraceMutex());
  std::fprintf(f, "%s(%s) = %d\n", name, args.c_str(), static_cast<int>(rc));
  std::fflush(f);
}

}  // namespace odbc

std::string DiagnosticText(SQLSMALLINT type, SQLHANDLE handle, std::string* sqlState) {
  if (sqlState) sqlState->clear();
  if (!handle) return {};
  // Some drivers misbehave when asked for a record past the last: ask how many there are.
  SQLINTEGER count = 0;
  if (!Succeeded(SQLGetDiagField(type, handle, 0, SQL_DIAG_NUMBER, &count, 0, nullptr)) || count < 1) count = 1;
  if (count > 64) count = 64;
  std::string text;
  std::vector<SQLCHAR> msg(1024);
  for (SQLSMALLINT rec = 1; rec <= count; ++rec) {
    SQLCHAR state[8] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLRETURN rc =
        SQLGetDiagRec(type, handle, rec, state, &native, msg.data(), static_cast<SQLSMALLINT>(msg.size()), &len);
    if (!Succeeded(rc)) break;
    if (len >= static_cast<SQLSMALLINT>(msg.size())) {
      msg.resize(static_cast<size_t>(len) + 1);
      rc = SQLGetDiagRec(type, handle, rec, state, &native, msg.data(), static_cast<SQLSMALLINT>(msg.size()), &len);
      if (!Succeeded(rc)) break;
    }
    if (rec == 1 && sqlState) *sqlState = reinterpret_cast<char*>(state);
    const std::string one(reinterpret_cast<char*>(msg.data()));
    if (one.empty()) continue;
    if (!text.empty()) text += "\n";
    text += one;
  }
  // The driver manager repeats a whole connect string in some errors ("Can't open lib").
  return MaskPasswords(text);
}

bool IsConnectionLost(const std::string& s) {
  if (s.size() != 5) return false;
  if (s.compare(0, 2, "08") == 0) return true;
  // Communication link failure and "connection does not exist" as some drivers say them.
  return s == "HYT01" || s == "S1T00" || s == "57P01" || s == "57P02" || s == "57P03";
}

}  // namespace mv
