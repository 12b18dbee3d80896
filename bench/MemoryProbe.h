#pragma once

namespace mv::bench {

// Peak resident memory of this process over one measured stretch. The kernel's high-water
// mark is reset at the start (clear_refs 5), after handing freed heap back to the system, so
// each stretch is measured on its own and not against the largest run before it.
class MemoryProbe {
 public:
  // Frees what the allocator holds, resets the high-water mark, and takes the baseline.
  void Start();
  // Peak resident size since Start() less the baseline, in KiB.
  long GrowthKb() const;
  long BaselineKb() const { return baselineKb_; }
  // False when the kernel refused the reset; the growth is then measured against an older peak.
  bool ResetWorked() const { return resetWorked_; }

  // "VmRSS" or "VmHWM" of /proc/self/status in KiB (-1 when unreadable).
  static long StatusKb(const char* field);

 private:
  long baselineKb_ = 0;
  bool resetWorked_ = false;
};

}  // namespace mv::bench
