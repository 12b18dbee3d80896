#include "profiles/ProfileExtras.h"

#include <charconv>

#include "profiles/ProfileFile.h"

namespace mv {

namespace {

ProfileExtra Text(const char* field, const char* key, std::string Profile::*member) {
  ProfileExtra e{field, key};
  e.text = member;
  return e;
}

ProfileExtra Number(const char* field, const char* key, int Profile::*member) {
  ProfileExtra e{field, key};
  e.number = member;
  return e;
}

}  // namespace

const std::vector<ProfileExtra>& ProfileExtras() {
  static const std::vector<ProfileExtra> extras = {
      Text("s_Infinity", "Infinity", &Profile::s_Infinity),
      Text("s_HexText", "HexText", &Profile::s_HexText),
      Text("s_IncludeScript", "IncludeScript", &Profile::s_IncludeScript),
      Text("s_TargetEngine", "TargetEngine", &Profile::s_TargetEngine),
      Text("s_PrimaryKey", "PrimaryKey", &Profile::s_PrimaryKey),
      Text("s_Unique", "Unique", &Profile::s_Unique),
      Text("s_Check", "Check", &Profile::s_Check),
      Text("s_Default", "Default", &Profile::s_Default),
      Text("s_Constraint", "Constraint", &Profile::s_Constraint),
      Text("s_ForeignKey", "ForeignKey", &Profile::s_ForeignKey),
      Text("s_References", "References", &Profile::s_References),
      Text("s_Deferrable", "Deferrable", &Profile::s_Deferrable),
      Text("s_AddForeignKey", "AddForeignKey", &Profile::s_AddForeignKey),
      Text("s_AutoNumber", "AutoNumber", &Profile::s_AutoNumber),
      Text("s_RowidKey", "RowidKey", &Profile::s_RowidKey),
      Text("s_SetNextValue", "SetNextValue", &Profile::s_SetNextValue),
      Text("s_CurrentTimestamp", "CurrentTimestamp", &Profile::s_CurrentTimestamp),
      Text("s_OnUpdate", "OnUpdate", &Profile::s_OnUpdate),
      Text("s_QuoteOpen", "QuoteOpen", &Profile::s_QuoteOpen),
      Text("s_QuoteClose", "QuoteClose", &Profile::s_QuoteClose),
      Text("s_ReservedWords", "ReservedWords", &Profile::s_ReservedWords),
      Text("s_CreateView", "CreateView", &Profile::s_CreateView),
      Text("s_DropView", "DropView", &Profile::s_DropView),
      Text("s_CreateMaterializedView", "CreateMaterializedView", &Profile::s_CreateMaterializedView),
      Text("s_DropMaterializedView", "DropMaterializedView", &Profile::s_DropMaterializedView),
      Text("s_CreateEnumType", "CreateEnumType", &Profile::s_CreateEnumType),
      Text("s_CreateDomain", "CreateDomain", &Profile::s_CreateDomain),
      Text("s_DropType", "DropType", &Profile::s_DropType),
      Text("s_DelimiterCommand", "DelimiterCommand", &Profile::s_DelimiterCommand),
      Text("s_BodyDelimiter", "BodyDelimiter", &Profile::s_BodyDelimiter),
      Text("s_TableComment", "TableComment", &Profile::s_TableComment),
      Text("s_ColumnComment", "ColumnComment", &Profile::s_ColumnComment),
      Text("s_BeginTransaction", "BeginTransaction", &Profile::s_BeginTransaction),
      Text("s_LoadPreamble", "LoadPreamble", &Profile::s_LoadPreamble),
      Text("s_LoadPostamble", "LoadPostamble", &Profile::s_LoadPostamble),
      Number("i_InsertBytes", "InsertBytes", &Profile::i_InsertBytes),
      Text("s_CopyFrom", "CopyFrom", &Profile::s_CopyFrom),
      Number("b_DataCopy", "DataCopy", &Profile::b_DataCopy),
      Text("s_IndexDescending", "IndexDescending", &Profile::s_IndexDescending),
      Text("s_IndexExpression", "IndexExpression", &Profile::s_IndexExpression),
      Text("s_IndexWhere", "IndexWhere", &Profile::s_IndexWhere),
      Text("s_IndexNulls", "IndexNulls", &Profile::s_IndexNulls),
      Text("s_IndexInclude", "IndexInclude", &Profile::s_IndexInclude),
      Text("s_IndexMethods", "IndexMethods", &Profile::s_IndexMethods),
      Text("s_IndexUsing", "IndexUsing", &Profile::s_IndexUsing),
      Text("s_CreateMethodIndex", "CreateMethodIndex", &Profile::s_CreateMethodIndex),
      Text("s_IndexPrefix", "IndexPrefix", &Profile::s_IndexPrefix),
      Number("b_IndexNamesPerSchema", "IndexNamesPerSchema", &Profile::b_IndexNamesPerSchema),
      Text("s_GeneratedStored", "GeneratedStored", &Profile::s_GeneratedStored),
      Text("s_GeneratedVirtual", "GeneratedVirtual", &Profile::s_GeneratedVirtual),
      Number("b_GeneratedNull", "GeneratedNull", &Profile::b_GeneratedNull),
      Text("s_DropSequence", "DropSequence", &Profile::s_DropSequence),
      Text("s_CreateSequence", "CreateSequence", &Profile::s_CreateSequence),
      Text("s_SetSequence", "SetSequence", &Profile::s_SetSequence),
  };
  return extras;
}

void ClearProfileExtras(Profile& p) {
  for (const ProfileExtra& e : ProfileExtras()) {
    if (e.text) (p.*e.text).clear();
    if (e.number) p.*e.number = 0;
    if (e.list) (p.*e.list).clear();
  }
}

bool ReadProfileExtra(Profile& p, const std::string& key, const std::string& value) {
  for (const ProfileExtra& e : ProfileExtras()) {
    if (key != e.key) continue;
    if (e.text) p.*e.text = value;
    if (e.list) (p.*e.list).push_back(value);
    if (e.number) {
      int v = 0;
      const char* end = value.data() + value.size();
      const auto [at, ec] = std::from_chars(value.data(), end, v);
      if (ec != std::errc() || at != end) return false;
      p.*e.number = v;
    }
    return true;
  }
  return false;
}

std::string WriteProfileExtras(const Profile& p) {
  using pfl::EncodeString;
  std::string out;
  for (const ProfileExtra& e : ProfileExtras()) {
    if (e.text && !(p.*e.text).empty()) out += EncodeString(e.key) + EncodeString(p.*e.text);
    if (e.number && p.*e.number != 0) out += EncodeString(e.key) + EncodeString(std::to_string(p.*e.number));
    if (e.list)
      for (const std::string& item : p.*e.list) out += EncodeString(e.key) + EncodeString(item);
  }
  return out;
}

}  // namespace mv
