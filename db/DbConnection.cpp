#include "db/DbConnection.h"

#include "db/ConnectSafety.h"
#include "db/DataSources.h"
#include "db/Diagnostics.h"
#include "db/OdbcCall.h"
#include "db/OdbcText.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <vector>

#include "base/Host.h"
#include "base/TextOrder.h"
#include "base/TextRules.h"
#include "db/RowReader.h"
#include "db/StreamingReads.h"

namespace mv {

const char* EngineName(Engine e) {
  switch (e) {
    case Engine::SQLite:
      return "SQLite";
    case Engine::PostgreSQL:
      return "PostgreSQL";
    case Engine::MariaDB:
      return "MariaDB";
    case Engine::Other:
      break;
  }
  return "";
}

namespace {
bool NamesSourceOrDriver(const std::string& cs) {
  const std::string upper = Upper(cs);
  if (upper.find("DRIVER=") != std::string::npos || upper.find("FILEDSN=") != std::string::npos) return true;
  size_t p = upper.find("DSN=");
  return p != std::string::npos && p + 4 < upper.size() && upper[p + 4] != ';';
}
}  // namespace

DbConnection::~DbConnection() { Disconnect(); }

bool DbConnection::AllocHandles() {
  SQLHENV env = SQL_NULL_HENV;
  if (!Succeeded(MV_ODBC(SQLAllocEnv, &env))) return false;
  env_.Reset(env);
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!Succeeded(MV_ODBC(SQLAllocConnect, env_.get(), &dbc))) return false;
  dbc_.Reset(dbc);
  if (!Succeeded(MV_ODBC(SQLSetConnectOption, dbc_.get(), SQL_ODBC_CURSORS, SQL_CUR_USE_DRIVER))) return false;
  return true;
}

bool DbConnection::DriverConnect(const std::string& given) {
  // A configuration may come from anyone: its string does not get to run code or statements.
  GuardSqliteConnections();
  std::vector<std::string> notes;
  const std::string in = SafeConnectString(given, notes);
  for (const std::string& note : notes) std::fprintf(stderr, "%s\n", note.c_str());
  std::vector<SQLCHAR> out(4096);
  SQLSMALLINT outLen = 0;
  // No window here: a string the driver cannot complete fails instead of prompting.
  // A SQLite file that does not exist is an error, never a new empty database. The user's
  // string is what is kept; the driver gets it with the options that stream rows.
  const std::string tried = WithoutCreating(WithStreamingReads(in));
  SQLRETURN rc = MV_ODBC(SQLDriverConnect, dbc_.get(), nullptr, OdbcText(tried), SQL_NTS, out.data(),
                         static_cast<SQLSMALLINT>(out.size()), &outLen, SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) {
    std::string message = DiagnosticText(SQL_HANDLE_DBC, dbc_.get());
    target_.title = "Not Connected";
    if (message.empty()) message = "The driver manager gave no reason (ODBC return code " + std::to_string(rc) + ").";
    if (const std::string missing = MissingSqliteFile(in); !missing.empty())
      message = "The SQLite database file " + missing + " does not exist (it is not created).\n\n" + message;
    host_.Message("Could not connect to data source.\n\n" + message, Host::Buttons::Ok);
    return false;
  }
  connected_ = true;
  // The completed string is what a configuration file saves, so it must be able to connect
  // again. Keep the one we were given when the completed one was cut, is empty, or names
  // neither a data source nor a driver (the SQLite driver answers "DSN=;Database=...").
  std::string completed = reinterpret_cast<char*>(out.data());
  target_.connectString =
      outLen >= static_cast<SQLSMALLINT>(out.size()) || !NamesSourceOrDriver(completed) ? in : completed;
  target_.dsn = DsnOf(target_.connectString);
  return true;
}

void DbConnection::ReadServerAndUser() {
  std::vector<char> buf(1000, '\0');
  SQLSMALLINT len = 0;
  if (Succeeded(
          MV_ODBC(SQLGetInfo, dbc_.get(), SQL_SERVER_NAME, buf.data(), static_cast<SQLSMALLINT>(buf.size()), &len)))
    target_.serverName = buf.data();
  std::fill(buf.begin(), buf.end(), '\0');
  if (Succeeded(MV_ODBC(SQLGetInfo, dbc_.get(), SQL_USER_NAME, buf.data(), static_cast<SQLSMALLINT>(buf.size()), &len)))
    target_.userName = buf.data();
  target_.owner = Trim(target_.userName);
  target_.loginUser = target_.owner;
  ReadEngineFacts();
}

