#include "db/EngineKeys.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <map>

#include "base/TextRules.h"
#include "db/EngineTypes.h"

namespace mv {

namespace {

using Row = std::vector<std::string>;

long long Number(const std::string& s) { return std::strtoll(s.c_str(), nullptr, 10); }

bool HasWord(const std::string& text, const char* word) {
  const std::string lower = Lower(text), w = Lower(word);
  for (size_t at = lower.find(w); at != std::string::npos; at = lower.find(w, at + 1)) {
    const bool before = at == 0 || !(std::isalnum(static_cast<unsigned char>(lower[at - 1])) || lower[at - 1] == '_');
    const size_t end = at + w.size();
    const bool after =
        end >= lower.size() || !(std::isalnum(static_cast<unsigned char>(lower[end])) || lower[end] == '_');
    if (before && after) return true;
  }
  return false;
}

// The parts of a list the catalog query joined with a unit separator.
std::vector<std::string> Parts(const std::string& joined) {
  std::vector<std::string> parts;
  if (joined.empty()) return parts;
  size_t start = 0;
  for (;;) {
    const size_t end = joined.find('\x1f', start);
    parts.push_back(joined.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// SQLite keeps a CHECK only in the table's CREATE text: every CHECK ( ... ) outside quotes, with
// the CONSTRAINT name before it when there is one.
std::vector<EngineKey> SqliteChecks(const std::string& table, const std::string& sql) {
  std::vector<EngineKey> checks;
  std::string lastName;
  size_t i = 0;
  auto word = [&](size_t at, size_t& end) {
    end = at;
    while (end < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_')) ++end;
    return Lower(sql.substr(at, end - at));
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      const size_t start = i;
      for (++i; i < sql.size() && sql[i] != close; ++i) {
      }
      if (lastName == "\x01") lastName = sql.substr(start + 1, i - start - 1);
      ++i;
      continue;
    }
    if (!(std::isalpha(static_cast<unsigned char>(c)) || c == '_')) {
      ++i;
      continue;
    }
    size_t end = 0;
    const std::string w = word(i, end);
    if (lastName == "\x01") {
      lastName = sql.substr(i, end - i);
    } else if (w == "constraint") {
      lastName = "\x01";
    } else if (w == "check") {
      size_t open = end;
      while (open < sql.size() && std::isspace(static_cast<unsigned char>(sql[open]))) ++open;
      if (open < sql.size() && sql[open] == '(') {
        int depth = 0;
        size_t close = open;
        for (; close < sql.size(); ++close) {
          const char d = sql[close];
          if (d == '\'') {
            for (++close; close < sql.size() && sql[close] != '\''; ++close) {
            }
            continue;
          }
          if (d == '(') ++depth;
          if (d == ')' && --depth == 0) break;
        }
        EngineKey k;
        k.kind = EngineKey::Kind::Check;
        k.table = table;
        k.name = lastName;
        k.check = sql.substr(open, close + 1 - open);
        checks.push_back(std::move(k));
        end = close + 1;
      }
      lastName.clear();
    } else {
      // A name belongs to the constraint right after it.
      lastName.clear();
    }
    i = end;
  }
  return checks;
}

// The entries between the parentheses after ON table, and the condition after WHERE, of
// SQLite's CREATE INDEX text: an expression's text is kept only there.
void SqliteIndexText(const std::string& sql, std::vector<std::string>& entries, std::string& where) {
  entries.clear();
  where.clear();
  int depth = 0;
  bool listed = false;
  std::string entry;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      size_t end = i + 1;
      while (end < sql.size() && sql[end] != close) ++end;
      if (depth > 0) entry += sql.substr(i, end + 1 - i);
      i = end + 1;
      continue;
    }
    if (!listed && c == '(') {
      if (depth++ > 0) entry += c;
      ++i;
      continue;
    }
    if (!listed && depth > 0) {
      if (c == ')' && --depth == 0) {
        entries.push_back(Trim(entry, " \t\r\n"));
        listed = true;
      } else if (c == ',' && depth == 1) {
        entries.push_back(Trim(entry, " \t\r\n"));
        entry.clear();
      } else {
        if (c == '(') ++depth;
        entry += c;
      }
      ++i;
      continue;
    }
    if (listed && (std::isalpha(static_cast<unsigned char>(c)) || c == '_')) {
      size_t end = i;
      while (end < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[end])) || sql[end] == '_')) ++end;
      if (Lower(sql.substr(i, end - i)) == "where") {
        where = Trim(sql.substr(end), " \t\r\n;");
        break;
      }
      i = end;
      continue;
    }
    ++i;
  }
  // The order words are read from the catalog.
  for (std::string& e : entries) {
    const std::string lower = Lower(e);
    for (const char* order : {" desc", " asc"}) {
      const size_t n = std::char_traits<char>::length(order);
      if (lower.size() > n && lower.compare(lower.size() - n, n, order) == 0) {
        e = Trim(e.substr(0, e.size() - n), " \t\r\n");
        break;
      }
    }
  }
}

