#pragma once
#include <string>
#include <vector>

namespace mv {

class DbConnection;
struct RunOptions;

// What the source's rules say of a name: whether it is special, and how the SELECT that runs
// against the source quotes it (the driver's identifier quote). A name is special when it is
// not a plain identifier (letters, digits and "_", not starting with a digit), when it is a
// reserved word (ODBC's list and the driver's own), or when the source folds unquoted names to
// one letter case and the name holds the other: such a name was created quoted, and a copy
// must keep it so.
class SourceNames {
 public:
  // The connection's rules (quote character, keywords, letter-case folding); where the driver
  // names no quote character, open and close stand in. No connection: ODBC's keywords alone.
  void Read(const DbConnection* connection, const std::string& open, const std::string& close);

  bool IsSpecial(const std::string& name) const;
  // The column rule: i_AutoSpecialName 1 quotes every name, 2 none, else the special ones.
  bool IsSpecialColumnName(const RunOptions& opts, const std::string& name) const;
  // The table rule: 1 quotes every name, else the special ones.
  bool IsSpecialTableName(const RunOptions& opts, const std::string& name) const;

  // Names as the SELECT against the source writes them.
  std::string Column(const RunOptions& opts, const std::string& name) const;
  std::string Table(const RunOptions& opts, const std::string& name) const;
  std::string Bracket(const std::string& name) const;

 private:
  std::string open_ = "\"", close_ = "\"";
  std::vector<std::string> keywords_;  // the driver's own, upper case
  int identifierCase_ = 0;
};

// open + name + close, every close character inside the name doubled.
std::string QuoteName(const std::string& name, const std::string& open, const std::string& close);

// Whether a where condition holds a statement separator outside quotes and comments: such a
// condition could run a second statement against the source.
bool HasStatementSeparator(const std::string& condition);

}  // namespace mv
