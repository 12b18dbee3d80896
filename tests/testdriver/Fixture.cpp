#include "Fixture.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace mv::testdriver {

namespace {

// Guards against a typo such as \R3000000000*x eating all memory.
constexpr std::size_t kMaxValueLength = 64u * 1024u * 1024u;

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string decodeEscapes(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (i + 1 >= text.size()) throw std::invalid_argument("backslash at end of field");
    const char c = text[++i];
    switch (c) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 'x': {
        const int hi = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) throw std::invalid_argument("\\x needs two hex digits");
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        throw std::invalid_argument(std::string("unknown escape \\") + c +
                                    (c == 'N' || c == 'R' ? " (\\N and \\R must start the field)" : ""));
    }
  }
  return out;
}

std::size_t parseCount(const std::string& text, const char* what) {
  std::size_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end)
    throw std::invalid_argument(std::string(what) + " must be a non-negative integer, got '" + text + "'");
  return value;
}

OwnerCase parseOwnerCase(const std::string& text) {
  if (text == "WITH_OWNER") return OwnerCase::WithOwner;
  if (text == "WITHOUT_OWNER") return OwnerCase::WithoutOwner;
  if (text == "ALWAYS") return OwnerCase::Always;
  throw std::invalid_argument("expected WITH_OWNER, WITHOUT_OWNER or ALWAYS, got '" + text + "'");
}

// Reads one fixture line by line; every error carries the origin and line number.
class Parser {
 public:
  Parser(Fixture& fixture, std::string origin) : fixture_(fixture), origin_(std::move(origin)) {}

