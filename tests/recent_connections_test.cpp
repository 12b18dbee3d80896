// The data source chooser's recent connections: newest first, no passwords, hostile entries
// left out.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/SettingsStore.h"
#include "db/RecentConnections.h"
#include "support/TempDir.h"

namespace mv {
namespace {

using List = std::vector<std::string>;

TEST(RecentConnections, NewestFirstWithoutPasswordsAndBounded) {
  test::TempDir dir("mv-recent");
  SettingsStore settings(dir / "Mervale.ini");
  const struct {
    std::string remembered;
    List expected;
  } steps[] = {
      {"DRIVER=SQLite3;Database=/data/a.db", {"DRIVER=SQLite3;Database=/data/a.db"}},
      // Every spelling of a password is taken out, the rest kept.
      {"DRIVER={PostgreSQL ANSI};SERVER=h;UID=me;PWD=s3cret;",
       {"DRIVER={PostgreSQL ANSI};SERVER=h;UID=me;", "DRIVER=SQLite3;Database=/data/a.db"}},
      {"DSN=sales; Password =x;UID=y;pwd={a;b}",
       {"DSN=sales;UID=y;", "DRIVER={PostgreSQL ANSI};SERVER=h;UID=me;", "DRIVER=SQLite3;Database=/data/a.db"}},
      // A braced password after a blank parses apart: no piece of it may stay, so none is kept.
      {"DSN=other;PWD = {a;b}",
       {"DSN=sales;UID=y;", "DRIVER={PostgreSQL ANSI};SERVER=h;UID=me;", "DRIVER=SQLite3;Database=/data/a.db"}},
      // Used again: moves to the top, once.
      {"DRIVER=SQLite3;Database=/data/a.db",
       {"DRIVER=SQLite3;Database=/data/a.db", "DSN=sales;UID=y;", "DRIVER={PostgreSQL ANSI};SERVER=h;UID=me;"}},
      // Nothing that could not be kept whole.
      {std::string(600, 'x'),
       {"DRIVER=SQLite3;Database=/data/a.db", "DSN=sales;UID=y;", "DRIVER={PostgreSQL ANSI};SERVER=h;UID=me;"}},
      {"", {"DRIVER=SQLite3;Database=/data/a.db", "DSN=sales;UID=y;", "DRIVER={PostgreSQL ANSI};SERVER=h;UID=me;"}},
  };
  for (const auto& s : steps) {
    RecentConnections::Remember(settings, s.remembered);
    EXPECT_EQ(RecentConnections::Load(settings), s.expected) << s.remembered;
    EXPECT_EQ(RecentConnections::Load(SettingsStore(dir / "Mervale.ini")), s.expected) << "read back from the file";
  }
  for (int i = 0; i < 20; ++i) RecentConnections::Remember(settings, "DSN=db" + std::to_string(i));
  const List list = RecentConnections::Load(settings);
  ASSERT_EQ(list.size(), size_t(RecentConnections::kMax));
  EXPECT_EQ(list.front(), "DSN=db19");
  EXPECT_EQ(list.back(), "DSN=db12");
}

TEST(RecentConnections, HostileEntriesInTheFileAreLeftOut) {
  test::TempDir dir("mv-recent");
  std::ofstream(dir / "Mervale.ini") << "[Settings]\r\n"
                                     << "RecentConnection1=DSN=good\r\n"
                                     << "RecentConnection2=DSN=x;PWD=typed-by-hand\r\n"
                                     << "RecentConnection3=" << std::string(5000, 'y') << "\r\n"
                                     << "RecentConnection4=DSN=bell\a\r\n"
                                     << "RecentConnection5=DSN=good\r\n"
                                     << "RecentConnection9=DSN=beyond-the-last\r\n"
                                     << "RecentConnection6=DRIVER=SQLite3;Database=/b.db\r\n";
  SettingsStore settings(dir / "Mervale.ini");
  EXPECT_EQ(RecentConnections::Load(settings), List({"DSN=good", "DRIVER=SQLite3;Database=/b.db"}));
  // Remembering rewrites the list clean.
  RecentConnections::Remember(settings, "DSN=new");
  EXPECT_EQ(RecentConnections::Load(settings), List({"DSN=new", "DSN=good", "DRIVER=SQLite3;Database=/b.db"}));
  std::ifstream in(dir / "Mervale.ini");
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(file.find("typed-by-hand"), std::string::npos);
}

}  // namespace
}  // namespace mv