std::string DbConnection::InfoText(SQLUSMALLINT type) {
  std::vector<char> buf(1024, '\0');
  SQLSMALLINT len = 0;
  if (!Succeeded(MV_ODBC(SQLGetInfo, dbc_.get(), type, buf.data(), static_cast<SQLSMALLINT>(buf.size()), &len)))
    return {};
  if (len >= static_cast<SQLSMALLINT>(buf.size())) {
    // Keyword lists run long: read again whole.
    buf.assign(static_cast<size_t>(len) + 1, '\0');
    if (!Succeeded(MV_ODBC(SQLGetInfo, dbc_.get(), type, buf.data(), static_cast<SQLSMALLINT>(buf.size()), &len)))
      return {};
  }
  return std::string(buf.data());
}

namespace {
Engine EngineOf(const std::string& dbmsName) {
  const std::string upper = Upper(dbmsName);
  if (upper.find("SQLITE") != std::string::npos) return Engine::SQLite;
  if (upper.find("POSTGRES") != std::string::npos) return Engine::PostgreSQL;
  if (upper.find("MARIADB") != std::string::npos || upper.find("MYSQL") != std::string::npos) return Engine::MariaDB;
  return Engine::Other;
}
}  // namespace

void DbConnection::ReadEngineFacts() {
  DriverFacts& d = driver_;
  d.dbmsName = InfoText(SQL_DBMS_NAME);
  d.engine = EngineOf(d.dbmsName);
  d.identifierQuote = InfoText(SQL_IDENTIFIER_QUOTE_CHAR);
  // " " means the driver knows no identifier quote.
  if (d.identifierQuote == " ") d.identifierQuote.clear();
  d.keywords.clear();
  const std::string list = InfoText(SQL_KEYWORDS);
  for (size_t start = 0; start < list.size();) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string word = Trim(list.substr(start, end - start));
    if (!word.empty()) d.keywords.push_back(Upper(word));
    start = end + 1;
  }
  SQLUSMALLINT icase = 0;
  if (Succeeded(MV_ODBC(SQLGetInfo, dbc_.get(), SQL_IDENTIFIER_CASE, &icase, 0, nullptr))) d.identifierCase = icase;
  // Measured on 1,000,000 rows: psqlODBC fetches with a fifth less time in bound arrays. The
  // MariaDB driver says it can read a bound value again in a block, but gives no data, and the
  // SQLite driver cannot position in a block: both read a value at a time.
  SQLUINTEGER getData = 0;
  SQLUSMALLINT setPos = SQL_FALSE;
  const SQLUINTEGER needed = SQL_GD_BLOCK | SQL_GD_BOUND | SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER;
  d.readsInBlocks = d.engine == Engine::PostgreSQL && Upper(InfoText(SQL_DRIVER_NAME)).find("PSQLODBC") == 0 &&
                    Succeeded(MV_ODBC(SQLGetInfo, dbc_.get(), SQL_GETDATA_EXTENSIONS, &getData, 0, nullptr)) &&
                    (getData & needed) == needed &&
                    Succeeded(MV_ODBC(SQLGetFunctions, dbc_.get(), SQL_API_SQLSETPOS, &setPos)) && setPos == SQL_TRUE;
}

std::string DbConnection::SetReadOnly(bool on) {
  // The drivers take or refuse the ODBC access mode and let writes through all the same, so
  // each engine is asked in its own words.
  const char* sql = nullptr;
  switch (driver_.engine) {
    case Engine::SQLite:
      sql = on ? "PRAGMA query_only = ON" : "PRAGMA query_only = OFF";
      break;
    case Engine::PostgreSQL:
      sql = on ? "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"
               : "SET SESSION CHARACTERISTICS AS TRANSACTION READ WRITE";
      break;
    case Engine::MariaDB:
      sql = on ? "SET SESSION TRANSACTION READ ONLY" : "SET SESSION TRANSACTION READ WRITE";
      break;
    case Engine::Other:
      break;
  }
  if (sql) {
    Statement stmt;
    return Execute(stmt, sql);
  }
  const SQLRETURN rc =
      MV_ODBC(SQLSetConnectAttr, dbc_.get(), SQL_ATTR_ACCESS_MODE,
              reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_MODE_READ_ONLY : SQL_MODE_READ_WRITE)), 0);
  if (Succeeded(rc)) return {};
  ReadDiagnostics(nullptr);
  return lastError_.text.empty() ? std::string("The driver refused the read-only mode.") : lastError_.text;
}

