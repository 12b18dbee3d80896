#include <gtest/gtest.h>

#include <filesystem>

#include "base/ProgramFolder.h"
#include "support/TempDir.h"

namespace mv {

// Built, the program folder is the executable's own; installed (PREFIX/bin), the data
// folder PREFIX/share/mervale, but only when it exists.
TEST(ProgramFolder, InstalledProgramUsesItsDataFolder) {
  test::TempDir prefix;
  std::filesystem::create_directories(prefix / "bin");
  std::filesystem::create_directories(prefix / "build");
  EXPECT_EQ(ProgramFolderOf(prefix / "bin"), prefix / "bin");
  std::filesystem::create_directories(prefix / "share/mervale");
  EXPECT_EQ(ProgramFolderOf(prefix / "bin"), prefix / "share/mervale");
  EXPECT_EQ(ProgramFolderOf(prefix / "build"), prefix / "build");
}

}  // namespace mv
