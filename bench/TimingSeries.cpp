#include "TimingSeries.h"

#include <sys/resource.h>

#include <algorithm>

namespace mv::bench {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void TimingSeries::Add(double seconds, double cpuSeconds, long rssGrowthKb) {
  seconds_.push_back(seconds);
  cpu_.push_back(cpuSeconds);
  growthKb_.push_back(rssGrowthKb);
}

double TimingSeries::MedianOf(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

double TimingSeries::Best() const { return seconds_.empty() ? 0 : *std::min_element(seconds_.begin(), seconds_.end()); }

double TimingSeries::Median() const { return MedianOf(seconds_); }

double TimingSeries::BestCpu() const { return cpu_.empty() ? 0 : *std::min_element(cpu_.begin(), cpu_.end()); }

long TimingSeries::MaxGrowthKb() const {
  return growthKb_.empty() ? 0 : *std::max_element(growthKb_.begin(), growthKb_.end());
}

}  // namespace mv::bench
