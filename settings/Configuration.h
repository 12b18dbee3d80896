#pragma once
#include <optional>
#include <string>

#include "settings/RunOptions.h"

namespace mv {

// What a configuration file (.mvl) holds, read as a value; applying it (the reconnect
// question, the connection, the title) is the run's business.
struct Configuration {
  bool legacy = false;  // the older binary form
  // The database named by the file. In the legacy form the reconnect question is asked when
  // either of its first two texts is set, whether or not a connect string is among them.
  std::string connectString, databaseUser, catalogFlag;
  bool asksReconnect = false;
  // The options after the file: the options it was read over, with every field the file holds.
  RunOptions opts;
  // Whether the working profile is chosen again after loading (a legacy file that ends early
  // keeps the fields read so far and chooses nothing).
  bool applyProfile = true;
};

// The database fields a configuration file saves.
struct ConfigurationDatabase {
  std::string connectString, databaseUser;
  bool isCatalog = false;
};

// Reads an .mvl file, INI or legacy binary form, over `current`. nullopt when the file cannot
// be opened. Values are read whole; blanks around keys and values are ignored.
std::optional<Configuration> ReadConfiguration(const std::string& path, const RunOptions& current);
// Writes the options and the database to an .mvl file (INI text), atomically and readable by
// its owner only, since connect strings can hold passwords. Returns success. withRunSettings
// also writes the options otherwise kept only in the settings store (remarks, DROP and DELETE,
// data formatting), so that the file alone gives the same script wherever it is run; a file
// without them takes them from the settings store, as every file did before.
bool WriteConfiguration(const std::string& path, const RunOptions& opts, const ConfigurationDatabase& db,
                        bool withRunSettings = false);

}  // namespace mv
