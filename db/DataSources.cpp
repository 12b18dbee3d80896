#include "db/DataSources.h"

#include "db/ConnectSafety.h"

#include <sql.h>
#include <sqlext.h>

#include <unistd.h>

#include <cctype>

#include "base/TextOrder.h"
#include "db/OdbcHandles.h"
#include "db/OdbcText.h"

namespace mv {

namespace {

// An ODBC 2 style environment of its own, freed on every path.
class Environment {
 public:
  Environment() {
    if (!Succeeded(SQLAllocEnv(&h_))) h_ = SQL_NULL_HENV;
  }
  ~Environment() {
    if (h_ != SQL_NULL_HENV) SQLFreeEnv(h_);
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
  SQLHENV get() const { return h_; }

 private:
  SQLHENV h_ = SQL_NULL_HENV;
};

// Calls fetch(direction, first, firstCap, &firstLen, second, secondCap, &secondLen) until the
// list ends, growing a buffer and asking again for the same entry when a text was cut.
template <typename Fetch, typename Take>
void EnumeratePairs(SQLUSMALLINT firstDirection, Fetch fetch, Take take) {
  std::vector<char> a(256), b(1024);
  SQLUSMALLINT direction = firstDirection;
  for (;;) {
    SQLSMALLINT aLen = 0, bLen = 0;
    SQLRETURN rc = fetch(direction, reinterpret_cast<SQLCHAR*>(a.data()), static_cast<SQLSMALLINT>(a.size()), &aLen,
                         reinterpret_cast<SQLCHAR*>(b.data()), static_cast<SQLSMALLINT>(b.size()), &bLen);
    if (!Succeeded(rc)) return;
    if (aLen >= static_cast<SQLSMALLINT>(a.size()) || bLen >= static_cast<SQLSMALLINT>(b.size())) {
      // A cut text: the driver manager has already moved on, so start the list again with
      // room enough and skip the entries already taken.
      if (a.size() >= 32000 || b.size() >= 32000) return;
      a.resize(std::max<size_t>(a.size(), aLen + 1) * 2);
      b.resize(std::max<size_t>(b.size(), bLen + 1) * 2);
      take(nullptr, 0, nullptr, 0);  // restart marker
      direction = firstDirection;
      continue;
    }
    take(a.data(), static_cast<size_t>(std::max<SQLSMALLINT>(aLen, 0)), b.data(),
         static_cast<size_t>(std::max<SQLSMALLINT>(bLen, 0)));
    direction = SQL_FETCH_NEXT;
  }
}

std::string DiagnosticText(SQLSMALLINT type, SQLHANDLE handle) {
  std::string out;
  // Records are asked for one by one until the driver manager says there are no more.
  for (SQLSMALLINT rec = 1; rec < 50; ++rec) {
    SQLCHAR state[8] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    std::vector<SQLCHAR> msg(1024);
    SQLRETURN rc =
        SQLGetDiagRec(type, handle, rec, state, &native, msg.data(), static_cast<SQLSMALLINT>(msg.size()), &len);
    if (rc == SQL_SUCCESS_WITH_INFO && len >= static_cast<SQLSMALLINT>(msg.size())) {
      msg.resize(len + 1);
      rc = SQLGetDiagRec(type, handle, rec, state, &native, msg.data(), static_cast<SQLSMALLINT>(msg.size()), &len);
    }
    if (!Succeeded(rc)) break;
    std::string text(reinterpret_cast<char*>(msg.data()), std::min<size_t>(len, msg.size() - 1));
    if (text.empty()) continue;
    if (!out.empty()) out += "\n";
    out += text;
  }
  return out;
}

bool NeedsBraces(const std::string& v) {
  if (v.empty()) return false;
  if (v.find_first_of(";{}") != std::string::npos) return true;
  return v.front() == ' ' || v.back() == ' ';
}

}  // namespace

std::vector<DataSourceInfo> ListDataSources() {
  std::vector<DataSourceInfo> out;
  for (SQLUSMALLINT first : {SQLUSMALLINT(SQL_FETCH_FIRST_USER), SQLUSMALLINT(SQL_FETCH_FIRST_SYSTEM)}) {
    Environment env;
    if (!env.get()) return out;
    const size_t start = out.size();
    EnumeratePairs(
        first,
        [&](SQLUSMALLINT dir, SQLCHAR* a, SQLSMALLINT ac, SQLSMALLINT* al, SQLCHAR* b, SQLSMALLINT bc,
            SQLSMALLINT* bl) { return SQLDataSources(env.get(), dir, a, ac, al, b, bc, bl); },
        [&](const char* a, size_t al, const char* b, size_t bl) {
          if (!a) {
            out.resize(start);
            return;
          }
          out.push_back({std::string(a, al), std::string(b, bl), first == SQL_FETCH_FIRST_SYSTEM});
        });
  }
  return out;
}

std::vector<DriverInfo> ListDrivers() {
  std::vector<DriverInfo> out;
  Environment env;
  if (!env.get()) return out;
  EnumeratePairs(
      SQL_FETCH_FIRST,
      [&](SQLUSMALLINT dir, SQLCHAR* a, SQLSMALLINT ac, SQLSMALLINT* al, SQLCHAR* b, SQLSMALLINT bc, SQLSMALLINT* bl) {
        return SQLDrivers(env.get(), dir, a, ac, al, b, bc, bl);
      },
      [&](const char* a, size_t al, const char* b, size_t bl) {
        if (!a) {
          out.clear();
          return;
        }
        DriverInfo d{std::string(a, al), {}};
        // The attributes come as "key=value\0key=value\0\0".
        for (size_t i = 0; i < bl;) {
          const char* p = b + i;
          const size_t n = std::char_traits<char>::length(p);
          if (n == 0) break;
          const std::string kv(p, std::min(n, bl - i));
          const size_t eq = kv.find('=');
          d.attributes.emplace_back(kv.substr(0, eq), eq == std::string::npos ? std::string() : kv.substr(eq + 1));
          i += n + 1;
        }
        out.push_back(std::move(d));
      });
  return out;
}

namespace {
std::string Braced(const std::string& value) {
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}
}  // namespace

std::string ConnectValue(const std::string& value) { return NeedsBraces(value) ? Braced(value) : value; }

std::string BuildConnectString(const std::string& driver, const std::string& dsn, const ConnectFields& f) {
  std::string out;
  if (!dsn.empty())
    out = "DSN=" + ConnectValue(dsn) + ";";
  else
    // A driver name is always braced: names such as "PostgreSQL ANSI" hold blanks.
    out = "DRIVER=" + Braced(driver) + ";";
  const std::pair<const char*, const std::string*> parts[] = {
      {"SERVER", &f.server}, {"PORT", &f.port}, {"DATABASE", &f.database}, {"UID", &f.user}, {"PWD", &f.password}};
  for (const auto& [key, value] : parts)
    if (!value->empty()) out += std::string(key) + "=" + ConnectValue(*value) + ";";
  return out;
}

std::string SqliteConnectString(const std::string& file) { return "DRIVER=SQLite3;Database=" + ConnectValue(file); }

std::string DriverManagerVersion() {
  Environment env;
  if (!env.get()) return {};
  char version[64] = {};
  SQLINTEGER len = 0;
  if (!Succeeded(SQLGetEnvAttr(env.get(), SQL_ATTR_UNIXODBC_VERSION, version, sizeof version - 1, &len))) return {};
  return version;
}

namespace {
// Whether the string reaches the SQLite driver, by DRIVER= or a data source of it.
bool ReachesSqlite(const std::vector<std::pair<std::string, std::string>>& parts) {
  auto sqlite = [](const std::string& name) {
    std::string upper;
    for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("SQLITE") != std::string::npos;
  };
  for (const auto& [key, value] : parts) {
    if (EqualIgnoringCase(key, "DRIVER") && sqlite(value)) return true;
    if (EqualIgnoringCase(key, "DSN"))
      for (const DataSourceInfo& source : ListDataSources())
        if (EqualIgnoringCase(source.name, value) && sqlite(source.description)) return true;
  }
  return false;
}
}  // namespace

std::string WithoutCreating(const std::string& connectString) {
  const auto parts = ParseConnectString(connectString);
  for (const auto& [key, value] : parts)
    if (EqualIgnoringCase(key, "NOCREAT")) return connectString;  // the user's own choice stands
  if (!ReachesSqlite(parts)) return connectString;
  const bool separated = connectString.empty() || connectString.back() == ';';
  return connectString + (separated ? "" : ";") + "NoCreat=1";
}

std::string MissingSqliteFile(const std::string& connectString) {
  const auto parts = ParseConnectString(connectString);
  if (!ReachesSqlite(parts)) return {};
  for (const auto& [key, value] : parts)
    if (EqualIgnoringCase(key, "DATABASE") && !value.empty() && access(value.c_str(), F_OK) != 0) return value;
  return {};
}

std::vector<std::pair<std::string, std::string>> ParseConnectString(const std::string& s) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t i = 0;
  while (i < s.size()) {
    const size_t eq = s.find('=', i);
    if (eq == std::string::npos) break;
    std::string key = s.substr(i, eq - i);
    std::string value;
    i = eq + 1;
    if (i < s.size() && s[i] == '{') {
      for (++i; i < s.size(); ++i) {
        if (s[i] == '}') {
          if (i + 1 < s.size() && s[i + 1] == '}') {
            value += '}';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        value += s[i];
      }
      const size_t semi = s.find(';', i);
      i = semi == std::string::npos ? s.size() : semi + 1;
    } else {
      const size_t semi = s.find(';', i);
      value = s.substr(i, semi == std::string::npos ? std::string::npos : semi - i);
      i = semi == std::string::npos ? s.size() : semi + 1;
    }
    out.emplace_back(std::move(key), std::move(value));
  }
  return out;
}

std::string RemoveConnectAttribute(const std::string& connectString, const std::string& key) {
  std::string out;
  for (const auto& [k, v] : ParseConnectString(connectString)) {
    if (EqualIgnoringCase(k, key)) continue;
    // Driver names keep their braces, as drivers expect them there.
    const bool driver = EqualIgnoringCase(k, "DRIVER") && v.find_first_of(" ;{}") != std::string::npos;
    out += k + "=" + (driver ? Braced(v) : ConnectValue(v)) + ";";
  }
  return out;
}

std::string ConnectStringToKeep(const std::string& completed, const std::string& fieldPassword) {
  if (fieldPassword.empty()) return completed;
  bool dropped = false;
  std::string out;
  for (const auto& [k, v] : ParseConnectString(completed)) {
    if ((EqualIgnoringCase(k, "PWD") || EqualIgnoringCase(k, "PASSWORD")) && v == fieldPassword) {
      dropped = true;
      continue;
    }
    const bool driver = EqualIgnoringCase(k, "DRIVER") && v.find_first_of(" ;{}") != std::string::npos;
    out += k + "=" + (driver ? Braced(v) : ConnectValue(v)) + ";";
  }
  return dropped ? out : completed;
}

bool TestConnectString(const std::string& connectString, std::string& message) {
  Environment env;
  if (!env.get()) {
    message = "The ODBC driver manager could not be initialised.";
    return false;
  }
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!Succeeded(SQLAllocConnect(env.get(), &dbc))) {
    message = DiagnosticText(SQL_HANDLE_ENV, env.get());
    return false;
  }
  std::vector<SQLCHAR> outBuf(1024);
  SQLSMALLINT outLen = 0;
  // Tested as the program connects: without what would run code or statements of the string's
  // own, and never creating a missing file.
  GuardSqliteConnections();
  std::vector<std::string> notes;
  const std::string tried = WithoutCreating(SafeConnectString(connectString, notes));
  const SQLRETURN rc = SQLDriverConnect(dbc, nullptr, OdbcText(tried), SQL_NTS, outBuf.data(),
                                        static_cast<SQLSMALLINT>(outBuf.size()), &outLen, SQL_DRIVER_NOPROMPT);
  const bool ok = Succeeded(rc);
  message = DiagnosticText(SQL_HANDLE_DBC, dbc);
  if (ok) {
    SQLDisconnect(dbc);
  } else if (const std::string missing = MissingSqliteFile(connectString); !missing.empty()) {
    message = "The SQLite database file " + missing + " does not exist (it is not created).\n\n" + message;
  } else if (message.empty()) {
    message = "The driver did not say why the connection failed.";
  }
  SQLFreeConnect(dbc);
  return ok;
}

}  // namespace mv
