#include "run/ConstraintScripter.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <unordered_map>

#include "base/TextRules.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/ValueFormat.h"

namespace mv {

namespace {

std::string TableWritten(const RunContext& ctx, const std::string& name) {
  return ctx.names.Table(ctx.opts, name, ApplyCase(name, ctx.working.i_TableNameCase));
}

std::string ColumnWritten(const RunContext& ctx, const std::string& name) {
  return ctx.names.Column(ctx.opts, name, ApplyCase(name, ctx.working.i_ColumnNameCase));
}

std::string ColumnList(const RunContext& ctx, const std::vector<std::string>& columns) {
  std::string out = "(";
  for (size_t i = 0; i < columns.size(); ++i) out += (i ? ", " : "") + ColumnWritten(ctx, columns[i]);
  return out + ")";
}

std::string TextLiteral(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

const RunTable* FindTable(const RunContext& ctx, const std::string& name) {
  for (const RunTable& t : ctx.tables)
    if (t.name == name) return &t;
  return nullptr;
}

bool IsSinglePrimaryKey(const RunTable& table, const std::string& column) {
  for (const EngineKey& k : table.keys)
    if (k.kind == EngineKey::Kind::Primary) return k.columns.size() == 1 && k.columns[0] == column;
  return false;
}

// Whether the target column numbers rows by itself: then its next value is set after the data.
enum class Numbering { None, Rowid, Auto };

Numbering TargetNumbering(const RunContext& ctx, const RunTable& table, const EngineColumnFacts& f) {
  if (f.autoNumber == AutoNumber::None) return Numbering::None;
  const Profile& p = ctx.working;
  if (!p.s_RowidKey.empty()) {
    if (!IsSinglePrimaryKey(table, f.column)) return Numbering::None;
    return f.autoNumber == AutoNumber::Rowid ? Numbering::Rowid : Numbering::Auto;
  }
  return p.s_AutoNumber.empty() ? Numbering::None : Numbering::Auto;
}

std::string Unwrapped(std::string s) {
  s = Trim(s, " \t\r\n");
  while (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
    // Only when the parentheses enclose the whole text.
    int depth = 0;
    bool whole = true;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '(') ++depth;
      if (s[i] == ')' && --depth == 0 && i + 1 < s.size()) whole = false;
    }
    if (!whole) break;
    s = Trim(s.substr(1, s.size() - 2), " \t\r\n");
  }
  return s;
}

// A whole string literal, and where it ends.
bool IsTextLiteral(const std::string& s, size_t& end) {
  if (s.empty() || s[0] != '\'') return false;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i] != '\'') continue;
    if (i + 1 < s.size() && s[i + 1] == '\'') {
      ++i;
      continue;
    }
    end = i + 1;
    return true;
  }
  return false;
}

bool IsCurrentTime(const std::string& lower) {
  static const char* const kNow[] = {
      "now()",           "current_timestamp",       "current_timestamp()", "localtimestamp",
      "datetime('now')", "transaction_timestamp()", "localtimestamp()",    "current_timestamp(0)"};
  for (const char* n : kNow)
    if (lower == n) return true;
  return false;
}

// A default of another engine in the target's words; false when its meaning is the source
// engine's own.
bool TranslateDefault(const Profile& p, const std::string& source, std::string& out) {
  std::string s = Unwrapped(source);
  const std::string lower = Lower(s);
  if (lower == "null") {
    out.clear();
    return true;
  }
  if (IsCurrentTime(lower)) {
    out = p.s_CurrentTimestamp;
    return !out.empty();
  }
  if (lower == "true" || lower == "false") {
    out = lower == "true" ? "TRUE" : "FALSE";
    return true;
  }
  size_t end = 0;
  if (IsTextLiteral(s, end)) {
    // PostgreSQL writes a literal with its type: 'abc'::character varying.
    const std::string rest = s.substr(end);
    if (!rest.empty() && rest.rfind("::", 0) != 0) return false;
    out = s.substr(0, end);
    // A backslash means something else to MariaDB than to the others.
    return out.find('\\') == std::string::npos;
  }
  const size_t cast = s.find("::");
  if (cast != std::string::npos) s = Unwrapped(s.substr(0, cast));
  std::string number = s;
  if (!number.empty() && (number[0] == '-' || number[0] == '+')) number = number.substr(1);
  if (IsNumberLiteral(number)) {
    out = s;
    return true;
  }
  return false;
}

