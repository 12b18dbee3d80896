#include "base/ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace mv {

std::string ProgramFolder() {
  if (const char* home = std::getenv("MERVALE_HOME"); home && *home) return home;
  // Stands in for the executable's registration: the folder of the running executable.
  std::string buf(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  buf.resize(static_cast<size_t>(n));
  size_t slash = buf.rfind('/');
  return slash == std::string::npos ? std::string() : ProgramFolderOf(buf.substr(0, slash));
}

std::string ProgramFolderOf(const std::string& exeFolder) {
  // Installed, the executables are in PREFIX/bin and what they ship in PREFIX/share/mervale;
  // built, everything lies beside the executables.
  const std::filesystem::path exe(exeFolder);
  if (exe.filename() == "bin") {
    const std::filesystem::path data = exe.parent_path() / "share" / "mervale";
    std::error_code ec;
    if (std::filesystem::is_directory(data, ec)) return data.string();
  }
  return exeFolder;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace mv
