// Output for a Linux user's tools: scripts that end with a line end and compare well from run
// to run, one RFC 4180 file per table, one script per table with its loader and manifest.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>

#include "base/Sha256.h"
#include "run/LineFilter.h"
#include "run/RowWriter.h"
#include "run/TableFolder.h"
#include "support/BatchScript.h"
#include "support/PgServer.h"
#include "support/TempDir.h"
#include "support/UniqueName.h"

namespace mv {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::Slurp;
using test::SplitLines;
using test::WriteText;

TEST(LineFilter, LineEndsAndTrailingBlanksAcrossPiecesButNeverInsideValues) {
  struct Case {
    std::vector<std::string> pieces;  // a piece starting with '=' is a value, passed verbatim
    bool lineFeeds, trim;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{"CREATE TABLE t\t\t\r\n(\t\t\r\n"}, true, true, "CREATE TABLE t\n(\n"},
      {{"a \t", "\t", "\r", "\nb"}, false, true, "a\r\nb"},
      {{"a  \r\n"}, true, false, "a  \n"},
      // A carriage return without a line feed is text, and so are the blanks before text.
      {{"a\rb  c\r"}, true, true, "a\rb  c\r"},
      {{"VALUES ( ", "='x  \r\ny  '", " );  \r\n"}, true, true, "VALUES ( 'x  \r\ny  ' );\n"},
      {{"x  ", "=  v"}, true, true, "x    v"},
  };
  for (const Case& c : cases) {
    LineFilter f;
    f.Set(c.lineFeeds, c.trim);
    std::string out;
    for (const std::string& p : c.pieces) {
      if (!p.empty() && p[0] == '=')
        f.Verbatim(p.substr(1), out);
      else
        f.Filter(p, out);
    }
    f.Finish(out);
    EXPECT_EQ(out, c.expected) << c.pieces[0];
  }
}

TEST(CsvField, QuotedOnlyWhereNeededAndNullApartFromEmpty) {
  struct Case {
    std::string value;
    bool isNull;
    std::string field;
  };
  const std::vector<Case> cases = {
      {"plain", false, "plain"},
      {"", true, ""},
      {"", false, "\"\""},
      {"a,b", false, "\"a,b\""},
      {"O\"Brien", false, "\"O\"\"Brien\""},
      {"l1\nl2", false, "\"l1\nl2\""},
      {"cr\r", false, "\"cr\r\""},
      {"\\.", false, "\"\\.\""},
      {" lead", false, " lead"},
      {"Zoë ☕", false, "Zoë ☕"},
      {"O'Brien", false, "O'Brien"},
  };
  for (const Case& c : cases) {
    std::string row;
    AppendCsvField(row, c.value, c.isNull);
    EXPECT_EQ(row, c.field) << c.value;
  }
}

TEST(Sha256, KnownDigestsWhateverThePieces) {
  const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {two, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
  };
  for (const auto& [text, digest] : cases) {
    for (size_t step : {size_t(1), size_t(7), size_t(64), text.size() + 1}) {
      Sha256 sha;
      for (size_t at = 0; at < text.size(); at += step) sha.Add(std::string_view(text).substr(at, step));
      EXPECT_EQ(sha.Hex(), digest) << text.size() << " in pieces of " << step;
    }
  }
}

TEST(TableFolder, FileNamesAreSafeAndUniqueAndOnlyWholeTablesAreListed) {
  test::TempDir dir("mv-folder");
  TableFolder folder(dir / "out", ".sql", {"load.sql", TableFolder::kManifest});
  ASSERT_EQ(folder.Prepare(), "");
  const std::vector<std::pair<std::string, std::string>> names = {
      {"Orders", "Orders.sql"},    {"orders", "orders-2.sql"}, {"a/b", "a_b.sql"},
      {"a_b", "a_b-2.sql"},        {"load", "load-2.sql"},     {"", "_.sql"},
      {".hidden", "_.hidden.sql"}, {"Zoë", "Zoë.sql"},
  };
  for (size_t i = 0; i < names.size(); ++i) {
    TableFile* f = folder.Open(i, names[i].first);
    ASSERT_NE(f, nullptr) << names[i].first;
    EXPECT_TRUE(f->Write("-- " + names[i].first + "\n"));
    f->Suspend();
    EXPECT_EQ(folder.Entries()[i].file, names[i].second);
  }
  // Nothing takes its name before its table is whole.
  EXPECT_FALSE(fs::exists(dir / "out/Orders.sql"));
  for (size_t i = 0; i < names.size(); ++i) {
    if (i == 2)
      folder.Abandon(i, "the table could not be read whole");
    else
      EXPECT_TRUE(folder.Finish(i, static_cast<long long>(i)));
  }
  ASSERT_EQ(folder.WriteManifest(), "");
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir / "out")) left.push_back(e.path().filename().string());
  EXPECT_EQ(left.size(), names.size());  // seven files and the manifest: no temporary file stays
  EXPECT_FALSE(fs::exists(dir / "out/a_b.sql"));
  const std::vector<std::string> manifest = SplitLines(Slurp(dir / "out/manifest.tsv"));
  ASSERT_EQ(manifest.size(), names.size());
  EXPECT_EQ(manifest[0], "table\trows\tfile\tsha256");
  // sha256sum's digest of "-- Orders\n".
  EXPECT_EQ(manifest[1], "Orders\t0\tOrders.sql\t40270f42ea05183a5ae6df993beeee506d2a42bb9b0b86b8a990e811fb33314d");
}

