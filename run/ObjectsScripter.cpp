#include <algorithm>
#include <cctype>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "base/TextRules.h"
#include "db/DbConnection.h"
#include "db/SchemaObjects.h"
#include "profiles/Profile.h"
#include "run/ScriptNames.h"
#include "run/Scripters.h"
#include "run/Statements.h"
#include "run/ValueFormat.h"

namespace mv {

namespace {

bool KnownEngine(const std::string& name) { return name == "SQLite" || name == "PostgreSQL" || name == "MariaDB"; }

// Whether the target runs the source's own SQL: its views, types, routines and triggers are
// copied as the source declares them.
bool SameEngine(const RunContext& ctx) {
  return ctx.objectsRead && ctx.working.s_TargetEngine == EngineName(ctx.connection.Driver().engine);
}

// templ with each %x of `values` replaced in one pass, so a value holding a % stays as it is.
std::string Fill(const std::string& templ, std::initializer_list<std::pair<char, std::string>> values) {
  std::string out;
  for (size_t i = 0; i < templ.size(); ++i) {
    const std::pair<char, std::string>* v = nullptr;
    if (templ[i] == '%' && i + 1 < templ.size())
      for (const auto& pair : values)
        if (pair.first == templ[i + 1]) v = &pair;
    if (!v) {
      out += templ[i];
      continue;
    }
    out += v->second;
    ++i;
  }
  return out;
}

// A whole statement and the profile's terminator.
void WriteStatement(RunContext& ctx, const std::string& text) {
  ctx.script.Write(text, TextRole::Sql);
  ScriptText end;
  AddTerminator(end, ctx.working, "\r\n");
  ctx.script.Write(end);
}

std::string TableName(const RunContext& ctx, const std::string& name) {
  return ctx.names.Table(ctx.opts, name, ApplyCase(name, ctx.working.i_TableNameCase));
}

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }

// Whether name appears in text as a word of its own (any letter case), quoted or not.
bool Mentions(const std::string& text, const std::string& name) {
  if (name.empty()) return false;
  const std::string t = Lower(text), n = Lower(name);
  for (size_t at = t.find(n); at != std::string::npos; at = t.find(n, at + 1)) {
    const bool before = at == 0 || !IsNameChar(t[at - 1]);
    const bool after = at + n.size() >= t.size() || !IsNameChar(t[at + n.size()]);
    if (before && after) return true;
  }
  return false;
}

// The views in an order that creates each after the views its SELECT names (catalog order
// otherwise); a view naming itself or a cycle cannot be, and keeps its catalog place.
std::vector<size_t> ViewOrder(const std::vector<ViewDef>& views) {
  const size_t n = views.size();
  std::vector<std::vector<size_t>> needs(n);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j)
      if (i != j && Mentions(views[i].statement.empty() ? views[i].select : views[i].statement, views[j].name))
        needs[i].push_back(j);
  std::vector<size_t> order;
  std::vector<int> state(n, 0);  // 0 not yet, 1 being placed, 2 placed
  std::function<void(size_t)> place = [&](size_t i) {
    if (state[i] != 0) return;
    state[i] = 1;
    for (size_t j : needs[i]) place(j);
    state[i] = 2;
    order.push_back(i);
  };
  for (size_t i = 0; i < n; ++i) place(i);
  return order;
}

// A routine's or trigger's CREATE statement; its body's own terminators need the profile's
// body delimiter around it where the target's client splits statements at them.
void WriteBodyStatement(RunContext& ctx, const std::string& text) {
  const Profile& p = ctx.working;
  if (p.s_BodyDelimiter.empty() || p.s_DelimiterCommand.empty()) return WriteStatement(ctx, text);
  ctx.script.Write(p.s_DelimiterCommand + " " + p.s_BodyDelimiter + "\r\n" + text + p.s_BodyDelimiter + "\r\n" +
                       p.s_DelimiterCommand + " " + p.s_Execute + "\r\n",
                   TextRole::Sql);
}

void ObjectHeading(RunContext& ctx, const char* words, const std::string& name) {
  ctx.script.BlankLine();
  ctx.script.Heading(words, name);
}

}  // namespace

void ObjectNotScripted(RunContext& ctx, const std::string& object, const std::string& table,
                       const std::string& reason) {
  ctx.script.MessageRemark("NOTE: " + RemarkSafe(object) + (table.empty() ? "" : " of table " + RemarkSafe(table)) +
                               " is not scripted: " + reason + ".",
                           "\r\n", "\r\n");
}

bool KeepsUserType(const RunContext& ctx, const std::string& userType) {
  if (!SameEngine(ctx)) return false;
  // MariaDB's ENUM and SET are column types of their own; PostgreSQL's the script creates.
  if (ctx.connection.Driver().engine == Engine::MariaDB) return true;
  for (const UserTypeDef& t : ctx.objects.types)
    if (t.reference == userType)
      return !(t.kind == 'e' ? ctx.working.s_CreateEnumType : ctx.working.s_CreateDomain).empty();
  return false;
}

