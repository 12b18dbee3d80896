#pragma once
#include <string>
#include <vector>

#include "db/NameQuoting.h"

namespace mv {

class DbConnection;
class SettingsStore;
struct RunOptions;
struct Profile;

// Names as the script writes them: a name the source's rules call special, or a reserved word
// of the target, goes between the target profile's quotes, else the special-name brackets of
// the settings ("specObjStringOpen", "specObjStringClose"), by default square brackets only
// where the owner really is a catalog, else the double quote.
class ScriptNames {
 public:
  // The brackets from the settings (or the profile's quotes), the target's reserved words
  // from the profile, and the source's rules from the connection.
  void ReadBrackets(const SettingsStore& settings, const DbConnection* connection, const Profile& target);
  // Whether the target must have the name quoted whatever the source's rules say.
  bool IsTargetReserved(const std::string& name) const;
  const SourceNames& Source() const { return source_; }

  // `written` is the name after its letter-case rule; the decision is made on the name as the
  // catalog returned it.
  std::string Column(const RunOptions& opts, const std::string& name, const std::string& written) const;
  std::string Table(const RunOptions& opts, const std::string& name, const std::string& written) const;
  std::string Column(const RunOptions& opts, const std::string& name) const { return Column(opts, name, name); }
  std::string Bracket(const std::string& name) const { return QuoteName(name, open_, close_); }

 private:
  SourceNames source_;
  std::string open_ = "\"", close_ = "\"";
  std::vector<std::string> targetReserved_;  // upper case, sorted
};

// A name or text inside a remark line: line breaks shown as \r and \n, so they never end it.
std::string RemarkSafe(const std::string& text);

}  // namespace mv
