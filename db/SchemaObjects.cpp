#include "db/SchemaObjects.h"

#include "db/DbConnection.h"
#include "db/EngineTypes.h"

namespace mv {

namespace {

using Row = std::vector<std::string>;

// One catalog query; a failure is recorded and leaves what it read so far.
void Query(DbConnection& c, SchemaObjects& out, const std::string& sql, const std::vector<std::string>& params,
           int columns, const std::function<void(Row&)>& row) {
  std::string error;
  if (!RunEngineQuery(c, sql, params, columns, row, error)) out.errors.push_back(error);
}

void ReadSqlite(DbConnection& c, SchemaObjects& out) {
  Query(c, out, "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE type IN ('view', 'trigger') ORDER BY rowid",
        {}, 4, [&](Row& v) {
          if (v[0] == "view")
            out.views.push_back({v[1], false, {}, v[3], {}});
          else
            out.triggers.push_back({v[1], v[2], v[3]});
        });
}

void ReadPostgres(DbConnection& c, SchemaObjects& out) {
  const std::string schema = EngineSchemaName(c);
  const std::string in = schema.empty() ? "n.nspname = current_schema()" : "n.nspname = ?";
  std::vector<std::string> params;
  if (!schema.empty()) params.push_back(schema);
  // Objects an extension brings belong to the extension, not to the schema's own definitions.
  const std::string own = " AND NOT EXISTS (SELECT 1 FROM pg_depend x WHERE x.objid = o.oid AND x.deptype = 'e')";
  Query(c, out,
        "SELECT o.typname, o.typtype, CASE o.typtype WHEN 'e' THEN (SELECT string_agg(quote_literal(e.enumlabel), "
        "', ' ORDER BY e.enumsortorder) FROM pg_enum e WHERE e.enumtypid = o.oid) ELSE format_type(o.typbasetype, "
        "o.typtypmod) || coalesce(' DEFAULT ' || o.typdefault, '') || CASE WHEN o.typnotnull THEN ' NOT NULL' ELSE "
        "'' END || coalesce((SELECT string_agg(' CONSTRAINT ' || quote_ident(k.conname) || ' ' || "
        "pg_get_constraintdef(k.oid), '' ORDER BY k.conname) FROM pg_constraint k WHERE k.contypid = o.oid), '') "
        "END, format_type(o.oid, NULL) FROM pg_type o JOIN pg_namespace n ON n.oid = o.typnamespace WHERE o.typtype "
        "IN ('e', 'd') AND " +
            in + own + " ORDER BY o.oid",
        params, 4, [&](Row& v) {
          out.types.push_back({v[0], v[1].empty() ? 'e' : v[1][0], v[2], v[3]});
        });
  Query(c, out,
        "SELECT o.relname, o.relkind, pg_get_viewdef(o.oid), CASE WHEN 'check_option=local' = ANY(o.reloptions) THEN "
        "'LOCAL' WHEN 'check_option=cascaded' = ANY(o.reloptions) THEN 'CASCADED' ELSE '' END FROM pg_class o JOIN "
        "pg_namespace n ON n.oid = o.relnamespace WHERE o.relkind IN ('v', 'm') AND " +
            in + own + " ORDER BY o.oid",
        params, 4, [&](Row& v) {
          std::string select = v[2];
          while (!select.empty() && (select.back() == ';' || select.back() == '\n' || select.back() == ' '))
            select.pop_back();
          out.views.push_back({v[0], v[1] == "m", select, {}, v[3]});
        });
  Query(c, out,
        "SELECT o.proname, pg_get_functiondef(o.oid) FROM pg_proc o JOIN pg_namespace n ON n.oid = o.pronamespace "
        "WHERE o.prokind IN ('f', 'p') AND " +
            in + own + " ORDER BY o.oid",
        params, 2, [&](Row& v) {
          out.routines.push_back({v[0], {}, v[1]});
        });
  Query(c, out,
        "SELECT o.tgname, r.relname, pg_get_triggerdef(o.oid) FROM pg_trigger o JOIN pg_class r ON r.oid = o.tgrelid "
        "JOIN pg_namespace n ON n.oid = r.relnamespace WHERE NOT o.tgisinternal AND " +
            in + " ORDER BY r.relname, o.tgname",
        params, 3, [&](Row& v) {
          out.triggers.push_back({v[0], v[1], v[2]});
        });
  Query(c, out,
        "SELECT r.relname, coalesce(a.attname, ''), d.description FROM pg_description d JOIN pg_class r ON r.oid = "
        "d.objoid AND d.classoid = 'pg_class'::regclass JOIN pg_namespace n ON n.oid = r.relnamespace LEFT JOIN "
        "pg_attribute a ON a.attrelid = r.oid AND a.attnum = d.objsubid AND d.objsubid > 0 WHERE r.relkind IN ('r', "
        "'p', 'v', 'm') AND " +
            in + " ORDER BY r.relname, d.objsubid",
        params, 3, [&](Row& v) {
          out.comments.push_back({v[0], v[1], v[2]});
        });
}

std::string MariaName(const std::string& name) {
  std::string out = "`";
  for (char ch : name) out += ch == '`' ? std::string("``") : std::string(1, ch);
  return out + "`";
}

void ReadMaria(DbConnection& c, SchemaObjects& out) {
  const std::string schema = EngineSchemaName(c);
  const std::string in = schema.empty() ? "DATABASE()" : "?";
  std::vector<std::string> one, two;
  if (!schema.empty()) one = {schema}, two = {schema, schema};
  std::string db = schema;
  if (db.empty()) Query(c, out, "SELECT DATABASE()", {}, 1, [&](Row& v) { db = v[0]; });
  Query(c, out,
        "SELECT TABLE_NAME, VIEW_DEFINITION, CHECK_OPTION FROM information_schema.VIEWS WHERE TABLE_SCHEMA = " + in +
            " ORDER BY TABLE_NAME",
        one, 3, [&](Row& v) {
          out.views.push_back({v[0], false, WithoutSchemaQualifier(v[1], db), {}, v[2] == "NONE" ? "" : v[2]});
        });
  Query(c, out,
        "SELECT r.ROUTINE_NAME, r.ROUTINE_TYPE, r.ROUTINE_DEFINITION, r.DTD_IDENTIFIER, r.IS_DETERMINISTIC, "
        "r.SQL_DATA_ACCESS, r.SECURITY_TYPE, (SELECT GROUP_CONCAT(CONCAT(IF(r.ROUTINE_TYPE = 'FUNCTION', '', "
        "CONCAT(p.PARAMETER_MODE, ' ')), '`', REPLACE(p.PARAMETER_NAME, '`', '``'), '` ', p.DTD_IDENTIFIER) ORDER BY "
        "p.ORDINAL_POSITION SEPARATOR ', ') FROM information_schema.PARAMETERS p WHERE p.SPECIFIC_SCHEMA = "
        "r.ROUTINE_SCHEMA AND p.SPECIFIC_NAME = r.SPECIFIC_NAME AND p.ORDINAL_POSITION > 0) FROM "
        "information_schema.ROUTINES r WHERE r.ROUTINE_SCHEMA = " +
            in + " ORDER BY r.ROUTINE_NAME",
        one, 8, [&](Row& v) {
          // No definition: the session may not read it; the routine is named instead.
          std::string statement;
          if (!v[2].empty())
            statement = "CREATE " + v[1] + " " + MariaName(v[0]) + "(" + v[7] + ")" +
                        (v[1] == "FUNCTION" ? " RETURNS " + v[3] : "") + (v[4] == "YES" ? " DETERMINISTIC" : "") + " " +
                        v[5] + " SQL SECURITY " + v[6] + "\n" + v[2];
          out.routines.push_back({v[0], {}, statement});
        });
  Query(c, out,
        "SELECT TRIGGER_NAME, EVENT_OBJECT_TABLE, ACTION_TIMING, EVENT_MANIPULATION, ACTION_STATEMENT FROM "
        "information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = " +
            in + " ORDER BY EVENT_OBJECT_TABLE, ACTION_ORDER",
        one, 5, [&](Row& v) {
          out.triggers.push_back({v[0], v[1],
                                  "CREATE TRIGGER " + MariaName(v[0]) + " " + v[2] + " " + v[3] + " ON " +
                                      MariaName(v[1]) + " FOR EACH ROW " + v[4]});
        });
  Query(c, out,
        "SELECT TABLE_NAME, '', TABLE_COMMENT, 0 FROM information_schema.TABLES WHERE TABLE_SCHEMA = " + in +
            " AND TABLE_TYPE = 'BASE TABLE' AND TABLE_COMMENT <> '' UNION ALL SELECT TABLE_NAME, COLUMN_NAME, "
            "COLUMN_COMMENT, ORDINAL_POSITION FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = " +
            in + " AND COLUMN_COMMENT <> '' ORDER BY 1, 4",
        two, 3, [&](Row& v) {
          out.comments.push_back({v[0], v[1], v[2]});
        });
}

}  // namespace

std::string WithoutSchemaQualifier(const std::string& select, const std::string& schema) {
  if (schema.empty()) return select;
  const std::string qualifier = MariaName(schema) + ".";
  std::string out;
  bool inText = false;
  for (size_t i = 0; i < select.size(); ++i) {
    const char ch = select[i];
    if (ch == '\'') {
      inText = !inText;
    } else if (ch == '\\' && inText && i + 1 < select.size()) {
      out += ch;
      out += select[++i];
      continue;
    } else if (!inText && ch == '`') {
      if (select.compare(i, qualifier.size(), qualifier) == 0) {
        i += qualifier.size() - 1;
        continue;
      }
      // Another quoted name, whole (a doubled backtick stays inside it).
      size_t end = i + 1;
      while (end < select.size() && (select[end] != '`' || (end + 1 < select.size() && select[end + 1] == '`')))
        end += select[end] == '`' ? 2 : 1;
      out.append(select, i, end + 1 - i);
      i = end;
      continue;
    }
    out += ch;
  }
  return out;
}

SchemaObjects ReadSchemaObjects(DbConnection& c) {
  SchemaObjects out;
  switch (c.Driver().engine) {
    case Engine::SQLite:
      ReadSqlite(c, out);
      break;
    case Engine::PostgreSQL:
      ReadPostgres(c, out);
      break;
    case Engine::MariaDB:
      ReadMaria(c, out);
      break;
    case Engine::Other:
      break;
  }
  return out;
}

}  // namespace mv
