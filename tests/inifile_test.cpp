#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "base/AtomicFile.h"
#include "base/IniFile.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using mv::IniFile;

namespace {

// Each file's folders carry its own prefix, so a leftover folder tells which test left it.
struct TempDir : mv::test::TempDir {
  TempDir() : mv::test::TempDir("mv-ini") {}
};

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::string Slurp(const std::string& path) {
  std::string out;
  EXPECT_TRUE(mv::ReadWholeFile(path, out)) << path;
  return out;
}

}  // namespace

TEST(INIFile, PrivateProfileSemantics) {
  IniFile ini;
  ini.Set("Mervale", "Version", "5.0");
  ini.Set("Database", "b_IsCatalog", "0");
  ini.Set("Mervale", "s_WorkingProfile", "Oracle");
  // Replacing keeps the line where it was, whatever the letter case of the name used.
  ini.Set("MERVALE", "version", "5.1");
  EXPECT_EQ(ini.Serialize(), "[Mervale]\nVersion=5.1\ns_WorkingProfile=Oracle\n[Database]\nb_IsCatalog=0\n");

  EXPECT_EQ(ini.Get("mervale", "VERSION"), "5.1");
  EXPECT_TRUE(ini.Has("database", "B_ISCATALOG"));
  EXPECT_EQ(ini.Get("Mervale", "missing"), "");
  EXPECT_FALSE(ini.Has("Mervale", "missing"));
  EXPECT_EQ(ini.Get("Nowhere", "Version"), "");
  EXPECT_FALSE(ini.Has("Nowhere", "Version"));

  ini.RemoveSection("DATABASE");
  EXPECT_FALSE(ini.Has("Database", "b_IsCatalog"));
  EXPECT_EQ(ini.Serialize(), "[Mervale]\nVersion=5.1\ns_WorkingProfile=Oracle\n");
}

TEST(INIFile, ReadsKeysAndValuesAsThePrivateProfileRoutinesDo) {
  IniFile ini;
  ini.Parse(
      "; a comment\n"
      "[ Where Statements ]\n"
      "  obj0 = ORDERS\n"
      "where0=status = 'open' and a==b\n"
      "\twhere1 \t=   inner  blanks stay \t\n"
      "where1=second one is ignored\n"
      "where2 =  \\mv: a\\nb  \n"
      "no equals sign here\n"
      "=no key\n"
      "[Where Statements]\n"
      "obj1=shadowed section\n");
  // Blanks around names and values are ignored; a value is everything else after the first '='.
  EXPECT_EQ(ini.Get("Where Statements", "obj0"), "ORDERS");
  EXPECT_EQ(ini.Get("Where Statements", "where0"), "status = 'open' and a==b");
  EXPECT_EQ(ini.Get("Where Statements", "where1"), "inner  blanks stay");
  EXPECT_EQ(ini.Get("Where Statements", "where2"), " a\nb");  // inside the escapes, as written
  // The first section of a name counts.
  EXPECT_FALSE(ini.Has("Where Statements", "obj1"));
  EXPECT_FALSE(ini.Has("Where Statements", ""));

  // A value with '=' survives a write and a read; blanks around it do not, as in the file.
  ini.Set("Where Statements", "where3", "  x = y = z ");
  EXPECT_EQ(ini.Get("Where Statements", "where3"), "x = y = z");
  IniFile back;
  back.Parse(ini.Serialize());
  EXPECT_EQ(back.Get("Where Statements", "where3"), "x = y = z");
}

TEST(INIFile, NewKeysGoAfterTheLastKeyOfTheirSection) {
  IniFile ini;
  ini.Parse("[A]\na=1\n\n; trailing comment of A\n[B]\nb=2");
  ini.Set("a", "c", "3");
  ini.Set("B", "d", "4");
  ini.Set("C", "e", "5");
  // The file's last line had no line end; it gets one as soon as something follows it.
  EXPECT_EQ(ini.Serialize(), "[A]\na=1\nc=3\n\n; trailing comment of A\n[B]\nb=2\nd=4\n[C]\ne=5\n");
}

TEST(INIFile, CrlfFilesKeepTheirLineEnds) {
  IniFile ini;
  ini.Parse("[Mervale]\r\nVersion=5.0\r\nb_DataType=1\r\n");
  EXPECT_EQ(ini.LineBreak(), "\r\n");
  EXPECT_EQ(ini.Get("Mervale", "Version"), "5.0");  // no stray CR in the value
  ini.Set("Mervale", "b_DataType", "0");
  ini.Set("Ignore Tables", "tab0", "LOG");
  EXPECT_EQ(ini.Serialize(), "[Mervale]\r\nVersion=5.0\r\nb_DataType=0\r\n[Ignore Tables]\r\ntab0=LOG\r\n");
}

TEST(INIFile, LoadAndSaveLeaveAnOrdinaryFileByteForByte) {
  TempDir dir;
  const std::string text =
      "\xEF\xBB\xBF; written by hand\r\n"
      "\r\n"
      "[Mervale]\r\n"
      "Version=5.0\r\n"
      "  s_WorkingProfile = Oracle  \r\n"
      "s_AutoSaveFile=C:\\scripts\\new\\out.sql\r\n"
      "junk line\n"
      "[Database]\n"
      "s_ConnectString=DSN=x;UID=a;PWD=b=c\n"
      "\ttrailing=lone\rCR inside";
  const std::string path = dir / "hand.mvl";
  ASSERT_EQ(mv::WriteFileAtomically(path, text), "");
  IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  EXPECT_EQ(ini.Get("Mervale", "s_AutoSaveFile"), "C:\\scripts\\new\\out.sql");
  EXPECT_EQ(ini.Get("Database", "s_ConnectString"), "DSN=x;UID=a;PWD=b=c");
  ASSERT_TRUE(ini.Save(path));
  EXPECT_EQ(Slurp(path), text);

  // Rewriting a value with itself changes nothing either.
  ini.Set("Mervale", "Version", "5.0");
  EXPECT_EQ(ini.Serialize(), text);
}

