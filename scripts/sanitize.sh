#!/usr/bin/env bash
# Builds the whole project with a sanitizer in a build folder of its own and runs every test
# under it. Any report fails the test that caused it (halt_on_error, and the exit code below).
#
#   scripts/sanitize.sh address [ctest arguments...]   AddressSanitizer + LeakSanitizer
#   scripts/sanitize.sh thread  [ctest arguments...]   ThreadSanitizer
#
# The build folder is build-asan or build-tsan beside build/ (BUILD_DIR overrides it).
# Not part of the README's test command: a sanitizer build takes as long again as the normal one.
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-}
shift || true
case "$kind" in
  address) dir=${BUILD_DIR:-build-asan} ;;
  thread) dir=${BUILD_DIR:-build-tsan} ;;
  *)
    echo "usage: scripts/sanitize.sh address|thread [ctest arguments...]" >&2
    exit 1
    ;;
esac

supp="$PWD/scripts/sanitizers"
flags="-fsanitize=$kind -fno-omit-frame-pointer -O1 -g"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DMERVALE_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$kind" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=$kind" >/dev/null
cmake --build "$dir" -j2

# exitcode=66 tells a sanitizer report from a test's own failure in the ctest output.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:exitcode=66:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
# Qt and the ODBC drivers are Debian's builds, not built for the thread detector: their own
# memory accesses and the calls they make are left out (ignore_noninstrumented_modules), so a
# report always has this project's code on both sides. A window test starts the program as a
# child process: die_after_fork=0 lets the detector's runtime go on in the forked child until
# it runs the program.
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:ignore_noninstrumented_modules=1:die_after_fork=0"
ctest --test-dir "$dir" -j2 --output-on-failure "$@"
