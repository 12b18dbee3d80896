#include <strings.h>

#include <algorithm>

#include "db/CatalogReaders.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Scripters.h"
#include "run/Statements.h"
#include "shell/Host.h"

namespace mv {

namespace {
// One index as the statistics rows give it, written when its last row has been read.
struct PendingIndex {
  bool open = false;
  bool unique = false;
  std::string name;     // as written (case rule applied, bracketed when special)
  std::string heading;  // as the remarks name it
  std::vector<std::string> columns;
};
}  // namespace

int ScriptIndexes(RunContext& ctx) {
  const Profile& profile = ctx.working;
  const RunOptions& opts = ctx.opts;
  ScriptOutput& out = ctx.output;
  DbConnection& db = ctx.connection;
  const std::string& marker = profile.s_Remarks;
  int total = 0;
  CatalogReader reader(db);
  IndexRow row;
  ScriptText statement;
  std::string previous;

  for (size_t index = 0; index < ctx.tables.size(); ++index) {
    const RunTable& table = ctx.tables[index];
    const std::string tname = ApplyCase(table.name, profile.i_TableNameCase);
    ctx.names.ReadBrackets(ctx.settings, &db);
    const std::string written = ctx.names.Table(opts, table.name, tname);

    out.BlankLine();
    out.Heading("Indexes for table ", tname);
    ctx.host.PanelSelect(static_cast<int>(index));
    ctx.host.BarStep(Host::kIndexBar);

    if (!reader.OpenStatistics(table.name)) {
      EndIfConnectionLost(ctx, index, reader.error());
      // Without a statistics catalog no later table's indexes can be read either.
      for (size_t i = index; i < ctx.tables.size(); ++i) ctx.TableError(ctx.tables[i].name);
      out.MessageRemark("The following error ocurred when trying to process indexes in database " + db.Target().title +
                            "\n" + reader.error().text,
                        "\r\n\r\n\r\n", "");
      return total;
    }

    PendingIndex current;
    auto flush = [&](const std::string& remark) {
      if (!current.open) return;
      statement.Clear();
      AddCreateIndex(statement, profile, current.unique, current.name, written, current.columns, remark);
      out.Write(statement);
      current.open = false;
      current.columns.clear();
    };
    bool firstRow = true;
    bool firstIndexRow = true;
    bool tableStat = false;
    for (;;) {
      const CatalogReader::Fetch f = reader.Next(row);
      if (f == CatalogReader::Fetch::Error) {
        EndIfConnectionLost(ctx, index, reader.error());
        ctx.TableError(table.name);
        if (firstRow) {
          out.MessageRemark("The following error ocurred when trying to process indexes in database " +
                                db.Target().title + "\n" + reader.error().text,
                            "\r\n\r\n\r\n", "");
        } else {
          const std::string remark = "\r\n\t" + marker + "  ERROR: Could not get information for some/all " +
                                     (tableStat ? "indexes for table " : "columns for index in table ") +
                                     RemarkSafe(tname) + " in database " + RemarkSafe(db.Target().title);
          if (current.open)
            flush(remark);
          else
            out.Write(remark, TextRole::Message);
        }
        break;
      }
      firstRow = false;
      if (f == CatalogReader::Fetch::End) break;
      ctx.checkPoint();
      tableStat = row.type == SQL_TABLE_STAT;
      if (tableStat) continue;
      ++total;
      // Primary keys come back under names no CREATE INDEX can use: SQLite's sqlite_autoindex_N
      // (reserved, and the same in every table) and MariaDB's PRIMARY (a keyword, the same
      // in every table). The table name in front makes them usable and unique.
      const bool internal = strncasecmp(row.indexName.c_str(), "sqlite_autoindex", 16) == 0 ||
                            strcasecmp(row.indexName.c_str(), "PRIMARY") == 0;
      const std::string iname =
          ApplyCase(internal ? table.name + "_" + row.indexName : row.indexName, profile.i_IndexNameCase);
      const std::string iwritten =
          ctx.names.Column(opts, internal ? table.name + "_" + row.indexName : row.indexName, iname);
      if (firstIndexRow || row.indexName != previous) {
        flush({});
        if (opts.b_DropIndex) {
          out.BlankLine();
          out.Heading("Removal of index ", iname);
          out.SimpleStatement(profile.s_DropIndex, profile.b_DropIndexTableName ? written + "." + iwritten : iwritten,
                              "\r\n");
        }
        out.BlankLine();
        out.Heading("Definition of index ", iname);
        current.open = true;
        current.unique = !row.nonUnique;
        current.name = iwritten;
      }
      // An entry that is no column of the table is an expression: written as the catalog gives it.
      const bool expression = !table.catalogColumns.empty() &&
                              std::find(table.catalogColumns.begin(), table.catalogColumns.end(), row.columnName) ==
                                  table.catalogColumns.end();
      const std::string column = ApplyCase(row.columnName, profile.i_IndexColumnCase);
      current.columns.push_back(expression ? row.columnName : ctx.names.Column(opts, row.columnName, column));
      firstIndexRow = false;
      previous = row.indexName;
    }
    flush({});
    if (reader.valueFailures() > 0) ctx.TableError(table.name);
    reader.Close();
  }
  return total;
}

}  // namespace mv