bool DbConnection::ConnectionLost(const std::string& sqlState) {
  if (IsConnectionLost(sqlState)) return true;
  SQLUINTEGER dead = SQL_CD_FALSE;
  return Succeeded(MV_ODBC(SQLGetConnectAttr, dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
         dead == SQL_CD_TRUE;
}

void DbConnection::FailConnect(const std::string& reason) {
  target_.title = "Not Connected";
  host_.Message("Could not connect to data source.\n\n" + reason, Host::Buttons::Ok);
}

std::unique_ptr<DbConnection> DbConnection::ConnectInteractive(Host& host) {
  std::unique_ptr<DbConnection> c(new DbConnection(host));
  const std::optional<DataSourceChoice> choice = host.ChooseDataSource({});
  const std::optional<std::string> chosen = choice ? std::optional<std::string>(choice->connectString) : std::nullopt;
  if (!chosen) {
    // Cancelled, or no window to choose in: not connected, and nothing to say.
    c->target_.title = "Not Connected";
    return c;
  }
  if (chosen->size() >= kMaxConnectString) {
    c->FailConnect("The connect string is " + std::to_string(chosen->size()) + " bytes long; it must be shorter than " +
                   std::to_string(kMaxConnectString) + " bytes.");
    return c;
  }
  if (!c->AllocHandles()) {
    c->FailConnect("The ODBC driver manager could not be initialised.");
    return c;
  }
  if (!c->DriverConnect(*chosen)) return c;
  // The driver echoes the password field in the completed string; what configurations save
  // keeps only a password the user typed into the connect string itself.
  c->target_.connectString = ConnectStringToKeep(c->target_.connectString, choice->fieldPassword);
  c->ReadServerAndUser();
  c->target_.title = ConnectionTitle(c->target_);
  c->ProbeAndCheckOwner();
  return c;
}

std::unique_ptr<DbConnection> DbConnection::ConnectWithString(Host& host, const std::string& connectString,
                                                              const std::string& owner,
                                                              const std::string& catalogFlag) {
  std::unique_ptr<DbConnection> c(new DbConnection(host));
  if (connectString.size() >= kMaxConnectString) {
    // Refused whole rather than cut: a cut string could connect somewhere else.
    c->FailConnect("The connect string is " + std::to_string(connectString.size()) +
                   " bytes long; it must be shorter than " + std::to_string(kMaxConnectString) + " bytes.");
    return c;
  }
  if (!c->AllocHandles()) {
    c->FailConnect("The ODBC driver manager could not be initialised.");
    return c;
  }
  if (!c->DriverConnect(connectString)) return c;
  c->ReadServerAndUser();
  c->target_.serverName = Trim(c->target_.serverName);
  c->ProbeAndCheckOwner(owner, catalogFlag);
  if (c->connected_) c->target_.title = ConnectionTitle(c->target_);
  return c;
}

void DbConnection::ProbeAndCheckOwner(const std::string& owner, const std::string& catalogFlag) {
  lastError_.text = "0";
  ProbeOwners(false);
  ProbeOwners(true);
  if (!owner.empty()) {
    target_.ownerIsCatalog = catalogFlag == "1";
    target_.owner = owner;
  }
  // An owner the user named that the database does not have would leave the run to script
  // every table instead: an error, never a fallback. The login user is only the default.
  if (!IsKnownOwner() && !owner.empty() && Trim(owner) != target_.loginUser) {
    ownerNotFound_ = true;
    Disconnect();
    target_.title = "Not Connected";
    host_.Message("The owner " + owner + " was not found: the database has no " +
                      (catalogFlag == "1" ? "catalog" : "schema") + " of that name.",
                  Host::Buttons::Ok);
    return;
  }
  if (!IsKnownOwner()) target_.owner.clear();
  ApplyCatalog();
}

std::string DsnOf(const std::string& connectString) {
  size_t p = connectString.find("DSN=");
  if (p == std::string::npos) return {};
  std::string rest = Upper(connectString.substr(p + 4));
  size_t semi = rest.find(';');
  if (semi != std::string::npos) rest.resize(semi);
  return rest;
}

void DbConnection::ProbeOwners(bool probeCatalogs) {
  std::vector<std::string>& list = probeCatalogs ? driver_.catalogs : driver_.schemas;
  bool& has = probeCatalogs ? driver_.hasCatalogs : driver_.hasSchemas;
  list.clear();
  has = true;
  Statement st;
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, dbc_.get(), &h))) return;
  st.Reset(h);
  std::string all = "%", none;
  SQLRETURN rc;
  if (probeCatalogs) {
    target_.ownerIsCatalog = true;
    rc = MV_ODBC(SQLTables, st.get(), OdbcText(all), SQL_NTS, OdbcText(none), SQL_NTS, OdbcText(none), SQL_NTS, nullptr,
                 0);
  } else {
    rc = MV_ODBC(SQLTables, st.get(), OdbcText(none), SQL_NTS, OdbcText(all), SQL_NTS, OdbcText(none), SQL_NTS, nullptr,
                 0);
    target_.ownerIsCatalog = false;
  }
  if (!Succeeded(rc)) {
    has = false;
    return;
  }
  RowReader reader(st);
  std::string cat, schem;
  while (MV_ODBC(SQLFetch, st.get()) == SQL_SUCCESS) {
    reader.Value(1, cat);
    reader.Value(2, schem);
    std::string name = Trim(target_.ownerIsCatalog ? cat : schem);
    if (!name.empty()) list.push_back(name);
  }
  if (list.empty()) has = false;
}

