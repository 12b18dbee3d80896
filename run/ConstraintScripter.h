#pragma once
#include <string>
#include <vector>

#include "run/RunContext.h"
#include "run/Statements.h"
#include "run/TablePhase.h"

namespace mv {

// Keys, constraints, defaults and identities: read once for the run, written by the structure
// phase (column attributes, keys inside CREATE TABLE) and by the keys phase after the data and
// the indexes (foreign keys, next values).

// The source's engine is the one the working profile writes for.
bool SourceIsTarget(const RunContext& ctx);
// A condition or expression of another engine as plain SQL (PostgreSQL's casts and MariaDB's
// backquotes left out); false when it calls the source engine's own functions.
bool PortableCondition(const std::string& source, std::string& out);
// The name a key or index of the table gets in the target (renamed where it clashes).
std::string TargetIndexName(const RunTable& table, const std::string& name);
// A remark that a key or index of the table is written under another name, when it is.
void RenamedNote(RunContext& ctx, const std::string& what, const RunTable& table, const std::string& name);
// Replaces each %x of text by the value of key x.
std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& values);

// Whether the run scripts them: the option is on and the working profile has their words.
bool ConstraintsWanted(const RunContext& ctx);
// Reads them for every table of the run and puts the tables in an order that loads (parents
// first; a cycle is broken and named in a remark).
void PrepareConstraints(RunContext& ctx);
// What the engine declares of a column; none when not known.
const EngineColumnFacts* FactsOf(const RunTable& table, const std::string& column);
// A primary key's column is NOT NULL in every engine but SQLite, which lets one be NULL.
bool KeyColumnIsNotNull(const RunContext& ctx, const RunTable& table, const std::string& column);
// Whether the target computes the generated column as the source does (the same engine, or an
// expression in plain SQL, and the profile's form); text then gets the form with the expression.
bool GeneratedInTarget(const RunContext& ctx, const EngineColumnFacts& facts, std::string* text = nullptr);
// The column's type text with its attributes (auto-numbering, default, ON UPDATE) for the
// target; objects the target cannot take are named in a remark.
std::string ColumnAttributes(RunContext& ctx, const PhaseTable& t, const EngineColumnFacts& facts,
                             const std::string& typeText);
// The key and constraint lines that follow the columns of CREATE TABLE.
void AddKeyLines(RunContext& ctx, const PhaseTable& t, std::vector<ColumnLine>& lines);
// An index that carries a primary, unique or exclusion key written with the table: not created again.
bool IndexIsKey(const RunTable& table, const std::string& index);
// Foreign keys and next values of auto-numbering columns, after the data.
void KeysPhase(RunContext& ctx);

}  // namespace mv
