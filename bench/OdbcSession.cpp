#include "OdbcSession.h"

#include <stdexcept>

namespace mv::bench {

namespace {
bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Frees the statement on every path out, including a throw.
struct StatementGuard {
  SQLHSTMT h = SQL_NULL_HSTMT;
  ~StatementGuard() {
    if (h != SQL_NULL_HSTMT) SQLFreeStmt(h, SQL_DROP);
  }
};
}  // namespace

OdbcSession::OdbcSession(size_t bufferBytes) {
  // Set up exactly as the core's connection is (ODBC 2 environment, driver cursors), so the
  // driver takes the same code paths on both sides of the comparison.
  if (!Ok(SQLAllocEnv(&env_))) throw std::runtime_error("the ODBC driver manager could not be initialised");
  if (!Ok(SQLAllocConnect(env_, &dbc_))) {
    SQLFreeEnv(env_);
    throw std::runtime_error("no ODBC connection handle");
  }
  SQLSetConnectOption(dbc_, SQL_ODBC_CURSORS, SQL_CUR_USE_DRIVER);
  buffer_.resize(bufferBytes < 2 ? 2 : bufferBytes);
}

OdbcSession::~OdbcSession() {
  if (connected_) SQLDisconnect(dbc_);
  SQLFreeConnect(dbc_);
  SQLFreeEnv(env_);
}

std::string OdbcSession::Diagnostics(SQLSMALLINT type, SQLHANDLE handle) const {
  std::string text;
  SQLCHAR state[6];
  SQLCHAR message[1024];
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  for (SQLSMALLINT i = 1; Ok(SQLGetDiagRec(type, handle, i, state, &native, message, sizeof message, &len)); ++i) {
    if (!text.empty()) text += "; ";
    text += reinterpret_cast<char*>(state);
    text += ' ';
    text += reinterpret_cast<char*>(message);
  }
  return text.empty() ? "no diagnostics" : text;
}

void OdbcSession::Fail(const std::string& what, SQLSMALLINT type, SQLHANDLE handle) const {
  throw std::runtime_error(what + ": " + Diagnostics(type, handle));
}

void OdbcSession::Connect(const std::string& connectString) {
  SQLCHAR out[1024];
  SQLSMALLINT outLen = 0;
  SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connectString.c_str())),
                                  SQL_NTS, out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
  if (!Ok(rc)) Fail("cannot connect", SQL_HANDLE_DBC, dbc_);
  connected_ = true;
}

void OdbcSession::Exec(const std::string& sql) {
  StatementGuard st;
  if (!Ok(SQLAllocStmt(dbc_, &st.h))) Fail("no statement handle", SQL_HANDLE_DBC, dbc_);
  SQLRETURN rc = SQLExecDirect(st.h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  if (!Ok(rc) && rc != SQL_NO_DATA) Fail("statement failed: " + sql.substr(0, 80), SQL_HANDLE_STMT, st.h);
}

OdbcSession::FetchTotals OdbcSession::PlainFetch(const std::string& select) {
  FetchTotals t;
  StatementGuard st;
  if (!Ok(SQLAllocStmt(dbc_, &st.h))) Fail("no statement handle", SQL_HANDLE_DBC, dbc_);
  if (!Ok(SQLExecDirect(st.h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(select.c_str())), SQL_NTS)))
    Fail("select failed", SQL_HANDLE_STMT, st.h);
  SQLSMALLINT columns = 0;
  SQLNumResultCols(st.h, &columns);
  const SQLLEN chunk = static_cast<SQLLEN>(buffer_.size());
  SQLRETURN rc;
  while (Ok(rc = SQLFetch(st.h))) {
    ++t.rows;
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
      // Long values come in pieces; every piece is asked for, as a real reader must.
      for (;;) {
        SQLLEN ind = 0;
        SQLRETURN g = SQLGetData(st.h, c, SQL_C_CHAR, buffer_.data(), chunk, &ind);
        if (g == SQL_NO_DATA) break;
        if (!Ok(g)) Fail("SQLGetData failed", SQL_HANDLE_STMT, st.h);
        if (ind == SQL_NULL_DATA) {
          ++t.nulls;
          break;
        }
        if (g == SQL_SUCCESS || (ind >= 0 && ind < chunk)) {
          t.bytes += ind >= 0 && ind < chunk ? ind : 0;
          break;
        }
        t.bytes += chunk - 1;
      }
      ++t.values;
    }
  }
  if (rc != SQL_NO_DATA) Fail("SQLFetch failed", SQL_HANDLE_STMT, st.h);
  return t;
}

}  // namespace mv::bench
