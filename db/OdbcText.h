#pragma once
#include <sql.h>

#include <string>

namespace mv {

// ODBC takes names as non-const SQLCHAR*; it does not write through them.
inline SQLCHAR* OdbcText(const std::string& s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str())); }

// A catalog number read as text; empty or malformed text gives the fallback.
inline long CatalogNumber(const std::string& s, long fallback) {
  if (s.empty()) return fallback;
  try {
    return std::stol(s);
  } catch (...) {
    return fallback;
  }
}

}  // namespace mv
