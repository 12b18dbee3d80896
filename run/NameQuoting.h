#pragma once
#include <string>

namespace mv {

class DbConnection;
class SettingsStore;
struct RunOptions;

// Which names the script writes in the special-name brackets, and the brackets themselves.
class NameQuoter {
 public:
  // The brackets from the settings ("specObjStringOpen", "specObjStringClose"): square
  // brackets by default only where the owner really is a catalog, else the double quote.
  void ReadBrackets(const SettingsStore& settings, const DbConnection* connection);
  void SetBrackets(std::string open, std::string close) {
    open_ = std::move(open);
    close_ = std::move(close);
  }

  // Whether a column or index name must be bracketed (the column rule).
  static bool IsSpecialColumnName(const RunOptions& opts, const std::string& name);
  // Whether a table name must be bracketed (the FROM rule).
  static bool IsSpecialTableName(const RunOptions& opts, const std::string& name);
  std::string QuoteColumnName(const RunOptions& opts, const std::string& name) const;
  std::string QuoteTableName(const RunOptions& opts, const std::string& name) const;
  std::string Bracket(const std::string& name) const { return open_ + name + close_; }

 private:
  std::string open_ = "\"", close_ = "\"";
};

}  // namespace mv
