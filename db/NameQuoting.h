#pragma once
#include <string>
#include <vector>

namespace mv {

class DbConnection;
class SettingsStore;
struct RunOptions;

// Which names must be quoted, and how: in the SELECT that runs against the source (the
// driver's identifier quote) and in the script (the special-name brackets of the settings).
// A name is special when it is not a plain identifier (letters, digits and "_", not starting
// with a digit), when it is a reserved word (ODBC's list and the driver's own), or when the
// source folds unquoted names to one letter case and the name holds the other: such a name
// was created quoted, and a copy must keep it so.
class NameQuoter {
 public:
  // The source's rules (quote character, keywords, letter-case folding) and the script's
  // brackets from the settings ("specObjStringOpen", "specObjStringClose"): by default square
  // brackets only where the owner really is a catalog, else the double quote.
  void ReadBrackets(const SettingsStore& settings, const DbConnection* connection);

  bool IsSpecial(const std::string& name) const;
  // The column rule: i_AutoSpecialName 1 quotes every name, 2 none, else the special ones.
  bool IsSpecialColumnName(const RunOptions& opts, const std::string& name) const;
  // The table rule: 1 quotes every name, else the special ones.
  bool IsSpecialTableName(const RunOptions& opts, const std::string& name) const;

  // Names as the script writes them; `written` is the name after its letter-case rule, the
  // decision is made on the name as the catalog returned it.
  std::string ScriptColumn(const RunOptions& opts, const std::string& name, const std::string& written) const;
  std::string ScriptTable(const RunOptions& opts, const std::string& name, const std::string& written) const;
  std::string QuoteColumnName(const RunOptions& opts, const std::string& name) const {
    return ScriptColumn(opts, name, name);
  }
  std::string Bracket(const std::string& name) const { return Quote(name, open_, close_); }
  // Names as the SELECT against the source writes them.
  std::string SourceColumn(const RunOptions& opts, const std::string& name) const;
  std::string SourceTable(const RunOptions& opts, const std::string& name) const;
  std::string SourceBracket(const std::string& name) const { return Quote(name, sourceOpen_, sourceClose_); }

  // open + name + close, every close character inside the name doubled.
  static std::string Quote(const std::string& name, const std::string& open, const std::string& close);

 private:
  std::string open_ = "\"", close_ = "\"";
  std::string sourceOpen_ = "\"", sourceClose_ = "\"";
  std::vector<std::string> keywords_;  // the driver's own, upper case
  int identifierCase_ = 0;
};

// Whether a where condition holds a statement separator outside quotes and comments: such a
// condition could run a second statement against the source.
bool HasStatementSeparator(const std::string& condition);

// A name or text inside a remark line: line breaks shown as \r and \n, so they never end it.
std::string RemarkSafe(const std::string& text);

}  // namespace mv