// The expression of a generated column in SQLite's CREATE TABLE text: the parentheses after AS
// in the column's definition (the text is the only place SQLite keeps it).
std::string SqliteGenerated(const std::string& sql, const std::string& column) {
  // The definitions between the outer parentheses, apart at their top-level commas.
  std::vector<std::string> defs;
  std::string def;
  int depth = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      const size_t end = std::min(sql.find(close, i + 1), sql.size() - 1);
      if (depth > 0) def += sql.substr(i, end + 1 - i);
      i = end;
      continue;
    }
    if (c == '(' && depth++ == 0) continue;
    if (c == ')' && --depth == 0) break;
    if (depth == 1 && c == ',') {
      defs.push_back(def);
      def.clear();
    } else if (depth > 0) {
      def += c;
    }
  }
  defs.push_back(def);
  for (const std::string& d : defs) {
    const std::string text = Trim(d, " \t\r\n");
    if (text.empty()) continue;
    // The column's name, bare or quoted.
    size_t end = 0;
    std::string name;
    if (text[0] == '"' || text[0] == '`' || text[0] == '[') {
      const char close = text[0] == '[' ? ']' : text[0];
      end = std::min(text.find(close, 1), text.size());
      name = text.substr(1, end - 1);
      ++end;
    } else {
      while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
      name = text.substr(0, end);
    }
    if (strcasecmp(name.c_str(), column.c_str()) != 0) continue;
    const std::string lower = Lower(text);
    for (size_t at = lower.find("as", end); at != std::string::npos; at = lower.find("as", at + 2)) {
      const bool before = std::isspace(static_cast<unsigned char>(lower[at - 1]));
      size_t open = at + 2;
      while (open < text.size() && std::isspace(static_cast<unsigned char>(text[open]))) ++open;
      if (!before || open >= text.size() || text[open] != '(') continue;
      int level = 0;
      for (size_t close = open; close < text.size(); ++close) {
        if (text[close] == '\'') close = std::min(text.find('\'', close + 1), text.size() - 1);
        if (text[close] == '(') ++level;
        if (text[close] == ')' && --level == 0) return Trim(text.substr(open + 1, close - open - 1), " \t\r\n");
      }
      return {};
    }
  }
  return {};
}

std::string SqliteAction(const std::string& a) { return a == "NO ACTION" ? std::string() : a; }