bool DbConnection::IsKnownOwner() const {
  const std::string& owner = target_.owner;
  const std::vector<std::string>& catalogs = driver_.catalogs;
  const std::vector<std::string>& schemas = driver_.schemas;
  return owner.empty() || std::find(catalogs.begin(), catalogs.end(), owner) != catalogs.end() ||
         std::find(schemas.begin(), schemas.end(), owner) != schemas.end();
}

void DbConnection::ApplyCatalog() {
  const std::string& owner = target_.owner;
  if (target_.ownerIsCatalog && !owner.empty() && dbc_)
    MV_ODBC(SQLSetConnectAttr, dbc_.get(), SQL_ATTR_CURRENT_CATALOG, OdbcText(owner),
            static_cast<SQLINTEGER>(owner.size()));
}

namespace {

// The driver and the database file of a string that names the SQLite driver; empty otherwise.
std::pair<std::string, std::string> SqliteDriverAndFile(const std::string& connectString) {
  std::string driver, file;
  for (const auto& [key, value] : ParseConnectString(connectString)) {
    const std::string k = Trim(key);
    if (EqualIgnoringCase(k, "DRIVER")) driver = Trim(value);
    if (EqualIgnoringCase(k, "DATABASE") || EqualIgnoringCase(k, "DBQ")) file = value;
  }
  std::string upper = driver;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.find("SQLITE") == std::string::npos) return {};
  return {driver, file};
}

}  // namespace

std::string ConnectionTitle(const ConnectionTarget& t) {
  // From the connection's parts alone: a title built on the previous one would grow at every
  // owner change.
  std::string title;
  if (!t.dsn.empty() && strcasecmp(t.dsn.c_str(), "DEFAULT") != 0) {
    title = t.dsn;
    if (!t.serverName.empty() && t.serverName != title) title += "(" + t.serverName + ")";
    if (!t.userName.empty()) title = t.userName + "@" + title;
  } else {
    if (!t.serverName.empty() && t.serverName != title) title += "(" + t.serverName + ")";
    if (!t.userName.empty()) {
      title = t.userName + "@" + title;
    } else {
      std::string first = t.connectString.substr(0, t.connectString.find(';'));
      size_t eq = first.find('=');
      title = eq == std::string::npos ? first : first.substr(eq + 1);
      // The title reaches the script header and the window title: never a password.
      const std::string key = eq == std::string::npos ? std::string() : Trim(first.substr(0, eq));
      if (MaskPasswords(first) != first) title = "********";
      // A SQLite database is a file: the driver's name alone would not tell which one.
      if (const auto [driver, file] = SqliteDriverAndFile(t.connectString); !file.empty())
        title = driver + "(" + file + ")";
    }
  }
  if (!t.owner.empty() && t.owner != t.loginUser) title = t.owner + ":" + title;
  return MaskPasswords(title);
}

