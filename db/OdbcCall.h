#pragma once
#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

namespace mv::odbc {

// Whether calls are traced: $MERVALE_ODBC_TRACE names the file, read once. Asked at every
// call, so the answer is kept where the check is inlined.
bool TraceFileOpen();
inline bool TraceOn() {
  static const bool on = TraceFileOpen();
  return on;
}
// One line in the trace file: the call, its arguments and its return code.
void TraceLine(const char* name, const std::string& args, SQLRETURN rc);

// An argument as the trace shows it. Input texts (SQLCHAR*) are shown, cut at 200 bytes and with
// password values masked; other pointers as addresses.
std::string TraceText(const SQLCHAR* text);
template <class T>
std::string TraceArg(const T& v) {
  if constexpr (std::is_same_v<T, std::nullptr_t>) {
    return "NULL";
  } else if constexpr (std::is_same_v<T, SQLCHAR*> || std::is_same_v<T, const SQLCHAR*>) {
    return TraceText(v);
  } else if constexpr (std::is_pointer_v<T>) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", static_cast<const void*>(v));
    return buf;
  } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    return std::to_string(static_cast<long long>(v));
  } else {
    return "?";
  }
}
template <class... A>
std::string TraceArgs(const A&... a) {
  std::string out;
  ((out += (out.empty() ? "" : ", ") + TraceArg(a)), ...);
  return out;
}
// The trace line of one call, out of line: the calls sit on the per-value path, whose code
// should stay small.
template <class... A>
[[gnu::cold, gnu::noinline]] void TraceCall(const char* name, SQLRETURN rc, const A&... a) {
  TraceLine(name, TraceArgs(a...), rc);
}

}  // namespace mv::odbc

// Every ODBC call of the program goes through this: the call is made once, and traced when
// $MERVALE_ODBC_TRACE is set. Arguments are evaluated again for the trace, so they must be
// plain expressions without side effects.
#define MV_ODBC(fn, ...)                              \
  ([&]() -> SQLRETURN {                               \
    const SQLRETURN mvRc_ = fn(__VA_ARGS__);          \
    if (::mv::odbc::TraceOn()) [[unlikely]]           \
      ::mv::odbc::TraceCall(#fn, mvRc_, __VA_ARGS__); \
    return mvRc_;                                     \
  }())