TEST(INIFile, AnyInputParsesAndSerializesBackUnchanged) {
  std::mt19937 rng(20240611);
  const std::string alphabet = "[]=;\r\n \t\\abcMV:\xEF\xBB\xBF";
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const size_t len = rng() % 120;
    for (size_t i = 0; i < len; ++i)
      text += (rng() % 4 == 0) ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
    IniFile ini;
    ini.Parse(text);
    ASSERT_EQ(ini.Serialize(), text) << "round " << round;
    // Reads of whatever is in there never fail.
    (void)ini.Get("a", "b");
  }
}

TEST(INIFile, LineBreakValuesAreEncodedAndRoundTrip) {
  const std::string values[] = {
      "status = 'open'\r\nand total > 0",         "line one\nline two\n", "\n",    "lone\rcarriage return",
      "C:\\path\\with\\backslashes\nand a break", "\\mv:looks encoded",   "\\mv:", "\\\\r literal backslashes \\n",
  };
  IniFile ini;
  for (size_t i = 0; i < std::size(values); ++i) ini.Set("Where Statements", "where" + std::to_string(i), values[i]);
  const std::string text = ini.Serialize();
  // Every value stays on one line: one header line plus one line per key.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(std::size(values) + 1));
  EXPECT_EQ(text.find('\r'), std::string::npos);

  IniFile back;
  back.Parse(text);
  for (size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(back.Get("Where Statements", "where" + std::to_string(i)), values[i]) << i;

  EXPECT_EQ(IniFile::EncodeValue("a\nb\\c"), "\\mv:a\\nb\\\\c");
  EXPECT_EQ(IniFile::EncodeValue("\\mvx"), "\\mvx");
  // Ordinary values, backslashes and escape-like text included, are stored as they are.
  for (const std::string plain : {"", "plain", "C:\\new\\table.sql", "\\n", "mv:", " \\mv:", "a=b"}) {
    EXPECT_EQ(IniFile::EncodeValue(plain), plain);
    EXPECT_EQ(IniFile::DecodeValue(plain), plain);
  }
  // Decoding never fails: unknown escapes and a trailing backslash stay as they are.
  EXPECT_EQ(IniFile::DecodeValue("\\mv:a\\tb\\"), "a\\tb\\");
}

TEST(INIFile, LoadAndSaveFiles) {
  TempDir dir;
  IniFile ini;
  EXPECT_TRUE(ini.Load(dir / "missing.ini"));
  EXPECT_EQ(ini.Serialize(), "");

  ini.Set("S", "k", "v");
  ASSERT_TRUE(ini.Save(dir / "new.ini"));
  EXPECT_EQ(ModeOf(dir / "new.ini"), 0644u);
  ASSERT_TRUE(ini.Save(dir / "secret.ini", 0600));
  EXPECT_EQ(ModeOf(dir / "secret.ini"), 0600u);

  // A folder where the file should be cannot be read; the document is left empty.
  fs::create_directory(dir / "adir");
  EXPECT_FALSE(ini.Load(dir / "adir"));
  EXPECT_EQ(ini.Serialize(), "");
  EXPECT_FALSE(ini.Save(dir / "no/such/folder/x.ini"));
  EXPECT_FALSE(ini.LastError().empty());
}

TEST(AtomicFile, ReplacesWholeFilesAndKeepsModes) {
  TempDir dir;
  const std::string path = dir / "f.txt";
  ASSERT_EQ(mv::WriteFileAtomically(path, "first", 0600), "");
  EXPECT_EQ(ModeOf(path), 0600u);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(mv::WriteFileAtomically(path, "second, longer", 0600), "");
  EXPECT_EQ(Slurp(path), "second, longer");
  EXPECT_EQ(ModeOf(path), 0640u);  // an existing file keeps its mode...
  ASSERT_EQ(mv::WriteFileAtomically(path, "x", 0600, true), "");
  EXPECT_EQ(ModeOf(path), 0600u);  // ...unless the mode is forced
  EXPECT_EQ(Slurp(path), "x");

  // Writing through a symbolic link replaces the file it points to and keeps the link.
  const std::string link = dir / "link.txt";
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  ASSERT_EQ(mv::WriteFileAtomically(link, "via link"), "");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(path), "via link");

  // No temporary file is left behind, on success or on failure.
  EXPECT_NE(mv::WriteFileAtomically(dir / "missing/f.txt", "data"), "");
  fs::create_directory(dir / "sub");
  EXPECT_NE(mv::WriteFileAtomically(dir / "sub", "data"), "");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"f.txt", "link.txt", "sub"}));

  std::string data;
  EXPECT_FALSE(mv::ReadWholeFile(dir / "sub", data));
  EXPECT_FALSE(mv::ReadWholeFile(dir / "nothing", data));
  const std::string big(3 * 65536 + 17, 'z');
  ASSERT_EQ(mv::WriteFileAtomically(path, big), "");
  EXPECT_EQ(Slurp(path), big);
}