bool ReadSqlite(DbConnection& c, EngineSchema& out, std::string& error) {
  const std::string tables = "sqlite_master m WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
  std::map<std::string, std::string> createText;
  bool hasSequence = false;
  if (!RunEngineQuery(
          c, "SELECT m.name, coalesce(m.sql, '') FROM sqlite_master m WHERE m.type = 'table'", {}, 2,
          [&](Row& v) {
            if (v[0] == "sqlite_sequence") hasSequence = true;
            createText[v[0]] = v[1];
          },
          error))
    return false;
  std::map<std::string, long long> sequence;
  if (hasSequence &&
      !RunEngineQuery(
          c, "SELECT name, seq FROM sqlite_sequence", {}, 2, [&](Row& v) { sequence[v[0]] = Number(v[1]); }, error))
    return false;
  // The primary key's columns in key order, per table.
  std::map<std::string, std::map<int, std::string>> pk;
  std::map<std::string, std::string> pkType;
  if (!RunEngineQuery(
          c,
          "SELECT m.name, p.name, p.\"notnull\", coalesce(p.dflt_value, ''), p.pk, p.hidden, p.type FROM " +
              tables.substr(0, tables.find(" WHERE")) + " JOIN pragma_table_xinfo(m.name) p" +
              tables.substr(tables.find(" WHERE")) + " ORDER BY m.name, p.cid",
          {}, 7,
          [&](Row& v) {
            EngineColumnFacts f;
            f.table = v[0];
            f.column = v[1];
            f.notNull = v[2] == "1" ? 1 : 0;
            f.defaultValue = v[3];
            // Hidden 2 and 3: a virtual and a stored generated column, which the driver's
            // column catalog does not list.
            if (v[5] == "2" || v[5] == "3") {
              f.generated = SqliteGenerated(createText[v[0]], v[1]);
              f.generatedStored = v[5] == "3";
              f.hiddenType = v[6].empty() ? std::string("BLOB") : v[6];
            }
            const long long key = Number(v[4]);
            if (key > 0) {
              pk[v[0]][static_cast<int>(key)] = v[1];
              pkType[v[0]] = v[6];
            }
            out.columns.push_back(std::move(f));
          },
          error))
    return false;
  for (const auto& [table, cols] : pk) {
    EngineKey k;
    k.table = table;
    for (const auto& [at, name] : cols) k.columns.push_back(name);
    const std::string& sql = createText[table];
    // INTEGER PRIMARY KEY of a rowid table is the rowid itself.
    if (k.columns.size() == 1 && strcasecmp(pkType[table].c_str(), "INTEGER") == 0 && !HasWord(sql, "WITHOUT"))
      for (EngineColumnFacts& f : out.columns) {
        if (f.table != table || f.column != k.columns[0]) continue;
        f.autoNumber = HasWord(sql, "AUTOINCREMENT") ? AutoNumber::Identity : AutoNumber::Rowid;
        const auto seq = sequence.find(table);
        f.nextValue = seq != sequence.end() ? seq->second + 1 : 0;
      }
    out.keys.push_back(std::move(k));
  }
  // Rowid tables without a sequence row: the next id is the largest plus one.
  for (EngineColumnFacts& f : out.columns) {
    if ((f.autoNumber != AutoNumber::Rowid && f.autoNumber != AutoNumber::Identity) || f.nextValue != 0) continue;
    std::string quoted = "\"";
    for (char ch : f.table) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    quoted += "\"";
    if (!RunEngineQuery(
            c, "SELECT coalesce(max(rowid), 0) + 1 FROM " + quoted, {}, 1, [&](Row& v) { f.nextValue = Number(v[0]); },
            error))
      return false;
  }
  if (!RunEngineQuery(
          c,
          "SELECT m.name, l.name, l.origin, i.name FROM sqlite_master m JOIN pragma_index_list(m.name) l JOIN "
          "pragma_index_info(l.name) i WHERE m.type = 'table' AND l.origin IN ('u', 'pk') ORDER BY m.name, "
          "l.name, i.seqno",
          {}, 4,
          [&](Row& v) {
            for (EngineKey& k : out.keys)
              if (k.table == v[0] && k.index == v[1]) {
                if (k.kind == EngineKey::Kind::Unique) k.columns.push_back(v[3]);
                return;
              }
            if (v[2] == "pk") {
              for (EngineKey& k : out.keys)
                if (k.table == v[0] && k.kind == EngineKey::Kind::Primary) k.index = v[1];
              return;
            }
            EngineKey k;
            k.kind = EngineKey::Kind::Unique;
            k.table = v[0];
            k.index = v[1];
            k.columns.push_back(v[3]);
            out.keys.push_back(std::move(k));
          },
          error))
    return false;
  if (!RunEngineQuery(
          c,
          "SELECT m.name, f.id, f.\"table\", f.\"from\", coalesce(f.\"to\", ''), f.on_update, f.on_delete FROM "
          "sqlite_master m JOIN pragma_foreign_key_list(m.name) f WHERE m.type = 'table' ORDER BY m.name, f.id, "
          "f.seq",
          {}, 7,
          [&](Row& v) {
            const std::string id = v[0] + "\x1f" + v[1];
            if (out.keys.empty() || out.keys.back().kind != EngineKey::Kind::Foreign || out.keys.back().index != id) {
              EngineKey k;
              k.kind = EngineKey::Kind::Foreign;
              k.table = v[0];
              k.index = id;
              k.refTable = v[2];
              k.onUpdate = SqliteAction(v[5]);
              k.onDelete = SqliteAction(v[6]);
              out.keys.push_back(std::move(k));
            }
            out.keys.back().columns.push_back(v[3]);
            out.keys.back().refColumns.push_back(v[4]);
          },
          error))
    return false;
  for (EngineKey& k : out.keys) {
    if (k.kind != EngineKey::Kind::Foreign) continue;
    k.index.clear();
    // A key that names no parent columns refers to the parent's primary key.
    bool implicit = false;
    for (const std::string& r : k.refColumns) implicit = implicit || r.empty();
    if (!implicit) continue;
    k.refColumns.clear();
    for (const auto& [at, name] : pk[k.refTable]) k.refColumns.push_back(name);
  }
  for (const auto& [table, sql] : createText)
    for (EngineKey& k : SqliteChecks(table, sql)) out.keys.push_back(std::move(k));
  // Indexes made by CREATE INDEX; a key's own index comes with the key.
  std::vector<std::string> entries;
  std::string where;
  if (!RunEngineQuery(
          c,
          "SELECT m.name, l.name, l.\"unique\", l.partial, coalesce(s.sql, ''), x.seqno, x.cid, coalesce(x.name, "
          "''), x.\"desc\" FROM sqlite_master m JOIN pragma_index_list(m.name) l JOIN pragma_index_xinfo(l.name) x "
          "LEFT JOIN sqlite_master s ON s.type = 'index' AND s.name = l.name WHERE m.type = 'table' AND m.name NOT "
          "LIKE 'sqlite\\_%' ESCAPE '\\' AND l.origin = 'c' AND x.key = 1 ORDER BY m.name, l.name, x.seqno",
          {}, 9,
          [&](Row& v) {
            if (out.indexes.empty() || out.indexes.back().table != v[0] || out.indexes.back().name != v[1]) {
              EngineIndex ix;
              ix.table = v[0];
              ix.name = v[1];
              ix.unique = v[2] == "1";
              SqliteIndexText(v[4], entries, where);
              if (v[3] == "1") ix.where = where;
              out.indexes.push_back(std::move(ix));
            }
            EngineIndex::Part part;
            part.column = v[7];
            part.descending = v[8] == "1";
            const size_t at = static_cast<size_t>(Number(v[5]));
            // An expression (no column) is kept only in the index's text.
            if (v[6] == "-2" && at < entries.size()) part.expression = entries[at];
            out.indexes.back().parts.push_back(std::move(part));
          },
          error))
    return false;
  return true;
}

