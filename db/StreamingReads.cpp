#include "db/StreamingReads.h"

#include "base/TextRules.h"
#include "db/DataSources.h"

namespace mv {

std::string WithStreamingReads(const std::string& connectString) {
  std::string driver;
  bool stepApi = false, declareFetch = false;
  for (const auto& [key, value] : ParseConnectString(connectString)) {
    const std::string k = Upper(key);
    if (k == "DRIVER") driver = Upper(value);
    stepApi |= k == "STEPAPI";
    declareFetch |= k == "USEDECLAREFETCH" || k == "FETCH";
  }
  std::string added;
  if (driver.find("SQLITE") != std::string::npos && !stepApi) added = "StepAPI=1";
  if ((driver.find("POSTGRES") != std::string::npos || driver.find("PSQL") != std::string::npos) && !declareFetch)
    added = "UseDeclareFetch=1;Fetch=10000";
  if (added.empty()) return connectString;
  std::string out = connectString;
  if (!out.empty() && out.back() != ';') out += ';';
  return out + added;
}

}  // namespace mv
