#pragma once
#include <sql.h>
#include <sqlext.h>

#include <utility>

namespace mv {

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// One non-copyable owner per ODBC handle. Owners are declared in the order environment,
// connection, statement, so they are freed in reverse order; freeing never throws.
template <SQLSMALLINT Type, class H>
class OdbcHandle {
 public:
  OdbcHandle() = default;
  explicit OdbcHandle(H h) : h_(h) {}
  ~OdbcHandle() { Drop(); }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  OdbcHandle(OdbcHandle&& o) noexcept : h_(std::exchange(o.h_, H{})) {}
  OdbcHandle& operator=(OdbcHandle&& o) noexcept {
    if (this != &o) {
      Drop();
      h_ = std::exchange(o.h_, H{});
    }
    return *this;
  }
  H get() const { return h_; }
  explicit operator bool() const { return h_ != H{}; }
  void Drop() noexcept {
    if (h_ != H{}) SQLFreeHandle(Type, h_);
    h_ = H{};
  }
  void Reset(H h) {
    Drop();
    h_ = h;
  }
  // For the allocating call: the old handle is freed first.
  H* out() {
    Drop();
    return &h_;
  }

 private:
  H h_{};
};

using EnvHandle = OdbcHandle<SQL_HANDLE_ENV, SQLHENV>;
using ConnHandle = OdbcHandle<SQL_HANDLE_DBC, SQLHDBC>;
// A statement is dropped when its owner goes, so a stop that unwinds through a scripter never
// leaks a statement.
using Statement = OdbcHandle<SQL_HANDLE_STMT, SQLHSTMT>;

}  // namespace mv
