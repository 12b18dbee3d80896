// mervale-mkprofile: turns the readable profile sources (profiles/shipped/*.profile) into the
// .pfl files of the program folder. The build runs it, so the shipped profiles are never kept
// as opaque binaries; profiles/shipped/README.md describes the source format.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/ConsoleHost.h"
#include "base/TextRules.h"
#include "profiles/Profile.h"
#include "profiles/ProfileExtras.h"
#include "profiles/ProfileFile.h"
#include "profiles/TypeCategory.h"

namespace {

using mv::Profile;

// A line of a profile source may end in "\r\n"; other control characters belong to a value.
std::string Trim(const std::string& s) { return mv::Trim(s, " \t\r"); }

// A value in double quotes is taken literally between them, so that leading or trailing
// blanks can be written.
std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v;
}

bool ParseInt(const std::string& v, int& out) {
  if (v.empty()) return false;
  size_t i = (v[0] == '-' || v[0] == '+') ? 1 : 0;
  if (i == v.size()) return false;
  for (size_t k = i; k < v.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(v[k]))) return false;
  out = std::stoi(v);
  return true;
}

class SourceReader {
 public:
  explicit SourceReader(std::string file) : file_(std::move(file)) {
    strings_ = {{"s_Remarks", &Profile::s_Remarks},
                {"s_Execute", &Profile::s_Execute},
                {"s_LineBreak", &Profile::s_LineBreak},
                {"s_DropTable", &Profile::s_DropTable},
                {"s_CreateTable", &Profile::s_CreateTable},
                {"s_Null", &Profile::s_Null},
                {"s_NotNull", &Profile::s_NotNull},
                {"s_Delete", &Profile::s_Delete},
                {"s_InsertInto", &Profile::s_InsertInto},
                {"s_Values", &Profile::s_Values},
                {"s_NumericEmpty", &Profile::s_NumericEmpty},
                {"s_NullString", &Profile::s_NullString},
                {"s_EmptyString", &Profile::s_EmptyString},
                {"s_StringDelimiter", &Profile::s_StringDelimiter},
                {"s_Commit", &Profile::s_Commit},
                {"s_DropIndex", &Profile::s_DropIndex},
                {"s_CreateUniqueIndex", &Profile::s_CreateUniqueIndex},
                {"s_CreateIndex", &Profile::s_CreateIndex},
                {"s_OnTable", &Profile::s_OnTable}};
    ints_ = {{"b_ExecuteSameLine", &Profile::b_ExecuteSameLine},
             {"b_NullBeforeType", &Profile::b_NullBeforeType},
             {"i_TableNameCase", &Profile::i_TableNameCase},
             {"i_ColumnNameCase", &Profile::i_ColumnNameCase},
             {"i_DataTypeCase", &Profile::i_DataTypeCase},
             {"i_CommitLines", &Profile::i_CommitLines},
             {"b_CommitEachTable", &Profile::b_CommitEachTable},
             {"b_CommitNeedsExecute", &Profile::b_CommitNeedsExecute},
             {"b_DropIndexTableName", &Profile::b_DropIndexTableName},
             {"i_IndexNameCase", &Profile::i_IndexNameCase},
             {"i_IndexColumnCase", &Profile::i_IndexColumnCase},
             {"i_LengthRule", &Profile::i_LengthRule}};
    perType_ = {{"s_TypeTranslation", &Profile::s_TypeTranslation},
                {"s_RetrievePrefix", &Profile::s_RetrievePrefix},
                {"s_RetrieveSuffix", &Profile::s_RetrieveSuffix},
                {"s_ScriptPrefix", &Profile::s_ScriptPrefix},
                {"s_ScriptSuffix", &Profile::s_ScriptSuffix}};
    // The settings after the fixed record, by their field names.
    for (const mv::ProfileExtra& e : mv::ProfileExtras()) {
      if (e.text) strings_[e.field] = e.text;
      if (e.number) ints_[e.field] = e.number;
      if (e.list) lists_[e.field] = e.list;
    }
  }

  // Fills p (which starts from the built-in defaults); false after printing every error.
  bool Read(Profile& p) {
    std::ifstream in(file_, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot be read\n", file_.c_str());
      return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      line_ = number;
      const std::string text = Trim(line);
      if (text.empty() || text[0] == '#') continue;
      const size_t eq = text.find('=');
      if (eq == std::string::npos) {
        Error("expected KEY = VALUE");
        continue;
      }
      Assign(p, Trim(text.substr(0, eq)), Unquote(Trim(text.substr(eq + 1))));
    }
    return errors_ == 0;
  }