// A check condition of another engine, where it is plain SQL: PostgreSQL's casts and MariaDB's
// backquotes left out; false for anything that calls engine functions.
}  // namespace

bool PortableCondition(const std::string& source, std::string& out) {
  out.clear();
  for (size_t i = 0; i < source.size();) {
    const char c = source[i];
    if (c == '\'') {
      size_t end = 0;
      if (!IsTextLiteral(source.substr(i), end)) return false;
      out += source.substr(i, end);
      i += end;
      continue;
    }
    if (c == '`') {
      const size_t close = source.find('`', i + 1);
      if (close == std::string::npos) return false;
      out += source.substr(i + 1, close - i - 1);
      i = close + 1;
      continue;
    }
    if (c == ':' && i + 1 < source.size() && source[i + 1] == ':') {
      // The cast's type name, which may be several words ("character varying").
      i += 2;
      for (;;) {
        while (i < source.size() && (std::isalnum(static_cast<unsigned char>(source[i])) || source[i] == '_')) ++i;
        static const char* const kMore[] = {" varying", " precision", " without time zone", " with time zone"};
        bool more = false;
        for (const char* m : kMore)
          if (source.compare(i, std::char_traits<char>::length(m), m) == 0) {
            i += std::char_traits<char>::length(m);
            more = true;
          }
        if (!more) break;
      }
      if (i < source.size() && source[i] == '[') return false;
      continue;
    }
    // || is MariaDB's OR, concatenation elsewhere.
    if (c == '~' || c == '[' || c == '"' || c == '|') return false;
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t end = i;
      while (end < source.size() && (std::isalnum(static_cast<unsigned char>(source[end])) || source[end] == '_'))
        ++end;
      const std::string word = Lower(source.substr(i, end - i));
      size_t next = end;
      while (next < source.size() && source[next] == ' ') ++next;
      static const char* const kAllowed[] = {"in", "and",  "or",    "not",   "between", "like",
                                             "is", "null", "lower", "upper", "abs",     "coalesce"};
      if (next < source.size() && source[next] == '(' &&
          std::none_of(std::begin(kAllowed), std::end(kAllowed), [&](const char* a) { return word == a; }))
        return false;
      if (word == "any" || word == "array" || word == "similar" || word == "ilike") return false;
      out += source.substr(i, end - i);
      i = end;
      continue;
    }
    out += c;
    ++i;
  }
  return true;
}