// mervale-batch over a SQLite file, as a user runs it.
class TableFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    db = dir / "src.db";
    test::SqliteRun(db, R"SQL(
-- INT, not INTEGER: the key is no row id, so SQLite returns the rows in their own order.
CREATE TABLE people (id INT PRIMARY KEY, name TEXT, note TEXT, score REAL);
INSERT INTO people VALUES (3, 'O''Brien', 'a,b', 1.5), (1, 'Zoë ☕', 'line1
line2', NULL), (2, 'quote"d', '', 2.25), (4, NULL, 'trail  ', -0.5);
CREATE TABLE nokey (a TEXT, b INTEGER);
INSERT INTO nokey VALUES ('b', 2), ('a', 1), ('a', 0), ('c', NULL);
CREATE TABLE empty_one (x TEXT);
)SQL",
                    dir.path);
  }
  ProcessResult Batch(std::vector<std::string> args) {
    args.insert(args.begin(), {MV_BATCH_PATH, "--connect", "DRIVER=SQLite3;Database=" + db.string(), "--profile",
                               "SQLite", "--progress", "none"});
    return test::RunProcess(args, {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg")});
  }
  std::string Rows(const fs::path& file, const std::string& table) {
    return test::SqliteRun(
        file,
        "SELECT quote(" +
            std::string(table == "nokey" ? "a), quote(b)" : "id), quote(name), quote(note), quote(score)") + " FROM " +
            table + " ORDER BY 1, 2;",
        dir.path);
  }
  test::TempDir dir{"mv-tablefiles"};
  fs::path db;
};

TEST_F(TableFiles, EveryScriptEndsWithALineEndAndEachDiffOptionDoesItsPart) {
  struct Case {
    std::vector<std::string> args;
    std::function<bool(const std::string&)> holds;
    const char* what;
  };
  const auto hasCr = [](const std::string& s) { return s.find('\r') != std::string::npos; };
  const auto trailing = [](const std::string& s) { return std::regex_search(s, std::regex("[ \t]\r?\n")); };
  // By the key where there is one, by every column where there is none.
  const auto keyOrder = [](const std::string& s) {
    const auto before = [&](const char* a, const char* b) { return s.find(a) < s.find(b); };
    return before("( 1,", "( 2,") && before("( 2,", "( 3,") && before("( 'a', 0 )", "( 'a', 1 )") &&
           before("( 'a', 1 )", "( 'b', 2 )");
  };
  const auto timed = [](const std::string& s) { return s.find("Elapsed Time: ") != std::string::npos; };
  const std::vector<Case> cases = {
      {{}, [&](const std::string& s) { return hasCr(s) && trailing(s) && !keyOrder(s) && timed(s); }, "defaults"},
      {{"--line-feeds"}, [&](const std::string& s) { return !hasCr(s) && trailing(s); }, "--line-feeds"},
      {{"--trim-line-ends"}, [&](const std::string& s) { return hasCr(s) && !trailing(s); }, "--trim-line-ends"},
      {{"--order-rows"}, [&](const std::string& s) { return keyOrder(s) && hasCr(s); }, "--order-rows"},
      {{"--no-elapsed-time"}, [&](const std::string& s) { return !timed(s) && hasCr(s); }, "--no-elapsed-time"},
      {{"--diff-friendly", "--elapsed-time"},
       [&](const std::string& s) { return !hasCr(s) && !trailing(s) && keyOrder(s) && timed(s); },
       "--diff-friendly with the time back"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--output", dir / "s.sql"});
    const ProcessResult r = Batch(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string script = Slurp(dir / "s.sql");
    EXPECT_TRUE(c.holds(script)) << c.what << "\n" << script;
    EXPECT_EQ(script.back(), '\n') << c.what;
    // The values keep their own blanks and line ends whatever the options.
    EXPECT_NE(script.find("'line1\nline2'"), std::string::npos) << c.what;
    EXPECT_NE(script.find("'trail  '"), std::string::npos) << c.what;
  }
  // An appended statement is a statement, not part of the last remark.
  ASSERT_EQ(Batch({"--output", dir / "s.sql"}).status, 0);
  WriteText(dir / "load.sql", Slurp(dir / "s.sql") + "CREATE TABLE appended (x);\n");
  test::SqliteRun(dir / "copy.db", ".read " + (dir / "load.sql") + "\n", dir.path);
  EXPECT_EQ(Rows(dir / "copy.db", "people"), Rows(db, "people"));
  EXPECT_EQ(test::SqliteRun(dir / "copy.db", "SELECT count(*) FROM sqlite_master WHERE name = 'appended';", dir.path),
            "1\n");
}

TEST_F(TableFiles, DiffFriendlyRunsDifferOnlyInTheRowsThatChanged) {
  ASSERT_EQ(Batch({"--diff-friendly", "--output", dir / "a.sql"}).status, 0);
  ASSERT_EQ(Batch({"--diff-friendly", "--output", dir / "b.sql"}).status, 0);
  EXPECT_EQ(Slurp(dir / "a.sql"), Slurp(dir / "b.sql"));
  // The engine's own order changes with the update (the row moves); the script's does not.
  test::SqliteRun(db, "UPDATE nokey SET b = 9 WHERE a = 'b'; DELETE FROM people WHERE id = 2; VACUUM;", dir.path);
  ASSERT_EQ(Batch({"--diff-friendly", "--output", dir / "c.sql"}).status, 0);
  const std::vector<std::string> a = SplitLines(Slurp(dir / "a.sql")), c = SplitLines(Slurp(dir / "c.sql"));
  // The old script without the deleted row's line (a row in the middle of a statement of
  // several) and with the one changed value is the new script, line for line.
  const auto holding = [](const std::string& text) {
    return [text](const std::string& line) { return line.find(text) != std::string::npos; };
  };
  const auto row = std::find_if(a.begin(), a.end(), holding("( 2, 'quote\"d', '', 2.25 ),"));
  ASSERT_NE(row, a.end());
  std::vector<std::string> expected(a.begin(), row);
  expected.insert(expected.end(), row + 1, a.end());
  const auto changed = std::find_if(expected.begin(), expected.end(), holding("( 'b', 2 )"));
  ASSERT_NE(changed, expected.end());
  changed->replace(changed->find("( 'b', 2 )"), 10, "( 'b', 9 )");
  EXPECT_EQ(c, expected);
}

TEST_F(TableFiles, CsvFilesLoadBackIntoSqlite) {
  const ProcessResult r = Batch({"--csv-dir", dir / "csv", "--output", dir / "s.sql"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(dir / "csv/empty_one.csv"), "x\r\n");
  EXPECT_NE(Slurp(dir / "s.sql").find("--  4 rows written to file " + (dir / "csv/people.csv")), std::string::npos);
  EXPECT_EQ(Slurp(dir / "s.sql").find("INSERT"), std::string::npos);
  test::SqliteRun(dir / "copy.db",
                  "CREATE TABLE people (id INT PRIMARY KEY, name TEXT, note TEXT, score REAL);\n"
                  "CREATE TABLE nokey (a TEXT, b INTEGER);\n"
                  ".import --csv --skip 1 " +
                      (dir / "csv/people.csv") +
                      " people\n"
                      ".import --csv --skip 1 " +
                      (dir / "csv/nokey.csv") + " nokey\n",
                  dir.path);
  // sqlite3 reads every empty field as the empty text: NULL comes back as ''.
  const std::string nulls =
      "UPDATE people SET name = NULL WHERE name = ''; UPDATE people SET score = NULL WHERE "
      "score = ''; UPDATE nokey SET b = NULL WHERE b = '';";
  test::SqliteRun(dir / "copy.db", nulls, dir.path);
  EXPECT_EQ(Rows(dir / "copy.db", "people"), Rows(db, "people"));
  EXPECT_EQ(Rows(dir / "copy.db", "nokey"), Rows(db, "nokey"));
  // The empty text stays apart from NULL in the file itself.
  EXPECT_NE(Slurp(dir / "csv/people.csv").find("2,\"quote\"\"d\",\"\",2.25\r\n"), std::string::npos);
  EXPECT_NE(Slurp(dir / "csv/people.csv").find("4,,trail  ,-0.5\r\n"), std::string::npos);
}

TEST_F(TableFiles, OutputDirLoadsThroughItsLoaderAndLeavesAFailedTableOut) {
  ProcessResult r = Batch({"--output-dir", dir / "out", "--output", dir / "s.sql"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Slurp(dir / "out/load.sql"), ".read people.sql\n.read nokey.sql\n.read empty_one.sql\n");
  EXPECT_EQ(Slurp(dir / "s.sql").find("CREATE TABLE"), std::string::npos);
  // As a user runs it: from the folder.
  ProcessResult load = test::RunProcess({"sqlite3", "-bail", "../copy.db"}, {}, dir / "out/load.sql", dir / "out");
  ASSERT_EQ(load.status, 0) << load.err;
  for (const char* t : {"people", "nokey"}) EXPECT_EQ(Rows(dir / "copy.db", t), Rows(db, t)) << t;
  // The manifest's checksums are sha256sum's.
  const ProcessResult sums = test::RunProcess(
      {"sh", "-c", "tail -n +2 manifest.tsv | awk -F'\\t' '{print $4 \"  \" $3}' | sha256sum -c"}, {}, {}, dir / "out");
  EXPECT_EQ(sums.status, 0) << sums.out << sums.err;
  EXPECT_EQ(sums.out, "people.sql: OK\nnokey.sql: OK\nempty_one.sql: OK\n");
  EXPECT_NE(Slurp(dir / "out/manifest.tsv").find("\npeople\t4\tpeople.sql\t"), std::string::npos);

  // A table whose rows cannot be read: named, its file left out, the others whole.
  fs::remove_all(dir / "out");
  r = Batch({"--output-dir", dir / "out", "--where", "nokey=no_such_column = 1"});
  EXPECT_EQ(r.status, 6) << r.err;
  EXPECT_NE(r.err.find("  nokey\n"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("ERROR: The script of table nokey was left out of"), std::string::npos) << r.out;
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir / "out")) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"empty_one.sql", "load.sql", "manifest.tsv", "people.sql"}));
  EXPECT_EQ(Slurp(dir / "out/load.sql"), ".read people.sql\n.read empty_one.sql\n");
}

TEST_F(TableFiles, AFolderThatCannotBeMadeIsAnErrorNotAFallback) {
  WriteText(dir / "plain", "a file");
  const ProcessResult r = Batch({"--csv-dir", dir / "plain", "--output", dir / "s.sql"});
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_NE(r.err.find("is not a folder. Nothing was scripted."), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(dir / "plain"), "a file");
}

// PostgreSQL: COPY ... CSV HEADER reads every value back, NULL apart from the empty text; psql
// runs the loader of one script per table.
TEST(TableFilesPg, CsvCopiesBackExactlyAndTheLoaderRebuildsTheTables) {
  test::PgServer& pg = test::PgServer::Instance();
  const std::string src = test::UniqueDbName("tf_src"), dst = test::UniqueDbName("tf_dst");
  pg.CreateDatabase(src);
  pg.CreateDatabase(dst);
  const std::string table = R"SQL(CREATE TABLE t (id integer PRIMARY KEY, s text, v varchar(20), n numeric(8,2));)SQL";
  pg.RunSql(src, table + R"SQL(
INSERT INTO t VALUES (1, 'O''Brien, "Jr"', '', 1.5), (2, NULL, 'x', NULL), (3, E'two\nlines\r\nand cr', 'Zoë ☕', -2),
  (4, '\.', ' lead ', 0), (5, '', NULL, 3);)SQL");
  test::TempDir dir("mv-tablefiles-pg");
  const ProcessResult r = test::RunProcess(
      {MV_BATCH_PATH, "--connect", pg.ConnectString(src), "--owner", "public", "--profile", "PostgreSQL", "--csv-dir",
       dir / "csv", "--output-dir", dir / "out", "--progress", "none", "--output", dir / "s.sql"},
      {"MERVALE_HOME=" MV_BINARY_DIR, "XDG_CONFIG_HOME=" + (dir / "xdg")});
  ASSERT_EQ(r.status, 0) << r.err;
  pg.RunScript(dst, dir / "out/load.sql");
  pg.RunSql(dst, "\\copy t FROM '" + (dir / "csv/t.csv") + "' WITH (FORMAT csv, HEADER)");
  const std::string rows = "SELECT id, quote_nullable(s), quote_nullable(v), quote_nullable(n) FROM t ORDER BY id;";
  EXPECT_EQ(pg.RunSql(dst, rows), pg.RunSql(src, rows));
  EXPECT_EQ(pg.RunSql(dst, "SELECT count(*), count(s), count(v) FROM t;"), "5|4|4\n");
}

}  // namespace
}  // namespace mv
