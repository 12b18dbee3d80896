#include "profiles/ProfileFile.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "base/AtomicFile.h"
#include "base/Host.h"
#include "base/ProgramFolder.h"
#include "profiles/ProfileExtras.h"
#include "profiles/Substitutions.h"

namespace mv {

namespace pfl {

namespace {

void PutU16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void PutU32(std::string& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

bool GetU8(const std::string& data, size_t& pos, uint32_t& v) {
  if (pos >= data.size()) return false;
  v = static_cast<unsigned char>(data[pos++]);
  return true;
}

bool GetU16(const std::string& data, size_t& pos, uint32_t& v) {
  if (data.size() < 2 || pos > data.size() - 2) return false;
  v = static_cast<unsigned char>(data[pos]) | (static_cast<uint32_t>(static_cast<unsigned char>(data[pos + 1])) << 8);
  pos += 2;
  return true;
}

bool GetU32(const std::string& data, size_t& pos, uint32_t& v) {
  uint32_t lo = 0, hi = 0;
  if (data.size() < 4 || pos > data.size() - 4) return false;
  GetU16(data, pos, lo);
  GetU16(data, pos, hi);
  v = lo | (hi << 16);
  return true;
}

// The length prefix: one byte below 255; else a 16-bit value, where 0xFFFF announces a 32-bit
// length and (only when wideAllowed) 0xFFFE marks 16-bit text whose prefix follows again.
bool ReadLength(const std::string& data, size_t& pos, uint64_t& len, bool& wide, bool wideAllowed) {
  uint32_t b = 0, w = 0, d = 0;
  if (!GetU8(data, pos, b)) return false;
  if (b < 0xFF) {
    len = b;
    return true;
  }
  if (!GetU16(data, pos, w)) return false;
  if (w == 0xFFFE && wideAllowed) {
    wide = true;
    return ReadLength(data, pos, len, wide, false);
  }
  if (w < 0xFFFF) {
    len = w;
    return true;
  }
  if (!GetU32(data, pos, d)) return false;
  len = d;
  return true;
}

}  // namespace

std::string EncodeString(const std::string& s) {
  std::string out;
  const size_t n = s.size();
  out.reserve(n + 7);
  if (n < 0xFF) {
    out += static_cast<char>(n);
  } else if (n < 0xFFFE) {
    out += '\xFF';
    PutU16(out, static_cast<uint32_t>(n));
  } else {
    out += '\xFF';
    PutU16(out, 0xFFFF);
    PutU32(out, static_cast<uint32_t>(n));
  }
  out += s;
  return out;
}

std::string EncodeInt(int v) {
  std::string out;
  PutU32(out, static_cast<uint32_t>(v));
  return out;
}

bool DecodeString(const std::string& data, size_t& pos, std::string& out) {
  uint64_t len = 0;
  bool wide = false;
  if (!ReadLength(data, pos, len, wide, true)) return false;
  // The prefix is checked against what is left before anything is allocated: a hostile or
  // damaged length reads as a file that ends early.
  const uint64_t left = data.size() - pos;
  const uint64_t bytes = wide ? len * 2 : len;
  if (bytes > left) return false;
  if (!wide) {
    out.assign(data, pos, static_cast<size_t>(len));
    pos += static_cast<size_t>(len);
    return true;
  }
  // 16-bit text to the single-byte code page: characters below 0x100 keep their value, any
  // other character (a surrogate pair counts as one) becomes '?'.
  out.clear();
  out.reserve(static_cast<size_t>(len));
  for (uint64_t i = 0; i < len; ++i) {
    uint32_t c = 0;
    GetU16(data, pos, c);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < len) {
      size_t peek = pos;
      uint32_t next = 0;
      GetU16(data, peek, next);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        pos = peek;
        ++i;
      }
    }
    out += c < 0x100 ? static_cast<char>(c) : '?';
  }
  return true;
}

bool DecodeInt(const std::string& data, size_t& pos, int& out) {
  uint32_t v = 0;
  if (!GetU32(data, pos, v)) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace pfl

namespace {

constexpr char kCurrentTag[] = "VER5.0";
constexpr char kTag41[] = "VER4.1";

// Files before "VER5.0" have no WCHAR, WVARCHAR and LONG WVARCHAR entries.
constexpr int kOldBlockIndexes[] = {0, 1, 2, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};

bool HasProfileExtension(const std::string& name) {
  if (name.size() <= 4) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return ext == ".pfl";
}

// The file of a profile: name + ".pfl", or, when only a variant with the extension in other
// letters exists (Oracle.PFL, copied from a system that ignores case), that file, so that it is
// read and later replaced rather than joined by a second file of the same profile.
std::string ProfilePath(const Profile& p, const std::string& folder) {
  const std::string exact = JoinPath(folder, p.s_Name + ".pfl");
  std::error_code ec;
  if (std::filesystem::exists(exact, ec)) return exact;
  std::string found;
  std::filesystem::directory_iterator it(folder.empty() ? std::string(".") : folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() == p.s_Name.size() + 4 && name.compare(0, p.s_Name.size(), p.s_Name) == 0 &&
        HasProfileExtension(name) && (found.empty() || name < found))
      found = name;
  }
  return found.empty() ? exact : JoinPath(folder, found);
}

namespace {

// A record read field by field from pos.
struct RecordReader {
  const std::string& data;
  size_t pos = 0;
  bool Str(std::string& s) { return pfl::DecodeString(data, pos, s); }
  bool Num(int& v) { return pfl::DecodeInt(data, pos, v); }
};

// The fixed fields from the remark marker to the length rule; the two texts older records lack
// take their defaults.
bool ReadFixedFields(RecordReader& r, Profile& p, bool current, bool old) {
  auto str = [&](std::string& s) { return r.Str(s); };
  auto num = [&](int& v) { return r.Num(v); };
  if (!str(p.s_Remarks) || !str(p.s_Execute) || !num(p.b_ExecuteSameLine) || !str(p.s_LineBreak) ||
      !str(p.s_DropTable) || !str(p.s_CreateTable) || !str(p.s_Null) || !str(p.s_NotNull) || !num(p.b_NullBeforeType) ||
      !num(p.i_TableNameCase) || !num(p.i_ColumnNameCase) || !num(p.i_DataTypeCase) || !str(p.s_Delete) ||
      !str(p.s_InsertInto) || !str(p.s_Values) || !str(p.s_NumericEmpty))
    return false;
  if (old)
    p.s_NullString = "NULL";
  else if (!str(p.s_NullString))
    return false;
  if (!current)
    p.s_EmptyString = "''";
  else if (!str(p.s_EmptyString))
    return false;
  return str(p.s_StringDelimiter) && str(p.s_Commit) && num(p.i_CommitLines) && num(p.b_CommitEachTable) &&
         num(p.b_CommitNeedsExecute) && str(p.s_DropIndex) && str(p.s_CreateUniqueIndex) && str(p.s_CreateIndex) &&
         str(p.s_OnTable) && num(p.i_IndexNameCase) && num(p.i_IndexColumnCase) && num(p.b_DropIndexTableName) &&
         num(p.i_LengthRule);
}

// The per-type blocks: every category in the current record, the older ones' few otherwise.
bool ReadTypeBlocks(RecordReader& r, Profile& p, bool current) {
  for (PerType* block :
       {&p.s_TypeTranslation, &p.s_RetrievePrefix, &p.s_RetrieveSuffix, &p.s_ScriptPrefix, &p.s_ScriptSuffix}) {
    if (current) {
      for (std::string& s : *block)
        if (!r.Str(s)) return false;
    } else {
      for (int i : kOldBlockIndexes)
        if (!r.Str((*block)[i])) return false;
    }
  }
  if (current)
    for (int& flag : p.b_FuncOnlyIfValue)
      if (!r.Num(flag)) return false;
  return true;
}

// Counts come from the file: entries are read one at a time, never reserved up front, so a
// huge count in a short file ends at the first missing string.
bool ReadLists(RecordReader& r, Profile& p) {
  int count = 0;
  if (!r.Num(count)) return false;
  p.OmitLengthTypes.clear();
  for (int i = 0; i < count; ++i) {
    std::string s;
    if (!r.Str(s)) return false;
    p.OmitLengthTypes.push_back(std::move(s));
  }
  if (!r.Num(count)) return false;
  p.Substitutions.clear();
  for (int i = 0; i < count; ++i) {
    Substitution sub;
    if (!r.Str(sub.find) || !r.Str(sub.replace)) return false;
    p.Substitutions.push_back(std::move(sub));
  }
  return true;
}

}  // namespace

// Reads the record into p field by field, so that fields read before a failure keep their new
// values. False when the data ends early.
bool ReadRecord(const std::string& data, Profile& p) {
  RecordReader r{data};
  std::string tag;
  if (!r.Str(tag)) return false;
  const bool current = tag == kCurrentTag;
  const bool old = !current && tag != kTag41;
  if (!ReadFixedFields(r, p, current, old) || !ReadTypeBlocks(r, p, current) || !ReadLists(r, p)) return false;
  // Settings added since: key and value pairs after the fixed record, so that a file without
  // them reads as before and a reader that stops at the record ignores them. A pair cut short
  // or a key this program does not know is passed over.
  ClearProfileExtras(p);
  std::string key, value;
  while (r.pos < data.size() && r.Str(key) && r.Str(value)) ReadProfileExtra(p, key, value);
  return true;
}

std::string WriteRecord(const Profile& p) {
  using pfl::EncodeInt;
  using pfl::EncodeString;
  std::string out;
  for (const std::string* s : {&p.s_Remarks, &p.s_Execute}) out += EncodeString(*s);
  out += EncodeInt(p.b_ExecuteSameLine);
  for (const std::string* s : {&p.s_LineBreak, &p.s_DropTable, &p.s_CreateTable, &p.s_Null, &p.s_NotNull})
    out += EncodeString(*s);
  for (int v : {p.b_NullBeforeType, p.i_TableNameCase, p.i_ColumnNameCase, p.i_DataTypeCase}) out += EncodeInt(v);
  for (const std::string* s : {&p.s_Delete, &p.s_InsertInto, &p.s_Values, &p.s_NumericEmpty, &p.s_NullString,
                               &p.s_EmptyString, &p.s_StringDelimiter, &p.s_Commit})
    out += EncodeString(*s);
  for (int v : {p.i_CommitLines, p.b_CommitEachTable, p.b_CommitNeedsExecute}) out += EncodeInt(v);
  for (const std::string* s : {&p.s_DropIndex, &p.s_CreateUniqueIndex, &p.s_CreateIndex, &p.s_OnTable})
    out += EncodeString(*s);
  // b_DropIndexTableName follows the two index case rules in the file.
  for (int v : {p.i_IndexNameCase, p.i_IndexColumnCase, p.b_DropIndexTableName, p.i_LengthRule}) out += EncodeInt(v);
  for (const PerType* block :
       {&p.s_TypeTranslation, &p.s_RetrievePrefix, &p.s_RetrieveSuffix, &p.s_ScriptPrefix, &p.s_ScriptSuffix})
    for (const std::string& s : *block) out += EncodeString(s);
  for (int flag : p.b_FuncOnlyIfValue) out += EncodeInt(flag);
  out += EncodeInt(static_cast<int>(p.OmitLengthTypes.size()));
  for (const std::string& s : p.OmitLengthTypes) out += EncodeString(s);
  out += EncodeInt(static_cast<int>(p.Substitutions.size()));
  for (const Substitution& sub : p.Substitutions) out += EncodeString(sub.find) + EncodeString(sub.replace);
  // Only what is set, so that a profile that does not use them keeps the record as it was.
  out += WriteProfileExtras(p);
  return EncodeString(kCurrentTag) + out;
}

}  // namespace

bool LoadProfile(Profile& p, const std::string& folder, Host& host) {
  const std::string path = ProfilePath(p, folder);
  std::string data;
  if (!ReadWholeFile(path, data)) {
    host.Message("Could not open profile '" + path + "'");
    return false;
  }
  const bool ok = ReadRecord(data, p);
  p.b_Changed = 0;
  if (!ok) return false;
  // A profile may come with a configuration from anyone: its pairs may not blow a value up.
  const std::string refusal = SubstitutionGrowthRefusal(path, p.Substitutions);
  if (!refusal.empty()) {
    host.Message(refusal);
    return false;
  }
  return true;
}

bool SaveProfile(Profile& p, const std::string& folder, Host& host) {
  const std::string path = ProfilePath(p, folder);
  if (!WriteFileAtomically(path, WriteRecord(p)).empty()) {
    host.Message("Could not save profile '" + path + "'");
    return false;
  }
  p.b_Changed = 0;
  return true;
}

void DiscoverProfiles(ProfileList& list, const std::string& folder, std::string& workingName, const Profile& working,
                      Host& host) {
  // The folder is enumerated directly instead of becoming the current directory, and the names
  // are sorted byte-wise so that the order does not depend on the file system.
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder.empty() ? std::string(".") : folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code dirEc;
    if (!HasProfileExtension(name) || it->is_directory(dirEc)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  // A.pfl and A.PFL are one profile on a system that ignores case; here the first one counts.
  std::vector<std::string> seen;

  for (const std::string& name : names) {
    Profile p;
    p.s_Name = name.substr(0, name.size() - 4);
    if (std::find(seen.begin(), seen.end(), p.s_Name) != seen.end()) continue;
    seen.push_back(p.s_Name);
    if (!LoadProfile(p, folder, host)) continue;
    if (workingName == "Default") workingName = p.s_Name;
    list.Append(std::move(p));
  }
  if (list.empty()) {
    host.Message("No profiles are available. Mervale will create a default Profile.");
    list.Append(MakeDefaultProfile(working));
    workingName = "Default";
  }
}

}  // namespace mv