namespace {

std::string ConstraintName(const RunContext& ctx, const std::string& name) {
  if (name.empty() || ctx.working.s_Constraint.empty()) return {};
  return ctx.working.s_Constraint + " " + ctx.names.Column(ctx.opts, name) + " ";
}

std::string ConstraintName(const RunContext& ctx, const EngineKey& k) { return ConstraintName(ctx, k.name); }

// FOREIGN KEY (..) REFERENCES parent (..) with its actions and deferral.
std::string ForeignKeyText(RunContext& ctx, const PhaseTable& t, const EngineKey& k) {
  const Profile& p = ctx.working;
  std::string text = ConstraintName(ctx, k) + p.s_ForeignKey + " " + ColumnList(ctx, k.columns) + " " + p.s_References +
                     " " + TableWritten(ctx, k.refTable) + " " + ColumnList(ctx, k.refColumns);
  if (!k.onDelete.empty()) text += " ON DELETE " + k.onDelete;
  if (!k.onUpdate.empty()) text += " ON UPDATE " + k.onUpdate;
  if (k.deferrable) {
    if (p.s_Deferrable.empty())
      ctx.notScripted.Add(ctx.script, {"deferral of foreign key " + k.name, t.name,
                                       "the target has no deferred keys: the key is checked at once"});
    else
      text += " " + p.s_Deferrable + (k.initiallyDeferred ? " INITIALLY DEFERRED" : "");
  }
  return text;
}

// A foreign key whose parent is not in the script cannot be created with it.
bool ParentScripted(RunContext& ctx, const PhaseTable& t, const EngineKey& k) {
  if (FindTable(ctx, k.refTable)) return true;
  ctx.notScripted.Add(ctx.script, {"foreign key " + (k.name.empty() ? k.refTable : k.name), t.name,
                                   "the table it refers to, " + k.refTable + ", is not in this script"});
  return false;
}

bool IsCycleKey(const RunTable& table, size_t at) {
  return std::find(table.cycleKeys.begin(), table.cycleKeys.end(), at) != table.cycleKeys.end();
}

// Parents first, in catalog order otherwise; a table of a cycle goes first with the keys that
// close the cycle marked.
void OrderTables(RunContext& ctx) {
  std::vector<RunTable>& tables = ctx.tables;
  std::vector<RunTable> ordered;
  std::vector<bool> placed(tables.size(), false);
  auto isPlaced = [&](const std::string& name) {
    for (const RunTable& t : ordered)
      if (t.name == name) return true;
    return false;
  };
  auto inRun = [&](const std::string& name) { return FindTable(ctx, name) != nullptr; };
  std::vector<std::string> cycleNotes;
  while (ordered.size() < tables.size()) {
    bool progress = false;
    for (size_t i = 0; i < tables.size(); ++i) {
      if (placed[i]) continue;
      const RunTable& t = tables[i];
      bool ready = true;
      for (size_t k = 0; k < t.keys.size() && ready; ++k) {
        const EngineKey& key = t.keys[k];
        if (key.kind != EngineKey::Kind::Foreign || key.refTable == t.name || IsCycleKey(t, k)) continue;
        if (inRun(key.refTable) && !isPlaced(key.refTable)) ready = false;
      }
      if (!ready) continue;
      ordered.push_back(t);
      placed[i] = true;
      progress = true;
      break;
    }
    if (progress) continue;
    // Every table left waits for another: the first one's keys to those close a cycle.
    for (size_t i = 0; i < tables.size(); ++i) {
      if (placed[i]) continue;
      RunTable& t = tables[i];
      for (size_t k = 0; k < t.keys.size(); ++k) {
        const EngineKey& key = t.keys[k];
        if (key.kind != EngineKey::Kind::Foreign || key.refTable == t.name || !inRun(key.refTable) ||
            isPlaced(key.refTable))
          continue;
        t.cycleKeys.push_back(k);
        cycleNotes.push_back("foreign key " + (key.name.empty() ? key.refTable : key.name) + " of table " + t.name +
                             " (to " + key.refTable + ")");
      }
      break;
    }
  }
  tables = std::move(ordered);
  if (cycleNotes.empty()) return;
  std::string note = "NOTE: Tables refer to each other in a cycle; these keys close it and are ";
  note += ctx.working.s_AddForeignKey.empty()
              ? "written with their tables, so a row that refers to a row of a later table does not load while "
                "foreign keys are enforced:"
              : "added after the data:";
  for (const std::string& n : cycleNotes) note += "\n    " + n;
  ctx.script.MessageRemark(note, "\r\n", "");
}

void WriteStatement(RunContext& ctx, const std::string& text) {
  ScriptText st;
  st.Add(text, TextRole::Sql);
  AddTerminator(st, ctx.working, "\r\n\r\n");
  ctx.script.Write(st);
}

}  // namespace

std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      bool done = false;
      for (const auto& [key, value] : values)
        if (text[i + 1] == key[0]) {
          out += value;
          ++i;
          done = true;
          break;
        }
      if (done) continue;
    }
    out += text[i];
  }
  return out;
}

