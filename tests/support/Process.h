#pragma once
// The process helpers come with the servers library, which mervale-bench shares.
#include "devservers/Process.h"

namespace mv::test {

using dev::Describe;
using dev::ProcessResult;
using dev::RunProcess;

}  // namespace mv::test
