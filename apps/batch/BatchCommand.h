#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mv {

struct Configuration;
class ProfileList;

// What mervale-batch's command line asks for. The run options are optional: only those given
// change the configuration file's values (or the defaults when no file is named).
struct BatchCommand {
  std::string config;  // CONFIG.mvl, empty when none is named
  std::string output;
  bool freeForm = false;
  std::optional<std::string> sql;
  std::string sqlFile;
  bool libraryList = false;
  bool help = false;
  bool version = false;
  std::string saveConfig;  // --save-config FILE: write the .mvl and run nothing

  // Progress on standard error: a line on a terminal, a JSON object a second, or nothing.
  enum class Progress { Line, Json, None };
  Progress progress = Progress::Line;
  bool countRows = false;  // a COUNT(*) per table first, for the time left

  std::optional<std::string> connect;  // --connect, else MERVALE_CONNECT
  std::optional<std::string> owner;
  std::optional<bool> catalog;  // the owner names a catalog, not a schema
  std::optional<std::string> profile;
  std::optional<bool> structure, data, indexes, remarks, drop, deleteData, csv, constraints;
  std::optional<int> dataCase;
  std::optional<int> nameCase;  // tables, columns and indexes; the profile's rules otherwise
  std::optional<int> rowsPerInsert;
  // Output that compares well: --diff-friendly sets all four, each has its own switch.
  std::optional<bool> lineFeeds, trimLineEnds, orderRows, noElapsedTime;
  std::optional<std::string> csvDir, outputDir;
  std::optional<bool> copy;  // the profile's copy format (true) or INSERTs (false)
  std::vector<std::string> tables, excludeTables;
  std::vector<std::pair<std::string, std::string>> wheres;  // table, condition, in the order given
};

// Parses the arguments after the program name. envConnect is MERVALE_CONNECT (null when unset),
// taken when --connect is not given. Returns the problem to show with the usage (exit status
// 1), empty on success.
std::string ParseBatchCommand(const std::vector<std::string>& args, const char* envConnect, BatchCommand& cmd);

// Puts the command's run options over a configuration read from a file or started from the
// defaults: the connection, the options, and the profile to choose.
void ApplyBatchCommand(const BatchCommand& cmd, Configuration& c);

// --name-case: the letter case of table, column and index names is the profile's, so it is set
// in the loaded copy of the profile the run will apply (never saved).
void ApplyNameCase(ProfileList& profiles, const std::string& profileName, int rule);

// The options of a run without a configuration file: the built-in defaults, so that the same
// command line gives the same script whatever the desktop last remembered.
Configuration DefaultBatchConfiguration();

// The --help text.
extern const char kBatchUsage[];

}  // namespace mv