 private:
  void Error(const std::string& what) {
    std::fprintf(stderr, "%s:%d: %s\n", file_.c_str(), line_, what.c_str());
    ++errors_;
  }

  // Scalars may be given once only: a second line would silently win otherwise.
  bool FirstTime(const std::string& key) {
    if (seen_.emplace(key, line_).second) return true;
    Error(key + " is already given on line " + std::to_string(seen_[key]));
    return false;
  }

  void Assign(Profile& p, const std::string& key, const std::string& value) {
    if (auto s = strings_.find(key); s != strings_.end()) {
      if (FirstTime(key)) p.*(s->second) = value;
      return;
    }
    if (auto i = ints_.find(key); i != ints_.end()) {
      int v = 0;
      if (!ParseInt(value, v))
        Error(key + " needs an integer, not '" + value + "'");
      else if (FirstTime(key))
        p.*(i->second) = v;
      return;
    }
    if (key == "OmitLengthTypes") {
      p.OmitLengthTypes.push_back(value);
      return;
    }
    if (auto l = lists_.find(key); l != lists_.end()) {
      (p.*(l->second)).push_back(value);
      return;
    }
    if (key == "SubstitutionByte") {
      // A control character cannot be written in this file: CODE => REPLACE, CODE in decimal.
      const size_t arrow = value.find(" =>");
      int code = 0;
      if (arrow == std::string::npos || !ParseInt(Trim(value.substr(0, arrow)), code) || code < 1 || code > 255) {
        Error("SubstitutionByte needs the form CODE => REPLACE, CODE from 1 to 255");
        return;
      }
      std::string replace = value.substr(arrow + 3);
      if (!replace.empty() && replace[0] == ' ') replace.erase(0, 1);
      p.Substitutions.push_back({std::string(1, static_cast<char>(code)), replace});
      return;
    }
    if (key == "Substitution") {
      // The profile manager's display form: find => replace.
      const size_t arrow = value.find(" =>");
      if (arrow == std::string::npos || arrow == 0) {
        Error("Substitution needs the form FIND => REPLACE");
        return;
      }
      std::string replace = value.substr(arrow + 3);
      if (!replace.empty() && replace[0] == ' ') replace.erase(0, 1);
      p.Substitutions.push_back({value.substr(0, arrow), replace});
      return;
    }
    // Per-type entries: FIELD[CATEGORY], the category by its exact name.
    const size_t open = key.find('[');
    if (open != std::string::npos && key.back() == ']') {
      const std::string field = Trim(key.substr(0, open));
      const std::string category = Trim(key.substr(open + 1, key.size() - open - 2));
      const int index = mv::CategoryIndex(category);
      if (index < 0) {
        Error("unknown data type category '" + category + "'");
        return;
      }
      if (!FirstTime(field + "[" + category + "]")) return;
      if (auto t = perType_.find(field); t != perType_.end()) {
        (p.*(t->second))[index] = value;
        return;
      }
      if (field == "b_FuncOnlyIfValue") {
        int v = 0;
        if (!ParseInt(value, v) || (v != 0 && v != 1))
          Error(key + " needs 0 or 1");
        else
          p.b_FuncOnlyIfValue[index] = v;
        return;
      }
    }
    Error("unknown key '" + key + "'");
  }

  std::string file_;
  int line_ = 0;
  int errors_ = 0;
  std::map<std::string, int> seen_;
  std::map<std::string, std::string Profile::*> strings_;
  std::map<std::string, int Profile::*> ints_;
  std::map<std::string, std::vector<std::string> Profile::*> lists_;
  std::map<std::string, mv::PerType Profile::*> perType_;
};

// NAME.profile gives the profile NAME.
std::string ProfileName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string ext = ".profile";
  if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
    name.resize(name.size() - ext.size());
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs(
        "Usage: mervale-mkprofile OUTPUT_FOLDER SOURCE.profile...\n"
        "Writes OUTPUT_FOLDER/SOURCE.pfl for every source.\n",
        stderr);
    return 1;
  }
  const std::string folder = argv[1];
  mv::ConsoleHost host(stdout, stderr, false);
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string source = argv[i];
    Profile p;
    mv::SetBuiltInDefaults(p);
    p.s_Name = ProfileName(source);
    SourceReader reader(source);
    if (!reader.Read(p) || !mv::SaveProfile(p, folder, host)) {
      ++failures;
      continue;
    }
    // Read back what was written: the program itself will read it the same way.
    Profile check;
    check.s_Name = p.s_Name;
    if (!mv::LoadProfile(check, folder, host) || check != p) {
      std::fprintf(stderr, "%s: %s/%s.pfl does not read back as written\n", source.c_str(), folder.c_str(),
                   p.s_Name.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
