#include "run/ScriptNames.h"

#include <algorithm>
#include <sstream>

#include "base/SettingsStore.h"
#include "base/TextRules.h"
#include "db/DbConnection.h"
#include "profiles/Profile.h"
#include "settings/RunOptions.h"

namespace mv {

void ScriptNames::ReadBrackets(const SettingsStore& settings, const DbConnection* connection, const Profile& target) {
  // Square brackets only where the owner really is a catalog: without an owner the connection
  // still carries the catalog mark of its probe, and standard SQL (PostgreSQL among others)
  // rejects brackets. The double quote is the standard identifier quote.
  const bool catalog = connection && connection->Target().ownerIsCatalog && !connection->Target().owner.empty();
  open_ = settings.GetString("specObjStringOpen", catalog ? "[" : "\"");
  close_ = settings.GetString("specObjStringClose", catalog ? "]" : "\"");
  // The SELECT runs against the source: its own quote character, or the brackets when the
  // driver names none.
  source_.Read(connection, open_, close_);
  if (!target.s_QuoteOpen.empty()) {
    open_ = target.s_QuoteOpen;
    close_ = target.s_QuoteClose;
  }
  targetReserved_.clear();
  std::istringstream words(target.s_ReservedWords);
  for (std::string w; words >> w;) targetReserved_.push_back(Upper(w));
  std::sort(targetReserved_.begin(), targetReserved_.end());
}

bool ScriptNames::IsTargetReserved(const std::string& name) const {
  return !targetReserved_.empty() && std::binary_search(targetReserved_.begin(), targetReserved_.end(), Upper(name));
}

std::string ScriptNames::Column(const RunOptions& opts, const std::string& name, const std::string& written) const {
  if (opts.i_AutoSpecialName == 2) return written;
  return source_.IsSpecialColumnName(opts, name) || IsTargetReserved(name) ? Bracket(written) : written;
}

std::string ScriptNames::Table(const RunOptions& opts, const std::string& name, const std::string& written) const {
  return source_.IsSpecialTableName(opts, name) || IsTargetReserved(name) ? Bracket(written) : written;
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