namespace {

class KeysTables : public TablePhase {
 public:
  explicit KeysTables(RunContext& ctx) : ctx_(ctx) {}
  const char* Title() const override { return "Scripting Keys"; }
  Host::Bar Bar() const override { return Host::kIndexBar; }
  bool Table(PhaseTable& t) override;

 private:
  void NextValues(const PhaseTable& t);
  RunContext& ctx_;
};

void KeysTables::NextValues(const PhaseTable& t) {
  const Profile& p = ctx_.working;
  for (const EngineColumnFacts& f : t.table.facts) {
    if (TargetNumbering(ctx_, t.table, f) != Numbering::Auto || f.nextValue <= 0 || p.s_SetNextValue.empty()) continue;
    const std::string column = ColumnWritten(ctx_, f.column);
    const std::string text = Replaced(p.s_SetNextValue, {{"t", t.written},
                                                         {"T", TextLiteral(t.table.name)},
                                                         {"Q", TextLiteral(t.written)},
                                                         {"c", column},
                                                         {"C", TextLiteral(f.column)},
                                                         {"n", std::to_string(f.nextValue)},
                                                         {"m", std::to_string(f.nextValue - 1)},
                                                         {";", "\x1f"}});
    size_t start = 0;
    for (;;) {
      const size_t end = text.find('\x1f', start);
      WriteStatement(ctx_, Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start), " "));
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
}

bool KeysTables::Table(PhaseTable& t) {
  const Profile& p = ctx_.working;
  bool headed = false;
  auto heading = [&] {
    if (headed) return;
    headed = true;
    ctx_.script.BlankLine();
    ctx_.script.Heading("Keys for table ", t.name);
  };
  if (ctx_.opts.b_DoTabStruct && !p.s_AddForeignKey.empty())
    for (const EngineKey& k : t.table.keys) {
      if (k.kind != EngineKey::Kind::Foreign) continue;
      heading();
      if (!ParentScripted(ctx_, t, k)) continue;
      WriteStatement(ctx_, Replaced(p.s_AddForeignKey, {{"t", t.written}}) + " " + ForeignKeyText(ctx_, t, k));
    }
  if (ctx_.opts.b_DoTabData) {
    bool any = false;
    for (const EngineColumnFacts& f : t.table.facts) any = any || TargetNumbering(ctx_, t.table, f) == Numbering::Auto;
    if (any) {
      heading();
      NextValues(t);
    }
  }
  return true;
}

}  // namespace

bool SourceIsTarget(const RunContext& ctx) {
  const Engine e = ctx.connection.Driver().engine;
  return e != Engine::Other && strcasecmp(ctx.working.s_TargetEngine.c_str(), EngineName(e)) == 0;
}

std::string TargetIndexName(const RunTable& table, const std::string& name) {
  const auto r = table.renamed.find(name);
  return r == table.renamed.end() ? name : r->second;
}

bool ConstraintsWanted(const RunContext& ctx) { return ctx.opts.b_Constraints && !ctx.working.s_PrimaryKey.empty(); }

namespace {

// Where the target's index names are the schema's, a key's or index's name that a table or an
// earlier key or index already has is renamed after its table.
void RenameClashes(RunContext& ctx) {
  if (!ctx.working.b_IndexNamesPerSchema) return;
  std::set<std::string> used;
  for (const RunTable& t : ctx.tables) used.insert(Lower(t.name));
  for (const EngineSequence& s : ctx.sequences) used.insert(Lower(s.name));
  auto claim = [&](RunTable& t, const std::string& name) {
    if (name.empty() || t.renamed.count(name)) return;
    std::string target = name;
    for (int n = 1; used.count(Lower(target)); ++n)
      target = t.name + "_" + name + (n > 1 ? "_" + std::to_string(n) : std::string());
    used.insert(Lower(target));
    if (target != name) t.renamed[name] = target;
  };
  for (RunTable& t : ctx.tables)
    for (const EngineKey& k : t.keys)
      if (k.kind == EngineKey::Kind::Primary || k.kind == EngineKey::Kind::Unique ||
          k.kind == EngineKey::Kind::Exclusion)
        claim(t, k.name);
  for (RunTable& t : ctx.tables)
    for (const EngineIndex& ix : t.indexes)
      if (!IndexIsKey(t, ix.name)) claim(t, ix.name);
}

}  // namespace

