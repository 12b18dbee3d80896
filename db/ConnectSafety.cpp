#include "db/ConnectSafety.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cctype>
#include <mutex>

#include "base/TextRules.h"
#include "db/DataSources.h"

namespace mv {

namespace {
bool KeyChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool EndsWithIgnoringCase(std::string_view word, std::string_view end) {
  return word.size() >= end.size() && Upper(std::string(word.substr(word.size() - end.size()))) == end;
}

bool IsPasswordKey(std::string_view key) {
  return EndsWithIgnoringCase(key, "PWD") || EndsWithIgnoringCase(key, "PASSWORD") ||
         EndsWithIgnoringCase(key, "PASSWD");
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::string MaskPasswords(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    if (!KeyChar(text[i]) || (i > 0 && KeyChar(text[i - 1]))) {
      out += text[i++];
      continue;
    }
    size_t end = i;
    while (end < n && KeyChar(text[end])) ++end;
    size_t eq = end;
    while (eq < n && IsBlank(text[eq])) ++eq;
    if (eq >= n || text[eq] != '=' || !IsPasswordKey(text.substr(i, end - i))) {
      out.append(text.substr(i, end - i));
      i = end;
      continue;
    }
    size_t value = eq + 1;
    while (value < n && IsBlank(text[value])) ++value;
    out.append(text.substr(i, value - i));
    size_t stop = value;
    if (stop < n && text[stop] == '{') {
      // Braced: up to the closing brace, a doubled one staying inside.
      for (++stop; stop < n; ++stop) {
        if (text[stop] != '}') continue;
        if (stop + 1 < n && text[stop + 1] == '}') {
          ++stop;
          continue;
        }
        ++stop;
        break;
      }
    } else {
      while (stop < n && text[stop] != ';' && text[stop] != '\n' && text[stop] != '\r' && text[stop] != '\'' &&
             text[stop] != '"')
        ++stop;
    }
    out += "***";
    i = stop;
  }
  return out;
}

std::string SafeConnectString(const std::string& connectString, std::vector<std::string>& notes) {
  constexpr unsigned long long kMultiStatements = 67108864;  // MariaDB's OPTION bit
  bool changed = false;
  std::string out;
  for (const auto& [key, value] : ParseConnectString(connectString)) {
    const std::string k = Upper(Trim(key));
    if (k == "LOADEXT") {
      notes.push_back("The connect string's LoadExt attribute was removed: the program loads no SQLite extension.");
      changed = true;
      continue;
    }
    if (k == "INITSTMT") {
      notes.push_back(
          "The connect string's INITSTMT attribute was removed: the program runs no statement of a "
          "connect string.");
      changed = true;
      continue;
    }
    std::string v = value;
    if (k == "OPTION" || k == "OPTIONS") {
      char* endp = nullptr;
      const unsigned long long bits = std::strtoull(value.c_str(), &endp, 10);
      if (endp && *endp == '\0' && !value.empty() && (bits & kMultiStatements)) {
        v = std::to_string(bits & ~kMultiStatements);
        notes.push_back("The multi-statement option (67108864) was removed from the connect string's " + Trim(key) +
                        " attribute: every statement the program runs is one statement.");
        changed = true;
      }
    }
    const bool driver = k == "DRIVER" && v.find_first_of(" ;{}") != std::string::npos;
    out += key + "=" + (driver ? "{" + v + "}" : ConnectValue(v)) + ";";
  }
  return changed ? out : connectString;
}

bool NamesSourceFile(const std::string& connectString, const std::string& path) {
  struct stat target {};
  if (path.empty() || ::stat(path.c_str(), &target) != 0) return false;
  for (const auto& [key, value] : ParseConnectString(connectString)) {
    const std::string k = Upper(Trim(key));
    if (k != "DATABASE" && k != "DBQ") continue;
    struct stat source {};
    if (::stat(value.c_str(), &source) == 0 && source.st_dev == target.st_dev && source.st_ino == target.st_ino)
      return true;
  }
  return false;
}

namespace {
// The SQLite interface, reached through the library the driver loads, so that the program
// itself needs no SQLite at build time.
using ResultError = void (*)(void*, const char*, int);
using CreateFunction = int (*)(void*, const char*, int, int, void*, void (*)(void*, int, void**),
                               void (*)(void*, int, void**), void (*)(void*));
using AutoExtension = int (*)(void (*)());

ResultError resultError = nullptr;
CreateFunction createFunction = nullptr;

void RefuseLoadExtension(void* context, int, void**) {
  resultError(context, "load_extension: extension loading is off for this program's connection", -1);
}

int OnOpen(void* db, const char**, const void*) {
  constexpr int kUtf8 = 1;
  for (int args : {1, 2})
    createFunction(db, "load_extension", args, kUtf8, nullptr, RefuseLoadExtension, nullptr, nullptr);
  return 0;
}
}  // namespace

void GuardSqliteConnections() {
  static std::once_flag once;
  std::call_once(once, [] {
    void* lib = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) return;  // no SQLite here, so no SQLite driver either
    resultError = reinterpret_cast<ResultError>(dlsym(lib, "sqlite3_result_error"));
    createFunction = reinterpret_cast<CreateFunction>(dlsym(lib, "sqlite3_create_function"));
    auto autoExtension = reinterpret_cast<AutoExtension>(dlsym(lib, "sqlite3_auto_extension"));
    if (resultError && createFunction && autoExtension) autoExtension(reinterpret_cast<void (*)()>(OnOpen));
  });
}

}  // namespace mv
