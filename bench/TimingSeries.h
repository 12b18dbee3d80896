#pragma once
#include <vector>

namespace mv::bench {

// Processor time of this process so far (user and system), in seconds.
double CpuSeconds();

// The repeated measurements of one side (plain fetch or script run) of one variant.
class TimingSeries {
 public:
  void Add(double seconds, double cpuSeconds, long rssGrowthKb);
  bool Empty() const { return seconds_.empty(); }
  double Best() const;
  double Median() const;
  double BestCpu() const;
  // The largest peak-memory growth of all repetitions.
  long MaxGrowthKb() const;

 private:
  static double MedianOf(std::vector<double> values);
  std::vector<double> seconds_;
  std::vector<double> cpu_;
  std::vector<long> growthKb_;
};

}  // namespace mv::bench