void RenamedNote(RunContext& ctx, const std::string& what, const RunTable& table, const std::string& name) {
  const std::string target = TargetIndexName(table, name);
  if (target == name) return;
  ctx.script.MessageRemark("NOTE: " + what + " " + RemarkSafe(name) + " of table " + RemarkSafe(table.name) +
                               " is named " + RemarkSafe(target) +
                               ": the target's index names are the schema's, and another object has that name",
                           "\r\n", "\r\n");
}

void PrepareConstraints(RunContext& ctx) {
  ctx.constraints = ConstraintsWanted(ctx);
  ctx.engineIndexes = false;
  ctx.sequences.clear();
  if (!ctx.constraints) return;
  EngineSchema schema;
  std::string error;
  if (ctx.connection.Driver().engine == Engine::Other) {
    // Another source says what it can through the driver's catalog functions, table by table.
    std::vector<std::string> names;
    for (const RunTable& t : ctx.tables) names.push_back(t.name);
    std::vector<CatalogGap> gaps;
    ReadDriverSchema(ctx.connection, names, schema, gaps);
    for (CatalogGap& g : gaps)
      ctx.notScripted.Add(ctx.script, {std::move(g.what), std::move(g.table), std::move(g.reason)});
  } else if (!ReadEngineSchema(ctx.connection, schema, error)) {
    ctx.constraints = false;
    ctx.notScripted.Add(ctx.script, {"keys, constraints, defaults and identities", "",
                                     "the database's own catalog could not be read: " + error});
    return;
  }
  // Handed out by table name: a search of the whole schema for each table would grow with the
  // square of the tables.
  struct Declared {
    std::vector<const EngineKey*> keys;
    std::vector<const EngineColumnFacts*> facts;
    std::vector<const EngineIndex*> indexes;
  };
  std::unordered_map<std::string, Declared> byTable;
  for (const EngineKey& k : schema.keys) byTable[k.table].keys.push_back(&k);
  for (const EngineColumnFacts& f : schema.columns) byTable[f.table].facts.push_back(&f);
  for (const EngineIndex& ix : schema.indexes) byTable[ix.table].indexes.push_back(&ix);
  for (RunTable& t : ctx.tables) {
    t.keys.clear();
    t.facts.clear();
    t.cycleKeys.clear();
    t.indexes.clear();
    t.renamed.clear();
    const auto found = byTable.find(t.name);
    if (found == byTable.end()) continue;
    for (const EngineKey* k : found->second.keys) t.keys.push_back(*k);
    for (const EngineColumnFacts* f : found->second.facts) t.facts.push_back(*f);
    for (const EngineIndex* ix : found->second.indexes) t.indexes.push_back(*ix);
  }
  ctx.engineIndexes = ctx.connection.Driver().engine != Engine::Other;
  ctx.sequences = std::move(schema.sequences);
  OrderTables(ctx);
  RenameClashes(ctx);
  const Profile& p = ctx.working;
  for (const EngineSequence& s : ctx.sequences) {
    if (!SourceIsTarget(ctx) || p.s_CreateSequence.empty() || !ctx.opts.b_DoTabStruct) {
      ctx.notScripted.Add(ctx.script, {"sequence " + s.name + " (next value " + std::to_string(s.nextValue) + ")", "",
                                       "no column owns it, and this script creates no sequences"});
      continue;
    }
    const std::string name = ctx.names.Table(ctx.opts, s.name, s.name);
    const std::vector<std::pair<std::string, std::string>> values = {{"n", name},
                                                                     {"d", s.dataType},
                                                                     {"i", std::to_string(s.increment)},
                                                                     {"l", std::to_string(s.minValue)},
                                                                     {"h", std::to_string(s.maxValue)},
                                                                     {"s", std::to_string(s.start)},
                                                                     {"c", s.cycle ? "CYCLE" : "NO CYCLE"},
                                                                     {"Q", TextLiteral(name)},
                                                                     {"v", std::to_string(s.nextValue)}};
    ctx.script.BlankLine();
    ctx.script.Heading("Sequence ", s.name);
    if (ctx.opts.b_DropTable && !p.s_DropSequence.empty()) WriteStatement(ctx, Replaced(p.s_DropSequence, values));
    WriteStatement(ctx, Replaced(p.s_CreateSequence, values));
    if (!p.s_SetSequence.empty()) WriteStatement(ctx, Replaced(p.s_SetSequence, values));
  }
}

