#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "profiles/ProfileExtras.h"
#include "profiles/ProfileFile.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace mv;
using mv::test::ScriptedHost;

namespace {

// Each file's folders carry its own prefix, so a leftover folder tells which test left it.
struct TempDir : mv::test::TempDir {
  TempDir() : mv::test::TempDir("mv-pfl") {}
};

// Builds files byte by byte, independently of the encoder under test.
struct Bytes {
  std::string data;
  Bytes& U8(unsigned v) {
    data += static_cast<char>(v & 0xFF);
    return *this;
  }
  Bytes& U16(unsigned v) { return U8(v).U8(v >> 8); }
  Bytes& U32(unsigned v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Bytes& Int(int v) { return U32(static_cast<unsigned>(v)); }
  Bytes& Str(const std::string& s) {
    if (s.size() < 255)
      U8(static_cast<unsigned>(s.size()));
    else
      U8(0xFF).U16(static_cast<unsigned>(s.size()));
    data += s;
    return *this;
  }
  Bytes& Wide(const std::vector<unsigned>& units) {
    U8(0xFF).U16(0xFFFE).U8(static_cast<unsigned>(units.size()));
    for (unsigned u : units) U16(u);
    return *this;
  }
};

using mv::test::WritePlain;

std::string Slurp(const std::string& path) {
  std::string out;
  EXPECT_TRUE(ReadWholeFile(path, out)) << path;
  return out;
}

// A profile with a different value in every field.
Profile FullProfile(const std::string& name) {
  Profile p;
  p.s_Name = name;
  p.s_Remarks = "--";
  p.s_Execute = "GO";
  p.b_ExecuteSameLine = 1;
  p.s_LineBreak = "\\";
  p.s_DropTable = "DROP TABLE IF EXISTS";
  p.s_CreateTable = "CREATE TABLE";
  p.s_Null = "NULL";
  p.s_NotNull = "NOT NULL";
  p.b_NullBeforeType = 1;
  p.i_TableNameCase = 1;
  p.i_ColumnNameCase = 2;
  p.i_DataTypeCase = 3;
  p.s_Delete = "DELETE FROM";
  p.s_InsertInto = "INSERT INTO";
  p.s_Values = "VALUES";
  p.s_NumericEmpty = "0";
  p.s_NullString = "NULL";
  p.s_EmptyString = "''";
  p.s_StringDelimiter = "'";
  p.s_Commit = "COMMIT";
  p.i_CommitLines = 1000;
  p.b_CommitEachTable = 1;
  p.b_CommitNeedsExecute = 1;
  p.s_DropIndex = "DROP INDEX";
  p.b_DropIndexTableName = 1;
  p.s_CreateUniqueIndex = "CREATE UNIQUE INDEX";
  p.s_CreateIndex = "CREATE INDEX";
  p.s_OnTable = "ON";
  p.i_IndexNameCase = -1;
  p.i_IndexColumnCase = 2147483647;
  p.i_LengthRule = 2;
  p.OmitLengthTypes = {"DATE", "", "TIMESTAMP"};
  for (int i = 0; i < kTypeCategoryCount; ++i) {
    const std::string n = std::to_string(i);
    p.s_TypeTranslation[i] = "T" + n;
    p.s_RetrievePrefix[i] = "RP" + n + "(";
    p.s_RetrieveSuffix[i] = ")RS" + n;
    p.s_ScriptPrefix[i] = "SP" + n;
    p.s_ScriptSuffix[i] = i % 2 ? "" : "SS" + n;
    p.b_FuncOnlyIfValue[i] = i % 3 == 0;
  }
  p.Substitutions = {{"'", "''"}, {std::string("\0\xFF", 2), ""}, {"\r\n", "\\n"}};
  return p;
}

}  // namespace

TEST(ProfileEncoding, LengthPrefixesAtTheirBoundaries) {
  struct Case {
    size_t length;
    std::string prefix;
  };
  const Case cases[] = {
      {0, std::string(1, '\0')},
      {254, "\xFE"},
      {255, std::string("\xFF\xFF\x00", 3)},
      {65533, "\xFF\xFD\xFF"},
      {65534, std::string("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
      {70000, std::string("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
  };
  for (const Case& c : cases) {
    std::string text(c.length, 'x');
    if (c.length) text.front() = '\xFF';
    const std::string encoded = pfl::EncodeString(text);
    ASSERT_EQ(encoded.size(), c.prefix.size() + c.length) << c.length;
    EXPECT_EQ(encoded.substr(0, c.prefix.size()), c.prefix) << c.length;
    size_t pos = 0;
    std::string back;
    ASSERT_TRUE(pfl::DecodeString(encoded, pos, back)) << c.length;
    EXPECT_EQ(back, text);
    EXPECT_EQ(pos, encoded.size());
  }
  EXPECT_EQ(pfl::EncodeInt(-2), "\xFE\xFF\xFF\xFF");
  size_t pos = 0;
  int v = 0;
  ASSERT_TRUE(pfl::DecodeInt(std::string("\x01\x02\x03\x84", 4), pos, v));
  EXPECT_EQ(v, static_cast<int>(0x84030201u));
  EXPECT_FALSE(pfl::DecodeInt("\x01\x02\x03", pos = 0, v));
}

TEST(ProfileEncoding, SixteenBitStringsBecomeSingleBytes) {
  auto decode = [](const std::string& data, std::string& out) {
    size_t pos = 0;
    return pfl::DecodeString(data, pos, out) && pos == data.size();
  };
  std::string out;
  // é stays as its byte; a character above 0xFF and a surrogate pair each become one '?'.
  ASSERT_TRUE(decode(Bytes().Wide({'A', 0xE9, 0x263A, 0xD83D, 0xDE00, 'Z'}).data, out));
  EXPECT_EQ(out, "A\xE9??Z");
  ASSERT_TRUE(decode(Bytes().Wide({}).data, out));
  EXPECT_EQ(out, "");

  // The inner prefix has the long forms too: 300 characters behind FF FE FF, FF, 300.
  Bytes longWide;
  longWide.U8(0xFF).U16(0xFFFE).U8(0xFF).U16(300);
  for (int i = 0; i < 300; ++i) longWide.U16('a' + i % 26);
  ASSERT_TRUE(decode(longWide.data, out));
  ASSERT_EQ(out.size(), 300u);
  EXPECT_EQ(out.substr(0, 3), "abc");

  // A count of characters runs past the end: two bytes are a character, not one.
  Bytes shortWide;
  shortWide.U8(0xFF).U16(0xFFFE).U8(3).U16('a').U16('b').U8('c');
  EXPECT_FALSE(decode(shortWide.data, out));
}

TEST(ProfileEncoding, HostileLengthsReadAsEndOfData) {
  std::string out;
  size_t pos = 0;
  // 32-bit and wide lengths near 4 G: refused before any allocation.
  EXPECT_FALSE(pfl::DecodeString(Bytes().U8(0xFF).U16(0xFFFF).U32(0xFFFFFFF0).Str("abc").data, pos, out));
  pos = 0;
  EXPECT_FALSE(
      pfl::DecodeString(Bytes().U8(0xFF).U16(0xFFFE).U8(0xFF).U16(0xFFFF).U32(0xFFFFFFFF).U16('a').data, pos, out));
  for (const std::string& cut :
       {std::string(""), std::string("\xFF"), std::string("\xFF\xFF"), std::string("\xFF\xFF\xFF\x01\x00"),
        std::string("\x05"
                    "abcd")}) {
    pos = 0;
    EXPECT_FALSE(pfl::DecodeString(cut, pos, out)) << cut.size();
  }
}

TEST(ProfileFile, RoundTripKeepsEveryField) {
  TempDir dir;
  ScriptedHost host;
  Profile saved = FullProfile("Oracle 9i");
  // Long strings at each length prefix boundary, with bytes that could be taken for markers.
  saved.s_Remarks = std::string(254, 'r');
  saved.s_Execute = std::string(255, 'e');
  saved.s_LineBreak = std::string(65533, '\xFF');
  saved.s_DropTable = std::string(65534, 'd');
  saved.s_ScriptSuffix[22] = std::string(70001, '\0');
  // Every setting after the record, each with a value of its own; their keys must differ.
  std::set<std::string> keys;
  int n = 0;
  for (const ProfileExtra& e : ProfileExtras()) {
    EXPECT_TRUE(keys.insert(e.key).second) << e.key;
    ++n;
    if (e.text) saved.*e.text = std::string(e.key) + " \x01 %s";
    if (e.number) saved.*e.number = n == 1 ? -1 : 1000 * n;
    if (e.list) saved.*e.list = {"", std::string(300, 'l'), e.key};
  }
  saved.b_Changed = 1;
  ASSERT_TRUE(SaveProfile(saved, dir.path, host));
  EXPECT_EQ(saved.b_Changed, 0);
  EXPECT_EQ(Slurp(dir / "Oracle 9i.pfl").substr(0, 7), "\x06VER5.0");

  Profile loaded;
  loaded.s_Name = "Oracle 9i";
  loaded.b_Changed = 1;
  loaded.OmitLengthTypes = {"stale"};
  loaded.Substitutions = {{"stale", "stale"}};
  ASSERT_TRUE(LoadProfile(loaded, dir.path, host));
  EXPECT_EQ(loaded, saved);
  EXPECT_TRUE(host.messages.empty());

  // Settings added since follow the record as key and value pairs: a key this program does not
  // know and a pair cut short are passed over.
  const std::string file = Slurp(dir / "Oracle 9i.pfl");
  for (const std::string& tail : {pfl::EncodeString("Later") + pfl::EncodeString("x"), pfl::EncodeString("Infinity")}) {
    WritePlain(dir / "Oracle 9i.pfl", file + tail);
    ASSERT_TRUE(LoadProfile(loaded, dir.path, host));
    EXPECT_EQ(loaded, saved);
  }

  // A profile with every list empty and every string empty round trips as well.
  Profile empty;
  empty.s_Name = "Empty";
  ASSERT_TRUE(SaveProfile(empty, dir.path, host));
  Profile back;
  back.s_Name = "Empty";
  back.s_Remarks = "was set";
  for (const ProfileExtra& e : ProfileExtras()) {
    if (e.text) back.*e.text = "was set";
    if (e.number) back.*e.number = 7;
    if (e.list) back.*e.list = {"was set"};
  }
  ASSERT_TRUE(LoadProfile(back, dir.path, host));
  EXPECT_EQ(back, empty);
}

TEST(ProfileFile, OlderVersionsFillTheMissingFields) {
  // The 20-string blocks of files before VER5.0 skip WCHAR, WVARCHAR and LONG WVARCHAR.
  const int oldIndexes[] = {0, 1, 2, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
  auto build = [](const std::string& tag, bool withNullString) {
    Bytes b;
    b.Str(tag).Str("REM").Str(";").Int(1).Str("").Str("DROP TABLE").Str("CREATE TABLE").Str("NULL").Str("NOT NULL");
    b.Int(1).Int(1).Int(2).Int(0).Str("DELETE FROM").Str("INSERT INTO").Str("VALUES").Str("0");
    if (withNullString) b.Str("null-literal");
    b.Str("\"").Str("COMMIT").Int(50).Int(1).Int(0);
    b.Str("DROP INDEX").Str("CREATE UNIQUE INDEX").Str("CREATE INDEX").Str("ON").Int(2).Int(1).Int(1).Int(2);
    for (const char* block : {"T", "RP", "RS", "SP", "SS"})
      for (int i = 0; i < 20; ++i) b.Str(block + std::to_string(i));
    b.Int(1).Str("DATE");
    b.Int(1).Str("'").Str("''");
    return b.data;
  };

  for (const bool v41 : {true, false}) {
    SCOPED_TRACE(v41 ? "VER4.1" : "VER3.0");
    TempDir dir;
    ScriptedHost host;
    WritePlain(dir / "Old.pfl", build(v41 ? "VER4.1" : "VER3.0", v41));
    Profile p;
    p.s_Name = "Old";
    p.s_TypeTranslation[3] = "kept";  // entries the old file has none for keep their values
    p.b_FuncOnlyIfValue[0] = 1;
    p.s_EmptyString = "overwritten";
    ASSERT_TRUE(LoadProfile(p, dir.path, host));
    EXPECT_EQ(p.s_NullString, v41 ? "null-literal" : "NULL");
    EXPECT_EQ(p.s_EmptyString, "''");
    EXPECT_EQ(p.s_StringDelimiter, "\"");
    EXPECT_EQ(p.i_CommitLines, 50);
    EXPECT_EQ(p.i_IndexNameCase, 2);
    EXPECT_EQ(p.i_IndexColumnCase, 1);
    EXPECT_EQ(p.b_DropIndexTableName, 1);
    EXPECT_EQ(p.i_LengthRule, 2);
    for (int k = 0; k < 20; ++k) {
      EXPECT_EQ(p.s_TypeTranslation[oldIndexes[k]], "T" + std::to_string(k));
      EXPECT_EQ(p.s_ScriptSuffix[oldIndexes[k]], "SS" + std::to_string(k));
    }
    EXPECT_EQ(p.s_TypeTranslation[3], "kept");
    EXPECT_EQ(p.s_TypeTranslation[4], "");
    EXPECT_EQ(p.s_RetrievePrefix[5], "");
    EXPECT_EQ(p.b_FuncOnlyIfValue[0], 1);
    EXPECT_EQ(p.OmitLengthTypes, std::vector<std::string>{"DATE"});
    ASSERT_EQ(p.Substitutions.size(), 1u);
    EXPECT_EQ(p.Substitutions[0].replace, "''");

    // Saving converts to VER5.0, which reads back the same.
    ASSERT_TRUE(SaveProfile(p, dir.path, host));
    EXPECT_EQ(Slurp(dir / "Old.pfl").substr(0, 7), "\x06VER5.0");
    Profile again;
    again.s_Name = "Old";
    ASSERT_TRUE(LoadProfile(again, dir.path, host));
    EXPECT_EQ(again, p);
  }
}

TEST(ProfileFile, SixteenBitVersionTagIsRecognised) {
  TempDir dir;
  ScriptedHost host;
  Profile saved = FullProfile("Wide");
  ASSERT_TRUE(SaveProfile(saved, dir.path, host));
  std::string data = Slurp(dir / "Wide.pfl");
  data = Bytes().Wide({'V', 'E', 'R', '5', '.', '0'}).data + data.substr(7);
  WritePlain(dir / "Wide.pfl", data);
  Profile loaded;
  loaded.s_Name = "Wide";
  ASSERT_TRUE(LoadProfile(loaded, dir.path, host));
  EXPECT_EQ(loaded, saved);
}

TEST(ProfileFile, TruncatedFilesFailSilently) {
  TempDir dir;
  ScriptedHost host;
  Profile saved = FullProfile("Cut");
  saved.s_CreateTable = std::string(300, 'c');  // a 3-byte prefix among the cut points
  ASSERT_TRUE(SaveProfile(saved, dir.path, host));
  const std::string full = Slurp(dir / "Cut.pfl");

  // Every possible end of file: inside each prefix, each string, each integer and each count.
  for (size_t len = 0; len < full.size(); ++len) {
    WritePlain(dir / "Cut.pfl", full.substr(0, len));
    Profile p;
    p.s_Name = "Cut";
    p.b_Changed = 1;
    ASSERT_FALSE(LoadProfile(p, dir.path, host)) << "length " << len;
    ASSERT_EQ(p.b_Changed, 0);
  }
  EXPECT_TRUE(host.messages.empty());

  // Fields read before the end keep their new values.
  WritePlain(dir / "Cut.pfl", full.substr(0, 7 + 3 + 3 + 4));
  Profile partial;
  partial.s_Name = "Cut";
  EXPECT_FALSE(LoadProfile(partial, dir.path, host));
  EXPECT_EQ(partial.s_Remarks, "--");
  EXPECT_EQ(partial.s_Execute, "GO");
  EXPECT_EQ(partial.b_ExecuteSameLine, 1);
  EXPECT_EQ(partial.s_LineBreak, "");

  // Long prefixes cut in the middle, and lengths or counts far beyond the end of the file.
  const std::string head = Bytes().Str("VER5.0").data;
  for (const std::string& tail :
       {Bytes().U8(0xFF).U16(0xFFFF).U32(65534).data + std::string(100, 'x'),
        Bytes().U8(0xFF).U16(0xFFFF).U16(0xFFFE).data, Bytes().U8(0xFF).U16(0xFFFF).U32(0x7FFFFFFF).data}) {
    WritePlain(dir / "Cut.pfl", head + tail);
    Profile p;
    p.s_Name = "Cut";
    EXPECT_FALSE(LoadProfile(p, dir.path, host));
  }
  std::string hugeCount = full;
  // Behind the OmitLengthTypes count: its three strings, the pair count and the three pairs.
  const size_t countsAt = full.size() - 4 - (5 + 1 + 10) - 4 - (2 + 3 + 3 + 1 + 3 + 3);
  ASSERT_EQ(full.substr(countsAt, 4), pfl::EncodeInt(3));  // the OmitLengthTypes count
  hugeCount.replace(countsAt, 4, pfl::EncodeInt(0x7FFFFFFF));
  WritePlain(dir / "Cut.pfl", hugeCount);
  Profile p;
  p.s_Name = "Cut";
  EXPECT_FALSE(LoadProfile(p, dir.path, host));
}

TEST(ProfileFile, OpenAndSaveFailuresAreReported) {
  TempDir dir;
  ScriptedHost host;
  Profile p = FullProfile("Nope");
  const Profile before = p;
  EXPECT_FALSE(LoadProfile(p, dir.path, host));
  EXPECT_EQ(host.messages, std::vector<std::string>{"Could not open profile '" + dir / "Nope.pfl" + "'"});
  EXPECT_EQ(p, before);

  host.messages.clear();
  p.b_Changed = 1;
  const std::string missing = dir / "no-such-folder";
  EXPECT_FALSE(SaveProfile(p, missing, host));
  EXPECT_EQ(host.messages, std::vector<std::string>{"Could not save profile '" + missing + "/Nope.pfl'"});
  EXPECT_EQ(p.b_Changed, 1);
}

TEST(ProfileDiscovery, LoadsEveryProfileInByteOrder) {
  TempDir dir;
  ScriptedHost host;
  for (const char* name : {"b", "A", "Default"}) {
    Profile p = FullProfile(name);
    p.s_Remarks = std::string("marker of ") + name;
    ASSERT_TRUE(SaveProfile(p, dir.path, host));
  }
  fs::rename(dir / "A.pfl", dir / "A.PFL");  // the extension in any letter case; the name loses it
  WritePlain(dir / "Broken.pfl", "\x06VER5.0\x02");
  WritePlain(dir / "notes.txt", "not a profile");
  WritePlain(dir / ".pfl", "no name");
  fs::create_directory(dir / "Folder.pfl");

  ProfileList list;
  std::string workingName = "Default";
  Profile working;
  DiscoverProfiles(list, dir.path, workingName, working, host);
  std::vector<std::string> names;
  for (const Profile& p : list) names.push_back(p.s_Name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "Default", "b"}));
  EXPECT_EQ(list[0].s_Remarks, "marker of A");
  EXPECT_EQ(list[1].s_Remarks, "marker of Default");
  // The working name was "Default": the first profile that loads takes its place.
  EXPECT_EQ(workingName, "A");
  EXPECT_TRUE(host.messages.empty());
  // Saved again, the profile replaces its own file instead of adding A.pfl beside it.
  list[0].s_Remarks = "changed";
  ASSERT_TRUE(SaveProfile(list[0], dir.path, host));
  EXPECT_FALSE(fs::exists(dir / "A.pfl"));
  Profile reread;
  reread.s_Name = "A";
  ASSERT_TRUE(LoadProfile(reread, dir.path, host));
  EXPECT_EQ(reread.s_Remarks, "changed");

  // Default.pfl first: the working name is still "Default" after it, so the next one wins.
  fs::remove(dir / "A.PFL");
  list.clear();
  workingName = "Default";
  DiscoverProfiles(list, dir.path, workingName, working, host);
  EXPECT_EQ(workingName, "b");

  // A name other than "Default" stays as it is.
  list.clear();
  workingName = "Mine";
  DiscoverProfiles(list, dir.path, workingName, working, host);
  EXPECT_EQ(workingName, "Mine");
  EXPECT_EQ(list.size(), 2u);
}

TEST(ProfileDiscovery, CreatesTheDefaultProfileWhenNoneLoads) {
  TempDir dir;
  ScriptedHost host;
  WritePlain(dir / "Truncated.pfl", "\x06VER5.0\x03RE");
  ProfileList list;
  std::string workingName = "Gone";
  Profile working;
  working.i_TableNameCase = 1;
  working.i_LengthRule = 2;
  DiscoverProfiles(list, dir.path, workingName, working, host);
  EXPECT_EQ(host.messages,
            std::vector<std::string>{"No profiles are available. Mervale will create a default Profile."});
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].s_Name, "Default");
  EXPECT_EQ(list[0].i_TableNameCase, 1);
  EXPECT_EQ(list[0].i_LengthRule, 2);
  EXPECT_EQ(workingName, "Default");
  // Nothing is written to disk.
  EXPECT_FALSE(fs::exists(dir / "Default.pfl"));

  host.messages.clear();
  list.clear();
  DiscoverProfiles(list, dir / "missing-folder", workingName, working, host);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST(ProfileFile, SubstitutionsThatCouldBlowAValueUpAreRefused) {
  TempDir dir;
  ScriptedHost host;
  struct Case {
    int pairs;
    std::string find, replace;
    bool loads;
  };
  // Pairs that double an apostrophe compound; the shipped profiles' stay far below the bound.
  const Case cases[] = {{30, "'", "''", false},
                        {7, "'", "''", false},
                        {6, "'", "''", true},
                        {1, "a", std::string(64, 'b'), true},
                        {1, "a", std::string(65, 'b'), false},
                        {40, "ab", "b", true}};
  for (const Case& c : cases) {
    Profile p;
    p.s_Name = "Grow";
    for (int i = 0; i < c.pairs; ++i) p.Substitutions.push_back({c.find, c.replace});
    ASSERT_TRUE(SaveProfile(p, dir.path, host));
    host.messages.clear();
    Profile loaded;
    loaded.s_Name = "Grow";
    EXPECT_EQ(LoadProfile(loaded, dir.path, host), c.loads) << c.pairs << " x " << c.replace;
    if (c.loads) {
      EXPECT_TRUE(host.messages.empty());
    } else {
      ASSERT_EQ(host.messages.size(), 1u);
      EXPECT_NE(host.messages[0].find("its substitutions could make a value more than 64 times longer"),
                std::string::npos)
          << host.messages[0];
    }
  }
}
