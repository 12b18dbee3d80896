#pragma once
#include <sql.h>
#include <sqlext.h>

#include <utility>

namespace mv {

// One owner per statement handle; dropped (SQL_DROP) when the owner goes, so a stop that
// unwinds through a scripter never leaks a statement.
class Statement {
 public:
  Statement() = default;
  explicit Statement(SQLHSTMT h) : h_(h) {}
  ~Statement() { Drop(); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement(Statement&& o) noexcept : h_(std::exchange(o.h_, SQLHSTMT{})) {}
  Statement& operator=(Statement&& o) noexcept {
    if (this != &o) {
      Drop();
      h_ = std::exchange(o.h_, SQLHSTMT{});
    }
    return *this;
  }
  SQLHSTMT get() const { return h_; }
  explicit operator bool() const { return h_ != SQL_NULL_HSTMT; }
  void Drop() {
    if (h_ != SQL_NULL_HSTMT) SQLFreeStmt(h_, SQL_DROP);
    h_ = SQL_NULL_HSTMT;
  }
  void Reset(SQLHSTMT h) {
    Drop();
    h_ = h;
  }
  SQLHSTMT* out() {
    Drop();
    return &h_;
  }

 private:
  SQLHSTMT h_ = SQL_NULL_HSTMT;
};

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

}  // namespace mv