// PostgreSQL's action codes.
std::string PgAction(const std::string& code) {
  if (code == "c") return "CASCADE";
  if (code == "n") return "SET NULL";
  if (code == "d") return "SET DEFAULT";
  if (code == "r") return "RESTRICT";
  return {};
}

bool ReadPostgres(DbConnection& c, EngineSchema& out, std::string& error) {
  const std::string owner = c.Driver().hasSchemas && !c.Target().ownerIsCatalog ? c.Target().owner : "";
  const std::string where = owner.empty() ? "pg_table_is_visible(r.oid)" : "n.nspname = ?";
  const std::vector<std::string> params = owner.empty() ? std::vector<std::string>{} : std::vector<std::string>{owner};
  const std::string from = " JOIN pg_class r ON r.oid = k.conrelid JOIN pg_namespace n ON n.oid = r.relnamespace ";
  auto names = [](const char* keys, const char* rel) {
    return std::string("coalesce((SELECT string_agg(a.attname, chr(31) ORDER BY u.o) FROM unnest(k.") + keys +
           ") WITH ORDINALITY u(n, o) JOIN pg_attribute a ON a.attrelid = k." + rel + " AND a.attnum = u.n), '')";
  };
  if (!RunEngineQuery(
          c,
          "SELECT r.relname, k.conname, k.contype, " + names("conkey", "conrelid") + ", coalesce(f.relname, ''), " +
              names("confkey", "confrelid") +
              ", k.confdeltype, k.confupdtype, k.condeferrable, k.condeferred, pg_get_constraintdef(k.oid), "
              "coalesce(i.relname, '') FROM pg_constraint k" +
              from +
              "LEFT JOIN pg_class f ON f.oid = k.confrelid LEFT JOIN pg_class i ON i.oid = k.conindid WHERE "
              "k.contype IN ('p', 'u', 'c', 'f', 'x') AND r.relkind IN ('r', 'p') AND " +
              where + " ORDER BY r.relname, k.contype, k.conname",
          params, 12,
          [&](Row& v) {
            EngineKey k;
            const char type = v[2].empty() ? 'x' : v[2][0];
            k.kind = type == 'p'   ? EngineKey::Kind::Primary
                     : type == 'u' ? EngineKey::Kind::Unique
                     : type == 'c' ? EngineKey::Kind::Check
                     : type == 'x' ? EngineKey::Kind::Exclusion
                                   : EngineKey::Kind::Foreign;
            k.table = v[0];
            k.name = v[1];
            k.columns = Parts(v[3]);
            k.refTable = v[4];
            k.refColumns = Parts(v[5]);
            k.onDelete = PgAction(v[6]);
            k.onUpdate = PgAction(v[7]);
            k.deferrable = v[8] == "1" || v[8] == "t";
            k.initiallyDeferred = v[9] == "1" || v[9] == "t";
            if (type == 'c') {
              std::string def = v[10];
              if (def.rfind("CHECK ", 0) == 0) def = def.substr(6);
              const size_t tail = def.rfind(')');
              k.check = def.substr(0, tail == std::string::npos ? def.size() : tail + 1);
            }
            if (type == 'x') k.check = v[10];
            if (type == 'p' || type == 'u' || type == 'x') k.index = v[11];
            out.keys.push_back(std::move(k));
          },
          error))
    return false;
  if (!RunEngineQuery(
          c,
          "SELECT r.relname, a.attname, a.attnotnull, coalesce(pg_get_expr(d.adbin, d.adrelid), ''), "
          "a.attidentity, a.attgenerated, coalesce(pg_get_serial_sequence(quote_ident(n.nspname) || '.' || "
          "quote_ident(r.relname), a.attname), '') FROM pg_attribute a JOIN pg_class r ON r.oid = a.attrelid "
          "JOIN pg_namespace n ON n.oid = r.relnamespace LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid AND "
          "d.adnum = a.attnum WHERE r.relkind IN ('r', 'p') AND a.attnum > 0 AND NOT a.attisdropped AND " +
              where + " ORDER BY r.relname, a.attnum",
          params, 7,
          [&](Row& v) {
            EngineColumnFacts f;
            f.table = v[0];
            f.column = v[1];
            f.notNull = v[2] == "1" || v[2] == "t" ? 1 : 0;
            if (v[5] == "s") {
              f.generated = v[3];
              f.generatedStored = true;
            } else {
              f.defaultValue = v[3];
            }
            if (v[4] == "a") f.autoNumber = AutoNumber::IdentityAlways;
            if (v[4] == "d") f.autoNumber = AutoNumber::Identity;
            if (v[4].empty() && !v[6].empty() && f.defaultValue.rfind("nextval(", 0) == 0)
              f.autoNumber = AutoNumber::Serial;
            // The sequence's name for now; its next value is read with the sequences.
            if (f.autoNumber != AutoNumber::None) f.onUpdate = v[6];
            out.columns.push_back(std::move(f));
          },
          error))
    return false;
  std::map<std::string, long long> next;
  if (!RunEngineQuery(
          c,
          "SELECT quote_ident(s.schemaname) || '.' || quote_ident(s.sequencename), s.sequencename, s.data_type, "
          "s.start_value, s.increment_by, s.min_value, s.max_value, s.cycle, coalesce(s.last_value + "
          "s.increment_by, s.start_value), EXISTS (SELECT 1 FROM pg_depend d WHERE d.objid = (quote_ident("
          "s.schemaname) || '.' || quote_ident(s.sequencename))::regclass AND d.classid = 'pg_class'::regclass "
          "AND d.deptype IN ('a', 'i')) FROM pg_sequences s JOIN pg_namespace n ON n.nspname = s.schemaname "
          "JOIN pg_class r ON r.relname = s.sequencename AND r.relnamespace = n.oid WHERE " +
              where,
          params, 10,
          [&](Row& v) {
            next[v[0]] = Number(v[8]);
            if (v[9] == "1" || v[9] == "t") return;
            EngineSequence s;
            s.name = v[1];
            s.dataType = v[2];
            s.start = Number(v[3]);
            s.increment = Number(v[4]);
            s.minValue = Number(v[5]);
            s.maxValue = Number(v[6]);
            s.cycle = v[7] == "1" || v[7] == "t";
            s.nextValue = Number(v[8]);
            out.sequences.push_back(std::move(s));
          },
          error))
    return false;
  for (EngineColumnFacts& f : out.columns) {
    if (f.autoNumber == AutoNumber::None) continue;
    const auto n = next.find(f.onUpdate);
    f.nextValue = n == next.end() ? 0 : n->second;
    f.onUpdate.clear();
  }
  // Every index with its method, its entries in order and its condition.
  if (!RunEngineQuery(
          c,
          "SELECT r.relname, c.relname, i.indisunique, a.amname, coalesce(pg_get_expr(i.indpred, i.indrelid, true), "
          "''), coalesce((SELECT t.attname FROM pg_attribute t WHERE t.attrelid = i.indrelid AND t.attnum = "
          "i.indkey[k.n - 1] AND i.indkey[k.n - 1] > 0), ''), pg_get_indexdef(i.indexrelid, k.n, true), "
          "coalesce(i.indoption[k.n - 1], 0) & 1, coalesce((SELECT o.opcname FROM pg_opclass o WHERE o.oid = "
          "i.indclass[k.n - 1] AND NOT o.opcdefault), ''), coalesce(i.indoption[k.n - 1], 0) & 2, k.n > "
          "i.indnkeyatts FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid JOIN pg_class r ON r.oid = "
          "i.indrelid JOIN pg_namespace n ON n.oid = r.relnamespace JOIN pg_am a ON a.oid = c.relam CROSS JOIN "
          "generate_series(1, i.indnatts) k(n) WHERE r.relkind IN ('r', 'p') AND " +
              where + " ORDER BY r.relname, c.relname, k.n",
          params, 11,
          [&](Row& v) {
            if (out.indexes.empty() || out.indexes.back().table != v[0] || out.indexes.back().name != v[1]) {
              EngineIndex ix;
              ix.table = v[0];
              ix.name = v[1];
              ix.unique = v[2] == "1" || v[2] == "t";
              ix.method = v[3] == "btree" ? std::string() : v[3];
              ix.where = v[4];
              out.indexes.push_back(std::move(ix));
            }
            // The columns it carries beside its keys are plain columns, never ordered.
            if (v[10] == "1" || v[10] == "t") {
              out.indexes.back().include.push_back(v[5]);
              return;
            }
            EngineIndex::Part part;
            part.column = v[5];
            if (part.column.empty()) part.expression = v[6];
            part.descending = v[7] == "1";
            part.opclass = v[8];
            const bool nullsFirst = v[9] != "0";
            if (nullsFirst != part.descending)
              part.nulls = nullsFirst ? EngineIndex::Part::kNullsFirst : EngineIndex::Part::kNullsLast;
            out.indexes.back().parts.push_back(std::move(part));
          },
          error))
    return false;
  return true;
}