void ObjectsBeforeTables(RunContext& ctx) {
  const Profile& profile = ctx.working;
  if (profile.s_TargetEngine.empty() || !ctx.opts.b_DoTabStruct) return;
  if (!KnownEngine(profile.s_TargetEngine)) {
    ctx.script.MessageRemark("NOTE: The profile's target engine " + RemarkSafe(profile.s_TargetEngine) +
                             " is none of SQLite, PostgreSQL and MariaDB, so no views, types, routines, triggers or "
                             "comments are scripted.");
    return;
  }
  ctx.objects = ReadSchemaObjects(ctx.connection);
  ctx.objectsRead = true;
  for (const std::string& error : ctx.objects.errors)
    ctx.script.MessageRemark(
        "ERROR: Part of the database's own catalog of views, types, routines, triggers and "
        "comments could not be read, so some of them are missing from this script: " +
        error);
  if (!ctx.objects.errors.empty()) ctx.TableError("(views, types, routines, triggers and comments)");
  if (!SameEngine(ctx)) return;
  // Old views first: a table cannot be dropped while a view reads it.
  if (ctx.opts.b_DropTable) {
    const std::vector<size_t> order = ViewOrder(ctx.objects.views);
    for (auto i = order.rbegin(); i != order.rend(); ++i) {
      const ViewDef& v = ctx.objects.views[*i];
      const std::string& drop = v.materialized ? profile.s_DropMaterializedView : profile.s_DropView;
      if (drop.empty()) continue;
      ObjectHeading(ctx, "Removal of view ", v.name);
      ctx.script.SimpleStatement(drop, TableName(ctx, v.name), "\r\n");
    }
  }
  const std::vector<UserTypeDef>& types = ctx.objects.types;
  if (ctx.opts.b_DropTable && !profile.s_DropType.empty())
    for (auto t = types.rbegin(); t != types.rend(); ++t) {
      ObjectHeading(ctx, "Removal of type ", t->name);
      WriteStatement(ctx, Fill(profile.s_DropType, {{'n', TableName(ctx, t->name)}}));
    }
  for (const UserTypeDef& t : types) {
    const std::string& create = t.kind == 'e' ? profile.s_CreateEnumType : profile.s_CreateDomain;
    if (create.empty()) {
      ObjectNotScripted(ctx, std::string(t.kind == 'e' ? "Enum type " : "Domain ") + t.name, {},
                        "the target profile has no statement for it; its columns take its base type");
      continue;
    }
    ObjectHeading(ctx, "Type ", t.name);
    WriteStatement(ctx, Fill(create, {{'n', TableName(ctx, t.name)}, {'s', t.definition}}));
  }
}

void ObjectsAfterTables(RunContext& ctx) {
  if (!ctx.objectsRead) return;
  const Profile& profile = ctx.working;
  const bool same = SameEngine(ctx);
  const std::string source = EngineName(ctx.connection.Driver().engine);
  const std::string foreign = "it is written in " + source + "'s own SQL, which the target does not run";
  ctx.setStateTitle("Scripting Views");
  for (const CodeObject& r : ctx.objects.routines) {
    if (!same || r.statement.empty()) {
      ObjectNotScripted(ctx, "Routine " + r.name, {},
                        same ? "the database does not hand over its definition" : foreign);
      continue;
    }
    ObjectHeading(ctx, "Routine ", r.name);
    WriteBodyStatement(ctx, r.statement);
  }
  std::vector<std::string> scripted;  // the views created, for their comments
  for (size_t i : ViewOrder(ctx.objects.views)) {
    ctx.checkPoint();
    const ViewDef& v = ctx.objects.views[i];
    const std::string& create = v.materialized ? profile.s_CreateMaterializedView : profile.s_CreateView;
    if (!same || (v.statement.empty() && create.empty())) {
      ObjectNotScripted(ctx, std::string(v.materialized ? "Materialized view " : "View ") + v.name, {},
                        same ? "the target profile has no statement for it" : foreign);
      continue;
    }
    ObjectHeading(ctx, v.materialized ? "Materialized view " : "View ", v.name);
    if (!v.statement.empty())
      WriteStatement(ctx, v.statement);
    else
      WriteStatement(ctx, create + " " + TableName(ctx, v.name) + " AS\r\n" + v.select +
                              (v.checkOption.empty() ? "" : "\r\nWITH " + v.checkOption + " CHECK OPTION"));
    scripted.push_back(v.name);
  }
  for (const CodeObject& t : ctx.objects.triggers) {
    if (!same || t.statement.empty()) {
      ObjectNotScripted(ctx, "Trigger " + t.name, t.table,
                        same ? "the database does not hand over its definition" : foreign);
      continue;
    }
    ObjectHeading(ctx, "Trigger ", t.name);
    WriteBodyStatement(ctx, t.statement);
  }
  RunOptions literal = ctx.opts;
  literal.b_DataCSV = 0;
  for (const CommentDef& c : ctx.objects.comments) {
    const bool inRun =
        std::any_of(ctx.tables.begin(), ctx.tables.end(), [&](const RunTable& t) { return t.name == c.table; }) ||
        std::find(scripted.begin(), scripted.end(), c.table) != scripted.end();
    if (!inRun) continue;
    const std::string& templ = c.column.empty() ? profile.s_TableComment : profile.s_ColumnComment;
    const std::string what = c.column.empty() ? "The comment" : "The comment on column " + c.column;
    if (templ.empty()) {
      ObjectNotScripted(ctx, what, c.table, "the target profile has no statement for it");
      continue;
    }
    ObjectHeading(ctx, "Comment on ", c.column.empty() ? c.table : c.table + "." + c.column);
    std::string definition;
    for (const RunTable& t : ctx.tables)
      if (t.name == c.table)
        for (const ColumnInfo& col : t.columns)
          if (col.name == c.column) definition = col.definition;
    const std::string column =
        c.column.empty() ? std::string()
                         : ctx.names.Column(ctx.opts, c.column, ApplyCase(c.column, profile.i_ColumnNameCase));
    WriteStatement(ctx, Fill(templ, {{'t', TableName(ctx, c.table)},
                                     {'c', column},
                                     {'d', definition},
                                     {'s', FormatValue(profile, literal, c.text, LiteralRule::String, false)}}));
  }
}

}  // namespace mv
