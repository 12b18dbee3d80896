#include "MemoryProbe.h"

#include <malloc.h>

#include <cstdio>
#include <cstring>

namespace mv::bench {

long MemoryProbe::StatusKb(const char* field) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long value = -1;
  const size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
      std::sscanf(line + n + 1, "%ld", &value);
      break;
    }
  }
  std::fclose(f);
  return value;
}

void MemoryProbe::Start() {
  // Memory an earlier run freed but the allocator kept would hide this run's growth.
  malloc_trim(0);
  resetWorked_ = false;
  if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    resetWorked_ = std::fputs("5", f) >= 0;
    resetWorked_ = std::fclose(f) == 0 && resetWorked_;
  }
  baselineKb_ = StatusKb("VmRSS");
}

long MemoryProbe::GrowthKb() const {
  const long peak = StatusKb("VmHWM");
  return peak < 0 || baselineKb_ < 0 ? -1 : peak - baselineKb_;
}

}  // namespace mv::bench