  void run(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      ++lineNo_;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t first = line.find_first_not_of(" \t");
      if (first == std::string::npos || line[first] == '#') continue;
      try {
        handle(splitTabs(line.substr(first)));
      } catch (const std::invalid_argument& e) {
        fail(e.what());
      }
    }
    if (statement_) fail("QUERY block starting at line " + std::to_string(blockLine_) + " has no END");
  }

 private:
  [[noreturn]] void fail(const std::string& message) const {
    throw FixtureError("fixture " + origin_ + " line " + std::to_string(lineNo_) + ": " + message);
  }

  static void arity(const std::vector<std::string>& f, std::size_t min, std::size_t max) {
    const std::size_t given = f.size() - 1;
    if (given < min || given > max) {
      std::string expected = min == max ? std::to_string(min) : std::to_string(min) + " to " + std::to_string(max);
      throw std::invalid_argument(f[0] + " takes " + expected + " tab-separated fields, got " + std::to_string(given));
    }
  }

  static std::string text(const std::string& field) {
    Value v = Fixture::unescape(field);
    if (!v) throw std::invalid_argument("\\N (NULL) is not allowed here");
    return *v;
  }

  void handle(const std::vector<std::string>& f) {
    const std::string& key = f[0];
    if (statement_) {
      handleInBlock(f);
      return;
    }
    if (key == "SERVER_NAME") {
      arity(f, 1, 1);
      fixture_.serverName = text(f[1]);
    } else if (key == "USER_NAME") {
      arity(f, 1, 1);
      fixture_.userName = text(f[1]);
    } else if (key == "DBMS_NAME") {
      arity(f, 1, 1);
      fixture_.dbmsName = text(f[1]);
    } else if (key == "DBMS_VER") {
      arity(f, 1, 1);
      fixture_.dbmsVersion = text(f[1]);
    } else if (key == "DATABASE_NAME") {
      arity(f, 1, 1);
      fixture_.databaseName = text(f[1]);
    } else if (key == "CALL_LOG") {
      arity(f, 1, 1);
      fixture_.callLog = text(f[1]);
    } else if (key == "CONNECT_ERROR") {
      arity(f, 1, 1);
      fixture_.connectError = text(f[1]);
    } else if (key == "CURRENT_CATALOG_ERROR") {
      arity(f, 1, 1);
      fixture_.currentCatalogError = text(f[1]);
    } else if (key == "SCHEMA") {
      arity(f, 1, 2);
      fixture_.schemas.push_back({f.size() > 2 ? Fixture::unescape(f[2]) : Value{}, text(f[1])});
    } else if (key == "CATALOG") {
      arity(f, 1, 1);
      fixture_.catalogs.push_back(text(f[1]));
    } else if (key == "SCHEMAS_ERROR") {
      arity(f, 1, 1);
      fixture_.schemasError = text(f[1]);
    } else if (key == "CATALOGS_ERROR") {
      arity(f, 1, 1);
      fixture_.catalogsError = text(f[1]);
    } else if (key == "TABLE") {
      arity(f, 4, 5);
      fixture_.tables.push_back(values(f, Fixture::kTablesFields));
    } else if (key == "TABLES_ERROR") {
      arity(f, 2, 2);
      fixture_.tablesFaults.push_back({"*", parseOwnerCase(f[1]), text(f[2])});
    } else if (key == "TABLES_FETCH_ERROR") {
      arity(f, 2, 2);
      fixture_.tablesFetchFault = FetchFault{"*", parseCount(f[1], "row count"), text(f[2])};
    } else if (key == "COLUMN") {
      arity(f, 11, 18);
      addColumn(f);
    } else if (key == "COLUMNS_ERROR") {
      arity(f, 3, 3);
      fixture_.columnsFaults.push_back({text(f[1]), parseOwnerCase(f[2]), text(f[3])});
    } else if (key == "COLUMNS_FETCH_ERROR") {
      arity(f, 3, 3);
      fixture_.columnsFetchFaults.push_back({text(f[1]), parseCount(f[2], "row count"), text(f[3])});
    } else if (key == "STATISTIC") {
      arity(f, 12, 13);
      fixture_.statistics.push_back(values(f, Fixture::kStatisticsFields));
    } else if (key == "STATISTICS_ERROR") {
      arity(f, 3, 3);
      fixture_.statisticsFaults.push_back({text(f[1]), parseOwnerCase(f[2]), text(f[3])});
    } else if (key == "STATISTICS_FETCH_ERROR") {
      arity(f, 3, 3);
      fixture_.statisticsFetchFaults.push_back({text(f[1]), parseCount(f[2], "row count"), text(f[3])});
    } else if (key == "PRIMARY_KEY") {
      arity(f, 5, 6);
      fixture_.primaryKeys.push_back(values(f, Fixture::kPrimaryKeysFields));
    } else if (key == "FOREIGN_KEY") {
      arity(f, 9, 14);
      fixture_.foreignKeys.push_back(values(f, Fixture::kForeignKeysFields));
    } else if (key == "UNSUPPORTED") {
      arity(f, 1, 1);
      const std::string name = text(f[1]);
      if (std::find(std::begin(Fixture::kOptionalFunctions), std::end(Fixture::kOptionalFunctions), name) ==
          std::end(Fixture::kOptionalFunctions))
        throw std::invalid_argument("UNSUPPORTED takes SQLPrimaryKeys, SQLForeignKeys or SQLStatistics, got '" + name +
                                    "'");
      fixture_.unsupported.push_back(name);
    } else if (key == "QUERY" || key == "QUERY_PREFIX") {
      arity(f, 1, 1);
      fixture_.statements.push_back(Statement{});
      statement_ = &fixture_.statements.back();
      statement_->sql = text(f[1]);
      statement_->prefix = key == "QUERY_PREFIX";
      blockLine_ = lineNo_;
    } else if (key == "COL" || key == "ROW" || key == "ERROR" || key == "INFO" || key == "FETCH_ERROR" ||
               key == "END") {
      throw std::invalid_argument(key + " outside a QUERY block");
    } else {
      throw std::invalid_argument("unknown keyword '" + key + "'");
    }
  }

  void handleInBlock(const std::vector<std::string>& f) {
    const std::string& key = f[0];
    Statement& s = *statement_;
    if (key == "COL") {
      arity(f, 2, 4);
      if (!s.rows.empty()) throw std::invalid_argument("COL after ROW");
      ResultColumn column;
      column.name = text(f[1]);
      column.type = static_cast<int>(parseInteger(f[2], "SQL type code"));
      if (f.size() > 3) column.baseTable = text(f[3]);
      if (f.size() > 4) column.size = parseInteger(f[4], "column size");
      s.columns.push_back(std::move(column));
    } else if (key == "ROW") {
      if (s.columns.empty()) throw std::invalid_argument("ROW before any COL");
      arity(f, s.columns.size(), s.columns.size());
      Row row;
      for (std::size_t i = 1; i < f.size(); ++i) row.push_back(Fixture::unescape(f[i]));
      s.rows.push_back(std::move(row));
    } else if (key == "ERROR") {
      arity(f, 1, 1);
      s.error = text(f[1]);
    } else if (key == "INFO") {
      arity(f, 1, 1);
      s.info = text(f[1]);
    } else if (key == "FETCH_ERROR") {
      arity(f, 2, 2);
      s.fetchErrorAfter = parseCount(f[1], "row count");
      s.fetchErrorMessage = text(f[2]);
    } else if (key == "END") {
      arity(f, 0, 0);
      statement_ = nullptr;
    } else {
      throw std::invalid_argument("'" + key + "' inside the QUERY block starting at line " +
                                  std::to_string(blockLine_) + " (missing END?)");
    }
  }

  static long parseInteger(const std::string& field, const char* what) {
    long value = 0;
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, value);
    if (field.empty() || ec != std::errc() || ptr != end)
      throw std::invalid_argument(std::string(what) + " must be an integer, got '" + field + "'");
    return value;
  }

  static Row values(const std::vector<std::string>& f, std::size_t width) {
    Row row;
    for (std::size_t i = 1; i < f.size(); ++i) row.push_back(Fixture::unescape(f[i]));
    row.resize(width);  // omitted trailing fields are NULL
    return row;
  }

  void addColumn(const std::vector<std::string>& f) {
    const std::size_t given = f.size() - 1;
    Row row = values(f, Fixture::kColumnsFields);
    if (given < 14) row[13] = row[4];  // SQL_DATA_TYPE follows DATA_TYPE
    const std::string tableKey =
        Fixture::escape(row[0]) + '\t' + Fixture::escape(row[1]) + '\t' + Fixture::escape(row[2]);
    const int ordinal = ++ordinals_[tableKey];
    if (given < 17) row[16] = std::to_string(ordinal);
    if (given < 18) row[17] = row[10] == "0" ? "NO" : row[10] == "1" ? "YES" : "";
    fixture_.columns.push_back(std::move(row));
  }

  Fixture& fixture_;
  std::string origin_;
  int lineNo_ = 0;
  int blockLine_ = 0;
  Statement* statement_ = nullptr;  // open QUERY block; statements only grows at block start
  std::map<std::string, int> ordinals_;
};

}  // namespace

