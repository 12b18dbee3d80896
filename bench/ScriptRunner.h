#pragma once
#include <string>

namespace mv::bench {

// Runs the core in this process the way the batch front end does: a RunController with a console
// host, data phase only, every row of the database's tables scripted to a file.
class ScriptRunner {
 public:
  struct Result {
    double seconds = 0;     // StartRun until the script is wholly written
    double cpuSeconds = 0;  // of this process (all threads) over the same stretch
    long rssGrowthKb = 0;
    long inserts = 0;     // INSERT statements found in the written script
    long long bytes = 0;  // size of the script
    bool apostrophesDoubled = false;
    std::string dataSelect;  // the SELECT the data phase ran for the table
  };

  // workDir holds a private settings file and an empty program folder, so the user's own
  // settings and profiles are neither read nor changed. sink: "window", "file" or "qt" (the
  // desktop's script window, when built with it).
  ScriptRunner(std::string workDir, std::string sink);

  // Connects (not timed), then times one run. Throws std::runtime_error with the run's
  // messages when it cannot connect or the run does not finish.
  Result Run(const std::string& connectString, const std::string& owner, const std::string& outputPath);

  // Counts the INSERT statements and checks the apostrophes of a written script.
  static void CheckScript(const std::string& path, Result& r);

 private:
  std::string workDir_;
  std::string sink_;
};

}  // namespace mv::bench