// MariaDB writes an action in full words; its RESTRICT is what the others call NO ACTION.
std::string MariaAction(const std::string& rule) {
  return rule == "NO ACTION" || rule == "RESTRICT" || rule.empty() ? std::string() : rule;
}

bool ReadMaria(DbConnection& c, EngineSchema& out, std::string& error) {
  const std::string owner = c.Target().ownerIsCatalog ? c.Target().owner : std::string();
  const std::string schema = owner.empty() ? "DATABASE()" : "?";
  const std::vector<std::string> params = owner.empty() ? std::vector<std::string>{} : std::vector<std::string>{owner};
  std::map<std::string, long long> autoIncrement;
  if (!RunEngineQuery(
          c,
          "SELECT TABLE_NAME, coalesce(AUTO_INCREMENT, 0) FROM information_schema.TABLES WHERE TABLE_SCHEMA = " +
              schema + " AND TABLE_TYPE = 'BASE TABLE'",
          params, 2, [&](Row& v) { autoIncrement[v[0]] = Number(v[1]); }, error))
    return false;
  if (!RunEngineQuery(
          c,
          "SELECT TABLE_NAME, COLUMN_NAME, IS_NULLABLE, coalesce(COLUMN_DEFAULT, ''), EXTRA, "
          "coalesce(GENERATION_EXPRESSION, '') FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = " +
              schema + " ORDER BY TABLE_NAME, ORDINAL_POSITION",
          params, 6,
          [&](Row& v) {
            EngineColumnFacts f;
            f.table = v[0];
            f.column = v[1];
            f.notNull = v[2] == "NO" ? 1 : 0;
            const std::string extra = Lower(v[4]);
            if (extra.find("generated") != std::string::npos) {
              f.generated = v[5];
              f.generatedStored = extra.find("stored") != std::string::npos;
            } else if (v[3] != "NULL") {
              f.defaultValue = v[3];
            }
            if (extra.find("auto_increment") != std::string::npos) {
              f.autoNumber = AutoNumber::Identity;
              f.nextValue = autoIncrement[v[0]];
            }
            const size_t on = extra.find("on update ");
            if (on != std::string::npos) f.onUpdate = Trim(v[4].substr(on + 10), " ");
            out.columns.push_back(std::move(f));
          },
          error))
    return false;
  // Each catalog by itself: the server fills an information_schema table again for every row
  // of another it is joined to, which grows with the square of the tables.
  std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> rules;
  if (!RunEngineQuery(
          c,
          "SELECT TABLE_NAME, CONSTRAINT_NAME, DELETE_RULE, UPDATE_RULE FROM "
          "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = " +
              schema,
          params, 4,
          [&](Row& v) {
            rules[{v[0], v[1]}] = {v[2], v[3]};
          },
          error))
    return false;
  std::string last;
  // The key's kind from its columns: a primary key is always named PRIMARY, and only a foreign
  // key has a referenced table.
  if (!RunEngineQuery(
          c,
          "SELECT TABLE_NAME, CONSTRAINT_NAME, CASE WHEN REFERENCED_TABLE_NAME IS NOT NULL THEN 'FOREIGN KEY' WHEN "
          "CONSTRAINT_NAME = 'PRIMARY' THEN 'PRIMARY KEY' ELSE 'UNIQUE' END AS KIND, COLUMN_NAME, "
          "coalesce(REFERENCED_TABLE_NAME, ''), coalesce(REFERENCED_COLUMN_NAME, '') FROM "
          "information_schema.KEY_COLUMN_USAGE WHERE TABLE_SCHEMA = " +
              schema + " ORDER BY TABLE_NAME, KIND, CONSTRAINT_NAME, ORDINAL_POSITION",
          params, 6,
          [&](Row& v) {
            const EngineKey::Kind kind = v[2] == "PRIMARY KEY" ? EngineKey::Kind::Primary
                                         : v[2] == "UNIQUE"    ? EngineKey::Kind::Unique
                                                               : EngineKey::Kind::Foreign;
            const std::string id = v[0] + "\x1f" + v[1] + "\x1f" + v[2];
            if (id != last) {
              last = id;
              EngineKey k;
              k.kind = kind;
              k.table = v[0];
              k.name = v[1];
              if (kind != EngineKey::Kind::Foreign) k.index = v[1];
              if (kind == EngineKey::Kind::Primary) k.name.clear();
              k.refTable = v[4];
              if (const auto rule = rules.find({v[0], v[1]}); rule != rules.end()) {
                k.onDelete = MariaAction(rule->second.first);
                k.onUpdate = MariaAction(rule->second.second);
              }
              out.keys.push_back(std::move(k));
            }
            out.keys.back().columns.push_back(v[3]);
            if (kind == EngineKey::Kind::Foreign) out.keys.back().refColumns.push_back(v[5]);
          },
          error))
    return false;
  // Every index with its kind (FULLTEXT, SPATIAL, HASH), entries in order, prefixes and order.
  if (!RunEngineQuery(
          c,
          "SELECT TABLE_NAME, INDEX_NAME, NON_UNIQUE, INDEX_TYPE, coalesce(COLUMN_NAME, ''), coalesce(SUB_PART, 0), "
          "coalesce(COLLATION, 'A') FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = " +
              schema + " ORDER BY TABLE_NAME, INDEX_NAME, SEQ_IN_INDEX",
          params, 7,
          [&](Row& v) {
            if (out.indexes.empty() || out.indexes.back().table != v[0] || out.indexes.back().name != v[1]) {
              EngineIndex ix;
              ix.table = v[0];
              ix.name = v[1];
              ix.unique = v[2] == "0";
              ix.method = v[3] == "BTREE" ? std::string() : v[3];
              out.indexes.push_back(std::move(ix));
            }
            EngineIndex::Part part;
            part.column = v[4];
            // A spatial index names a length of its own; it indexes the whole value.
            if (v[3] != "SPATIAL") part.prefix = static_cast<int>(Number(v[5]));
            part.descending = v[6] == "D";
            out.indexes.back().parts.push_back(std::move(part));
          },
          error))
    return false;
  // A JSON column's own validity check is part of its type, not a constraint of the table.
  return RunEngineQuery(
      c,
      "SELECT TABLE_NAME, CONSTRAINT_NAME, CHECK_CLAUSE, LEVEL FROM information_schema.CHECK_CONSTRAINTS WHERE "
      "CONSTRAINT_SCHEMA = " +
          schema +
          " AND NOT (LEVEL = 'Column' AND CHECK_CLAUSE LIKE 'json\\_valid(%') ORDER BY TABLE_NAME, "
          "CONSTRAINT_NAME",
      params, 4,
      [&](Row& v) {
        EngineKey k;
        k.kind = EngineKey::Kind::Check;
        k.table = v[0];
        // A column's check is named after the column, which a key of the table may share.
        if (v[3] != "Column") k.name = v[1];
        k.check = "(" + v[2] + ")";
        out.keys.push_back(std::move(k));
      },
      error);
}

}  // namespace

bool ReadEngineSchema(DbConnection& c, EngineSchema& out, std::string& error) {
  out = EngineSchema{};
  error.clear();
  switch (c.Driver().engine) {
    case Engine::SQLite:
      return ReadSqlite(c, out, error);
    case Engine::PostgreSQL:
      return ReadPostgres(c, out, error);
    case Engine::MariaDB:
      return ReadMaria(c, out, error);
    case Engine::Other:
      break;
  }
  return true;
}

}  // namespace mv
