#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace mv::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
struct TempDir {
  explicit TempDir(const std::string& prefix = "mv-test") {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(tmpl.data())) path = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::string path;
};

}  // namespace mv::test

#include <fstream>

namespace mv::test {

// Writes a new file each time: truncating one in place makes some file systems flush it on
// close, which turns loops over many cut lengths into seconds.
inline void WritePlain(const std::string& path, const std::string& data) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::ofstream(path, std::ios::binary) << data;
}

}  // namespace mv::test