const EngineColumnFacts* FactsOf(const RunTable& table, const std::string& column) {
  for (const EngineColumnFacts& f : table.facts)
    if (f.column == column) return &f;
  return nullptr;
}

bool KeyColumnIsNotNull(const RunContext& ctx, const RunTable& table, const std::string& column) {
  if (SourceIsTarget(ctx)) return false;
  for (const EngineKey& k : table.keys)
    if (k.kind == EngineKey::Kind::Primary)
      return std::find(k.columns.begin(), k.columns.end(), column) != k.columns.end();
  return false;
}

bool GeneratedInTarget(const RunContext& ctx, const EngineColumnFacts& f, std::string* text) {
  if (f.generated.empty()) return false;
  const Profile& p = ctx.working;
  const std::string& form =
      !f.generatedStored && !p.s_GeneratedVirtual.empty() ? p.s_GeneratedVirtual : p.s_GeneratedStored;
  std::string expression = f.generated;
  if (form.empty() || (!SourceIsTarget(ctx) && !PortableCondition(f.generated, expression))) return false;
  if (text) *text = Replaced(form, {{"s", expression}});
  return true;
}

std::string ColumnAttributes(RunContext& ctx, const PhaseTable& t, const EngineColumnFacts& f,
                             const std::string& typeText) {
  const Profile& p = ctx.working;
  // A generated column has neither default nor numbering of its own.
  if (std::string generated; GeneratedInTarget(ctx, f, &generated)) return typeText + " " + generated;
  const bool same = SourceIsTarget(ctx);
  std::string text = typeText;
  const Numbering numbering = TargetNumbering(ctx, t.table, f);
  if (numbering == Numbering::Rowid) text = p.s_RowidKey;
  if (numbering == Numbering::Auto)
    text = p.s_RowidKey.empty() ? typeText + " " + p.s_AutoNumber : p.s_RowidKey + " " + p.s_AutoNumber;
  if (f.autoNumber == AutoNumber::IdentityAlways && numbering == Numbering::Auto)
    ctx.notScripted.Add(ctx.script, {"GENERATED ALWAYS of column " + f.column, t.name,
                                     "the column numbers rows BY DEFAULT, so that rows with their ids load"});
  if (f.autoNumber != AutoNumber::None && numbering == Numbering::None && f.autoNumber != AutoNumber::Rowid)
    ctx.notScripted.Add(ctx.script, {"auto-numbering of column " + f.column, t.name,
                                     "the target numbers rows by itself only in an INTEGER PRIMARY KEY of one column"});
  // A sequence's default is the identity the column became.
  if (!f.defaultValue.empty() && f.autoNumber != AutoNumber::Serial) {
    std::string value;
    if (same)
      value = f.defaultValue;
    else if (!TranslateDefault(p, f.defaultValue, value))
      ctx.notScripted.Add(ctx.script, {"default " + f.defaultValue + " of column " + f.column, t.name,
                                       "the expression is the source engine's own"});
    if (!value.empty()) text += " " + p.s_Default + " " + value;
  }
  if (!f.onUpdate.empty()) {
    if (same && !p.s_OnUpdate.empty())
      text += " " + p.s_OnUpdate + " " + f.onUpdate;
    else
      ctx.notScripted.Add(ctx.script, {"ON UPDATE " + f.onUpdate + " of column " + f.column, t.name,
                                       "the target sets no column on update by itself"});
  }
  if (!f.generated.empty())
    ctx.notScripted.Add(ctx.script, {"generated column " + f.column + " (" + f.generated + ")", t.name,
                                     "the column is created as a plain column holding the source's values"});
  return text;
}

