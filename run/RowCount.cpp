#include "db/CatalogReaders.h"
#include "db/DbConnection.h"
#include "db/RowReader.h"
#include "run/Scripters.h"
#include "settings/Filters.h"

namespace mv {

long long TableRowEstimate(RunContext& ctx, const RunTable& table) {
  if (ctx.rowEstimatesRead == 0)
    ctx.rowEstimatesRead = CatalogReader(ctx.connection).AllTableCardinalities(ctx.rowEstimates) ? 1 : -1;
  if (ctx.rowEstimatesRead < 0) return CatalogReader(ctx.connection).TableCardinality(table.name);
  const auto found = ctx.rowEstimates.find(table.name);
  return found == ctx.rowEstimates.end() ? -1 : found->second;
}

long long EstimateRows(RunContext& ctx, const RunTable& table, const SelectParts& parts) {
  if (ctx.rowEstimate == RowEstimate::Statistics) {
    // The catalog counts the whole table: with a condition it says nothing about the rows read.
    std::string condition;
    if (WhereConditionFor(ctx.opts, table.name, condition)) return -1;
    return TableRowEstimate(ctx, table);
  }
  if (ctx.rowEstimate != RowEstimate::Count) return -1;
  // The same FROM and condition as the rows' SELECT; a failure here shows when that one runs.
  Statement stmt;
  if (!ctx.connection.Execute(stmt, "select count(*) from " + parts.from).empty()) return -1;
  RowReader reader(stmt);
  std::string value;
  if (!reader.Fetch() || !reader.Value(1, ValueKind::Text, value)) return -1;
  try {
    return std::stoll(value);
  } catch (const std::exception&) {
    return -1;
  }
}

}  // namespace mv