std::string DbConnection::Execute(Statement& stmt, const std::string& sql) {
  SQLHSTMT h = SQL_NULL_HSTMT;
  stmt.Drop();
  if (!Succeeded(MV_ODBC(SQLAllocHandle, SQL_HANDLE_STMT, dbc_.get(), &h))) {
    lastError_.text = DiagnosticText(SQL_HANDLE_DBC, dbc_.get(), &lastError_.sqlState);
    if (lastError_.text.empty()) lastError_.text = "Could not allocate a statement.";
    return lastError_.text;
  }
  stmt.Reset(h);
  {
    std::lock_guard lock(inFlightMu_);
    if (cancelPending_) {
      cancelPending_ = false;
      stmt.Drop();
      lastError_ = {"The statement was cancelled before it ran.", "HY008"};
      return lastError_.text;
    }
    inFlight_ = h;
  }
  SQLRETURN rc = MV_ODBC(SQLExecDirect, stmt.get(), OdbcText(sql), SQL_NTS);
  {
    std::lock_guard lock(inFlightMu_);
    inFlight_ = SQL_NULL_HSTMT;
  }
  if (rc == SQL_SUCCESS) return {};
  ReadDiagnostics(stmt.get());
  stmt.Drop();
  // An empty text would read as success to the caller, whose statement is gone.
  if (lastError_.text.empty())
    lastError_.text = "The statement did not run (ODBC return code " + std::to_string(rc) + ").";
  return lastError_.text;
}

void DbConnection::CancelStatement() {
  std::lock_guard lock(inFlightMu_);
  if (inFlight_)
    MV_ODBC(SQLCancel, inFlight_);
  else
    cancelPending_ = true;
}

void DbConnection::ClearCancel() {
  std::lock_guard lock(inFlightMu_);
  cancelPending_ = false;
}

bool DbConnection::ReadDiagnostics(SQLHSTMT stmt) {
  lastError_ = {};
  if (stmt)
    lastError_.text = DiagnosticText(SQL_HANDLE_STMT, stmt, &lastError_.sqlState);
  else if (dbc_)
    lastError_.text = DiagnosticText(SQL_HANDLE_DBC, dbc_.get(), &lastError_.sqlState);
  return !lastError_.text.empty();
}

void DbConnection::Disconnect() {
  if (dbc_ && connected_) MV_ODBC(SQLDisconnect, dbc_.get());
  dbc_.Drop();
  env_.Drop();
  connected_ = false;
  tables_ = {};
  driver_.schemas.clear();
  driver_.catalogs.clear();
}

std::vector<OwnerChoice> DbConnection::FillOwnerChooser(int& selected) {
  std::vector<OwnerChoice> choices;
  for (const auto& s : driver_.schemas) choices.push_back({s, 0});
  for (const auto& c : driver_.catalogs) choices.push_back({c, 7777});
  choices.push_back({"-not required-", 0});
  selected = -1;
  const std::string& owner = target_.owner;
  for (size_t i = 0; i < choices.size(); ++i) {
    if (choices[i].text.size() >= owner.size() &&
        strncasecmp(choices[i].text.c_str(), owner.c_str(), owner.size()) == 0) {
      selected = static_cast<int>(i);
      break;
    }
  }
  ApplyOwnerChoice(choices, selected);
  return choices;
}

void DbConnection::ApplyOwnerChoice(const std::vector<OwnerChoice>& choices, int selected) {
  if (selected < 0 || selected >= static_cast<int>(choices.size()) || choices[selected].text == "-not required-") {
    target_.owner.clear();
    return;
  }
  target_.ownerIsCatalog = choices[selected].data != 0;
  if (target_.ownerIsCatalog) ApplyCatalog();
}

void DbConnection::ChooseOwner(const std::vector<OwnerChoice>& choices, int selected) {
  if (selected >= 0 && selected < static_cast<int>(choices.size())) target_.owner = choices[selected].text;
  ApplyOwnerChoice(choices, selected);
  target_.title = ConnectionTitle(target_);
  tables_ = {};
}

}  // namespace mv
