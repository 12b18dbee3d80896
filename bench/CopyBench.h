#pragma once
#include <filesystem>

#include "BenchOptions.h"

namespace mv::bench {

// mervale-bench --copy: the whole copy of the benchmark table per engine, the engine's own
// tool against mervale-batch with its shipped profile, in turns; the exit status.
int RunCopyBench(const BenchOptions& o, const std::filesystem::path& work);

}  // namespace mv::bench
