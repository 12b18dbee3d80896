#!/usr/bin/env bash
# Prints the C++ files of the tree, one a line, relative to its top, sorted: what the layer
# and format checks read. Build folders are left out: build/, build-*/ and any folder that
# holds a CMakeCache.txt (a build folder by another name).
#
#   scripts/cxx-files.sh [ROOT]     ROOT defaults to the top of this repository
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

prune=(-name .git -o -name build -o -name 'build-*')
while IFS= read -r cache; do
  prune+=(-o -path "${cache%/CMakeCache.txt}")
done < <(find . -maxdepth 4 \( "${prune[@]}" \) -prune -o -name CMakeCache.txt -print)

find . -mindepth 1 -type d \( "${prune[@]}" \) -prune -o -type f \
  \( -name '*.h' -o -name '*.hh' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' \
  -o -name '*.cxx' -o -name '*.inl' -o -name '*.ipp' \) -print | sed 's|^\./||' | LC_ALL=C sort
