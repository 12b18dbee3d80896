#include "run/NameQuoting.h"

#include "db/DbConnection.h"
#include "settings/RunOptions.h"
#include "shell/SettingsStore.h"

namespace mv {

void NameQuoter::ReadBrackets(const SettingsStore& settings, const DbConnection* connection) {
  // Square brackets only where the owner really is a catalog: without an owner the connection
  // still carries the catalog mark of its probe, and standard SQL (PostgreSQL among others)
  // rejects brackets. The double quote is the standard identifier quote.
  const bool catalog = connection && connection->b_IsCatalog && !connection->s_DatabaseUser.empty();
  open_ = settings.GetString("specObjStringOpen", catalog ? "[" : "\"");
  close_ = settings.GetString("specObjStringClose", catalog ? "]" : "\"");
}

bool NameQuoter::IsSpecialColumnName(const RunOptions& opts, const std::string& name) {
  if (opts.i_AutoSpecialName == 1) return true;
  if (opts.i_AutoSpecialName == 2) return false;
  if (name.empty()) return false;
  if (name[0] >= '0' && name[0] <= '9') return true;
  return name.find_first_of(" -#", 1) != std::string::npos;
}

bool NameQuoter::IsSpecialTableName(const RunOptions& opts, const std::string& name) {
  return opts.i_AutoSpecialName == 1 || name.find_first_of(" -#/") != std::string::npos;
}

std::string NameQuoter::QuoteColumnName(const RunOptions& opts, const std::string& name) const {
  return IsSpecialColumnName(opts, name) ? Bracket(name) : name;
}

std::string NameQuoter::QuoteTableName(const RunOptions& opts, const std::string& name) const {
  return IsSpecialTableName(opts, name) ? Bracket(name) : name;
}

}  // namespace mv