void AddKeyLines(RunContext& ctx, const PhaseTable& t, std::vector<ColumnLine>& lines) {
  const Profile& p = ctx.working;
  const bool same = SourceIsTarget(ctx);
  for (size_t at = 0; at < t.table.keys.size(); ++at) {
    const EngineKey& k = t.table.keys[at];
    switch (k.kind) {
      case EngineKey::Kind::Primary: {
        if (k.columns.size() == 1 && !p.s_RowidKey.empty())
          if (const EngineColumnFacts* f = FactsOf(t.table, k.columns[0]))
            if (TargetNumbering(ctx, t.table, *f) != Numbering::None) break;
        RenamedNote(ctx, "Key", t.table, k.name);
        lines.push_back(
            {ConstraintName(ctx, TargetIndexName(t.table, k.name)) + p.s_PrimaryKey, ColumnList(ctx, k.columns)});
        break;
      }
      case EngineKey::Kind::Unique:
        RenamedNote(ctx, "Key", t.table, k.name);
        lines.push_back(
            {ConstraintName(ctx, TargetIndexName(t.table, k.name)) + p.s_Unique, ColumnList(ctx, k.columns)});
        break;
      case EngineKey::Kind::Check: {
        std::string condition = k.check;
        if (!same && !PortableCondition(k.check, condition)) {
          ctx.notScripted.Add(ctx.script, {"CHECK constraint " + (k.name.empty() ? k.check : k.name + " " + k.check),
                                           t.name, "the condition uses the source engine's own functions or types"});
          break;
        }
        lines.push_back({ConstraintName(ctx, k) + p.s_Check, condition});
        break;
      }
      case EngineKey::Kind::Exclusion:
        // The engine's own definition: operators and index methods of its own.
        if (same) {
          lines.push_back({ConstraintName(ctx, TargetIndexName(t.table, k.name)) + k.check, ""});
          break;
        }
        ctx.notScripted.Add(ctx.script, {"exclusion constraint " + k.name + " " + k.check, t.name,
                                         "the target has no exclusion constraints (its index is not created either)"});
        break;
      case EngineKey::Kind::Foreign:
        if (!p.s_AddForeignKey.empty() || !ctx.opts.b_DoTabStruct) break;
        if (!ParentScripted(ctx, t, k)) break;
        lines.push_back({ForeignKeyText(ctx, t, k), ""});
        break;
    }
  }
}

bool IndexIsKey(const RunTable& table, const std::string& index) {
  // The SQLite driver lists a key's index under a name of its own (sqlite_autoindex_N); SQLite
  // makes such indexes only for primary and unique keys.
  const bool autoIndex = strncasecmp(index.c_str(), "sqlite_autoindex", 16) == 0;
  for (const EngineKey& k : table.keys)
    if (autoIndex && (k.kind == EngineKey::Kind::Primary || k.kind == EngineKey::Kind::Unique)) return true;
  for (const EngineKey& k : table.keys)
    if (k.kind != EngineKey::Kind::Check && k.kind != EngineKey::Kind::Foreign && !k.index.empty() && k.index == index)
      return true;
  return false;
}

void KeysPhase(RunContext& ctx) {
  if (ctx.constraints) RunTablePhase<KeysTables>(ctx);
}

}  // namespace mv
