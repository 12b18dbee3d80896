#pragma once
#include <string>

namespace mv {

// The connect string with the options that make the named driver hand rows over as it reads
// them, so reading a large table keeps memory flat: the SQLite driver's step mode (StepAPI=1),
// psqlODBC's declare/fetch in pages of 10,000 rows (UseDeclareFetch=1;Fetch=10000). A string
// that names one of those options itself keeps its own choice; any other driver, or a data
// source (whose options are its own entry's), gets the string unchanged.
std::string WithStreamingReads(const std::string& connectString);

}  // namespace mv