Fixture Fixture::load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FixtureError("cannot open fixture " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return parse(text.str(), path);
}

Fixture Fixture::parse(const std::string& text, const std::string& origin) {
  Fixture fixture;
  Parser(fixture, origin).run(text);
  return fixture;
}

std::string Fixture::escape(const Value& value) {
  if (!value) return "\\N";
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (const char ch : *value) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 0xf];
        } else {
          out += ch;
        }
    }
  }
  return out;
}

Value Fixture::unescape(const std::string& field) {
  if (field == "\\N") return std::nullopt;
  if (field.rfind("\\R", 0) == 0) {
    const std::size_t star = field.find('*', 2);
    if (star == std::string::npos) throw std::invalid_argument("\\R needs the form \\R<count>*<text>");
    const std::size_t count = parseCount(field.substr(2, star - 2), "\\R count");
    const std::string unit = decodeEscapes(field.substr(star + 1));
    if (unit.empty() && count > 0) throw std::invalid_argument("\\R needs text after '*'");
    if (!unit.empty() && count > kMaxValueLength / unit.size())
      throw std::invalid_argument("\\R value longer than 64 MiB");
    std::string out;
    out.reserve(count * unit.size());
    for (std::size_t i = 0; i < count; ++i) out += unit;
    return out;
  }
  return decodeEscapes(field);
}

const Statement* Fixture::findStatement(const std::string& sql) const {
  for (const Statement& s : statements)
    if (!s.prefix && s.sql == sql) return &s;
  for (const Statement& s : statements)
    if (s.prefix && sql.rfind(s.sql, 0) == 0) return &s;
  return nullptr;
}

}  // namespace mv::testdriver
