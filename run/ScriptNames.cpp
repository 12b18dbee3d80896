#include "run/ScriptNames.h"

#include "base/SettingsStore.h"
#include "db/DbConnection.h"

namespace mv {

void ScriptNames::ReadBrackets(const SettingsStore& settings, const DbConnection* connection) {
  // Square brackets only where the owner really is a catalog: without an owner the connection
  // still carries the catalog mark of its probe, and standard SQL (PostgreSQL among others)
  // rejects brackets. The double quote is the standard identifier quote.
  const bool catalog = connection && connection->Target().ownerIsCatalog && !connection->Target().owner.empty();
  open_ = settings.GetString("specObjStringOpen", catalog ? "[" : "\"");
  close_ = settings.GetString("specObjStringClose", catalog ? "]" : "\"");
  // The SELECT runs against the source: its own quote character, or the brackets when the
  // driver names none.
  source_.Read(connection, open_, close_);
}

std::string ScriptNames::Column(const RunOptions& opts, const std::string& name, const std::string& written) const {
  return source_.IsSpecialColumnName(opts, name) ? Bracket(written) : written;
}

std::string ScriptNames::Table(const RunOptions& opts, const std::string& name, const std::string& written) const {
  return source_.IsSpecialTableName(opts, name) ? Bracket(written) : written;
}

std::string RemarkSafe(const std::string& text) {
  if (text.find_first_of("\r\n") == std::string::npos) return text;
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace mv
